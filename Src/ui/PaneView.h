#pragma once

// What a log pane's view keeps beside its model on any platform: the model
// itself, how its lines are shown (hex, times, the leftmost column), and
// what the window hands it (the save handler, its menu items, the note under
// the sentence counts). A platform's pane derives from it and says how it
// repaints and keeps the caret in view.

#include "PaneLayout.h"
#include "PaneMenu.h"
#include "PaneModel.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ui {

class CPaneView
{
public:
    CPaneView(const CPaneView&) = delete;
    CPaneView& operator=(const CPaneView&) = delete;

    const CPaneModel& Model() const { return m_model; }

    void SetSaveHandler(std::function<void()> save) { m_save = std::move(save); }
    void SetSentenceListener(CPaneModel::SentenceListener listener) { m_model.SetSentenceListener(std::move(listener)); }
    // The record the received bytes go on into (see CPaneModel::SetRecord).
    void SetRecord(std::shared_ptr<record::CWatchRecord> record) { m_model.SetRecord(std::move(record)); }
    // A line the tooltip adds below the sentence counts (UTF-8; empty: none).
    void SetNote(const std::string& note) { m_note = note; }
    // Items the window adds to the context menu.
    void SetMenuItems(std::vector<CPaneMenuItem> items) { m_menuItems = std::move(items); }

    // A link event, drawn over the line where it happened.
    void AddEvent(CPaneModel::Event::Kind kind, std::int64_t timeMs);
    // Lines shown as the hex of their bytes beside their characters; the
    // same lines stay in view, only their columns change.
    void SetHex(bool hex);
    bool IsHex() const { return m_hex; }
    // Each received line's time in the margin.
    void SetTimesShown(bool shown);
    bool TimesShown() const { return m_times; }

protected:
    CPaneView() = default;
    virtual ~CPaneView() = default;

    virtual void Repaint() = 0;
    virtual void EnsureCaretVisible() = 0;

    CPaneLayout Layout() const { return CPaneLayout(m_model, m_hex); }

    CPaneModel m_model;
    bool m_hex = false;             // lines shown as the hex of their bytes
    bool m_times = false;           // each received line's time in the margin
    std::size_t m_firstColumn = 0;  // the leftmost column in view
    mutable std::vector<PaneCell> m_cells;  // the row being painted
    std::function<void()> m_save;
    std::vector<CPaneMenuItem> m_menuItems;
    std::string m_note;
};

} // namespace ui
