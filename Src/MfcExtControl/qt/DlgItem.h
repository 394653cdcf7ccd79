#pragma once

class QWidget;

namespace MfcExtControl {

// Every control of a dialog template carries its control identifier in the
// dynamic property "dlgItemId"; controls are found again by that identifier.
constexpr const char* kDlgItemIdProperty = "dlgItemId";

void SetDlgItemId(QWidget* control, int id);

// The control's identifier, or 0 when it carries none.
int GetDlgItemId(const QWidget* control);

// The first widget among `parent`'s descendants (direct children first) that
// carries `id`; nullptr when there is none or `parent` is null.
QWidget* GetDlgItem(const QWidget* parent, int id);

} // namespace MfcExtControl
