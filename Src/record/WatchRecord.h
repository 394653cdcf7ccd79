#pragma once

// One channel's record, from its Open to its Close: every byte received,
// unchanged and in order, in the file <device>-<yyyymmdd-HHMMSS>.log of the
// records folder, and beside it, in the .times file, the time each line
// began (the read that brought its first byte, by the pane's line breaks,
// LineSplitter.h) and the times of the Open, the Close and of the device
// lost and back (RecordName.h, TimesCodec.h).
//
// Writing. Append copies a read into a bounded buffer and returns; a writer
// thread of the record's own takes the buffer and writes it, at the latest
// kWriteDelay after its first byte came (reads that keep coming are taken
// every kWriteDelay, without waking the writer each time), and makes it
// durable (fdatasync, FlushFileBuffers) at the latest kSyncDelay after the
// first byte not yet durable came, one sync for everything written by then. When the disk cannot keep up and the buffer
// is full, Append waits for the writer; if the writer takes nothing for
// kStallLimit, the record stops rather than the channel.
//
// The files are made by the writer thread, not by the caller of Create. The
// folder is made owner-only when missing, the files are owner-only, and the
// bytes file is held (flock; on Windows no FILE_SHARE_DELETE) as long as the
// record object lives, so no retention removes a record that is shown.
//
// Failure. Any failure to make or write the files stops the record for good:
// nothing more is written, Written() stays where the files are whole, one
// line on standard error says why and Failure() tells the same. Append still
// returns at once and never throws. A record that could not be made at all
// is a record that failed at once.
//
// Reading. Any thread may read what has been written while the writer goes
// on, and after Close for as long as the object lives: the bytes, where each
// line begins and the times of lines, and the events. Lines are numbered as
// the pane numbers them; line n has begun when its first byte is written.
//
// Threads. Append, NoteLost and NoteBack come from the I/O side, one call at
// a time per record (a port's reads are). Close, and the readers, from any
// thread. Destroying the object waits for the writer's last write and sync.

#include "RecordIndex.h"
#include "RecordTime.h"
#include "TimesCodec.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace record {

// Why a record stopped.
struct RecordFailure
{
    enum class Step
    {
        None,
        Folder,   // the records folder could not be made or is not the user's
        Create,   // the files could not be made
        Thread,   // the writer thread could not be started
        Write,    // a write failed: full disk (ENOSPC), file too large (EFBIG) ...
        Sync,     // the disk failed to keep what was written
        Stalled,  // the disk took nothing for kStallLimit while reads waited
    };
    Step step = Step::None;
    int error = 0;     // errno on Linux, GetLastError() on Windows; 0 for Stalled
    std::string text;  // "write SnsPort-20250101-120000.log: No space left on device (errno 28)"

    explicit operator bool() const { return step != Step::None; }
};

class CWatchRecord
{
    struct Token {};
    enum class MarkKind : std::uint8_t { Bytes, Open, Lost, Back, Close };

public:
    static constexpr std::size_t kBufferBytes = 4 * 1024 * 1024;  // taken by the writer as a whole, so twice this at most
    static constexpr std::size_t kBufferReads = 64 * 1024;        // reads of different times in one buffer
    static constexpr std::chrono::milliseconds kWriteDelay{100};
    static constexpr std::chrono::milliseconds kSyncDelay{800};
    static constexpr std::uint64_t kSyncBytes = 32 * 1024 * 1024;  // written since the last sync
    static constexpr std::chrono::milliseconds kStallLimit{2000};

    // Starts the record of channel `device` ("SnsPort"), opened at
    // `openTime`, in `folder` (RecordsFolder()). Never null, never throws
    // for the files' sake: a record that cannot be made reports it in
    // Failure(). Also ignores SIGXFSZ (InitRecordSignals), once.
    static std::shared_ptr<CWatchRecord> Create(const std::string& folder, const std::string& device,
                                                Millis openTime);

    CWatchRecord(Token, const std::string& folder, const std::string& device, Millis openTime);
    ~CWatchRecord();
    CWatchRecord(const CWatchRecord&) = delete;
    CWatchRecord& operator=(const CWatchRecord&) = delete;

    // Writing (the I/O side) ------------------------------------------------

    // A read of `size` bytes that completed at `readTime`. Copies them and
    // returns; waits only while the buffer is full. Nothing after Close or a
    // failure.
    void Append(const char* data, std::size_t size, Millis readTime);
    // The device was lost (a read failed for good, the device went away),
    // and is back reading into this record.
    void NoteLost(Millis time) { Note(MarkKind::Lost, time); }
    void NoteBack(Millis time) { Note(MarkKind::Back, time); }

    // Ends the record at `closeTime`: later Appends are ignored; the writer
    // writes what is left, syncs and closes. Returns at once; a second Close
    // changes nothing.
    void Close(Millis closeTime);
    bool Closing() const;
    // The channel's port did not open after all and nothing was appended:
    // ends the record, and its writer removes its files. Returns at once.
    void Discard();
    // Waits until the writer is done: everything written and synced, or the
    // record failed. Not for the window's thread.
    void WaitClosed();

    // Waits until everything appended before the call has been written
    // (reached the system, not yet the disk), or the record failed. For
    // tests and tools; not for the window's thread.
    void Flush();

    // Reading (any thread) --------------------------------------------------

    // Bytes readable now: everything before is in the file.
    std::uint64_t Written() const;
    // Reads [offset, offset + size) clipped to Written(); returns how many.
    std::size_t Read(std::uint64_t offset, char* out, std::size_t size) const;

    // Lines begun within Written().
    std::uint64_t LineCount() const;
    // Where line `line` begins; none when it has not (yet) in Written().
    std::optional<std::uint64_t> LineStart(std::uint64_t line) const;
    // The times of lines [first, first + count) that have begun, in order;
    // fewer when fewer have.
    std::vector<Millis> LineTimes(std::uint64_t first, std::size_t count) const;
    std::optional<Millis> LineTime(std::uint64_t line) const;
    // The events written, in order: Open first, Close last once closed.
    std::vector<RecordEvent> Events() const;

    // Why the record stopped; false when it has not.
    RecordFailure Failure() const;

    // The channel's key name, and the full path of the bytes file (its
    // times file has the same name with kTimesExtension); the path is empty
    // until the writer has made the files.
    const std::string& Device() const { return m_device; }
    std::string BytesPath() const;
    // Memory held for reading (the checkpoints and events), in bytes.
    std::size_t IndexMemory() const;

private:
    // Where a read or an event ends in the buffer, and its time.
    struct Mark
    {
        std::uint32_t end;
        MarkKind kind;
        Millis time;
    };
    struct Buffer
    {
        std::string bytes;
        std::vector<Mark> marks;
        std::uint64_t sequence = 0;  // the appends and events taken with it, counted from the start
        std::chrono::steady_clock::time_point first;  // when its first byte or event came

        bool Empty() const { return marks.empty(); }
    };

    // The I/O side.
    void Note(MarkKind kind, Millis time);
    void AddMark(MarkKind kind, Millis time);  // m_mutex held
    bool WaitForRoom(std::unique_lock<std::mutex>& lock);

    // The writer thread.
    void Run(const std::string& folder, Millis openTime);
    bool CreateFiles(const std::string& folder, Millis openTime);
    bool TakeBuffer(Buffer& into, bool& closing);
    bool WriteBatch(const Buffer& batch);
    bool SyncDue() const;
    bool SyncFiles();
    void Publish(std::uint64_t sequence);

    // Stops the record, the first failure only; true when this was it.
    bool Fail(RecordFailure::Step step, int error, const std::string& text);
    // The writer's failures: appenders waiting for room stop waiting.
    void FailFromWriter(RecordFailure::Step step, int error, const std::string& text);
    bool Failed() const { return m_failed.load(std::memory_order_acquire); }

    const std::string m_device;
    std::string m_name;  // "<device>-<stamp>", once made

    // The I/O side's hand-over to the writer, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_writerWake;   // something to write, closing, flush
    std::condition_variable m_room;         // the writer took the buffer
    Buffer m_filling;
    std::uint64_t m_sequence = 0;  // appends and events so far
    std::uint64_t m_takes = 0;          // buffers taken by the writer
    std::uint64_t m_takenSequence = 0;  // the sequence of the last one
    std::uint64_t m_flushTo = 0;        // a Flush waits for this sequence
    std::chrono::steady_clock::time_point m_lastTake;  // when the writer last took the buffer
    bool m_writerAsleep = false;        // waiting with no write due: the next read wakes it
    bool m_closing = false;
    bool m_discard = false;             // guarded by m_mutex
    std::atomic<bool> m_failed{false};

    // The writer's own.
    CIndexBuilder m_builder;
    CRecordFile m_bytes;
    CRecordFile m_times;
    std::uint64_t m_unsyncedBytes = 0;
    std::optional<std::chrono::steady_clock::time_point> m_unsyncedSince;  // the first unsynced byte's arrival

    // What readers see, under m_indexMutex.
    mutable std::mutex m_indexMutex;
    std::condition_variable m_published;
    std::string m_bytesPath;
    std::uint64_t m_written = 0;
    std::uint64_t m_timesWritten = 0;
    std::uint64_t m_lines = 0;
    std::uint64_t m_writtenSequence = 0;
    std::vector<Checkpoint> m_checkpoints;
    std::vector<RecordEvent> m_events;
    RecordFailure m_failure;
    bool m_done = false;  // the writer has ended

    std::thread m_writer;
};

} // namespace record
