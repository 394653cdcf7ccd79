#pragma once

// A channel's log pane on the screen: a Win32 window of its own, the view
// of a CPaneModel (what the device sent and the operator typed, see
// PaneModel.h), drawn only for the lines in view, in a fixed-pitch font.
// It takes the place of the template's multi-line edit (same identifier,
// rectangle, style, z-order and tab position).
//
// Lines do not wrap; the view follows the caret sideways. A view at the end
// of the text stays at the end as received bytes arrive; a view the operator
// scrolled up keeps its place until they scroll back to the end.
//
// Keys: arrows, Home/End, Page Up/Down, with Shift to select and Ctrl by
// word or to the ends; Backspace, Delete, Enter for a line break, typed
// characters; Ctrl+A, Ctrl+C / Ctrl+Insert, Ctrl+X / Shift+Delete, Ctrl+V /
// Shift+Insert, Ctrl+S; Ctrl+F opens the find bar (FindBar.h), F3 and
// Shift+F3 find the next and the previous match of its text, selected and
// brought into view; Tab moves the focus. Mouse: click, drag and
// Shift+click select, double click selects a word, the wheel scrolls; the
// context menu edits. Copied text is Unicode with CR LF line breaks.
//
// NMEA 0183: every received line that is a sentence with a checksum is
// marked in the margin, quietly when its checksum is right, in red over a
// red line when it is wrong; the counts are the pane's tooltip. Notes of
// what was sent are set apart in blue; link events are rules over the line
// where they happened. The context menu shows lines in hex (CPaneLayout)
// and each received line's time, and holds the window's own items.
//
// The object belongs to the dialog and outlives the pane's window: once the
// window is gone it keeps its text and draws nothing.

#include "FindBar.h"
#include "PaneSearch.h"
#include "PaneView.h"
#include "Wnd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class CLogPane : public CPaneView
{
public:
    // Replaces `edit`, a child of a dialog, by the pane's own window.
    explicit CLogPane(HWND edit);
    ~CLogPane();
    CLogPane(const CLogPane&) = delete;
    CLogPane& operator=(const CLogPane&) = delete;

    HWND GetSafeHwnd() const { return m_window; }

    // Bytes as the device sent them, added at the end (see ReceivedText.h).
    void AppendReceived(const char* data, std::size_t size, const CPaneModel::ReadTimes& times = {});
    // Empties the pane; the next bytes start at the top.
    void Clear();

    // The model's own notes, shown at once.
    void AddSentNote(const std::string& paneBytes);

    // The find bar: opened (a selection within a line is what to find), and
    // a search for its text from the selection on, or back.
    void OpenFind();
    void Find(bool forward);
    const CFindBar& FindBar() const { return m_findBar; }

    // Selects [anchor, caret) or [caret, anchor), as the operator would.
    void SetSelection(std::size_t anchor, std::size_t caret);
    // The first line in view, and whether the view shows the end.
    std::size_t FirstVisibleLine() const { return m_firstLine; }
    bool FollowsEnd() const { return m_firstLine >= LastFirstLine(); }
    std::size_t FirstVisibleColumn() const { return m_firstColumn; }

    void SelectAll();
    void Copy() const;
    void Cut();
    void Paste();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Paint();
    void PaintLine(HDC dc, std::size_t line, int y, int width) const;
    void PaintEvents(HDC dc, std::size_t end, int width) const;
    void Repaint() override;
    void Relaid(bool follow);
    std::u16string Decoded(std::size_t begin, std::size_t end) const;

    RECT Client() const;
    int TextLeft() const;
    int FullRows() const;
    int VisibleColumns() const;
    std::size_t LastFirstLine() const;
    void UpdateScrollRange(bool toEnd = false);
    void ScrollTo(std::size_t line);
    void OnScroll(int request);
    void InvalidateFrom(std::size_t line);
    void PlaceCaret();
    void EnsureCaretVisible() override;
    std::size_t PositionAt(POINT point) const;

    void CaretMoved(bool hadSelection);
    void MoveCaret(std::size_t pos, bool select);
    void Apply(CPaneModel::Move move, bool select);
    void ReplaceSelection(const std::string& paneBytes);
    void AfterEdit();
    bool OnKey(WPARAM key);
    void OnChar(wchar_t c);
    void OnContextMenu(POINT screen);
    void OnFound(std::size_t begin, std::size_t end, bool wrapped);
    void DragScroll();
    void EndDrag();

    HWND m_window = nullptr;
    HWND m_tooltip = nullptr;
    HFONT m_font = nullptr;
    int m_cell = 8;        // pixels a column
    int m_lineHeight = 16;
    std::size_t m_firstLine = 0;
    bool m_dragging = false;
    POINT m_dragPoint{};
    int m_wheel = 0;           // wheel turns not yet scrolled, in WHEEL_DELTA units
    wchar_t m_highSurrogate = 0;
    std::wstring m_tipText;
    CFindBar m_findBar;
    CPaneSearch m_search;
};

// The pane among a window's controls; nullptr for any other control.
CLogPane* LogPaneOf(CWnd* control);

} // namespace ui
