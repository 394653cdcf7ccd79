#include "DlgItem.h"

#include <QVariant>
#include <QWidget>

#include <deque>

namespace MfcExtControl {

void SetDlgItemId(QWidget* control, int id)
{
    control->setProperty(kDlgItemIdProperty, id);
}

int GetDlgItemId(const QWidget* control)
{
    return control->property(kDlgItemIdProperty).toInt();
}

QWidget* GetDlgItem(const QWidget* parent, int id)
{
    if (parent == nullptr)
        return nullptr;
    // Breadth first, so a direct child wins over a deeper descendant.
    std::deque<const QObject*> pending{parent};
    while (!pending.empty()) {
        const QObject* const object = pending.front();
        pending.pop_front();
        for (QObject* const child : object->children()) {
            QWidget* const widget = qobject_cast<QWidget*>(child);
            if (widget == nullptr)
                continue;
            const QVariant widgetId = widget->property(kDlgItemIdProperty);
            if (widgetId.isValid() && widgetId.toInt() == id)
                return widget;
            pending.push_back(widget);
        }
    }
    return nullptr;
}

} // namespace MfcExtControl
