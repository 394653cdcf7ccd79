#pragma once

#include <Nmea.h>

#include <string>

namespace devsimtest {

// The lines of `bytes` ending in CR LF that are sentences with a right checksum.
inline int ValidSentences(const std::string& bytes)
{
    int valid = 0;
    for (std::size_t from = 0, end; (end = bytes.find("\r\n", from)) != std::string::npos; from = end + 2) {
        const auto sentence = devsim::nmea::Parse(bytes.substr(from, end - from));
        valid += sentence && sentence->m_checksum == devsim::nmea::ChecksumState::Valid ? 1 : 0;
    }
    return valid;
}

} // namespace devsimtest
