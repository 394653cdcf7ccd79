#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// NMEA 0183 sentences: building them with their checksum and taking received
// ones apart.
namespace devsim::nmea {

// The two upper-case hexadecimal digits of the exclusive-or of every
// character of `body` (the text between "$" and "*").
std::string Checksum(std::string_view body);

// "$" + body + "*" + checksum + "\r\n".
std::string Sentence(std::string_view body);

// The sentences of `text` (lines ending in LF), every `every`th of them
// counted on from `counter` broken so that its checksum no longer holds:
// the first digit of its body is changed, or else its second character.
std::string BreakEveryNth(const std::string& text, unsigned every, unsigned& counter);

// A figure of a sentence with one decimal: "12.0", "0.5".
std::string Fixed1(double value);

enum class ChecksumState { Absent, Valid, Invalid };

struct CReceivedSentence
{
    std::string m_address;             // "PORZB", "GPCRQ", ...
    std::vector<std::string> m_fields; // the comma-separated fields after the address
    ChecksumState m_checksum = ChecksumState::Absent;
};

// Takes apart one received line (line end already removed). Returns nothing
// when the line is not a sentence at all: it does not start with "$", or its
// address is empty or not alphanumeric. A "*" must be followed by exactly two
// hexadecimal digits (either case) to count as a checksum that can be valid.
std::optional<CReceivedSentence> Parse(std::string_view line);

} // namespace devsim::nmea
