#pragma once

// The tags of a run of line breaks, numbered on from where they began, kept
// in half a byte each: a pane's received lines take a handful of tag values
// (what their check found, how the device ended them), so each tag is the
// number of its value in a small table. From a sixteenth value on, the tags
// take a byte each. The front can be let go as the run's is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace ui {

class CPaneTags
{
public:
    std::uint64_t End() const { return m_end; }
    std::uint64_t First() const { return m_first; }

    void PushBack(std::uint8_t tag);
    // The tag of `k`; 0 when it is not held.
    std::uint8_t Get(std::uint64_t k) const;
    void Set(std::uint64_t k, std::uint8_t tag);
    // Lets go of the tags before `k`.
    void ForgetBefore(std::uint64_t k);

    std::size_t MemoryBytes() const { return m_bytes.size() + m_values.size(); }

private:
    // The code of `tag`, given one when it has none; false when the table is full.
    bool CodeOf(std::uint8_t tag, std::uint8_t& code);
    void Widen();
    std::uint8_t Code(std::uint64_t k) const;
    void Put(std::uint64_t k, std::uint8_t code);

    std::deque<std::uint8_t> m_bytes;
    bool m_wide = false;                        // a byte a tag, the tag itself
    std::vector<std::uint8_t> m_values;         // half bytes: code -> tag
    std::array<std::uint8_t, 256> m_codes{};    // tag -> code + 1; 0 for none yet
    std::uint64_t m_origin = 0;                 // the tag of m_bytes[0]'s low half (or byte)
    std::uint64_t m_first = 0;
    std::uint64_t m_end = 0;
};

} // namespace ui
