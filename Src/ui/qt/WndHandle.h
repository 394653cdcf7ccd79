#pragma once

// On this side a window or control is a Qt widget.

class QWidget;

namespace ui {

using CWnd = QWidget;

} // namespace ui
