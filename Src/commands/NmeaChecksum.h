#pragma once

#include <cstddef>
#include <string>

namespace commands {

// A command that is an NMEA 0183 sentence (it starts with "$" or "!") with
// its checksum put right: the exclusive-or of every byte after the first up
// to "*" or the end of the sentence, written as "*" and two upper-case hex
// digits at the end of the sentence. An existing "*" and what follows it
// give way to the new checksum; the line end the text ends in (CR, LF, in
// any number) stays after it. Text that is not a sentence comes back as it is.
std::string WithNmeaChecksum(const std::string& text);

// Reads a line (line end removed) as an NMEA 0183 sentence, a piece at a
// time: one that starts with "$" or "!" and ends in "*" and two hex digits
// is a sentence, its checksum right or wrong; any other line is none.
class CSentenceCheck
{
public:
    enum class Result
    {
        None,    // plain text, or a sentence without a checksum
        Valid,
        Broken,  // the checksum does not match
    };

    void Add(const char* data, std::size_t size);
    Result Get() const;

private:
    std::size_t m_size = 0;
    char m_first = 0;
    unsigned char m_sum = 0;  // of every byte after the first
    char m_last[3] = {};      // the last three bytes, oldest first
};

} // namespace commands
