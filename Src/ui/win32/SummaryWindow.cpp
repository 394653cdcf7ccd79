#include "SummaryWindow.h"

#include "Layer.h"

#include <WinTypes.h>

#include <commctrl.h>

#include <algorithm>

namespace ui {

namespace {

const wchar_t kClassName[] = L"OrvelSummaryWindow";

} // namespace

// A top-level window owned by the main one, filled by a list view in report
// mode; the rows are kept here, sorted here, and put into the list as shown.
class CSummaryWindow::CImpl
{
public:
    CImpl(CWnd* parent, const std::string& title, const std::vector<std::string>& columns, std::vector<bool> numeric)
        : m_numeric(std::move(numeric))
    {
        m_window = CreateOwnedWindow(kClassName, Procedure, title, WS_OVERLAPPEDWINDOW, 0, parent, SIZE{540, 260}, this);
        if (!m_window)
            return;
        m_list = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                   WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                                   m_window, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        if (parent)
            ::SendMessageW(m_list, WM_SETFONT, ::SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            std::wstring heading = WideFromUtf8(columns[c]);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
            column.fmt = Numeric(c) ? LVCFMT_RIGHT : LVCFMT_LEFT;
            column.cx = 80;
            column.pszText = heading.data();
            ::SendMessageW(m_list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        }
        m_columns = columns.size();
        Fit();
    }

    ~CImpl()
    {
        if (m_window)
            ::DestroyWindow(m_window);
    }

    bool Numeric(std::size_t column) const { return column < m_numeric.size() && m_numeric[column]; }

    // The rows in the order chosen, into the list.
    void Fill()
    {
        const std::size_t c = m_sortColumn;
        const auto text = [c](const CSummaryRow& row) { return c < row.cells.size() ? row.cells[c].text : std::string(); };
        const auto key = [c](const CSummaryRow& row) { return c < row.cells.size() ? row.cells[c].sortKey : 0.0; };
        std::stable_sort(m_rows.begin(), m_rows.end(), [&](const CSummaryRow& a, const CSummaryRow& b) {
            const bool less = Numeric(c) ? key(a) < key(b) : text::Utf8ToUtf16(text(a)) < text::Utf8ToUtf16(text(b));
            const bool more = Numeric(c) ? key(b) < key(a) : text::Utf8ToUtf16(text(b)) < text::Utf8ToUtf16(text(a));
            return m_ascending ? less : more;
        });
        ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
        ::SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            for (std::size_t cell = 0; cell < m_columns && cell < m_rows[r].cells.size(); ++cell) {
                std::wstring shown = WideFromUtf8(m_rows[r].cells[cell].text);
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = static_cast<int>(r);
                item.iSubItem = static_cast<int>(cell);
                item.pszText = shown.data();
                ::SendMessageW(m_list, cell == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
            }
        }
        for (std::size_t cell = 0; cell < m_columns; ++cell)
            ::SendMessageW(m_list, LVM_SETCOLUMNWIDTH, cell, LVSCW_AUTOSIZE_USEHEADER);
        ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_list, nullptr, TRUE);
    }

    void Fit()
    {
        RECT client;
        ::GetClientRect(m_window, &client);
        ::MoveWindow(m_list, 4, 4, std::max<LONG>(0, client.right - 8), std::max<LONG>(0, client.bottom - 8), TRUE);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = WindowObject<CImpl>(window, message, lParam);
        if (!self || !self->m_list)
            return ::DefWindowProcW(window, message, wParam, lParam);
        switch (message) {
        case WM_SIZE:
            self->Fit();
            return 0;
        case WM_CLOSE:  // the close box and Escape put it away until it is shown again
            ::ShowWindow(window, SW_HIDE);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL)
                ::ShowWindow(window, SW_HIDE);
            return 0;
        case WM_NOTIFY:
            return self->OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_NCDESTROY:
            self->m_window = nullptr;
            break;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    // A heading clicked sorts by its column, again the other way; red rows
    // are drawn red.
    LRESULT OnNotify(NMHDR& header)
    {
        if (header.hwndFrom != m_list)
            return 0;
        if (header.code == LVN_COLUMNCLICK) {
            const auto column = static_cast<std::size_t>(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
            m_ascending = column == m_sortColumn ? !m_ascending : true;
            m_sortColumn = column;
            Fill();
            return 0;
        }
        if (header.code != NM_CUSTOMDRAW)
            return 0;
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw.nmcd.dwItemSpec < m_rows.size()
            && m_rows[draw.nmcd.dwItemSpec].red)
            draw.clrText = MfcExtControl::RGB(255, 0, 0);
        return CDRF_DODEFAULT;
    }

    std::vector<bool> m_numeric;
    std::vector<CSummaryRow> m_rows;  // as shown
    std::size_t m_columns = 0;
    std::size_t m_sortColumn = 0;
    bool m_ascending = true;
    HWND m_window = nullptr;
    HWND m_list = nullptr;
};

CSummaryWindow::CSummaryWindow(CWnd* parent, const std::string& title, std::vector<std::string> columns,
                               std::vector<bool> numeric)
    : m_impl(std::make_unique<CImpl>(parent, title, columns, std::move(numeric)))
{
}

CSummaryWindow::~CSummaryWindow() = default;

void CSummaryWindow::Show()
{
    ::ShowWindow(m_impl->m_window, SW_SHOW);
    ::BringWindowToTop(m_impl->m_window);
}

bool CSummaryWindow::IsShown() const
{
    return m_impl->m_window && ::IsWindowVisible(m_impl->m_window);
}

void CSummaryWindow::SetRows(const std::vector<CSummaryRow>& rows)
{
    m_impl->m_rows = rows;
    m_impl->Fill();
}

// As the list shows them.
std::vector<std::string> CSummaryWindow::ShownRows() const
{
    std::vector<std::string> shown;
    const auto rows = static_cast<int>(::SendMessageW(m_impl->m_list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        std::string line;
        for (std::size_t c = 0; c < m_impl->m_columns; ++c) {
            wchar_t text[256] = {};
            LVITEMW item{};
            item.iSubItem = static_cast<int>(c);
            item.pszText = text;
            item.cchTextMax = 256;
            ::SendMessageW(m_impl->m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
            line += (c ? "\t" : "") + Utf8FromWide(text);
        }
        shown.push_back(line);
    }
    return shown;
}

std::vector<bool> CSummaryWindow::RedRows() const
{
    std::vector<bool> red;
    for (const CSummaryRow& row : m_impl->m_rows)
        red.push_back(row.red);
    return red;
}

} // namespace ui
