#include "PaneText.h"

#include <iterator>

namespace ui {

namespace {

CPaneStream::Sizes StreamSizes(std::size_t blockSize)
{
    CPaneStream::Sizes sizes;
    sizes.chunk = blockSize;
    sizes.spanBytes = std::max<std::size_t>(blockSize / 2, 1);
    sizes.spanBreaks = std::min<std::uint64_t>(sizes.spanBreaks, blockSize);
    return sizes;
}

} // namespace

CPaneText::CPaneText(std::size_t blockSize)
    : m_blockSize(blockSize > 0 ? blockSize : 1),
      m_streamSizes(StreamSizes(m_blockSize)),
      m_notes(std::make_unique<CPaneRun>(m_blockSize))
{
    m_streams.push_back(std::make_unique<CPaneStream>(nullptr, m_streamSizes));
}

// Finding pieces ---------------------------------------------------------------

std::size_t CPaneText::PieceAt(std::size_t pos) const
{
    const auto after = std::upper_bound(m_bytesBefore.begin(), m_bytesBefore.end(), pos);
    return static_cast<std::size_t>(std::distance(m_bytesBefore.begin(), after)) - 1;
}

std::pair<std::size_t, std::uint64_t> CPaneText::PieceOfBreak(std::size_t k) const
{
    const auto after = std::upper_bound(m_breaksBefore.begin(), m_breaksBefore.end(), k);
    const std::size_t i = static_cast<std::size_t>(std::distance(m_breaksBefore.begin(), after)) - 1;
    return {i, m_pieces[i].firstBreak + (k - m_breaksBefore[i])};
}

std::size_t CPaneText::BreakPosition(std::size_t k) const
{
    const auto [i, brk] = PieceOfBreak(k);
    const Range& piece = m_pieces[i];
    return m_bytesBefore[i] + static_cast<std::size_t>(piece.source->BreakAt(brk) - piece.begin);
}

// Reading --------------------------------------------------------------------

std::size_t CPaneText::LineStart(std::size_t line) const
{
    if (line == 0)
        return 0;
    if (line > m_breaks)
        return m_size;
    return BreakPosition(line - 1) + 1;  // after the break that ends the line before
}

std::size_t CPaneText::LineEnd(std::size_t line) const
{
    return line >= m_breaks ? m_size : BreakPosition(line);
}

std::size_t CPaneText::LineOf(std::size_t pos) const
{
    if (pos >= m_size)
        return m_breaks;
    const std::size_t i = PieceAt(pos);
    const Range& piece = m_pieces[i];
    return m_breaksBefore[i] +
           static_cast<std::size_t>(piece.source->BreaksBefore(piece.begin + (pos - m_bytesBefore[i])) - piece.firstBreak);
}

char CPaneText::At(std::size_t pos) const
{
    if (pos >= m_size)
        return '\0';
    const std::size_t i = PieceAt(pos);
    return m_pieces[i].source->At(m_pieces[i].begin + (pos - m_bytesBefore[i]));
}

std::uint8_t CPaneText::LineTag(std::size_t line) const
{
    if (line >= m_breaks)
        return 0;
    const auto [i, brk] = PieceOfBreak(line);
    return m_pieces[i].source->Tag(brk);
}

std::int64_t CPaneText::LineTime(std::size_t line) const
{
    if (line >= m_breaks)
        return 0;
    const auto [i, brk] = PieceOfBreak(line);
    return m_pieces[i].source->Time(brk);
}

void CPaneText::SetLineTag(std::size_t line, std::uint8_t tag)
{
    if (line >= m_breaks)
        return;
    const auto [i, brk] = PieceOfBreak(line);
    m_pieces[i].source->SetTag(brk, tag);
}

bool CPaneText::ReadPieces(std::size_t begin, std::size_t end, CPieceSink sink) const
{
    end = std::min(end, m_size);
    if (begin >= end)
        return true;
    for (std::size_t i = PieceAt(begin); i < m_pieces.size() && begin < end; ++i) {
        const Range& piece = m_pieces[i];
        const std::uint64_t from = piece.begin + (begin - m_bytesBefore[i]);
        const std::uint64_t to = piece.begin + std::min<std::uint64_t>(piece.Size(), end - m_bytesBefore[i]);
        if (!piece.source->Read(from, to, sink))
            return false;
        begin = m_bytesBefore[i] + static_cast<std::size_t>(to - piece.begin);
    }
    return true;
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

CPaneSnapshot CPaneText::Snapshot(bool withTimes) const
{
    CPaneSnapshot snapshot(withTimes);
    for (const Range& piece : m_pieces)
        piece.source->AddTo(snapshot, piece.begin, piece.end, piece.firstBreak);
    return snapshot;
}

std::size_t CPaneText::MemoryBytes() const
{
    std::size_t bytes = sizeof(*this) + m_notes->MemoryBytes() + m_pieces.capacity() * sizeof(Range) +
                        (m_bytesBefore.capacity() + m_breaksBefore.capacity()) * sizeof(std::size_t);
    for (const auto& stream : m_streams)
        bytes += stream->MemoryBytes();
    return bytes;
}

std::uint64_t CPaneText::ReadBackBytes() const
{
    std::uint64_t bytes = 0;
    for (const Range& piece : m_pieces)
        bytes += piece.source->ReadBackBytes(piece.begin, piece.end);
    return bytes;
}

// Editing --------------------------------------------------------------------

void CPaneText::AddAtEnd(CPaneSource* source, std::uint64_t begin, std::uint64_t end, std::uint64_t firstBreak,
                         std::uint64_t breaks)
{
    if (begin == end)
        return;
    Range* last = m_pieces.empty() ? nullptr : &m_pieces.back();
    if (last && last->source == source && last->end == begin) {
        last->end = end;
        last->breaks += breaks;
    } else {
        m_pieces.push_back(Range{source, begin, end, firstBreak, breaks});
        m_bytesBefore.push_back(m_size);
        m_breaksBefore.push_back(m_breaks);
    }
    m_size += static_cast<std::size_t>(end - begin);
    m_breaks += static_cast<std::size_t>(breaks);
}

void CPaneText::Append(const char* data, std::size_t size, std::uint8_t tag, std::int64_t time)
{
    const std::uint64_t begin = m_notes->End();
    const std::uint64_t firstBreak = m_notes->Breaks();
    m_notes->Append(data, size, tag, time);
    AddAtEnd(m_notes.get(), begin, m_notes->End(), firstBreak, m_notes->Breaks() - firstBreak);
}

std::size_t CPaneText::Split(std::size_t pos)
{
    if (pos >= m_size)
        return m_pieces.size();
    const std::size_t i = PieceAt(pos);
    const std::size_t offset = pos - m_bytesBefore[i];
    if (offset == 0)
        return i;
    Range& piece = m_pieces[i];
    const std::uint64_t cut = piece.begin + offset;
    const std::uint64_t leftBreaks = piece.source->BreaksBefore(cut) - piece.firstBreak;
    const Range right{piece.source, cut, piece.end, piece.firstBreak + leftBreaks, piece.breaks - leftBreaks};
    piece.end = cut;
    piece.breaks = leftBreaks;
    const auto at = static_cast<std::ptrdiff_t>(i) + 1;
    m_pieces.insert(m_pieces.begin() + at, right);
    m_bytesBefore.insert(m_bytesBefore.begin() + at, pos);
    m_breaksBefore.insert(m_breaksBefore.begin() + at, m_breaksBefore[i] + static_cast<std::size_t>(leftBreaks));
    return i + 1;
}

void CPaneText::Insert(std::size_t pos, const char* data, std::size_t size, std::uint8_t tag)
{
    if (size == 0)
        return;
    if (pos >= m_size) {
        Append(data, size, tag);
        return;
    }
    const std::uint64_t begin = m_notes->End();
    const std::uint64_t firstBreak = m_notes->Breaks();
    m_notes->Append(data, size, tag, 0);
    const Range added{m_notes.get(), begin, m_notes->End(), firstBreak, m_notes->Breaks() - firstBreak};
    const std::size_t i = Split(pos);
    // Typing on where the last note ended grows that note's piece.
    if (i > 0 && m_pieces[i - 1].source == m_notes.get() && m_pieces[i - 1].end == begin) {
        m_pieces[i - 1].end = added.end;
        m_pieces[i - 1].breaks += added.breaks;
    } else {
        const auto at = static_cast<std::ptrdiff_t>(i);
        m_pieces.insert(m_pieces.begin() + at, added);
        m_bytesBefore.insert(m_bytesBefore.begin() + at, pos);
        m_breaksBefore.insert(m_breaksBefore.begin() + at, 0);
    }
    Recount(i > 0 ? i - 1 : 0);
}

void CPaneText::Erase(std::size_t pos, std::size_t size)
{
    if (pos >= m_size || size == 0)
        return;
    size = std::min(size, m_size - pos);
    const std::size_t first = Split(pos);
    const std::size_t last = Split(pos + size);
    const auto from = static_cast<std::ptrdiff_t>(first);
    const auto to = static_cast<std::ptrdiff_t>(last);
    m_pieces.erase(m_pieces.begin() + from, m_pieces.begin() + to);
    m_bytesBefore.erase(m_bytesBefore.begin() + from, m_bytesBefore.begin() + to);
    m_breaksBefore.erase(m_breaksBefore.begin() + from, m_breaksBefore.begin() + to);
    Recount(first);
    DropUnused();
}

void CPaneText::Clear()
{
    std::vector<Range>().swap(m_pieces);
    std::vector<std::size_t>().swap(m_bytesBefore);
    std::vector<std::size_t>().swap(m_breaksBefore);
    m_size = 0;
    m_breaks = 0;
    m_notes = std::make_unique<CPaneRun>(m_blockSize);
    m_streams.erase(m_streams.begin(), m_streams.end() - 1);
    Received().ForgetAll();
    if (m_lastReceivedIn != &Received())
        m_lastReceivedIn = nullptr;
}

// Brings the running totals up to date from piece `from` on.
void CPaneText::Recount(std::size_t from)
{
    std::size_t bytes = 0;
    std::size_t breaks = 0;
    if (from > 0 && from <= m_pieces.size()) {
        bytes = m_bytesBefore[from - 1] + static_cast<std::size_t>(m_pieces[from - 1].Size());
        breaks = m_breaksBefore[from - 1] + static_cast<std::size_t>(m_pieces[from - 1].breaks);
    } else {
        from = 0;
    }
    for (std::size_t i = from; i < m_pieces.size(); ++i) {
        m_bytesBefore[i] = bytes;
        m_breaksBefore[i] = breaks;
        bytes += static_cast<std::size_t>(m_pieces[i].Size());
        breaks += static_cast<std::size_t>(m_pieces[i].breaks);
    }
    m_size = bytes;
    m_breaks = breaks;
}

void CPaneText::DropUnused()
{
    const auto used = [this](const CPaneSource* source) {
        return std::any_of(m_pieces.begin(), m_pieces.end(), [source](const Range& p) { return p.source == source; });
    };
    for (auto stream = m_streams.begin(); stream + 1 < m_streams.end();) {
        if (used(stream->get())) {
            ++stream;
            continue;
        }
        if (m_lastReceivedIn == stream->get())
            m_lastReceivedIn = nullptr;
        stream = m_streams.erase(stream);
    }
    if (m_notes->End() > 0 && !used(m_notes.get()))
        m_notes = std::make_unique<CPaneRun>(m_blockSize);
}

// Received text ----------------------------------------------------------------

void CPaneText::SetRecord(std::shared_ptr<record::CWatchRecord> record)
{
    if (record == Received().Record())
        return;
    const bool inLine = Received().InLine();
    Received().Finish();
    m_streams.push_back(std::make_unique<CPaneStream>(std::move(record), m_streamSizes));
    if (inLine)
        Received().ContinueLine();
    DropUnused();
}

void CPaneText::AppendReceived(const char* data, std::size_t size)
{
    CPaneStream& stream = Received();
    const std::uint64_t begin = stream.End();
    stream.AppendText(data, size);
    AddAtEnd(&stream, begin, stream.End(), stream.Breaks(), 0);
}

void CPaneText::AppendReceivedBreak(std::uint8_t tag, std::int64_t time, unsigned receivedBytes)
{
    CPaneStream& stream = Received();
    const std::uint64_t begin = stream.End();
    const std::uint64_t brk = stream.Breaks();
    stream.AppendBreak(tag, time, receivedBytes);
    AddAtEnd(&stream, begin, stream.End(), brk, 1);
    m_lastReceivedIn = &stream;
    m_lastReceived = brk;
}

std::uint8_t CPaneText::LastReceivedTag() const
{
    return m_lastReceivedIn ? m_lastReceivedIn->Tag(m_lastReceived) : 0;
}

void CPaneText::ExtendReceivedBreak(std::uint8_t tag)
{
    if (m_lastReceivedIn)
        m_lastReceivedIn->SetTag(m_lastReceived, tag);
    Received().TakeLf();
}

void CPaneText::Settle()
{
    for (const auto& stream : m_streams)
        stream->Settle();
}

} // namespace ui
