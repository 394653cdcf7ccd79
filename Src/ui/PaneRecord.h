#pragma once

// A pane saved as a record of what a device sent: the pane's bytes as they
// are (Windows-1251, each control byte as the byte it is), each line break
// as CR LF, the NMEA convention, so that a later tool can check the
// sentences again. Text the operator typed into the pane is part of it.

#include "PaneSnapshot.h"
#include "Timer.h"

#include <functional>
#include <future>
#include <string>

namespace ui {

// Writes what a pane held (its snapshot) as a record to `path`, through a
// temporary file beside it that is flushed to the disk and renamed into
// place: a file already at `path` is replaced by a whole new one or not at
// all, and keeps its permissions; a new one has what the umask leaves of
// 0666. When `path` is a symbolic link, the record goes to the file it leads
// to and the link stays. Returns what went wrong; empty when the record is
// saved.
std::string WriteRecord(const CPaneSnapshot& pane, const std::string& path);
std::string WriteRecord(const std::string& paneBytes, const std::string& path);

// Writes records on a thread of its own, one at a time, and reports each on
// the thread that made it (the window's), through `done`.
class CRecordSaver
{
public:
    using Done = std::function<void(const std::string& path, const std::string& error)>;

    explicit CRecordSaver(Done done);
    ~CRecordSaver();  // waits for a record still being written
    CRecordSaver(const CRecordSaver&) = delete;
    CRecordSaver& operator=(const CRecordSaver&) = delete;

    // Starts writing; false while another record is being written. The
    // snapshot is read on the saver's thread (records read from there too).
    bool Start(CPaneSnapshot pane, std::string path);
    bool Busy() const;

private:
    void Poll();

    Done m_done;
    std::string m_path;
    std::future<std::string> m_result;
    CTimer m_poll;
};

} // namespace ui
