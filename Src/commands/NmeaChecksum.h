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
// time as its bytes arrive.
//
// Get answers for the sentences with a checksum: one that starts with "$" or
// "!" and ends in "*" and two hex digits (either case) is a sentence, its
// checksum right or wrong; any other line is none.
//
// GetKind tells, beside those, a sentence that carries no checksum from
// plain text: "$" or "!" first, a plausible address field (two letters of
// talker and three letters or digits of type, or "P", a maker and a type: 4
// to 9 letters or digits), then "," or the line end, and no "*" anywhere.
// Type gives the address field as a summary lists it: "GPGGA" for a "$"
// sentence, "!AIVDM" for a "!" one; empty for plain text and for a sentence
// whose address field is not a plausible one.
//
// A line that does not start with "$" or "!" costs one look at its first
// byte: the rest of its bytes are never read.
class CSentenceCheck
{
public:
    enum class Result
    {
        None,    // plain text, or a sentence without a checksum
        Valid,
        Broken,  // the checksum does not match
    };

    enum class Kind
    {
        Text,       // not a sentence
        Unchecked,  // a sentence without a checksum
        Valid,
        Broken,
    };

    // The longest address field: "P", a maker of three and a type of five.
    static constexpr std::size_t kMaxAddress = 9;

    void Add(const char* data, std::size_t size);
    Result Get() const;
    Kind GetKind() const;
    std::string Type() const;

private:
    enum class Address
    {
        Reading,   // no "," or "*" yet
        Comma,     // ended by ","
        Star,      // ended by "*"
        Spoilt,    // too long, or a byte that no address has
    };

    bool IsSentence() const { return m_first == '$' || m_first == '!'; }
    bool HasChecksum() const;
    bool PlausibleAddress() const;
    void ReadAddress(const char* data, std::size_t size);

    std::size_t m_size = 0;
    char m_first = 0;
    unsigned char m_sum = 0;  // of every byte after the first
    char m_last[3] = {};      // the last three bytes, oldest first
    bool m_star = false;      // a "*" after the first byte
    Address m_address = Address::Reading;
    std::size_t m_addressSize = 0;
    char m_addressText[kMaxAddress] = {};
};

} // namespace commands
