#include "Uart.h"

#include <algorithm>
#include <cstdint>

namespace devsim {

namespace {

// The sent line: frames of a start bit (low), eight data bits from the
// lowest and a stop bit (high); high before the first and after the last.
class CSentLine
{
public:
    explicit CSentLine(std::string_view bytes) : m_bytes(bytes) {}

    std::int64_t Bits() const { return static_cast<std::int64_t>(m_bytes.size()) * 10; }

    bool High(std::int64_t bit) const
    {
        if (bit < 0 || bit >= Bits())
            return true;
        const std::int64_t position = bit % 10;
        if (position == 0)
            return false;
        if (position == 9)
            return true;
        return (static_cast<unsigned char>(m_bytes[static_cast<std::size_t>(bit / 10)]) >> (position - 1)) & 1;
    }

private:
    std::string_view m_bytes;
};

} // namespace

std::string AsReceivedAt(std::string_view bytes, unsigned sentRate, unsigned readRate)
{
    if (sentRate == 0 || readRate == 0)
        return std::string();
    const CSentLine line(bytes);
    // Time in units of 1 / (2 * sentRate * readRate) s: a sent bit lasts
    // 2 * readRate of them, a read one 2 * sentRate, half a read bit sentRate.
    const std::int64_t sentBit = 2 * static_cast<std::int64_t>(readRate);
    const std::int64_t readBit = 2 * static_cast<std::int64_t>(sentRate);
    const auto highAt = [&](std::int64_t t) { return line.High(t / sentBit); };

    std::string received;
    std::int64_t hunt = 0;  // the receiver looks for an edge from here on
    for (std::int64_t bit = 0;; ++bit) {
        bit = std::max(bit, (hunt + sentBit - 1) / sentBit);
        while (bit < line.Bits() && (line.High(bit) || !line.High(bit - 1)))
            ++bit;
        if (bit >= line.Bits())
            return received;
        const std::int64_t edge = bit * sentBit;
        hunt = edge + readBit / 2;
        if (highAt(hunt))
            continue;  // a glitch, not a start bit
        unsigned value = 0;
        for (int i = 0; i < 8; ++i)
            value |= (highAt(edge + readBit * (i + 1) + readBit / 2) ? 1u : 0u) << i;
        received += static_cast<char>(value);
        hunt = edge + readBit * 9 + readBit / 2;  // the stop bit's sample
    }
}

} // namespace devsim
