#include "PortIo.h"

#include <boost/asio/error.hpp>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace serialport {
namespace detail {

// ERROR_NO_SUCH_DEVICE, which mingw's headers lack.
constexpr DWORD kNoSuchDevice = 433;

namespace {

// One overlapped write on a port asio opened for overlapped I/O and tied to
// its completion port. The event's handle goes in with its lowest bit set,
// which keeps the completion away from that port: asio would take it for
// one of its own operations.
class COverlappedWrite
{
public:
    COverlappedWrite() : m_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_overlapped()
    {
        m_overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<std::uintptr_t>(m_event) | 1);
    }
    ~COverlappedWrite()
    {
        if (m_event != nullptr)
            ::CloseHandle(m_event);
    }
    COverlappedWrite(const COverlappedWrite&) = delete;
    COverlappedWrite& operator=(const COverlappedWrite&) = delete;

    // Starts writing; false when the write could not be started.
    bool Start(HANDLE port, const char* data, DWORD size)
    {
        if (m_event == nullptr)
            return false;
        return ::WriteFile(port, data, size, nullptr, &m_overlapped) || ::GetLastError() == ERROR_IO_PENDING;
    }

    // Waits up to `milliseconds` (INFINITE: for ever) for the write to end.
    bool Wait(DWORD milliseconds) { return ::WaitForSingleObject(m_event, milliseconds) == WAIT_OBJECT_0; }

    // Cuts the write short; it ends soon after, reporting what went.
    void Cancel(HANDLE port) { ::CancelIoEx(port, &m_overlapped); }

    // Waits for the write to end: the bytes taken, or -1 when it failed.
    // A write cut short by Cancel reports what the driver took before.
    std::ptrdiff_t Result(HANDLE port)
    {
        Wait(INFINITE);
        DWORD written = 0;
        if (::GetOverlappedResult(port, &m_overlapped, &written, FALSE) || ::GetLastError() == ERROR_OPERATION_ABORTED)
            return static_cast<std::ptrdiff_t>(written);
        return -1;
    }

private:
    HANDLE m_event;
    OVERLAPPED m_overlapped;
};

DWORD Clamp(std::size_t size)
{
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

} // namespace

bool WriteAll(NativeHandle port, const char* data, std::size_t size)
{
    while (size > 0) {
        COverlappedWrite write;
        if (!write.Start(port, data, Clamp(size)))
            return false;
        const std::ptrdiff_t written = write.Result(port);
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void PrepareBackgroundWrites(NativeHandle)
{
    // Every write on the port is overlapped already.
}

std::ptrdiff_t WriteSome(NativeHandle port, const char* data, std::size_t size,
                         std::chrono::milliseconds step, const std::function<bool()>& keepWaiting)
{
    COverlappedWrite write;
    if (!write.Start(port, data, Clamp(size)))
        return -1;
    while (!write.Wait(static_cast<DWORD>(step.count()))) {
        if (!keepWaiting()) {
            write.Cancel(port);
            break;
        }
    }
    return write.Result(port);
}

std::size_t QueuedForTheLine(NativeHandle port)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port, &errors, &status))
        return 0;
    return status.cbOutQue;
}

void DiscardQueued(NativeHandle port)
{
    ::PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
}

// A USB COM port pulled out fails its pending read in one of several ways,
// by driver; the reads after that fail with the rest. An aborted read the
// port did not cancel itself counts when the device no longer answers.
bool ReadFailureMeansGone(NativeHandle port, const boost::system::error_code& error)
{
    if (error == boost::asio::error::eof)
        return true;
    if (error.category() != boost::system::system_category())
        return false;
    switch (error.value()) {
    case ERROR_HANDLE_EOF:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
    case kNoSuchDevice:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND:
        return true;
    case ERROR_OPERATION_ABORTED: {
        DWORD errors = 0;
        COMSTAT status{};
        return !::ClearCommError(port, &errors, &status);
    }
    default:
        return false;
    }
}

} // namespace detail
} // namespace serialport
