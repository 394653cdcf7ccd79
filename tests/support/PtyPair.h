#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace testsupport {

// A pseudo-terminal in raw mode: the slave side is the "serial port" the code
// under test opens by name; the test plays the device on the master side.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Path of the slave device, e.g. /dev/pts/7.
    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    // Writes all bytes to the master side (the device sends them).
    void Send(const std::string& bytes);

    // Reads from the master side until `count` bytes have arrived or the
    // deadline passes; returns what arrived.
    std::string Receive(std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(20))
    {
        return Read(count, deadline, deadline);
    }

    // Reads whatever arrives until `quiet` passes in silence.
    std::string Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(200))
    {
        return Read(std::string::npos, std::chrono::hours(1), quiet);
    }

    // Closes the master side: the device goes away. Reads on the slave then fail.
    void CloseMaster();

private:
    std::string Read(std::size_t count, std::chrono::milliseconds deadline, std::chrono::milliseconds quiet);

    int m_master = -1;
    std::string m_slavePath;
};

} // namespace testsupport
