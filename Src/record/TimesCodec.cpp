#include "TimesCodec.h"

namespace record {

namespace {

void PutVarint(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>(0x80 | (value & 0x7F));
        value >>= 7;
    }
    out += static_cast<char>(value);
}

} // namespace

void PutLineTime(std::string& out, std::uint64_t delta)
{
    PutVarint(out, delta + 1);
}

void PutEventTime(std::string& out, EventKind kind, std::uint64_t delta)
{
    out += '\0';
    out += static_cast<char>(kind);
    PutVarint(out, delta);
}

bool CTimesDecoder::Varint(std::uint64_t& value)
{
    value = 0;
    for (unsigned shift = 0; m_at < m_size && shift < 64; shift += 7) {
        const auto byte = static_cast<unsigned char>(m_data[m_at++]);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

CTimesDecoder::Result CTimesDecoder::Next(Entry& entry)
{
    const std::size_t start = m_at;
    if (m_at == m_size)
        return Result::End;
    const auto first = static_cast<unsigned char>(m_data[m_at]);
    if (first != 0) {
        if (!Varint(entry.delta)) {
            const bool cut = m_at == m_size && m_at - start < 10;
            m_at = start;
            return cut ? Result::End : Result::Bad;
        }
        entry.isEvent = false;
        entry.delta -= 1;
        return Result::Entry;
    }
    if (m_size - m_at < 3) {
        return Result::End;
    }
    const auto kind = static_cast<unsigned char>(m_data[m_at + 1]);
    if (kind < static_cast<unsigned char>(EventKind::Open) || kind > static_cast<unsigned char>(EventKind::Back))
        return Result::Bad;
    m_at += 2;
    if (!Varint(entry.delta)) {
        const bool cut = m_at == m_size && m_at - start < kLongestTimesEntry;
        m_at = start;
        return cut ? Result::End : Result::Bad;
    }
    entry.isEvent = true;
    entry.kind = static_cast<EventKind>(kind);
    return Result::Entry;
}

} // namespace record
