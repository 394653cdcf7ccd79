#include "WakeUpPost.h"

#include <QCoreApplication>
#include <QEvent>

namespace ui {

void CWakeUp::CPoster::Post()
{
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

} // namespace ui
