#pragma once

#include <chrono>
#include <string>

namespace devsim {

// A moment in UTC, as the sentences print it.
struct CUtcTime
{
    int m_year = 2000; // four digits
    int m_month = 1;   // 1..12
    int m_day = 1;     // 1..31
    int m_hour = 0;
    int m_minute = 0;
    int m_second = 0;
    int m_centisecond = 0;

    static CUtcTime From(std::chrono::system_clock::time_point when);

    std::string Hhmmss() const; // "hhmmss.ss"
    std::string Ddmmyy() const; // "ddmmyy"
};

// One simulated device behind one port. A device is a plain state machine:
// the simulator hands it every command line it receives and a tick every
// second, and sends whatever bytes it returns. Neither call blocks.
class CDevice
{
public:
    virtual ~CDevice() = default;

    // The device's name on the command line and in the link name:
    // "gnss", "beacon" or "sounder".
    virtual const char* Name() const = 0;

    // The answer to one received line (line end removed); empty for none.
    virtual std::string Answer(const std::string& line) = 0;

    // What the device sends in this second.
    virtual std::string Tick(const CUtcTime& now) = 0;
};

} // namespace devsim
