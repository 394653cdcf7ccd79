#include "PaneTags.h"

#include <algorithm>

namespace ui {

namespace {

constexpr std::size_t kCodes = 16;

} // namespace

bool CPaneTags::CodeOf(std::uint8_t tag, std::uint8_t& code)
{
    if (m_codes[tag] == 0) {
        if (m_values.size() == kCodes)
            return false;
        m_values.push_back(tag);
        m_codes[tag] = static_cast<std::uint8_t>(m_values.size());
    }
    code = static_cast<std::uint8_t>(m_codes[tag] - 1);
    return true;
}

std::uint8_t CPaneTags::Code(std::uint64_t k) const
{
    const std::uint64_t at = k - m_origin;
    if (m_wide)
        return m_bytes[static_cast<std::size_t>(at)];
    const std::uint8_t pair = m_bytes[static_cast<std::size_t>(at / 2)];
    return static_cast<std::uint8_t>(at % 2 ? pair >> 4 : pair & 0x0F);
}

void CPaneTags::Put(std::uint64_t k, std::uint8_t code)
{
    const std::uint64_t at = k - m_origin;
    if (m_wide) {
        m_bytes[static_cast<std::size_t>(at)] = code;
        return;
    }
    std::uint8_t& pair = m_bytes[static_cast<std::size_t>(at / 2)];
    pair = static_cast<std::uint8_t>(at % 2 ? (pair & 0x0F) | code << 4 : (pair & 0xF0) | code);
}

// From half bytes to bytes, the tags themselves.
void CPaneTags::Widen()
{
    std::deque<std::uint8_t> wide;
    for (std::uint64_t k = m_first; k < m_end; ++k)
        wide.push_back(m_values[Code(k)]);
    m_bytes.swap(wide);
    m_origin = m_first;
    m_wide = true;
}

void CPaneTags::PushBack(std::uint8_t tag)
{
    std::uint8_t code = tag;
    if (!m_wide && !CodeOf(tag, code)) {
        Widen();
        code = tag;
    }
    if (m_wide || (m_end - m_origin) % 2 == 0)
        m_bytes.push_back(0);
    ++m_end;
    Put(m_end - 1, code);
}

std::uint8_t CPaneTags::Get(std::uint64_t k) const
{
    if (k < m_first || k >= m_end)
        return 0;
    return m_wide ? Code(k) : m_values[Code(k)];
}

void CPaneTags::Set(std::uint64_t k, std::uint8_t tag)
{
    if (k < m_first || k >= m_end)
        return;
    std::uint8_t code = tag;
    if (!m_wide && !CodeOf(tag, code)) {
        Widen();
        code = tag;
    }
    Put(k, code);
}

void CPaneTags::ForgetBefore(std::uint64_t k)
{
    m_first = std::max(m_first, std::min(k, m_end));
    const std::uint64_t perByte = m_wide ? 1 : 2;
    while (m_first - m_origin >= perByte) {
        m_bytes.pop_front();
        m_origin += perByte;
    }
    if (m_bytes.empty()) {
        std::deque<std::uint8_t>().swap(m_bytes);  // an emptied deque keeps a block of its own
        m_origin = m_first;
    }
}

} // namespace ui
