#pragma once

#include "PortError.h"
#include "PortLock.h"
#include "Sender.h"

#include <boost/asio/io_service.hpp>
#include <boost/asio/serial_port.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/cstdint.hpp>
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/system/error_code.hpp>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace serialport {

class CReadWorkers;

// One device link: opens a named serial port with fixed framing (the given
// baud rate, 8 data bits, no parity, one stop bit, no flow control), keeps one
// read outstanding and hands every completed read to the receive callback,
// writes synchronously on the caller's thread, and closes.
//
// Reads complete on worker threads serving the shared io_service (see
// CReadWorkers); each successful Open starts one. The callback runs there,
// with this port's receive mutex held, and gets a pointer into the port's
// 256-byte receive buffer, valid only until it returns. A count of 0 reports
// a failed or cancelled read.
//
// A device that goes away while the port reads (a USB adapter pulled, a
// pseudo-terminal whose far end hung up) fails its read: that read is
// reported with a count of 0 as any other, and then, once, the lost callback
// is called on the same worker thread, with the receive mutex held and the
// read's error. By then the port has stopped reading, ended its background
// send (reported Failed) and let the device go, lock and handle, so that the
// system can give it back under the same name: IsOpen() is false, IsLost()
// true and LastError() PortError::DeviceGone, until the next Open or Close.
// No receive callback comes until the next Open.
//
// Open, Close, Write and StartSend are called from one thread (the window's).
// Close, and the destructor, return only once the last completion of this
// port has been handled: no callback of this port runs after they return.
// That gives the callbacks one rule: they must not wait for the thread that
// calls Close (nor throw); copying the bytes and handing them on is what they
// are for. The state queries (IsOpen, IsLost, LastError, Sending,
// SendProgress) and CancelSend may be called from any thread.
//
// Beside Write, a port sends in the background (StartSend, see CSender):
// the caller never waits for the device. Close, and the destructor, first
// cancel such a send and wait until it has ended and reported.
class CSerialPort
{
public:
    typedef boost::function<void (const char* data, boost::uint32_t count)> ReceiveCallback;
    // The device went away; `readError` is the system's error of the read
    // that found it gone (for a log: LastError() says DeviceGone).
    typedef boost::function<void (const boost::system::error_code& readError)> LostCallback;

    CSerialPort(boost::asio::io_service& ioService, ReceiveCallback callback, LostCallback lost = LostCallback());
    virtual ~CSerialPort();

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port and starts reading; a port whose device was lost opens
    // again without a Close. False when a port is already held, or the
    // device cannot be opened or is in use by another port or program;
    // LastError() then says why: PortError::AlreadyOpen,
    // PortError::HeldByAnotherProgram (see OpenFailure), or the system's
    // error of the open. A refused option raises boost::system::system_error
    // ("set_option"), leaving the port held but not reading; a worker that
    // cannot be started raises std::system_error, the port reading as soon
    // as any worker serves the service; LastError() holds either error.
    virtual bool Open(const char* portName, boost::uint32_t baudRate);

    // Stops reading and closes the port; nothing when no open port is held.
    // A lost port becomes closed. A failed cancel or close raises
    // boost::system::system_error ("cancel", "close").
    virtual void Close();

    // Writes all `count` bytes, blocking until the driver has taken them.
    // Returns count; -1 when no open port is held; 0 for a count of 0 or when
    // the write fails. Never raises.
    boost::int32_t Write(const char* data, const boost::uint32_t& count);

    bool IsOpen() const;
    // The device went away while open and the port waits for Open or Close.
    bool IsLost() const;
    // Why the last Open failed, or PortError::DeviceGone once the device
    // went away; cleared (no error) by a successful Open.
    boost::system::error_code LastError() const;

    // Changes the line speed of the open port, both directions, without
    // closing it: the outstanding read stays, and no byte received before or
    // after the change is lost (one on the wire at that moment may arrive
    // garbled, as on any line whose rate changes). Any rate the device
    // accepts, as Open. False when no open port is held or the device
    // refuses the rate, which leaves the line as it was. Never raises.
    bool SetBaudRate(boost::uint32_t rate);

    // The speed the open port's line runs at (what the device reports); 0
    // when no open port is held or it cannot be read.
    boost::uint32_t BaudRate() const;

    // Starts sending `bytes` on a thread of the port's own and returns at
    // once; `done` is called on that thread when the send has ended. False,
    // sending nothing, when no open port is held, a send is running, or
    // there is nothing to send.
    bool StartSend(std::vector<char> bytes, CSender::DoneCallback done);
    bool Sending() const { return m_sender.Running(); }
    CSender::Progress SendProgress() const { return m_sender.GetProgress(); }
    // Asks the running send to stop; returns at once.
    void CancelSend() { m_sender.Cancel(); }

private:
    bool OpenDevice(const char* portName, boost::uint32_t baudRate);
    void SetLastError(const boost::system::error_code& error);
    void ForgetLostDevice();
    void LetLostDeviceGo(const boost::system::error_code& readError);
    void StartRead();
    void OnRead(const boost::system::error_code& error, std::size_t bytesTransferred);
    void OnStartRead();
    void RearmAfterFailedRead();
    void EndReadChain();
    void StopReading();
    void WaitForReadChainEnd();
    void ApplyFraming(boost::uint32_t baudRate);

    boost::asio::io_service& m_ioService;
    // Guards the device's handle against being let go (by a worker, when the
    // device is lost) while Write, StartSend or Close use it, and the state
    // below. Taken after the receive mutex, never before it.
    mutable std::mutex m_handleMutex;
    boost::shared_ptr<boost::asio::serial_port> m_port;
    bool m_lost;                          // guarded by m_handleMutex
    boost::system::error_code m_lastError; // guarded by m_handleMutex
    std::mutex m_receiveMutex;
    ReceiveCallback m_receiveCallback;
    LostCallback m_lostCallback;
    bool m_reading;
    char m_receiveBuffer[256];

    // Guarded by m_receiveMutex: whether a handler of this port is posted or
    // an operation (read, retry wait) is outstanding. Each successful Open
    // starts one such chain; it ends when a handler finds reading stopped.
    bool m_readChainActive;
    std::condition_variable m_readChainEnded;
    unsigned int m_failedReads;             // consecutive failed reads
    boost::asio::steady_timer m_retryTimer; // paces re-reads of a failing device
    CReadWorkers* m_workers;                // set by the first successful Open
    CPortLock m_portLock;
    CSender m_sender;  // started and stopped with m_handleMutex held
};

} // namespace serialport
