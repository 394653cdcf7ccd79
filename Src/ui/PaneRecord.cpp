#include "PaneRecord.h"

#include "ReplacingFile.h"

#include <cstring>
#include <vector>

namespace ui {

namespace {

constexpr int kPollInterval = 50;  // ms
constexpr std::size_t kChunk = 1 << 20;

} // namespace

// The bytes with each LF as CR LF, written a chunk at a time.
std::string WriteRecord(const CPaneSnapshot& pane, const std::string& path)
{
    CReplacingFile file(path);
    std::vector<char> out;
    out.reserve(kChunk + 2);
    pane.Write([&](const char* data, std::size_t size) {
        const char* p = data;
        const char* const end = data + size;
        while (p < end) {
            const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* const stop = lf ? lf : end;
            out.insert(out.end(), p, stop);
            if (lf)
                out.insert(out.end(), {'\r', '\n'});
            p = lf ? lf + 1 : end;
            if (out.size() >= kChunk) {
                file.Write(out.data(), out.size());
                out.clear();
            }
        }
        return file.Error().empty();
    });
    file.Write(out.data(), out.size());
    return file.Commit();
}

std::string WriteRecord(const std::string& paneBytes, const std::string& path)
{
    return WriteRecord(CPaneSnapshot::OfBytes(paneBytes), path);
}

CRecordSaver::CRecordSaver(Done done) : m_done(std::move(done)), m_poll([this] { Poll(); }) {}

CRecordSaver::~CRecordSaver()
{
    if (m_result.valid())
        m_result.wait();
}

bool CRecordSaver::Busy() const
{
    return m_result.valid() && m_result.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

bool CRecordSaver::Start(CPaneSnapshot pane, std::string path)
{
    if (Busy())
        return false;
    Poll();  // the last record's outcome, if it is not reported yet
    m_path = path;
    m_result = std::async(std::launch::async, [pane = std::move(pane), path = std::move(path)] {
        return WriteRecord(pane, path);
    });
    m_poll.Start(kPollInterval);
    return true;
}

void CRecordSaver::Poll()
{
    if (!m_result.valid() || m_result.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_poll.Stop();
    const std::string error = m_result.get();
    if (m_done)
        m_done(m_path, error);
}

} // namespace ui
