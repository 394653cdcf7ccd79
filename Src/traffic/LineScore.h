#pragma once

#include "NmeaChecksum.h"

#include <cstddef>

namespace traffic {

// The lines a device sent while the port listened at one rate, scored as
// they come. Lines end at CR or LF; empty lines do not count. What comes
// before the first line break may be the end of a line that began before
// the switch to this rate: it is not scored, unless it is a whole sentence
// with a right checksum, which the end of a cut line cannot be (a device
// that sends two sentences a second then needs one second, not two).
//
// A line is good when it is an NMEA sentence with a right checksum, or
// printable text (IsPrintable) that claims no checksum: text devices score
// by their text, sentence devices by their checksums. A broken checksum or a
// byte no text has counts against the rate.
//
// Bytes received at the previous rate may still arrive after the switch (in
// the driver's buffer, or a read on its way): the garbage lines before the
// first good one are therefore counted as lines but not scored; the score
// runs from the first good line on.
class CLineScore
{
public:
    void Add(const char* data, std::size_t size);

    std::size_t Lines() const { return m_lines; }      // complete lines, empty ones aside
    std::size_t Scored() const { return m_scored; }    // from the first good one on
    std::size_t Good() const { return m_good; }
    double Share() const { return m_scored == 0 ? 0.0 : static_cast<double>(m_good) / static_cast<double>(m_scored); }

private:
    void AddToLine(const char* data, std::size_t size);
    void EndLine();
    void ForgetLine();

    bool m_lineStarted = false;  // a line break has come: whole lines follow
    commands::CSentenceCheck m_check;
    bool m_printable = true;
    std::size_t m_lineSize = 0;
    std::size_t m_lines = 0;
    std::size_t m_scored = 0;
    std::size_t m_good = 0;
};

} // namespace traffic
