#pragma once

// The find bar of a log pane: what to find, whether letter case matters
// ("Регистр"), ▲ and ▼, what the search found, and ✕. It opens over the
// pane's bottom rows, the pane giving them up (so the lines it shows stay
// whole), and gives them back when it closes. Enter in its text finds the
// next match, Shift+Enter the one before; F3 and Shift+F3 anywhere in it do
// the same; Escape closes it and never reaches the window.
//
// A window of the pane's dialog, next to the pane in the tab order, made
// when it first opens.

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class CFindBar
{
public:
    // `find(forward)` is asked for each search; `closed` when the bar closes.
    CFindBar(std::function<void(bool forward)> find, std::function<void()> closed);
    ~CFindBar();
    CFindBar(const CFindBar&) = delete;
    CFindBar& operator=(const CFindBar&) = delete;

    // Opens the bar at the bottom of `pane`, its text selected for typing over.
    void Open(HWND pane);
    // Closes it: the pane gets its rows back, and the focus.
    void Close();
    bool IsOpen() const;

    // What to find, as typed; set once the bar has opened.
    std::u16string Needle() const;
    void SetNeedle(const std::u16string& needle);
    bool MatchCase() const;
    // What the last search found (UTF-8; empty: nothing to say).
    void SetStatus(const std::string& status);
    std::string Status() const;

    // The bar's window; nullptr before it first opens.
    HWND Handle() const { return m_window; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self);
    void Create(HWND dialog);
    void Place();
    bool TakesKey(HWND control, WPARAM key) const;
    void OnKey(WPARAM key);

    std::function<void(bool)> m_find;
    std::function<void()> m_closed;
    HWND m_window = nullptr;
    HWND m_pane = nullptr;
    HWND m_needle = nullptr;
    HWND m_case = nullptr;
    HWND m_status = nullptr;
};

} // namespace ui
