#pragma once

// Items the window adds to a log pane's context menu, below the pane's own.

#include <functional>
#include <string>

namespace ui {

struct CPaneMenuItem
{
    std::string caption;            // UTF-8
    std::function<void()> action;
    std::function<bool()> checked;  // empty: not a check item
    std::function<bool()> enabled;  // empty: always enabled
};

} // namespace ui
