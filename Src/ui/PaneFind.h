#pragma once

// Finding text in a pane, a slice at a time, so that the window can search
// a pane of a hundred megabytes without holding its thread longer than a
// frame: it calls Step once per turn of its event loop until the search has
// ended, and selects the match.
//
// The pane's text is bytes, Windows-1251, '\n' the only line break; the
// needle is the same (its line breaks '\n' too), and a match may span a line
// break. Without "match case", letters match whatever their case, Latin and
// Cyrillic alike, Ё/ё, Ў/ў, Є/є, Ї/ї, І/і, Ґ/ґ and the code page's other
// Cyrillic pairs (Ђ Ѓ Љ Њ Ќ Ћ Џ Ј Ѕ) included; other bytes match only
// themselves.
//
// The text is read through the interface ui::CPaneText offers, so any byte
// store with it will do:
//     std::size_t Size() const;
//     void ForEachPiece(std::size_t begin, std::size_t end, Piece piece) const;
//         // piece(const char* data, std::size_t size) -> bool, in order
//
// Wrapping: by default a search that reaches the text's end (or, backward,
// its start) goes on from the other end up to where it began, and Wrapped()
// says so: the view of a pane follows its end, where a search forward would
// otherwise find nothing at all. Without wrapping it ends there.
//
// The text may grow between steps (received bytes appended): a search
// forward also finds what arrived meanwhile. Any other change to the text
// (an edit, "Очистить") voids a search under way; the window starts anew.

#include <cstddef>
#include <string>

namespace ui {

// The lower-case letter of a Windows-1251 capital; any other byte as it is.
unsigned char FoldCase1251(unsigned char byte);

struct PaneFindOptions
{
    bool matchCase = false;
    bool wrap = true;
};

class CPaneFind
{
public:
    enum class Direction { Forward, Backward };
    enum class Status { Searching, Found, NotFound };
    using Options = PaneFindOptions;

    // Positions a step examines at most: a few milliseconds' work (see
    // bench/ui/bench_pane_find), well inside a frame.
    static constexpr std::size_t kSliceBytes = 2u << 20;

    // Forward, finds the first match that begins at `from` or after it;
    // backward, the last one that begins before `from` (for F3 and
    // Shift+F3: the end and the start of the current selection). An empty
    // needle finds nothing.
    CPaneFind(std::string needle, std::size_t from, Direction direction, Options options = {});

    // Searches on through at most `sliceBytes` positions of `text`; the
    // status afterwards.
    template <typename Text>
    Status Step(const Text& text, std::size_t sliceBytes = kSliceBytes);
    // Steps until the search has ended.
    template <typename Text>
    Status Run(const Text& text);

    Status GetStatus() const { return m_status; }
    // The match found: [MatchBegin(), MatchEnd()).
    std::size_t MatchBegin() const { return m_matchBegin; }
    std::size_t MatchEnd() const { return m_matchBegin + m_needle.size(); }
    // The match was found past the text's end (or start), from the other end.
    bool Wrapped() const { return m_wrapped; }

private:
    // Candidate positions [first, last) to examine next.
    struct Window
    {
        std::size_t first = 0;
        std::size_t last = 0;
    };

    // The next positions to examine in a text of `size` bytes, or false when
    // the search has ended without a match.
    bool NextWindow(std::size_t size, std::size_t budget, Window& window);
    void Load(const char* data, std::size_t size);
    // Looks at the loaded bytes, which begin at window.first.
    void SearchLoaded(const Window& window);

    std::string m_needle;  // folded unless case matters
    std::size_t m_from;
    Direction m_direction;
    Options m_options;
    Status m_status = Status::Searching;
    int m_pass = 0;        // 0: from `from` on; 1: wrapped to the other end
    std::size_t m_next;    // forward: the next position; backward: the one after the next
    std::size_t m_matchBegin = 0;
    bool m_wrapped = false;
    std::string m_loaded;  // the window's bytes, folded unless case matters
};

template <typename Text>
CPaneFind::Status CPaneFind::Step(const Text& text, std::size_t sliceBytes)
{
    std::size_t budget = sliceBytes > 0 ? sliceBytes : 1;
    Window window;
    while (m_status == Status::Searching && budget > 0 && NextWindow(text.Size(), budget, window)) {
        // A match may begin at the window's last position: its bytes reach
        // a needle's length less one beyond.
        m_loaded.clear();
        text.ForEachPiece(window.first, window.last + m_needle.size() - 1, [this](const char* data, std::size_t size) {
            Load(data, size);
            return true;
        });
        SearchLoaded(window);
        budget -= window.last - window.first;
    }
    return m_status;
}

template <typename Text>
CPaneFind::Status CPaneFind::Run(const Text& text)
{
    while (Step(text) == Status::Searching) {
    }
    return m_status;
}

} // namespace ui
