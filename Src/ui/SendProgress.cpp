#include "SendProgress.h"

#include <QProgressDialog>
#include <QtMath>

#include <chrono>

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr Seconds kShowAfter(0.5);
constexpr Seconds kStalledAfter(5.0);
constexpr int kSteps = 1000;  // the bar's range: a send may hold more bytes than an int counts

QString Describe(const serialport::CSender::Progress& progress, Clock::time_point now)
{
    QString text = QString::fromUtf8("Передано %1 из %2 байт").arg(progress.sent).arg(progress.total);
    const double idle = Seconds(now - progress.lastByte).count();
    if (idle >= kStalledAfter.count())
        return text + QString::fromUtf8("\nУстройство не принимает данные (%1 с)").arg(static_cast<int>(idle));
    const double elapsed = Seconds(now - progress.started).count();
    if (progress.sent == 0 || elapsed <= 0)
        return text;
    const double rate = progress.sent / elapsed;
    const double left = (progress.total - progress.sent) / rate;
    return text + QString::fromUtf8("\n%1 байт/с, осталось %2 с").arg(qRound(rate)).arg(qCeil(left));
}

} // namespace

CSendProgress::CSendProgress(QWidget* parent, QString title, std::function<void()> cancel)
    : m_parent(parent), m_title(std::move(title)), m_cancel(std::move(cancel))
{
}

CSendProgress::~CSendProgress() = default;

void CSendProgress::Update(const serialport::CSender::Progress& progress)
{
    const Clock::time_point now = Clock::now();
    if (!m_dialog) {
        if (now - progress.started < kShowAfter)
            return;
        m_dialog = std::make_unique<QProgressDialog>(m_parent);
        m_dialog->setWindowTitle(m_title);
        m_dialog->setWindowModality(Qt::NonModal);
        m_dialog->setCancelButtonText(QString::fromUtf8("Отмена"));
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setRange(0, kSteps);
        // "Отмена", Escape and the close box all cancel.
        QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(), [this] { m_cancel(); });
        QObject::connect(m_dialog.get(), &QDialog::rejected, m_dialog.get(), [this] { m_cancel(); });
        m_dialog->show();
    }
    m_dialog->setLabelText(Describe(progress, now));
    m_dialog->setValue(progress.total ? static_cast<int>(kSteps * static_cast<double>(progress.sent) / progress.total)
                                      : 0);
}

void CSendProgress::Finish()
{
    m_dialog.reset();
}

QString CSendProgress::Text() const
{
    return m_dialog ? m_dialog->labelText() : QString();
}

} // namespace ui
