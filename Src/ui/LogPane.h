#pragma once

#include <QString>

class QPlainTextEdit;

namespace ui {

// Appends `text` at the end of a log pane, whatever the pane holds and
// wherever the operator's cursor is, and brings the end into view. The cost
// does not grow with what the pane holds.
void AppendToPane(QPlainTextEdit* pane, const QString& text);

} // namespace ui
