#pragma once

#include "NativeHandle.h"

#include <boost/system/error_code.hpp>

#include <string>
#include <vector>

namespace serialport {

// Keeps one serial device to the port that opened it.
//
// On Windows (PortLock_win.cpp) the system does it: asio opens the device
// with a share mode of 0, which refuses every other open, this process's
// included, while the port holds it. Nothing is left to do there.
//
// Linux (PortLock.cpp) lets any number of opens share a tty, each stealing
// the others' bytes; this claims the device the ways other serial tools look
// for:
//   - a UUCP lock file "LCK..<device>" in the lock folders, holding our PID
//     (a lock file whose process is gone is stale and ignored);
//   - an exclusive flock() on the open descriptor, which also stops a second
//     open within this process and opens by root;
//   - the tty's exclusive mode (TIOCEXCL), which stops other users' opens.
// A port opened through a symbolic link is locked under the device it
// resolves to.
class CPortLock
{
public:
    CPortLock() = default;
    ~CPortLock();
    CPortLock(const CPortLock&) = delete;
    CPortLock& operator=(const CPortLock&) = delete;

    // Before opening: false when a lock file of a live process names the
    // device. Changes nothing.
    bool Claim(const std::string& portName);

    // After opening the claimed device: takes the descriptor exclusively and
    // leaves our lock file where the folders allow it. False, changing
    // nothing, when another open or program already holds the device.
    bool Attach(NativeHandle port);

    // Gives the device up: leaves exclusive mode on `port` and removes our
    // lock file. The flock goes with the descriptor's close.
    void Release(NativeHandle port);

#ifndef _WIN32
private:
    void RemoveLockFile();

    std::string m_lockFileName; // of the claimed device
    std::string m_lockFilePath; // our lock file; empty when we left none
#endif
};

// What a failed open of a device reports: PortError::HeldByAnotherProgram
// where the system refused it because another opener holds the device
// (Linux: EBUSY, the exclusive mode of a tty another user opened; Windows:
// ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION, the one open a COM port
// allows); any other error as it is.
boost::system::error_code OpenFailure(const boost::system::error_code& openError);

#ifndef _WIN32

// Folders searched for UUCP lock files, without duplicates.
std::vector<std::string> LockFolders();

// Lock file name for a device path: the path below /dev with '/' turned into
// '_' ("/dev/ttyUSB0" -> "LCK..ttyUSB0", "/dev/pts/3" -> "LCK..pts_3").
std::string LockFileName(const std::string& devicePath);

// The device a port name leads to, symbolic links resolved; the name itself
// when it does not resolve.
std::string ResolveDevicePath(const std::string& portName);
#endif

} // namespace serialport
