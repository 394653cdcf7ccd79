#include "ControlFactory.h"

#include "DropDownList.h"
#include "LogPane.h"

#include <DlgItem.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

constexpr const char* kStyleProperty = "dlgItemStyle";

QWidget* CreateButton(const DlgItemTemplate& item, QWidget* parent)
{
    const QString caption = QString::fromUtf8(item.caption);
    switch (item.style & BS_TYPEMASK) {
    case BS_GROUPBOX:
        return new QGroupBox(caption, parent);
    case BS_AUTOCHECKBOX:
        return new QCheckBox(caption, parent);
    default: {
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    }
}

QWidget* CreateStatic(const DlgItemTemplate& item, QWidget* parent)
{
    auto* label = new QLabel(QString::fromUtf8(item.caption), parent);
    label->setAlignment((item.style & SS_CENTER) ? (Qt::AlignHCenter | Qt::AlignVCenter)
                                                 : (Qt::AlignLeft | Qt::AlignVCenter));
    if (item.exStyle & WS_EX_STATICEDGE) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    return label;
}

QWidget* CreateComboBox(const DlgItemTemplate&, QWidget* parent)
{
    return new CDropDownList(parent);
}

QWidget* CreateEdit(const DlgItemTemplate& item, QWidget* parent)
{
    if (!(item.style & ES_MULTILINE)) {
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly(item.style & ES_READONLY);
        return edit;
    }
    // Lines do not wrap: the pane follows the caret sideways.
    auto* edit = new CLogPane(parent);
    edit->setReadOnly(item.style & ES_READONLY);
    edit->setVerticalScrollBarPolicy((item.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                 : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy((item.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                   : Qt::ScrollBarAlwaysOff);
    return edit;
}

QWidget* CreateByClass(const DlgItemTemplate& item, QWidget* parent)
{
    const char* cls = item.windowClass;
    if (std::strcmp(cls, "BUTTON") == 0)
        return CreateButton(item, parent);
    if (std::strcmp(cls, "STATIC") == 0)
        return CreateStatic(item, parent);
    if (std::strcmp(cls, "COMBOBOX") == 0)
        return CreateComboBox(item, parent);
    if (std::strcmp(cls, "EDIT") == 0)
        return CreateEdit(item, parent);
    return new QWidget(parent);
}

// A drop-down list is as high as one line of its font; the template's height
// is that of the list shown when it drops down.
void PlaceComboBox(QComboBox* combo, const DlgItemTemplate& item, const DialogBaseUnits& units)
{
    const QRect rect = MapDialogRect(item.x, item.y, item.cx, item.cy, units);
    const int closedHeight = combo->sizeHint().height();
    combo->setGeometry(rect.x(), rect.y(), rect.width(), closedHeight);
    const int itemHeight = std::max(1, QFontMetrics(combo->font()).height() + 2);
    combo->setMaxVisibleItems(std::max(1, (rect.height() - closedHeight) / itemHeight));
}

} // namespace

QWidget* CreateControl(const DlgItemTemplate& item, QWidget* parent, const DialogBaseUnits& units)
{
    QWidget* control = CreateByClass(item, parent);
    control->setProperty(kStyleProperty, QVariant::fromValue<uint>(item.style));
    if (item.id != -1)
        MfcExtControl::SetDlgItemId(control, item.id);

    if (!(item.style & WS_TABSTOP) && (control->focusPolicy() & Qt::TabFocus))
        control->setFocusPolicy(Qt::ClickFocus);

    if (auto* combo = qobject_cast<QComboBox*>(control))
        PlaceComboBox(combo, item, units);
    else
        control->setGeometry(MapDialogRect(item.x, item.y, item.cx, item.cy, units));

    control->setEnabled(!(item.style & WS_DISABLED));
    control->setVisible(item.style & WS_VISIBLE);
    return control;
}

DWORD ControlStyle(const QWidget* control)
{
    return control ? control->property(kStyleProperty).toUInt() : 0;
}

} // namespace ui
