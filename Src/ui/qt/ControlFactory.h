#pragma once

// Controls of a dialog template, made as Qt widgets:
//   BUTTON   BS_GROUPBOX      QGroupBox
//            BS_AUTOCHECKBOX  QCheckBox
//            BS_PUSHBUTTON    QPushButton (never a default button)
//   STATIC                    QLabel (SS_CENTER centres, WS_EX_STATICEDGE sinks the edge)
//   COMBOBOX CBS_DROPDOWNLIST QComboBox, not editable; CBS_SORT is kept for CComboBox
//   EDIT                      QLineEdit, or a log pane (CLogPane) with ES_MULTILINE
// Every control carries its identifier (MfcExtControl::SetDlgItemId) and its
// style bits.

#include "DialogTemplate.h"
#include "DialogUnits.h"

class QWidget;

namespace ui {

QWidget* CreateControl(const DlgItemTemplate& item, QWidget* parent, const DialogBaseUnits& units);

// The style bits a control was made with; 0 for widgets not made here.
DWORD ControlStyle(const QWidget* control);

} // namespace ui
