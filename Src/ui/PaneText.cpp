#include "PaneText.h"

#include <cstring>
#include <iterator>

namespace ui {

CPaneText::CPaneText(std::size_t blockSize) : m_blockSize(blockSize > 0 ? blockSize : 1)
{
}

CPaneText::Block CPaneText::NewBlock() const
{
    Block block;
    block.bytes.reset(new char[m_blockSize]);  // not zeroed: pages are touched only as they fill
    return block;
}

std::size_t CPaneText::BlockAt(std::size_t pos) const
{
    const auto after = std::upper_bound(m_bytesBefore.begin(), m_bytesBefore.end(), pos);
    std::size_t b = static_cast<std::size_t>(std::distance(m_bytesBefore.begin(), after)) - 1;
    if (b > 0 && m_bytesBefore[b] == pos)
        --b;
    return b;
}

std::pair<std::size_t, std::size_t> CPaneText::BreakAt(std::size_t k) const
{
    const auto after = std::upper_bound(m_breaksBefore.begin(), m_breaksBefore.end(), k);
    const std::size_t b = static_cast<std::size_t>(std::distance(m_breaksBefore.begin(), after)) - 1;
    return {b, k - m_breaksBefore[b]};
}

std::size_t CPaneText::LineStart(std::size_t line) const
{
    if (line == 0)
        return 0;
    if (line > m_breaks)
        return m_size;
    const auto [b, i] = BreakAt(line - 1);  // the break that ends the line before
    return m_bytesBefore[b] + m_blocks[b].breaks[i] + 1;
}

std::uint8_t CPaneText::LineTag(std::size_t line) const
{
    if (line >= m_breaks)
        return 0;
    const auto [b, i] = BreakAt(line);
    return m_blocks[b].tags[i];
}

std::int64_t CPaneText::LineTime(std::size_t line) const
{
    if (line >= m_breaks)
        return 0;
    const auto [b, i] = BreakAt(line);
    return m_blocks[b].times[i];
}

void CPaneText::SetLineTag(std::size_t line, std::uint8_t tag)
{
    if (line >= m_breaks)
        return;
    const auto [b, i] = BreakAt(line);
    m_blocks[b].tags[i] = tag;
}

std::size_t CPaneText::LineEnd(std::size_t line) const
{
    if (line >= m_breaks)
        return m_size;
    return LineStart(line + 1) - 1;
}

std::size_t CPaneText::LineOf(std::size_t pos) const
{
    if (pos >= m_size)
        return m_breaks;
    const auto after = std::upper_bound(m_bytesBefore.begin(), m_bytesBefore.end(), pos);
    const std::size_t b = static_cast<std::size_t>(std::distance(m_bytesBefore.begin(), after)) - 1;
    const std::vector<std::uint32_t>& breaks = m_blocks[b].breaks;
    const auto below = std::lower_bound(breaks.begin(), breaks.end(), pos - m_bytesBefore[b]);
    return m_breaksBefore[b] + static_cast<std::size_t>(std::distance(breaks.begin(), below));
}

char CPaneText::At(std::size_t pos) const
{
    if (pos >= m_size)
        return '\0';
    const auto after = std::upper_bound(m_bytesBefore.begin(), m_bytesBefore.end(), pos);
    const std::size_t b = static_cast<std::size_t>(std::distance(m_bytesBefore.begin(), after)) - 1;
    return m_blocks[b].bytes[pos - m_bytesBefore[b]];
}

void CPaneText::Append(const char* data, std::size_t size, std::uint8_t tag, std::int64_t time)
{
    if (size == 0)
        return;
    if (m_blocks.empty())
        m_blocks.push_back(NewBlock());
    const std::size_t last = m_blocks.size() - 1;
    Fill(last, data, size, tag, time);
    Recount(last);
}

void CPaneText::Insert(std::size_t pos, const char* data, std::size_t size, std::uint8_t tag)
{
    if (size == 0)
        return;
    if (pos >= m_size) {
        Append(data, size, tag);
        return;
    }
    const std::size_t b = BlockAt(pos);
    Block& block = m_blocks[b];
    const std::size_t offset = pos - m_bytesBefore[b];
    if (block.size + size <= m_blockSize) {
        char* at = block.bytes.get() + offset;
        std::memmove(at + size, at, block.size - offset);
        std::memcpy(at, data, size);
        block.size += size;
        IndexInserted(block, offset, offset + size, tag, 0);
    } else {
        // Split at the insertion point; the text goes between the halves.
        if (offset < block.size) {
            Block tail = NewBlock();
            tail.size = block.size - offset;
            std::memcpy(tail.bytes.get(), block.bytes.get() + offset, tail.size);
            const auto first = std::lower_bound(block.breaks.begin(), block.breaks.end(), offset);
            const auto split = static_cast<std::size_t>(std::distance(block.breaks.begin(), first));
            for (std::size_t i = split; i < block.breaks.size(); ++i) {
                tail.breaks.push_back(static_cast<std::uint32_t>(block.breaks[i] - offset));
                tail.tags.push_back(block.tags[i]);
                tail.times.push_back(block.times[i]);
            }
            block.breaks.resize(split);
            block.tags.resize(split);
            block.times.resize(split);
            block.size = offset;
            m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
        }
        Fill(b, data, size, tag, 0);
    }
    Recount(b);
}

void CPaneText::Erase(std::size_t pos, std::size_t size)
{
    if (pos >= m_size || size == 0)
        return;
    size = std::min(size, m_size - pos);
    std::size_t b = BlockAt(pos);
    std::size_t offset = pos - m_bytesBefore[b];
    if (offset == m_blocks[b].size) {
        ++b;
        offset = 0;
    }
    const std::size_t first = b;
    for (std::size_t left = size; left > 0; ++b, offset = 0) {
        Block& block = m_blocks[b];
        const std::size_t cut = std::min(left, block.size - offset);
        char* at = block.bytes.get() + offset;
        std::memmove(at, at + cut, block.size - offset - cut);
        block.size -= cut;
        IndexErased(block, offset, cut);
        left -= cut;
    }
    const auto firstIt = m_blocks.begin() + static_cast<std::ptrdiff_t>(first);
    const auto lastIt = m_blocks.begin() + static_cast<std::ptrdiff_t>(b);
    m_blocks.erase(std::remove_if(firstIt, lastIt, [](const Block& block) { return block.size == 0; }), lastIt);
    Recount(first);
}

void CPaneText::Clear()
{
    std::vector<Block>().swap(m_blocks);
    std::vector<std::size_t>().swap(m_bytesBefore);
    std::vector<std::size_t>().swap(m_breaksBefore);
    m_size = 0;
    m_breaks = 0;
}

std::string CPaneText::Bytes(std::size_t begin, std::size_t end) const
{
    std::string bytes;
    if (end > begin)
        bytes.reserve(std::min(end, m_size) - std::min(begin, m_size));
    ForEachPiece(begin, end, [&](const char* data, std::size_t size) {
        bytes.append(data, size);
        return true;
    });
    return bytes;
}

std::size_t CPaneText::Fill(std::size_t at, const char* data, std::size_t size, std::uint8_t tag, std::int64_t time)
{
    for (;;) {
        Block& block = m_blocks[at];
        const std::size_t start = block.size;
        const std::size_t count = std::min(size, m_blockSize - start);
        std::memcpy(block.bytes.get() + start, data, count);
        block.size += count;
        IndexInserted(block, start, block.size, tag, time);
        if (block.size == m_blockSize) {
            block.breaks.shrink_to_fit();  // a full block keeps its breaks as they are
            block.tags.shrink_to_fit();
            block.times.shrink_to_fit();
        }
        data += count;
        size -= count;
        if (size == 0)
            return at;
        m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(++at), NewBlock());
    }
}

void CPaneText::IndexInserted(Block& block, std::size_t from, std::size_t to, std::uint8_t tag, std::int64_t time)
{
    std::vector<std::uint32_t>& breaks = block.breaks;
    auto at = std::lower_bound(breaks.begin(), breaks.end(), from);
    std::size_t index = static_cast<std::size_t>(std::distance(breaks.begin(), at));
    for (auto later = at; later != breaks.end(); ++later)
        *later += static_cast<std::uint32_t>(to - from);
    const char* const begin = block.bytes.get();
    const char* const end = begin + to;
    for (const char* p = begin + from; p < end;) {
        const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!found)
            break;
        const char* lf = static_cast<const char*>(found);
        breaks.insert(breaks.begin() + static_cast<std::ptrdiff_t>(index), static_cast<std::uint32_t>(lf - begin));
        block.tags.insert(block.tags.begin() + static_cast<std::ptrdiff_t>(index), tag);
        block.times.insert(block.times.begin() + static_cast<std::ptrdiff_t>(index), time);
        ++index;
        p = lf + 1;
    }
}

void CPaneText::IndexErased(Block& block, std::size_t from, std::size_t size)
{
    std::vector<std::uint32_t>& breaks = block.breaks;
    const auto first = std::lower_bound(breaks.begin(), breaks.end(), from);
    const auto last = std::lower_bound(first, breaks.end(), from + size);
    for (auto later = last; later != breaks.end(); ++later)
        *later -= static_cast<std::uint32_t>(size);
    block.tags.erase(block.tags.begin() + std::distance(breaks.begin(), first),
                     block.tags.begin() + std::distance(breaks.begin(), last));
    block.times.erase(block.times.begin() + std::distance(breaks.begin(), first),
                      block.times.begin() + std::distance(breaks.begin(), last));
    breaks.erase(first, last);
}

// Brings the running totals up to date from block `from` on.
void CPaneText::Recount(std::size_t from)
{
    m_bytesBefore.resize(m_blocks.size());
    m_breaksBefore.resize(m_blocks.size());
    std::size_t bytes = 0;
    std::size_t breaks = 0;
    if (from > 0 && from <= m_blocks.size()) {
        bytes = m_bytesBefore[from - 1] + m_blocks[from - 1].size;
        breaks = m_breaksBefore[from - 1] + m_blocks[from - 1].breaks.size();
    } else {
        from = 0;
    }
    for (std::size_t b = from; b < m_blocks.size(); ++b) {
        m_bytesBefore[b] = bytes;
        m_breaksBefore[b] = breaks;
        bytes += m_blocks[b].size;
        breaks += m_blocks[b].breaks.size();
    }
    m_size = bytes;
    m_breaks = breaks;
}

} // namespace ui
