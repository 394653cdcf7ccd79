#pragma once

// What a dialog window and its handlers share on every window system: the
// notifications controls send, the check box states, and the silent
// abandon of a command handler.

#include <WinTypes.h>

#include <functional>

#ifdef _WIN32
// The SDK's macros of these names (WinTypes.h brought the SDK in) give way
// to the constants below, which have the same values.
#undef BN_CLICKED
#undef CBN_SELCHANGE
#undef BST_UNCHECKED
#undef BST_CHECKED
#undef BST_INDETERMINATE
#endif

namespace ui {

using MfcExtControl::UINT;

// Command notifications.
constexpr int BN_CLICKED = 0;
constexpr int CBN_SELCHANGE = 1;

// Check box states.
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_INDETERMINATE = 2;

// Keys a single-line edit hands to its window first.
enum class EditKey
{
    Up,
    Down,
};

// The silent abandon of a command handler; the dispatch swallows it.
struct CUserException
{
};
[[noreturn]] void AfxThrowUserException();

// Runs a handler of control `id` so that nothing it raises leaves it into the
// window system's event loop: the silent abandon is swallowed, and any other
// error is said on standard error.
void RunHandler(int id, const std::function<void()>& handler);

} // namespace ui
