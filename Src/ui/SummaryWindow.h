#pragma once

// A small window of its own, beside the main one and not modal, that shows a
// table: named columns, rows of texts the window's logic gives afresh as
// often as it likes. Clicking a column's heading sorts by it (again: the
// other way); the order stays when the rows are given again. A row may be
// shown in red. One per window system (SummaryWindow.cpp of its layer).
// Texts are UTF-8.

#include "Wnd.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

struct CSummaryCell
{
    std::string text;
    double sortKey = 0;  // what the column sorts by when it is a number
};

struct CSummaryRow
{
    std::vector<CSummaryCell> cells;
    bool red = false;
};

class CSummaryWindow
{
public:
    // `numeric` tells for each column whether it sorts by the cells' keys
    // (else by their texts).
    CSummaryWindow(CWnd* parent, const std::string& title, std::vector<std::string> columns, std::vector<bool> numeric);
    ~CSummaryWindow();
    CSummaryWindow(const CSummaryWindow&) = delete;
    CSummaryWindow& operator=(const CSummaryWindow&) = delete;

    // Shows the window, or brings it to the front when it is shown.
    void Show();
    // Whether the operator still has it open.
    bool IsShown() const;
    void SetRows(const std::vector<CSummaryRow>& rows);

    // What the window shows, row by row as sorted, cells joined by tabs
    // (UTF-8), and which rows are red: for whoever looks at it.
    std::vector<std::string> ShownRows() const;
    std::vector<bool> RedRows() const;

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};

} // namespace ui
