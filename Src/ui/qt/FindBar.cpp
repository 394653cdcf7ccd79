#include "FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace ui {

CFindBar::CFindBar(QWidget* parent, std::function<void(bool forward)> find, std::function<void()> closed)
    : QFrame(parent),
      m_find(std::move(find)),
      m_closed(std::move(closed)),
      m_needle(new QLineEdit(this)),
      m_case(new QCheckBox(QString::fromUtf8("Регистр"), this)),
      m_status(new QLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    const auto button = [&](const char* caption, const char* tip, auto action) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(caption));
        b->setToolTip(QString::fromUtf8(tip));
        b->setAutoRaise(true);
        QObject::connect(b, &QToolButton::clicked, this, action);
        return b;
    };
    m_needle->setPlaceholderText(QString::fromUtf8("Найти"));
    m_needle->installEventFilter(this);
    layout->addWidget(m_needle, 1);
    layout->addWidget(button("▲", "Найти предыдущее (Shift+F3)", [this] { m_find(false); }));
    layout->addWidget(button("▼", "Найти следующее (F3)", [this] { m_find(true); }));
    layout->addWidget(m_case);
    layout->addWidget(m_status);
    layout->addWidget(button("✕", "Закрыть (Esc)", [this] {
        hide();
        m_closed();
    }));
    hide();
}

QString CFindBar::Needle() const
{
    return m_needle->text();
}

bool CFindBar::MatchCase() const
{
    return m_case->isChecked();
}

void CFindBar::SetNeedle(const QString& needle)
{
    m_needle->setText(needle);
}

void CFindBar::SetStatus(const QString& status)
{
    m_status->setText(status);
}

QString CFindBar::Status() const
{
    return m_status->text();
}

void CFindBar::Open()
{
    show();
    m_needle->setFocus();
    m_needle->selectAll();
}

// Enter, F3 and Escape in the text to find are the bar's, never the window's.
bool CFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_needle || (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool f3 = key->key() == Qt::Key_F3;
    const bool escape = key->key() == Qt::Key_Escape;
    if (!enter && !f3 && !escape)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (escape) {
        hide();
        m_closed();
    } else {
        m_find(!(key->modifiers() & Qt::ShiftModifier));
    }
    return true;
}

} // namespace ui
