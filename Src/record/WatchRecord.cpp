#include "WatchRecord.h"

#include "RecordFolder.h"
#include "RecordName.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace record {

namespace {

using Clock = std::chrono::steady_clock;

void InitOnce()
{
    static std::once_flag once;
    std::call_once(once, InitRecordSignals);
}

} // namespace

std::shared_ptr<CWatchRecord> CWatchRecord::Create(const std::string& folder, const std::string& device,
                                                   Millis openTime)
{
    InitOnce();
    return std::make_shared<CWatchRecord>(Token{}, folder, device, openTime);
}

CWatchRecord::CWatchRecord(Token, const std::string& folder, const std::string& device, Millis openTime)
    : m_device(device)
{
    m_filling.bytes.reserve(kBufferBytes);
    AddMark(MarkKind::Open, openTime);
    if (!IsDeviceName(device)) {
        Fail(RecordFailure::Step::Create, 0, "not a device name: \"" + device + "\"");
        m_done = true;
        return;
    }
    try {
        m_writer = std::thread(&CWatchRecord::Run, this, folder, openTime);
    } catch (const std::system_error& e) {
        Fail(RecordFailure::Step::Thread, e.code().value(), std::string("writer thread: ") + e.what());
        m_done = true;
    }
}

CWatchRecord::~CWatchRecord()
{
    Close(NowMillis());
    if (m_writer.joinable())
        m_writer.join();
}

// The I/O side -------------------------------------------------------------

void CWatchRecord::AddMark(MarkKind kind, Millis time)
{
    if (m_filling.Empty())
        m_filling.first = Clock::now();
    const auto end = static_cast<std::uint32_t>(m_filling.bytes.size());
    std::vector<Mark>& marks = m_filling.marks;
    // Reads within one millisecond share a mark.
    if (kind == MarkKind::Bytes && !marks.empty() && marks.back().kind == MarkKind::Bytes && marks.back().time == time)
        marks.back().end = end;
    else
        marks.push_back(Mark{end, kind, time});
    ++m_sequence;
}

bool CWatchRecord::WaitForRoom(std::unique_lock<std::mutex>& lock)
{
    m_writerWake.notify_one();
    const std::uint64_t takes = m_takes;
    if (m_room.wait_for(lock, kStallLimit, [&] { return m_takes != takes || m_closing || Failed(); }))
        return !m_closing && !Failed();
    Fail(RecordFailure::Step::Stalled, 0,
         "the disk took nothing for " + std::to_string(kStallLimit.count()) + " ms");
    m_room.notify_all();
    return false;
}

void CWatchRecord::Append(const char* data, std::size_t size, Millis readTime)
{
    if (size == 0 || Failed())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (size > 0) {
        if (m_closing || Failed())
            return;
        const std::size_t room = kBufferBytes - m_filling.bytes.size();
        if (room == 0 || m_filling.marks.size() >= kBufferReads) {
            if (!WaitForRoom(lock))
                return;
            continue;
        }
        const std::size_t before = m_filling.bytes.size();
        const bool wasEmpty = m_filling.Empty();
        const std::size_t count = std::min(room, size);
        m_filling.bytes.append(data, count);
        AddMark(MarkKind::Bytes, readTime);
        data += count;
        size -= count;
        // A writer that found nothing to do sleeps until bytes come; one that
        // writes as they come looks again by itself. Half a buffer is taken
        // at once.
        const bool halfFull = (before < kBufferBytes / 2 && m_filling.bytes.size() >= kBufferBytes / 2) ||
                              m_filling.marks.size() == kBufferReads / 2;
        if ((wasEmpty && m_writerAsleep) || halfFull)
            m_writerWake.notify_one();
    }
}

void CWatchRecord::Note(MarkKind kind, Millis time)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closing || Failed())
        return;
    AddMark(kind, time);
    if (m_writerAsleep)
        m_writerWake.notify_one();
}

void CWatchRecord::Close(Millis closeTime)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closing)
        return;
    if (!Failed())
        AddMark(MarkKind::Close, closeTime);
    m_closing = true;
    m_writerWake.notify_one();
    m_room.notify_all();
}

void CWatchRecord::Discard()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_discard = true;
    m_closing = true;
    m_writerWake.notify_one();
    m_room.notify_all();
}

bool CWatchRecord::Closing() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closing;
}

void CWatchRecord::WaitClosed()
{
    std::unique_lock<std::mutex> lock(m_indexMutex);
    m_published.wait(lock, [this] { return m_done; });
}

void CWatchRecord::Flush()
{
    std::uint64_t target = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        target = m_sequence;
        m_flushTo = std::max(m_flushTo, target);
        m_writerWake.notify_one();
    }
    std::unique_lock<std::mutex> lock(m_indexMutex);
    m_published.wait(lock, [&] { return m_writtenSequence >= target || m_done || m_failure; });
}

// The writer thread --------------------------------------------------------

void CWatchRecord::Run(const std::string& folder, Millis openTime)
{
    Buffer batch;
    batch.bytes.reserve(kBufferBytes);
    if (CreateFiles(folder, openTime)) {
        for (bool closing = false; !closing;) {
            batch.bytes.clear();
            batch.marks.clear();
            if (!TakeBuffer(batch, closing))
                break;
            if (!batch.Empty()) {
                if (!WriteBatch(batch))
                    break;
                Publish(batch.sequence);
            }
            if ((closing || SyncDue()) && !SyncFiles())
                break;
        }
    }
    bool discard = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        discard = m_discard;
    }
    if (discard && !m_bytesPath.empty()) {
        const std::string timesPath = m_bytesPath.substr(0, m_bytesPath.size() - std::string(kBytesExtension).size())
                                      + kTimesExtension;
        m_bytes.Close();
        m_times.Close();
        RemoveFile(m_bytesPath);
        RemoveFile(timesPath);
    }
    std::lock_guard<std::mutex> lock(m_indexMutex);
    m_done = true;
    m_published.notify_all();
}

bool CWatchRecord::CreateFiles(const std::string& folder, Millis openTime)
{
    FolderError folderError;
    if (!PrepareFolder(folder, folderError)) {
        FailFromWriter(RecordFailure::Step::Folder, folderError.error,
                       folderError.what + ": " + SystemErrorText(folderError.error));
        return false;
    }
    const std::string stamp = LocalStamp(openTime);
    for (unsigned n = 1; n < 1000; ++n) {
        const std::string name = RecordBaseName(m_device, stamp, n);
        const std::string bytesPath = InFolder(folder, name + kBytesExtension);
        const std::string timesPath = InFolder(folder, name + kTimesExtension);
        int error = 0;
        CRecordFile::CreateResult made = m_bytes.Create(bytesPath, error);
        if (made == CRecordFile::CreateResult::Created) {
            made = m_times.Create(timesPath, error);
            if (made != CRecordFile::CreateResult::Created) {
                m_bytes.Close();
                RemoveFile(bytesPath);
            }
        }
        if (made == CRecordFile::CreateResult::Exists)
            continue;
        if (made == CRecordFile::CreateResult::Failed) {
            FailFromWriter(RecordFailure::Step::Create, error,
                           "create " + (m_bytes.IsOpen() ? timesPath : bytesPath) + ": " + SystemErrorText(error));
            return false;
        }
        std::lock_guard<std::mutex> lock(m_indexMutex);
        m_name = name;
        m_bytesPath = bytesPath;
        return true;
    }
    FailFromWriter(RecordFailure::Step::Create, 0, "create: every name of " + m_device + "-" + stamp + " is taken");
    return false;
}

bool CWatchRecord::TakeBuffer(Buffer& into, bool& closing)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (Failed())
            return false;
        if (m_closing)
            break;
        const Clock::time_point now = Clock::now();
        const Clock::time_point syncAt =
            m_unsyncedSince ? *m_unsyncedSince + kSyncDelay : Clock::time_point::max();
        // Whatever came since the last take waits no longer than this: one
        // write for many reads.
        const Clock::time_point writeAt = m_lastTake + kWriteDelay;
        if (m_filling.Empty() ? now >= syncAt
                              : now >= writeAt || now >= syncAt || m_flushTo > m_takenSequence ||
                                    m_filling.bytes.size() >= kBufferBytes / 2 ||
                                    m_filling.marks.size() >= kBufferReads / 2)
            break;
        if (!m_filling.Empty() || now < writeAt) {
            m_writerWake.wait_until(lock, std::min(writeAt, syncAt));
            continue;
        }
        // Nothing came for a while: the next read wakes the writer.
        m_writerAsleep = true;
        if (m_unsyncedSince)
            m_writerWake.wait_until(lock, syncAt);
        else
            m_writerWake.wait(lock);
        m_writerAsleep = false;
    }
    std::swap(into, m_filling);
    into.sequence = m_sequence;
    closing = m_closing;
    m_takenSequence = m_sequence;
    m_lastTake = Clock::now();
    ++m_takes;
    lock.unlock();
    m_room.notify_all();
    return true;
}

bool CWatchRecord::WriteBatch(const Buffer& batch)
{
    const std::uint64_t bytesAt = m_builder.Bytes();
    std::uint32_t begin = 0;
    for (const Mark& mark : batch.marks) {
        if (mark.kind == MarkKind::Bytes)
            m_builder.AddBytes(batch.bytes.data() + begin, mark.end - begin, mark.time);
        else
            m_builder.AddEvent(mark.kind == MarkKind::Open    ? EventKind::Open
                               : mark.kind == MarkKind::Lost  ? EventKind::Lost
                               : mark.kind == MarkKind::Back  ? EventKind::Back
                                                              : EventKind::Close,
                               mark.time);
        begin = mark.end;
    }
    std::size_t written = 0;
    int error = 0;
    const std::string& times = m_builder.Times();
    const bool bytesWent = m_bytes.WriteAt(bytesAt, batch.bytes.data(), batch.bytes.size(), written, error);
    if (!bytesWent || !m_times.WriteAt(m_builder.TimesInFile(), times.data(), times.size(), written, error)) {
        // Both files back to where they were whole, as readers know them.
        m_bytes.Truncate(bytesAt);
        m_times.Truncate(m_builder.TimesInFile());
        FailFromWriter(RecordFailure::Step::Write, error,
                       "write " + m_name + (bytesWent ? kTimesExtension : kBytesExtension) + ": " +
                           SystemErrorText(error));
        return false;
    }
    if (!m_unsyncedSince)
        m_unsyncedSince = batch.first;
    m_unsyncedBytes += batch.bytes.size() + times.size();
    return true;
}

bool CWatchRecord::SyncDue() const
{
    return m_unsyncedSince && (Clock::now() >= *m_unsyncedSince + kSyncDelay || m_unsyncedBytes >= kSyncBytes);
}

bool CWatchRecord::SyncFiles()
{
    if (!m_unsyncedSince)
        return true;
    int error = 0;
    const bool bytesSynced = m_bytes.Sync(error);
    if (!bytesSynced || !m_times.Sync(error)) {
        FailFromWriter(RecordFailure::Step::Sync, error,
                       "sync " + m_name + (bytesSynced ? kTimesExtension : kBytesExtension) + ": " +
                           SystemErrorText(error));
        return false;
    }
    m_unsyncedSince.reset();
    m_unsyncedBytes = 0;
    return true;
}

void CWatchRecord::Publish(std::uint64_t sequence)
{
    {
        std::lock_guard<std::mutex> lock(m_indexMutex);
        // A record that stopped meanwhile (the I/O side gave up waiting)
        // shows nothing more.
        if (!m_failure) {
            std::vector<Checkpoint>& checkpoints = m_builder.NewCheckpoints();
            std::vector<RecordEvent>& events = m_builder.NewEvents();
            m_checkpoints.insert(m_checkpoints.end(), checkpoints.begin(), checkpoints.end());
            m_events.insert(m_events.end(), events.begin(), events.end());
            m_written = m_builder.Bytes();
            m_timesWritten = m_builder.TimesInFile() + m_builder.Times().size();
            m_lines = m_builder.Lines();
            m_writtenSequence = sequence;
        }
        m_published.notify_all();
    }
    m_builder.Committed();
}

bool CWatchRecord::Fail(RecordFailure::Step step, int error, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    if (m_failure)
        return false;
    // Said before it is seen: whoever finds the failure finds it said.
    if (m_name.empty())
        std::fprintf(stderr, "OrvelConfigurator: no record of %s: %s\n", m_device.c_str(), text.c_str());
    else
        std::fprintf(stderr, "OrvelConfigurator: the record %s stopped: %s\n", m_name.c_str(), text.c_str());
    m_failure = RecordFailure{step, error, text};
    m_failed.store(true, std::memory_order_release);
    m_published.notify_all();
    return true;
}

void CWatchRecord::FailFromWriter(RecordFailure::Step step, int error, const std::string& text)
{
    if (!Fail(step, error, text))
        return;
    // Taken once, so an appender that found the record well and is about to
    // wait for room is waiting by now and hears it.
    { std::lock_guard<std::mutex> lock(m_mutex); }
    m_room.notify_all();
}

// Reading ------------------------------------------------------------------

std::uint64_t CWatchRecord::Written() const
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    return m_written;
}

std::size_t CWatchRecord::Read(std::uint64_t offset, char* out, std::size_t size) const
{
    const std::uint64_t written = Written();
    if (offset >= written)
        return 0;
    return m_bytes.ReadAt(offset, out, static_cast<std::size_t>(std::min<std::uint64_t>(size, written - offset)));
}

std::uint64_t CWatchRecord::LineCount() const
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    return m_lines;
}

std::optional<std::uint64_t> CWatchRecord::LineStart(std::uint64_t line) const
{
    Checkpoint from;
    std::uint64_t written = 0;
    {
        std::lock_guard<std::mutex> lock(m_indexMutex);
        if (line >= m_lines)
            return std::nullopt;
        from = CheckpointFor(m_checkpoints, line);
        written = m_written;
    }
    return FindLineStart(m_bytes, written, from, line);
}

std::vector<Millis> CWatchRecord::LineTimes(std::uint64_t first, std::size_t count) const
{
    Checkpoint from;
    std::uint64_t timesEnd = 0;
    {
        std::lock_guard<std::mutex> lock(m_indexMutex);
        if (first >= m_lines)
            return {};
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_lines - first));
        from = CheckpointFor(m_checkpoints, first);
        timesEnd = m_timesWritten;
    }
    return ReadLineTimes(m_times, timesEnd, from, first, count);
}

std::optional<Millis> CWatchRecord::LineTime(std::uint64_t line) const
{
    const std::vector<Millis> times = LineTimes(line, 1);
    return times.empty() ? std::nullopt : std::optional<Millis>(times.front());
}

std::vector<RecordEvent> CWatchRecord::Events() const
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    return m_events;
}

RecordFailure CWatchRecord::Failure() const
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    return m_failure;
}

std::string CWatchRecord::BytesPath() const
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    return m_bytesPath;
}

std::size_t CWatchRecord::IndexMemory() const
{
    std::lock_guard<std::mutex> lock(m_indexMutex);
    return m_checkpoints.capacity() * sizeof(Checkpoint) + m_events.capacity() * sizeof(RecordEvent);
}

} // namespace record
