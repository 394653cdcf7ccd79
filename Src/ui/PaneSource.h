#pragma once

// Where a stretch of a log pane's text comes from: text held in memory
// (CPaneRun), or received text read back from its record (CPaneStream). The
// pane's text (CPaneText) is a sequence of pieces, each a range of one
// source. A source only ever grows at its end, so a range of it, once there,
// always reads the same.
//
// A source counts its bytes from its start and its line breaks ('\n') from
// its first; every break has a tag and a time (see CPaneText).

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ui {

class CPaneSnapshot;

// A callable taking (const char* data, std::size_t size) and returning
// whether to go on, passed on by reference without copying it.
class CPieceSink
{
public:
    template <typename Piece, typename = std::enable_if_t<!std::is_same_v<Piece, CPieceSink>>>
    CPieceSink(Piece& piece)  // NOLINT: taken implicitly, as a reference would be
        : m_piece(&piece),
          m_call([](void* p, const char* data, std::size_t size) { return (*static_cast<Piece*>(p))(data, size); })
    {
    }

    bool operator()(const char* data, std::size_t size) const { return m_call(m_piece, data, size); }

private:
    void* m_piece;
    bool (*m_call)(void*, const char*, std::size_t);
};

class CPaneSource
{
public:
    virtual ~CPaneSource() = default;

    // Where break `k` is.
    virtual std::uint64_t BreakAt(std::uint64_t k) const = 0;
    // The breaks before `pos`: the index of the first break at or after it.
    virtual std::uint64_t BreaksBefore(std::uint64_t pos) const = 0;
    virtual char At(std::uint64_t pos) const = 0;
    // Calls `sink` for the bytes of [begin, end) in order; false when the
    // sink asked to stop.
    virtual bool Read(std::uint64_t begin, std::uint64_t end, CPieceSink sink) const = 0;
    virtual std::uint8_t Tag(std::uint64_t k) const = 0;
    virtual void SetTag(std::uint64_t k, std::uint8_t tag) = 0;
    virtual std::int64_t Time(std::uint64_t k) const = 0;

    // Adds [begin, end), whose first break is `firstBreak`, to a snapshot,
    // with the times of its breaks when the snapshot keeps them.
    virtual void AddTo(CPaneSnapshot& snapshot, std::uint64_t begin, std::uint64_t end,
                       std::uint64_t firstBreak) const = 0;
    // Memory held, in bytes.
    virtual std::size_t MemoryBytes() const = 0;
    // The bytes of [begin, end) read back from a record rather than held.
    virtual std::uint64_t ReadBackBytes(std::uint64_t begin, std::uint64_t end) const = 0;
};

} // namespace ui
