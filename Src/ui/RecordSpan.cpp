#include "RecordSpan.h"

#include <LineSplitter.h>

#include <algorithm>

namespace ui {

void AppendAsPaneBytes(const char* data, std::size_t size, std::string& out)
{
    std::size_t i = 0;
    while (i < size) {
        const std::size_t stop = record::FindBreak(data, i, size);
        out.append(data + i, stop - i);
        if (stop == size)
            return;
        out += '\n';
        i = stop + 1;
        if (data[stop] == '\r' && i < size && data[i] == '\n')
            ++i;
    }
}

void StandInSpan(const SpanPoint& from, const SpanPoint& to, std::string& bytes, std::vector<std::uint32_t>* breaks)
{
    const std::size_t size = static_cast<std::size_t>(to.pane - from.pane);
    const std::size_t lines = static_cast<std::size_t>(std::min(to.brk - from.brk, to.pane - from.pane));
    const std::size_t perLine = (size - lines) / (lines + 1);
    bytes.assign(size, '?');
    if (breaks)
        breaks->clear();
    for (std::size_t k = 0; k < lines; ++k) {
        const std::size_t at = (k + 1) * (perLine + 1) - 1;
        bytes[at] = '\n';
        if (breaks)
            breaks->push_back(static_cast<std::uint32_t>(at));
    }
}

bool ReadSpan(const record::CWatchRecord& record, const SpanPoint& from, const SpanPoint& to, std::string& scratch,
              std::string& bytes, std::vector<std::uint32_t>* breaks)
{
    const std::size_t rawSize = static_cast<std::size_t>(to.raw - from.raw);
    scratch.resize(rawSize);
    const bool whole = record.Read(from.raw, scratch.data(), rawSize) == rawSize;
    bytes.clear();
    if (whole)
        AppendAsPaneBytes(scratch.data(), rawSize, bytes);
    const std::uint64_t lines = static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (!whole || bytes.size() != to.pane - from.pane || lines != to.brk - from.brk) {
        StandInSpan(from, to, bytes, breaks);
        return false;
    }
    if (breaks) {
        breaks->clear();
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\n')
                breaks->push_back(static_cast<std::uint32_t>(i));
    }
    return true;
}

} // namespace ui
