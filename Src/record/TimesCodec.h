#pragma once

// The times of a record, in its ".times" file: an 8-byte header "ORVTIME1",
// then one entry per line begun and per event, in the order they happened:
//   line    varint(d + 1)               the line began d ms after the entry before
//   event   0x00, kind, varint(d)       the event happened d ms after the entry
//                                       before, before the next line began
// Varints are unsigned LEB128 (seven bits a byte, low first, top bit: more).
// The first entry, the Open event, counts from 0: its d is its own time.
// Times never go back: a clock set back repeats the last time until it
// catches up. Lines read a few milliseconds apart cost one byte each.

#include "RecordTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace record {

enum class EventKind : std::uint8_t
{
    Open = 1,
    Close = 2,
    Lost = 3,  // the device was lost: nothing can come until it is back
    Back = 4,  // the device is back, reading into the same record
};

constexpr char kTimesHeader[] = "ORVTIME1";
constexpr std::size_t kTimesHeaderSize = sizeof kTimesHeader - 1;
// The longest entry: an event's two bytes and a ten-byte varint.
constexpr std::size_t kLongestTimesEntry = 12;

void PutLineTime(std::string& out, std::uint64_t delta);
void PutEventTime(std::string& out, EventKind kind, std::uint64_t delta);

// Reads entries from bytes of a times file (after its header).
class CTimesDecoder
{
public:
    struct Entry
    {
        bool isEvent = false;
        EventKind kind = EventKind::Open;  // for an event
        std::uint64_t delta = 0;
    };
    enum class Result { Entry, End, Bad };

    CTimesDecoder(const char* data, std::size_t size) : m_data(data), m_size(size) {}

    // The next entry. End when the bytes end before a whole entry (where a
    // file being written, or cut short, ends); Bad when they are no entry.
    Result Next(Entry& entry);
    // Where the next entry starts.
    std::size_t Position() const { return m_at; }

private:
    bool Varint(std::uint64_t& value);

    const char* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace record
