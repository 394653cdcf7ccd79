#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace testsupport {

using std::chrono::milliseconds;
constexpr milliseconds kCeiling{60000}; // only keeps a broken test from hanging

// What a descriptor it owns delivers, read as it comes; every wait ends at
// the ceiling.
class CReader
{
public:
    explicit CReader(int fd = -1) : m_fd(fd) {}
    ~CReader() { Close(); }
    CReader(const CReader&) = delete;
    CReader& operator=(const CReader&) = delete;
    // Sends `line` and a line end to a socket.
    void Send(const std::string& line);
    // The next piece that starts with `prefix` and ends with `end`, without
    // the end; nothing at the ceiling or the end of the data.
    std::optional<std::string> WaitFor(const std::string& prefix, const std::string& end = "\n");
    // `count` bytes, fewer at the ceiling or the end of the data.
    std::string Read(std::size_t count, milliseconds ceiling = kCeiling);
    // Whatever arrives until `quiet` passes in silence.
    std::string Drain(milliseconds quiet);
    // True once reads fail or see the end, as after a hang-up.
    bool Ends();
    void Close();

protected:
    bool ReadSome(std::chrono::steady_clock::time_point deadline);
    int m_fd;
    std::string m_buffer;
};

// A pseudo-terminal in raw mode: the slave side is the "serial port" the code
// under test opens by name; the test plays the device on the master side.
class PtyPair : private CReader
{
public:
    PtyPair();

    // Path of the slave device, e.g. /dev/pts/7.
    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_fd; }

    // Writes all bytes to the master side (the device sends them).
    void Send(const std::string& bytes);

    // Reads from the master side until `count` bytes have arrived or the
    // deadline passes; returns what arrived.
    std::string Receive(std::size_t count, milliseconds deadline = std::chrono::seconds(20))
    {
        return Read(count, deadline);
    }

    // Reads whatever arrives until `quiet` passes in silence.
    std::string Drain(milliseconds quiet = milliseconds(200)) { return CReader::Drain(quiet); }

    // Closes the master side: the device goes away. Reads on the slave then fail.
    void CloseMaster() { Close(); }

private:
    std::string m_slavePath;
};

} // namespace testsupport
