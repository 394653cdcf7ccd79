#include "ProgressWindow.h"

#include <QProgressDialog>
#include <QWidget>

namespace ui {

class CProgressWindow::CImpl
{
public:
    CImpl(CWnd* parent, const std::string& title, std::function<void()> cancel)
        : m_dialog(parent), m_cancel(std::move(cancel))
    {
        m_dialog.setWindowTitle(QString::fromStdString(title));
        m_dialog.setWindowModality(Qt::NonModal);
        m_dialog.setCancelButtonText(QString::fromUtf8("Отмена"));
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumDuration(0);
        m_dialog.setRange(0, 1000);
        // "Отмена", Escape and the close box all cancel.
        QObject::connect(&m_dialog, &QProgressDialog::canceled, &m_dialog, [this] { Cancel(); });
        QObject::connect(&m_dialog, &QDialog::rejected, &m_dialog, [this] { Cancel(); });
    }

    void Cancel()
    {
        if (m_finished)
            m_dialog.hide();
        else
            m_cancel();
    }

    QProgressDialog m_dialog;
    std::function<void()> m_cancel;
    bool m_finished = false;
};

CProgressWindow::CProgressWindow(CWnd* parent, const std::string& title, std::function<void()> cancel)
    : m_impl(std::make_unique<CImpl>(parent, title, std::move(cancel)))
{
}

CProgressWindow::~CProgressWindow() = default;

void CProgressWindow::Show(const std::string& text, int permille)
{
    m_impl->m_dialog.setLabelText(QString::fromStdString(text));
    m_impl->m_dialog.setValue(permille);
    if (!m_impl->m_dialog.isVisible())
        m_impl->m_dialog.show();
}

void CProgressWindow::Finish(const std::string& text)
{
    m_impl->m_finished = true;
    m_impl->m_dialog.setCancelButtonText(QString::fromUtf8("Закрыть"));
    Show(text, 1000);
}

bool CProgressWindow::IsShown() const
{
    return m_impl->m_dialog.isVisible();
}

std::string CProgressWindow::Text() const
{
    return m_impl->m_dialog.labelText().toStdString();
}

} // namespace ui
