#pragma once

// Finding text in a pane on the window's thread, a slice per turn of its
// event loop (CPaneFind), so that a search through a long pane never holds
// the window longer than a frame. Forward it looks from the selection's end,
// backward from its start; a match is handed to `found` to select and show,
// a search that finds nothing to `notFound`. An edit of the pane meanwhile
// starts the search again from the selection; "Очистить" ends it.
//
// The views of both window systems drive their find bars with it.

#include "PaneFind.h"
#include "PaneModel.h"
#include "Timer.h"

#include <functional>
#include <optional>
#include <string>

namespace ui {

class CPaneSearch
{
public:
    using Found = std::function<void(std::size_t begin, std::size_t end, bool wrapped)>;
    using NotFound = std::function<void()>;

    CPaneSearch(const CPaneModel& model, Found found, NotFound notFound);

    // Looks for `needle` (pane bytes); a search under way is dropped.
    void Start(const std::string& needle, bool forward, bool matchCase);
    void Stop();
    bool Searching() const { return m_find.has_value(); }

private:
    void Begin();
    void Step();

    const CPaneModel& m_model;
    Found m_found;
    NotFound m_notFound;
    std::string m_needle;
    bool m_forward = true;
    bool m_matchCase = false;
    std::uint64_t m_edits = 0;  // the model's edits when the search began
    std::optional<CPaneFind> m_find;
    CTimer m_next;
};

} // namespace ui
