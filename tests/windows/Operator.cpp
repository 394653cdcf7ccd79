// orvel-operator: drives the running program's window from another Windows
// process, as an operator's clicks do, for scripts/screenshot-windows.
//   orvel-operator window | check ID | click ID | pick ID TEXT ...
// The verbs run in order: "window" waits for the main window; "check" ticks
// a check box that is clear; "click" presses a button; "pick" selects the
// item of that text in a drop-down list, with its notification. Ends with
// status 1, and says why, at the first verb that cannot be done.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND MainWindow()
{
    for (int tries = 0; tries < 300; ++tries) {
        if (const HWND window = ::FindWindowW(L"#32770", L"OrvelConfigurator"))
            return window;
        ::Sleep(100);
    }
    return nullptr;
}

bool Pick(HWND window, int id, const wchar_t* text)
{
    const HWND combo = ::GetDlgItem(window, id);
    const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (index == CB_ERR)
        return false;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    HWND window = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::wstring verb = argv[i];
        const bool hasId = verb != L"window";
        if (hasId && i + 1 >= argc)
            return std::fprintf(stderr, "orvel-operator: %ls needs a control id\n", verb.c_str()), 1;
        const int id = hasId ? std::wcstol(argv[++i], nullptr, 10) : 0;
        if (!window && !(window = MainWindow()))
            return std::fprintf(stderr, "orvel-operator: no window\n"), 1;
        const HWND control = ::GetDlgItem(window, id);
        bool done = true;
        if (verb == L"check")
            done = control && (::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED
                               || (::SendMessageW(control, BM_CLICK, 0, 0), true));
        else if (verb == L"click")
            done = control && ::IsWindowEnabled(control) && (::SendMessageW(control, BM_CLICK, 0, 0), true);
        else if (verb == L"pick")
            done = i + 1 < argc && Pick(window, id, argv[++i]);
        else if (verb != L"window")
            done = false;
        if (!done)
            return std::fprintf(stderr, "orvel-operator: %ls %d failed\n", verb.c_str(), id), 1;
    }
    return 0;
}
