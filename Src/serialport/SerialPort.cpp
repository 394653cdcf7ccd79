#include "SerialPort.h"

#include "BaudRate.h"
#include "PortIo.h"
#include "ReadWorkers.h"

#include <boost/asio/placeholders.hpp>
#include <boost/asio/post.hpp>
#include <boost/bind/bind.hpp>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <limits>
#include <system_error>
#include <type_traits>

namespace serialport {

namespace {

typedef boost::asio::chrono::milliseconds Milliseconds;

// A device that fails every read (a pulled USB adapter, a closed pty) fails
// each re-armed read at once. The first failure is retried at once; after
// that each retry waits twice as long as the last, up to kMaxRetryDelay, until
// a read succeeds again.
const Milliseconds kFirstRetryDelay(1);
const Milliseconds kMaxRetryDelay(100);

Milliseconds RetryDelay(unsigned int failedReads)
{
    if (failedReads <= 1)
        return Milliseconds(0);
    const unsigned int doublings = std::min(failedReads - 2, 16u);
    return std::min(kFirstRetryDelay * (1u << doublings), kMaxRetryDelay);
}

static_assert(std::is_same<NativeHandle, boost::asio::serial_port::native_handle_type>::value,
              "NativeHandle names what asio's serial_port hands out");

} // namespace

CSerialPort::CSerialPort(boost::asio::io_service& ioService, ReceiveCallback callback, LostCallback lost)
    : m_ioService(ioService)
    , m_lost(false)
    , m_receiveCallback(callback)
    , m_lostCallback(lost)
    , m_reading(false)
    , m_receiveBuffer()
    , m_readChainActive(false)
    , m_failedReads(0)
    , m_retryTimer(ioService)
    , m_workers(nullptr)
{
}

CSerialPort::~CSerialPort()
{
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        m_sender.Stop();
        if (!m_port)
            return;
    }
    boost::system::error_code ignored;
    {
        std::unique_lock<std::mutex> lock(m_receiveMutex);
        m_reading = false;
        m_retryTimer.cancel();
        if (m_port->is_open())
            m_port->cancel(ignored);
    }
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        if (m_port->is_open()) {
            m_portLock.Release(m_port->native_handle());
            m_port->close(ignored); // aborts whatever a failed cancel left pending
        }
    }
    WaitForReadChainEnd();
}

bool CSerialPort::Open(const char* portName, boost::uint32_t baudRate)
{
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        if (m_port && !m_lost) {
            m_lastError = PortError::AlreadyOpen;
            return false;
        }
    }
    ForgetLostDevice();
    if (!OpenDevice(portName, baudRate))
        return false;

    // After the serial_port exists, so the workers shut down before the reactor.
    m_workers = &boost::asio::use_service<CReadWorkers>(m_ioService);
    {
        std::unique_lock<std::mutex> lock(m_receiveMutex);
        m_reading = true;
        m_failedReads = 0;
        m_readChainActive = true;
    }
    boost::asio::post(m_ioService, boost::bind(&CSerialPort::OnStartRead, this));
    try {
        m_workers->AddClient();
    } catch (const std::system_error&) {
        SetLastError(boost::system::errc::make_error_code(boost::system::errc::resource_unavailable_try_again));
        throw;
    }
    return true;
}

// Opens and claims the device, holds it and sets its line; false, holding
// nothing, when it cannot be opened or claimed.
bool CSerialPort::OpenDevice(const char* portName, boost::uint32_t baudRate)
{
    if (portName == nullptr) {
        SetLastError(boost::system::errc::make_error_code(boost::system::errc::invalid_argument));
        return false;
    }
    if (!m_portLock.Claim(portName)) {
        SetLastError(PortError::HeldByAnotherProgram);
        return false;
    }
    const boost::shared_ptr<boost::asio::serial_port> port =
        boost::make_shared<boost::asio::serial_port>(m_ioService);
    boost::system::error_code error;
    port->open(portName, error);
    if (error) {
        SetLastError(OpenFailure(error));
        return false;
    }
    if (!m_portLock.Attach(port->native_handle())) {
        SetLastError(PortError::HeldByAnotherProgram);
        return false; // the device closes with `port`
    }
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        m_port = port;
        m_lastError.clear();
    }
    try {
        ApplyFraming(baudRate);
    } catch (const boost::system::system_error& e) {
        SetLastError(e.code());
        throw;
    }
    return true;
}

void CSerialPort::Close()
{
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        if (!m_port || (!m_lost && !m_port->is_open()))
            return;
        m_sender.Stop();
    }
    StopReading();
    WaitForReadChainEnd();
    // The device may have been lost meanwhile, and let go already.
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    boost::system::error_code error;
    if (m_port->is_open()) {
        m_portLock.Release(m_port->native_handle());
        // The kernel releases the descriptor even when close reports an
        // error, so the port is let go either way: a port kept "held" after a
        // failed close would refuse every later Open until the program
        // restarts.
        m_port->close(error);
    }
    m_port.reset();
    m_lost = false;
    if (error)
        boost::throw_exception(boost::system::system_error(error, "close"));
}

boost::int32_t CSerialPort::Write(const char* data, const boost::uint32_t& count)
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    if (!m_port || !m_port->is_open())
        return -1;
    if (count == 0)
        return 0;
    // A count the result cannot report is refused rather than half-reported.
    if (count > static_cast<boost::uint32_t>(std::numeric_limits<boost::int32_t>::max()))
        return 0;
    // Straight through the handle: the worker's reads keep their own
    // bookkeeping in the asio object, and the write must not race with it.
    if (!detail::WriteAll(m_port->native_handle(), data, count))
        return 0;
    return static_cast<boost::int32_t>(count);
}

bool CSerialPort::SetBaudRate(boost::uint32_t rate)
{
    // Only the line settings change: the read outstanding on a worker keeps
    // its buffer and its place in the reactor. The handle is the port's
    // while the lock is held: a worker that finds the device gone closes it.
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    if (!m_port || !m_port->is_open())
        return false;
    try {
        serialport::SetBaudRate(*m_port, rate);
    } catch (const boost::system::system_error&) {
        return false;
    }
    return true;
}

boost::uint32_t CSerialPort::BaudRate() const
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    return m_port && m_port->is_open() ? CurrentBaudRate(m_port->native_handle()) : 0;
}

bool CSerialPort::IsOpen() const
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    return m_port && m_port->is_open();
}

bool CSerialPort::IsLost() const
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    return m_lost;
}

boost::system::error_code CSerialPort::LastError() const
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    return m_lastError;
}

void CSerialPort::SetLastError(const boost::system::error_code& error)
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    m_lastError = error;
}

bool CSerialPort::StartSend(std::vector<char> bytes, CSender::DoneCallback done)
{
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    if (!m_port || !m_port->is_open() || m_sender.Running())
        return false;
    return m_sender.Start(m_port->native_handle(), std::move(bytes), std::move(done));
}

// The worker that let a lost device go may still be ending its read chain;
// once it has, the closed port object goes.
void CSerialPort::ForgetLostDevice()
{
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        if (!m_lost)
            return;
    }
    WaitForReadChainEnd();
    const std::lock_guard<std::mutex> lock(m_handleMutex);
    m_port.reset();
    m_lost = false;
}

void CSerialPort::ApplyFraming(boost::uint32_t baudRate)
{
    typedef boost::asio::serial_port_base Base;
    serialport::SetBaudRate(*m_port, baudRate);
    m_port->set_option(Base::character_size(8));
    m_port->set_option(Base::stop_bits(Base::stop_bits::one));
    m_port->set_option(Base::parity(Base::parity::none));
    m_port->set_option(Base::flow_control(Base::flow_control::none));
}

// The handlers below run on a worker thread. Each takes the receive mutex,
// and each either passes the chain on (a read or a retry wait outstanding) or,
// once reading has stopped, ends it.

// Posted by Open, and run by the retry timer after a failed read.
void CSerialPort::OnStartRead()
{
    std::unique_lock<std::mutex> lock(m_receiveMutex);
    if (m_reading)
        StartRead();
    else
        EndReadChain();
}

void CSerialPort::OnRead(const boost::system::error_code& error, std::size_t bytesTransferred)
{
    std::unique_lock<std::mutex> lock(m_receiveMutex);
    const boost::uint32_t count = error ? 0 : static_cast<boost::uint32_t>(bytesTransferred);
    if (m_receiveCallback)
        m_receiveCallback(m_receiveBuffer, count);
    if (!m_reading) {
        EndReadChain();
    } else if (count > 0) {
        m_failedReads = 0;
        StartRead();
    } else if (detail::ReadFailureMeansGone(m_port->native_handle(), error)) {
        LetLostDeviceGo(error);
        EndReadChain();
    } else {
        RearmAfterFailedRead();
    }
}

// Called with the receive mutex held, by the handler of the read that found
// the device gone: the dead handle is not read again, and the device goes
// back to the system, which may give it (or another) the same name again.
void CSerialPort::LetLostDeviceGo(const boost::system::error_code& readError)
{
    m_reading = false;
    {
        const std::lock_guard<std::mutex> lock(m_handleMutex);
        m_sender.StopAsFailed();
        m_portLock.Release(m_port->native_handle());
        boost::system::error_code ignored;
        m_port->close(ignored);
        m_lost = true;
        m_lastError = PortError::DeviceGone;
    }
    if (m_lostCallback)
        m_lostCallback(readError);
}

// Called with the receive mutex held.
void CSerialPort::StartRead()
{
    if (!m_port || !m_port->is_open()) {
        EndReadChain();
        return;
    }
    m_port->async_read_some(boost::asio::buffer(m_receiveBuffer),
                            boost::bind(&CSerialPort::OnRead, this,
                                        boost::asio::placeholders::error,
                                        boost::asio::placeholders::bytes_transferred));
}

// Called with the receive mutex held.
void CSerialPort::RearmAfterFailedRead()
{
    if (m_failedReads < std::numeric_limits<unsigned int>::max())
        ++m_failedReads;
    const Milliseconds delay = RetryDelay(m_failedReads);
    if (delay.count() == 0) {
        StartRead();
        return;
    }
    m_retryTimer.expires_after(delay);
    // Cancelled or expired alike: OnStartRead decides by m_reading.
    m_retryTimer.async_wait(boost::bind(&CSerialPort::OnStartRead, this));
}

// Called with the receive mutex held, as the last thing a handler does with
// this port: once the mutex is released, Close may return and the port go.
void CSerialPort::EndReadChain()
{
    m_readChainActive = false;
    m_workers->RemoveClient();
    m_readChainEnded.notify_all();
}

// Stops the chain from re-arming and cuts short what it has outstanding.
void CSerialPort::StopReading()
{
    std::unique_lock<std::mutex> lock(m_receiveMutex);
    m_reading = false;
    m_retryTimer.cancel();
    if (m_port->is_open()) // not when a lost device was let go
        m_port->cancel();
}

// Returns once the chain has ended. Normally a worker ends it; when no worker
// serves the service (none could be started), this thread runs the service
// itself until it has.
void CSerialPort::WaitForReadChainEnd()
{
    std::unique_lock<std::mutex> lock(m_receiveMutex);
    while (m_readChainActive) {
        if (m_workers->Serving()) {
            m_readChainEnded.wait(lock);
            continue;
        }
        lock.unlock();
        const std::size_t handled = m_ioService.run_one();
        lock.lock();
        if (handled == 0)
            break; // the service was stopped: none of its handlers will run
    }
}

} // namespace serialport
