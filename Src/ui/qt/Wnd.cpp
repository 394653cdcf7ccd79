#include "Wnd.h"

#include <QAbstractButton>
#include <QWidget>

namespace ui {

void EnableWindow(CWnd* control, bool enable)
{
    if (control)
        control->setEnabled(enable);
}

bool IsWindowEnabled(const CWnd* control)
{
    return control && control->isEnabled();
}

void ClickButton(CWnd* button)
{
    if (auto* push = qobject_cast<QAbstractButton*>(button); push && push->isEnabled())
        push->click();
}

} // namespace ui
