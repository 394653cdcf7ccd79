#pragma once

// A stretch of a channel's record read back as pane bytes. A pane that
// shows received text from its record keeps, every so often, a point where
// its pane bytes and the record's bytes line up (SpanPoint); between two
// points it reads the record and turns each line break (CR LF, a CR alone,
// LF) into one '\n', as the pane did when the bytes came.
//
// Points are never put between the CR and the LF of a CR LF, so a stretch
// read from a point on begins as a stretch of its own.
//
// A record that cannot give the bytes back (its file cut short or gone bad
// under the program) reads as a stand-in of the right shape: as many bytes
// and breaks as the points say, '?' with the breaks spread evenly. The pane
// stays whole and shows what it can.

#include <WatchRecord.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

struct SpanPoint
{
    std::uint64_t pane = 0;  // pane bytes before it
    std::uint64_t raw = 0;   // received bytes before it: its offset in the record
    std::uint64_t brk = 0;   // line breaks before it
};

// The pane bytes of the record's bytes [from.raw, to.raw) into `bytes`, and
// the offsets of their breaks into `breaks` when given; `scratch` is room
// for the record's bytes. False when the record did not give them whole or
// they do not have the shape the points say: the stand-in is there instead.
bool ReadSpan(const record::CWatchRecord& record, const SpanPoint& from, const SpanPoint& to, std::string& scratch,
              std::string& bytes, std::vector<std::uint32_t>* breaks);

// The stand-in for a stretch that cannot be read.
void StandInSpan(const SpanPoint& from, const SpanPoint& to, std::string& bytes, std::vector<std::uint32_t>* breaks);

// Received bytes as pane bytes, appended to `out`; the bytes must not end
// between a CR and its LF, nor begin with the LF of a CR before them.
void AppendAsPaneBytes(const char* data, std::size_t size, std::string& out);

} // namespace ui
