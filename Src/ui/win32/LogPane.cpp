#include "LogPane.h"

#include "Layer.h"
#include <LocalTime.h>
#include "ReceivedText.h"

#include <Tooltip.h>
#include <WinTypes.h>

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace ui {

namespace {

const wchar_t kClassName[] = L"OrvelLogPane";
constexpr int kMarkWidth = 3;           // the sentence mark, at the left edge
constexpr int kMargin = kMarkWidth + 3; // pixels left of the text
constexpr UINT_PTR kDragTimer = 1;
constexpr UINT kDragScrollInterval = 50;  // ms between steps while a drag is outside
// The edit's own styles, which mean nothing to the pane.
constexpr DWORD kEditStyles = 0xFFFF;

using MfcExtControl::RGB;
constexpr COLORREF kValidMark = RGB(150, 200, 150);
constexpr COLORREF kBrokenLine = RGB(255, 215, 215);
constexpr COLORREF kBrokenMark = RGB(220, 0, 0);
constexpr COLORREF kSentLine = RGB(225, 235, 250);
constexpr COLORREF kSentMark = RGB(40, 90, 200);
constexpr COLORREF kLinkUp = RGB(0, 130, 0);      // opened, back
constexpr COLORREF kLinkDown = RGB(200, 60, 0);   // lost, closed
constexpr int kTimeColumns = 13;                  // "HH:MM:SS.mmm "

void Fill(HDC dc, const RECT& area, COLORREF colour)
{
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

bool KeyDown(int key)
{
    return ::GetKeyState(key) < 0;
}

} // namespace

CLogPane::CLogPane(HWND edit)
    : m_findBar([this](bool forward) { Find(forward); }, [this] { m_search.Stop(); }),
      m_search(m_model, [this](std::size_t begin, std::size_t end, bool wrapped) { OnFound(begin, end, wrapped); },
               [this] { m_findBar.SetStatus("Не найдено"); })
{
    const HWND parent = edit ? ::GetParent(edit) : nullptr;
    if (!RegisterClassOnce(kClassName, Procedure, CS_DBLCLKS, reinterpret_cast<LPCWSTR>(IDC_IBEAM)) || !parent)
        return;
    const RECT place = PlaceInParent(edit);
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(edit, GWL_STYLE)) & ~kEditStyles;
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongW(edit, GWL_EXSTYLE));
    m_window = ::CreateWindowExW(exStyle, kClassName, L"", style, place.left, place.top, place.right - place.left,
                                 place.bottom - place.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(::GetDlgCtrlID(edit))),
                                 ::GetModuleHandleW(nullptr), this);
    if (!m_window)
        return;
    // Next to the edit in the z-order, which is the tab order; then the edit goes.
    ::SetWindowPos(m_window, edit, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::DestroyWindow(edit);

    // The dialog's font size in a fixed-pitch face.
    LOGFONTW font{};
    const auto dialogFont = reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0));
    if (!dialogFont || !::GetObjectW(dialogFont, sizeof font, &font))
        font.lfHeight = -11;
    m_font = ::CreateFontW(font.lfHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    const HDC dc = ::GetDC(m_window);
    const HGDIOBJ old = ::SelectObject(dc, m_font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    SIZE zero{};
    ::GetTextExtentPoint32W(dc, L"0", 1, &zero);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_window, dc);
    m_cell = std::max<int>(1, zero.cx);
    m_lineHeight = std::max<int>(1, metrics.tmHeight + metrics.tmExternalLeading);

    // The sentence counts as the tooltip, asked for when it shows.
    m_tooltip = MfcExtControl::AddTooltip(m_window, m_window, LPSTR_TEXTCALLBACKW);
    UpdateScrollRange();
}

CLogPane::~CLogPane()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

CLogPane* LogPaneOf(CWnd* control)
{
    return HasClass(control, kClassName) ? reinterpret_cast<CLogPane*>(::GetWindowLongPtrW(control, GWLP_USERDATA))
                                         : nullptr;
}

// Geometry -------------------------------------------------------------------

RECT CLogPane::Client() const
{
    RECT client{};
    if (m_window)
        ::GetClientRect(m_window, &client);
    return client;
}

int CLogPane::FullRows() const
{
    return std::max(1, static_cast<int>(Client().bottom) / m_lineHeight);
}

// Left of the text: the mark, and the lines' times when they are shown.
int CLogPane::TextLeft() const
{
    return kMargin + (m_times ? kTimeColumns * m_cell : 0);
}

int CLogPane::VisibleColumns() const
{
    return std::max(1, (static_cast<int>(Client().right) - TextLeft()) / m_cell);
}

std::size_t CLogPane::LastFirstLine() const
{
    const std::size_t lines = m_model.Text().LineCount();
    const auto rows = static_cast<std::size_t>(FullRows());
    return lines > rows ? lines - rows : 0;
}

void CLogPane::UpdateScrollRange(bool toEnd)
{
    const std::size_t last = LastFirstLine();
    m_firstLine = toEnd ? last : std::min(m_firstLine, last);
    if (!m_window)
        return;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMax = static_cast<int>(std::min<std::size_t>(m_model.Text().LineCount() - 1, INT_MAX));
    info.nPage = static_cast<UINT>(FullRows());
    info.nPos = static_cast<int>(std::min<std::size_t>(m_firstLine, INT_MAX));
    ::SetScrollInfo(m_window, SB_VERT, &info, TRUE);
}

void CLogPane::ScrollTo(std::size_t line)
{
    line = std::min(line, LastFirstLine());
    if (line == m_firstLine)
        return;
    m_firstLine = line;
    if (!m_window)
        return;
    ::SetScrollPos(m_window, SB_VERT, static_cast<int>(std::min<std::size_t>(line, INT_MAX)), TRUE);
    ::InvalidateRect(m_window, nullptr, FALSE);
    PlaceCaret();
}

void CLogPane::OnScroll(int request)
{
    const std::size_t rows = static_cast<std::size_t>(FullRows());
    const std::size_t first = m_firstLine;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    ::GetScrollInfo(m_window, SB_VERT, &info);
    switch (request) {
    case SB_LINEUP: return ScrollTo(first > 0 ? first - 1 : 0);
    case SB_LINEDOWN: return ScrollTo(first + 1);
    case SB_PAGEUP: return ScrollTo(first > rows ? first - rows : 0);
    case SB_PAGEDOWN: return ScrollTo(first + rows);
    case SB_TOP: return ScrollTo(0);
    case SB_BOTTOM: return ScrollTo(LastFirstLine());
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return ScrollTo(static_cast<std::size_t>(std::max(0, info.nTrackPos)));
    }
}

void CLogPane::InvalidateFrom(std::size_t line)
{
    if (!m_window || line >= m_firstLine + static_cast<std::size_t>(FullRows()) + 1)
        return;
    RECT area;
    ::GetClientRect(m_window, &area);
    if (line > m_firstLine)
        area.top = static_cast<LONG>((line - m_firstLine) * static_cast<std::size_t>(m_lineHeight));
    ::InvalidateRect(m_window, &area, FALSE);
}

std::size_t CLogPane::PositionAt(POINT point) const
{
    const long row = point.y < 0 ? -1 : point.y / m_lineHeight;
    const long line = std::clamp<long>(static_cast<long>(m_firstLine) + row, 0,
                                       static_cast<long>(m_model.Text().LineCount()) - 1);
    const int x = std::max(0, static_cast<int>(point.x) - TextLeft() + m_cell / 2);
    return Layout().PositionAt(static_cast<std::size_t>(line), m_firstColumn + static_cast<std::size_t>(x / m_cell));
}

// The system caret at the model's caret, or out of sight when it is not in view.
void CLogPane::PlaceCaret()
{
    if (!m_window || ::GetFocus() != m_window)
        return;
    const std::size_t caret = m_model.Caret();
    const std::size_t line = m_model.Text().LineOf(caret);
    const std::size_t column = Layout().ColumnOf(caret);
    const bool inView = line >= m_firstLine && line <= m_firstLine + static_cast<std::size_t>(FullRows())
                        && column >= m_firstColumn;
    if (inView)
        ::SetCaretPos(TextLeft() + static_cast<int>(column - m_firstColumn) * m_cell - 1,
                      static_cast<int>(line - m_firstLine) * m_lineHeight);
    else
        ::SetCaretPos(-m_cell * 4, -m_lineHeight * 4);
}

void CLogPane::EnsureCaretVisible()
{
    const PaneViewStart now{m_firstLine, m_firstColumn};
    const std::size_t caret = m_model.Caret();
    const PaneViewStart start = ViewShowing(m_model.Text().LineOf(caret), Layout().ColumnOf(caret), now,
                                            static_cast<std::size_t>(FullRows()), static_cast<std::size_t>(VisibleColumns()));
    ScrollTo(start.line);
    if (start.column != m_firstColumn) {
        m_firstColumn = start.column;
        Repaint();
    }
    PlaceCaret();
}

// Received bytes --------------------------------------------------------------

void CLogPane::AppendReceived(const char* data, std::size_t size, const CPaneModel::ReadTimes& times)
{
    const bool follow = FollowsEnd();
    const std::size_t oldEnd = m_model.Text().Size();
    const std::size_t oldFirst = m_firstLine;
    const std::size_t changedLine = m_model.AppendReceived(data, size, times);
    if (m_model.Text().Size() == oldEnd)
        return;
    UpdateScrollRange(follow);
    // Only the rows from the line that grew on need painting, unless the view moved.
    InvalidateFrom(m_firstLine == oldFirst ? changedLine : m_firstLine);
    PlaceCaret();
}

void CLogPane::Clear()
{
    m_model.Clear();
    m_firstColumn = 0;
    Relaid(false);
}

void CLogPane::AddSentNote(const std::string& paneBytes)
{
    const bool follow = FollowsEnd();
    m_model.AddSentNote(paneBytes);
    Relaid(follow);
}

// The lines changed: the view at its end again when it followed it.
void CLogPane::Relaid(bool follow)
{
    UpdateScrollRange(follow);
    Repaint();
    PlaceCaret();
}

// Painting --------------------------------------------------------------------

void CLogPane::Repaint()
{
    if (m_window)
        ::InvalidateRect(m_window, nullptr, FALSE);
}

void CLogPane::Paint()
{
    PAINTSTRUCT paint;
    const HDC target = ::BeginPaint(m_window, &paint);
    RECT client;
    ::GetClientRect(m_window, &client);
    // Drawn off screen, then put up at once: no flicker as lines arrive.
    const HDC dc = ::CreateCompatibleDC(target);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(target, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom));
    const HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = ::SelectObject(dc, m_font);
    Fill(dc, paint.rcPaint, ::GetSysColor(COLOR_WINDOW));
    const std::size_t lines = m_model.Text().LineCount();
    const int firstRow = std::max<int>(0, paint.rcPaint.top) / m_lineHeight;
    const int lastRow = std::max<int>(0, paint.rcPaint.bottom - 1) / m_lineHeight;
    for (int row = firstRow; row <= lastRow && m_firstLine + static_cast<std::size_t>(row) < lines; ++row)
        PaintLine(dc, m_firstLine + static_cast<std::size_t>(row), row * m_lineHeight, client.right);
    PaintEvents(dc, std::min(lines, m_firstLine + static_cast<std::size_t>(lastRow) + 1), client.right);
    ::BitBlt(target, paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right - paint.rcPaint.left,
             paint.rcPaint.bottom - paint.rcPaint.top, dc, paint.rcPaint.left, paint.rcPaint.top, SRCCOPY);
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::EndPaint(m_window, &paint);
}

// One line from the first column in view: its mark (a quiet mark at the
// left edge when its checksum is right, a red mark on a red line when it is
// wrong, a blue one on a blue line for a note of something sent), its time
// when times are shown, the selection, and its cells as the layout gives them.
void CLogPane::PaintLine(HDC dc, std::size_t line, int y, int width) const
{
    const int bottom = y + m_lineHeight;
    const auto band = [&](COLORREF line, COLORREF mark) {
        Fill(dc, RECT{0, y, width, bottom}, line);
        Fill(dc, RECT{0, y, kMarkWidth, bottom}, mark);
    };
    switch (m_model.MarkOf(line)) {
    case CPaneModel::LineMark::None: break;
    case CPaneModel::LineMark::Valid: Fill(dc, RECT{0, y + 1, kMarkWidth, bottom - 1}, kValidMark); break;
    case CPaneModel::LineMark::Broken: band(kBrokenLine, kBrokenMark); break;
    case CPaneModel::LineMark::Sent: band(kSentLine, kSentMark); break;
    }
    ::SetBkMode(dc, TRANSPARENT);
    if (const std::int64_t time = m_times ? m_model.LineTimeMs(line) : 0) {
        const std::wstring shown = WideFromUtf8(text::LocalTime(time, "%H:%M:%S", true));
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        ::ExtTextOutW(dc, kMargin, y, 0, nullptr, shown.c_str(), static_cast<UINT>(shown.size()), nullptr);
    }

    const std::size_t columns = static_cast<std::size_t>(VisibleColumns()) + 1;
    Layout().Row(line, m_firstColumn, columns, m_cells);
    const int left = TextLeft();
    const auto xOf = [&](std::size_t column) { return left + static_cast<int>(column - m_firstColumn) * m_cell; };
    for (const PaneCell& cell : m_cells) {
        if (cell.selected)
            Fill(dc, RECT{xOf(cell.column), y, xOf(cell.column + 1), bottom}, ::GetSysColor(COLOR_HIGHLIGHT));
    }
    // The glyphs by colour, each a run of the row's columns with blanks for
    // the others: text, selected, dimmed.
    const COLORREF colours[] = {::GetSysColor(COLOR_WINDOWTEXT), ::GetSysColor(COLOR_HIGHLIGHTTEXT),
                                ::GetSysColor(COLOR_GRAYTEXT)};
    static std::vector<INT> advances;
    if (advances.size() < columns || advances.front() != m_cell)
        advances.assign(columns + 64, m_cell);
    const RECT area{left, y, width, bottom};
    for (int colour = 0; colour < 3; ++colour) {
        std::wstring run(columns, L' ');
        bool any = false;
        for (const PaneCell& cell : m_cells) {
            const int of = cell.selected ? 1 : cell.dim ? 2 : 0;
            if (of == colour && cell.byte != '\t' && cell.byte != ' ' && cell.column - m_firstColumn < columns) {
                run[cell.column - m_firstColumn] = static_cast<wchar_t>(PaneChar(cell.byte));
                any = true;
            }
        }
        if (!any)
            continue;
        ::SetTextColor(dc, colours[colour]);
        ::ExtTextOutW(dc, left, y, ETO_CLIPPED, &area, run.data(), static_cast<UINT>(run.size()), advances.data());
    }
}

// Each link event of the lines in view as a rule over the line where it
// happened, with what it was and when at the right.
void CLogPane::PaintEvents(HDC dc, std::size_t end, int width) const
{
    const CPaneText& text = m_model.Text();
    const auto& events = m_model.Events();
    auto event = std::lower_bound(events.begin(), events.end(), text.LineStart(m_firstLine),
                                  [](const CPaneModel::Event& e, std::size_t pos) { return e.pos < pos; });
    for (; event != events.end(); ++event) {
        const std::size_t line = text.LineOf(event->pos);
        if (line >= end)
            break;
        const bool up = event->kind == CPaneModel::Event::Kind::Opened || event->kind == CPaneModel::Event::Kind::Back;
        const int y = static_cast<int>(line - m_firstLine) * m_lineHeight;
        Fill(dc, RECT{0, y, width, y + 1}, up ? kLinkUp : kLinkDown);
        const std::wstring label = WideFromUtf8(CPaneModel::EventText(*event));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
        const RECT box{width - size.cx - 6, y + 1, width, y + m_lineHeight};
        ::SetBkMode(dc, OPAQUE);
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        ::SetTextColor(dc, up ? kLinkUp : kLinkDown);
        ::ExtTextOutW(dc, box.left + 3, y + 1, ETO_OPAQUE | ETO_CLIPPED, &box, label.c_str(),
                      static_cast<UINT>(label.size()), nullptr);
    }
}

// Caret, selection and editing ----------------------------------------------

std::u16string CLogPane::Decoded(std::size_t begin, std::size_t end) const
{
    end = std::min(end, m_model.Text().Size());
    begin = std::min(begin, end);
    std::u16string text(end - begin, u'\0');
    m_model.Decode(begin, end, text.data());
    return text;
}

void CLogPane::CaretMoved(bool hadSelection)
{
    if (hadSelection || m_model.HasSelection())
        Repaint();
    EnsureCaretVisible();
}

void CLogPane::MoveCaret(std::size_t pos, bool select)
{
    const bool hadSelection = m_model.HasSelection();
    m_model.MoveCaret(pos, select);
    CaretMoved(hadSelection);
}

void CLogPane::Apply(CPaneModel::Move move, bool select)
{
    const bool hadSelection = m_model.HasSelection();
    m_model.Apply(move, select, static_cast<std::size_t>(FullRows()));
    CaretMoved(hadSelection);
}

void CLogPane::SetSelection(std::size_t anchor, std::size_t caret)
{
    const bool hadSelection = m_model.HasSelection();
    m_model.SetSelection(anchor, caret);
    CaretMoved(hadSelection);
}

void CLogPane::SelectAll()
{
    SetSelection(0, m_model.Text().Size());
}

void CLogPane::ReplaceSelection(const std::string& paneBytes)
{
    m_model.ReplaceSelection(paneBytes);
    AfterEdit();
}

void CLogPane::AfterEdit()
{
    UpdateScrollRange();
    Repaint();
    EnsureCaretVisible();
}

// The selection as Unicode text, its line breaks as CR LF.
void CLogPane::Copy() const
{
    if (!m_model.HasSelection() || !::OpenClipboard(m_window))
        return;
    std::wstring text;
    const std::size_t begin = m_model.SelectionBegin(), end = m_model.SelectionEnd();
    for (const char16_t c : m_hex ? Layout().CopyText(begin, end) : Decoded(begin, end)) {
        if (c == u'\n')
            text.push_back(L'\r');
        text.push_back(static_cast<wchar_t>(c));
    }
    ::EmptyClipboard();
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (void* bytes = memory ? ::GlobalLock(memory) : nullptr) {
        std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(bytes));
        ::GlobalUnlock(memory);
        if (!::SetClipboardData(CF_UNICODETEXT, memory))
            ::GlobalFree(memory);
    }
    ::CloseClipboard();
}

void CLogPane::Cut()
{
    if (!m_model.HasSelection())
        return;
    Copy();
    ReplaceSelection(std::string());
}

void CLogPane::Paste()
{
    if (!::OpenClipboard(m_window))
        return;
    std::string bytes;
    const HANDLE memory = ::GetClipboardData(CF_UNICODETEXT);
    if (const auto* text = memory ? static_cast<const char16_t*>(::GlobalLock(memory)) : nullptr) {
        bytes = ToPaneBytes(std::u16string(text));
        ::GlobalUnlock(memory);
    }
    ::CloseClipboard();
    if (!bytes.empty())
        ReplaceSelection(bytes);
}

// A key the pane handles itself; false for the rest.
bool CLogPane::OnKey(WPARAM key)
{
    using M = CPaneModel::Move;
    const bool ctrl = KeyDown(VK_CONTROL);
    const bool shift = KeyDown(VK_SHIFT);
    if (KeyDown(VK_MENU))
        return false;
    switch (key) {
    case VK_LEFT: Apply(ctrl ? M::PreviousWord : M::PreviousChar, shift); return true;
    case VK_RIGHT: Apply(ctrl ? M::NextWord : M::NextChar, shift); return true;
    case VK_UP: Apply(M::PreviousLine, shift); return true;
    case VK_DOWN: Apply(M::NextLine, shift); return true;
    case VK_PRIOR: Apply(M::PreviousPage, shift); return true;
    case VK_NEXT: Apply(M::NextPage, shift); return true;
    case VK_HOME: Apply(ctrl ? M::TextStart : M::LineStart, shift); return true;
    case VK_END: Apply(ctrl ? M::TextEnd : M::LineEnd, shift); return true;
    case VK_F3: Find(!shift); return true;
    case VK_BACK: m_model.DeleteBackward(); AfterEdit(); return true;
    case VK_DELETE:
        if (shift)
            Cut();
        else {
            m_model.DeleteForward();
            AfterEdit();
        }
        return true;
    case VK_INSERT:
        if (ctrl)
            Copy();
        else if (shift)
            Paste();
        return ctrl || shift;
    }
    if (!ctrl || shift)
        return false;
    switch (key) {
    case 'A': SelectAll(); return true;
    case 'C': Copy(); return true;
    case 'X': Cut(); return true;
    case 'V': Paste(); return true;
    case 'S': if (m_save) m_save(); return true;
    case 'F': OpenFind(); return true;
    }
    return false;
}

// Typed text: Enter breaks the line; control characters (Ctrl+letters,
// Backspace) are the keys' business.
void CLogPane::OnChar(wchar_t c)
{
    if (c == L'\r') {
        ReplaceSelection("\n");
        return;
    }
    if (IS_HIGH_SURROGATE(c)) {
        m_highSurrogate = c;
        return;
    }
    std::u16string typed;
    if (IS_LOW_SURROGATE(c) && m_highSurrogate)
        typed.push_back(static_cast<char16_t>(m_highSurrogate));
    m_highSurrogate = 0;
    if (c < L' ' || c == 0x7F)
        return;
    typed.push_back(static_cast<char16_t>(c));
    ReplaceSelection(ToPaneBytes(typed));
}

void CLogPane::OnContextMenu(POINT screen)
{
    if (screen.x == -1 && screen.y == -1) {  // from the keyboard: at the caret
        ::GetCaretPos(&screen);
        ::ClientToScreen(m_window, &screen);
    }
    // The pane's own items, then the window's; an empty caption is a separator.
    struct Item
    {
        std::string caption;
        bool enabled, checked;
        std::function<void()> action;
    };
    const bool selection = m_model.HasSelection();
    std::vector<Item> items{
        {"Вырезать\tCtrl+X", selection, false, [this] { Cut(); }},
        {"Копировать\tCtrl+C", selection, false, [this] { Copy(); }},
        {"Вставить\tCtrl+V", ::IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE, false, [this] { Paste(); }},
        {"Удалить\tDel", selection, false, [this] { ReplaceSelection(std::string()); }},
        {},
        {"Выделить всё\tCtrl+A", !m_model.Text().Empty(), false, [this] { SelectAll(); }},
        {"Найти…\tCtrl+F", true, false, [this] { OpenFind(); }},
        {},
        {"Hex", true, m_hex, [this] { SetHex(!m_hex); }},
        {"Время", true, m_times, [this] { SetTimesShown(!m_times); }},
    };
    if (m_save)
        items.insert(items.end(), {{}, {"Сохранить в файл…\tCtrl+S", true, false, m_save}});
    if (!m_menuItems.empty())
        items.emplace_back();
    for (const CPaneMenuItem& item : m_menuItems)
        items.push_back({item.caption, !item.enabled || item.enabled(), item.checked && item.checked(), item.action});

    const HMENU menu = ::CreatePopupMenu();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const UINT flags = item.caption.empty() ? MF_SEPARATOR
                                                : MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED)
                                                      | (item.checked ? MF_CHECKED : MF_UNCHECKED);
        ::AppendMenuW(menu, flags, i + 1, WideFromUtf8(item.caption).c_str());
    }
    const auto chosen = static_cast<std::size_t>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_window, nullptr));
    ::DestroyMenu(menu);
    if (chosen > 0 && chosen <= items.size())
        items[chosen - 1].action();
}

void CLogPane::OpenFind()
{
    if (!m_window)
        return;
    m_findBar.Open(m_window);
    const CPaneText& text = m_model.Text();
    const std::size_t begin = m_model.SelectionBegin(), end = m_model.SelectionEnd();
    if (m_model.HasSelection() && text.LineOf(begin) == text.LineOf(end))
        m_findBar.SetNeedle(Decoded(begin, end));
    m_findBar.SetStatus("");
}

void CLogPane::Find(bool forward)
{
    const std::u16string needle = m_findBar.Needle();
    if (needle.empty())
        return OpenFind();
    m_findBar.SetStatus("Поиск…");
    m_search.Start(ToPaneBytes(needle), forward, m_findBar.MatchCase());
}

void CLogPane::OnFound(std::size_t begin, std::size_t end, bool wrapped)
{
    m_findBar.SetStatus(wrapped ? "Найдено, с другого конца" : "");
    SetSelection(begin, end);
}

// Mouse -------------------------------------------------------------------------

// Scrolls a line towards a drag that left the view, extending the selection.
void CLogPane::DragScroll()
{
    RECT client;
    ::GetClientRect(m_window, &client);
    if (m_dragPoint.y < 0)
        ScrollTo(m_firstLine > 0 ? m_firstLine - 1 : 0);
    else if (m_dragPoint.y >= client.bottom)
        ScrollTo(m_firstLine + 1);
    MoveCaret(PositionAt(m_dragPoint), true);
}

void CLogPane::EndDrag()
{
    m_dragging = false;
    ::KillTimer(m_window, kDragTimer);
}

// Messages ----------------------------------------------------------------------

LRESULT CALLBACK CLogPane::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowObject<CLogPane>(window, message, lParam);
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE)
        self->m_window = window;
    if (message == WM_NCDESTROY) {
        // The object stays with the dialog; it only lets the window go.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        self->m_tooltip = nullptr;
        ::DeleteObject(self->m_font);
        self->m_font = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CLogPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // painting covers every pixel
    case WM_SIZE: {
        const bool follow = FollowsEnd();
        UpdateScrollRange(follow);
        ::InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    }
    case WM_GETDLGCODE: {
        // Arrows, characters and Enter are the pane's; Tab and Escape the dialog's.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        const bool enter = key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_SETFOCUS:
        ::CreateCaret(m_window, nullptr, 2, m_lineHeight);
        PlaceCaret();
        ::ShowCaret(m_window);
        return 0;
    case WM_KILLFOCUS:
        EndDrag();
        ::DestroyCaret();
        return 0;
    case WM_KEYDOWN:
        if (OnKey(wParam))
            return 0;
        break;
    case WM_CHAR:
        OnChar(static_cast<wchar_t>(wParam));
        return 0;
    case WM_VSCROLL:
        OnScroll(LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        UINT linesPerNotch = 3;
        ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
        m_wheel += GET_WHEEL_DELTA_WPARAM(wParam);
        const long lines = static_cast<long>(m_wheel / WHEEL_DELTA) * static_cast<long>(linesPerNotch);
        m_wheel %= WHEEL_DELTA;
        const long target = static_cast<long>(m_firstLine) - lines;
        ScrollTo(static_cast<std::size_t>(std::max(0L, target)));
        return 0;
    }
    case WM_LBUTTONDOWN:
        ::SetFocus(m_window);
        ::SetCapture(m_window);
        MoveCaret(PositionAt(point), (wParam & MK_SHIFT) != 0);
        m_dragging = true;
        m_dragPoint = point;
        return 0;
    case WM_MOUSEMOVE: {
        if (!m_dragging || !(wParam & MK_LBUTTON))
            return 0;
        m_dragPoint = point;
        MoveCaret(PositionAt(point), true);
        RECT client;
        ::GetClientRect(m_window, &client);
        if (::PtInRect(&client, point))
            ::KillTimer(m_window, kDragTimer);
        else
            ::SetTimer(m_window, kDragTimer, kDragScrollInterval, nullptr);
        return 0;
    }
    case WM_LBUTTONUP:
        if (m_dragging)
            ::ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        EndDrag();
        return 0;
    case WM_LBUTTONDBLCLK: {
        const bool hadSelection = m_model.HasSelection();
        m_model.SelectWordAt(PositionAt(point));
        CaretMoved(hadSelection);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kDragTimer && m_dragging)
            DragScroll();
        return 0;
    case WM_CONTEXTMENU:
        OnContextMenu(point);
        return 0;
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (info->hdr.hwndFrom == m_tooltip && info->hdr.code == TTN_GETDISPINFOW) {
            m_tipText = WideFromUtf8(m_note.empty() ? m_model.SentencesText() : m_model.SentencesText() + "\n" + m_note);
            info->lpszText = m_tipText.data();
            return 0;
        }
        break;
    }
    }
    return ::DefWindowProcW(m_window, message, wParam, lParam);
}

} // namespace ui
