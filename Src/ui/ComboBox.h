#pragma once

// A handle to a drop-down list built from a template, with the platform's
// combo-box operations: items carry pointer-sized data; a box with the
// sorted style (CBS_SORT) inserts each new item in case-insensitive order.
// Texts crossing this interface are Windows-1251.

#include "Wnd.h"

#ifdef _WIN32
#undef CB_ERR  // the SDK's macro gives way to the constant below, of the same value
#endif

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

constexpr int CB_ERR = -1;

class CComboBox
{
public:
    CComboBox() = default;
    explicit CComboBox(CWnd* control) { Attach(control); }

    // Takes a combo box control; anything else leaves the handle empty.
    void Attach(CWnd* control);
    CWnd* Control() const { return m_combo; }
    explicit operator bool() const { return m_combo != nullptr; }

    // Index of the new item: at the end, or in sorted order.
    int AddString(const char* text);
    // First item, after `startAfter` and wrapping round to it last (-1: from
    // the top), whose text begins with `prefix`, ignoring case; CB_ERR if none.
    int FindString(int startAfter, const char* prefix) const;
    // Selects an item (-1: none). Returns the index, or CB_ERR when it is out
    // of range or -1. Selecting does not notify the window.
    int SetCurSel(int index);
    int GetCurSel() const;  // CB_ERR when nothing is selected
    int GetCount() const;
    void ResetContent();
    // CB_ERR when the index is out of range.
    int SetItemData(int index, std::uintptr_t data);
    int SetItemDataPtr(int index, void* data);
    std::uintptr_t GetItemData(int index) const;  // CB_ERR (all bits set) when out of range
    void* GetItemDataPtr(int index) const;
    // An item's text; empty when the index is out of range.
    std::string GetLBText(int index) const;

    // Runs `refresh` each time the operator drops the list down, before it
    // shows (the list may be filled again there).
    void SetBeforeDropDown(std::function<void()> refresh);

private:
    bool IsSorted() const;

    CWnd* m_combo = nullptr;
};

} // namespace ui
