#pragma once

#include "Device.h"
#include "FloodSource.h"
#include "LineAssembler.h"
#include "OpenWatcher.h"
#include "VirtualPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace devsim {

// One simulated device on its virtual port: it carries the device's output
// to the port and the port's command lines to the device, follows readers
// coming and going, and can be unplugged and plugged again.
//
// Output is sent only while a reader holds the port open; what the device
// says while nobody listens is dropped, as on a real line. In flood mode the
// device is replaced by a CFloodSource that starts when a reader opens the
// port and is sent as fast as the reader takes it; received bytes are then
// ignored.
//
// The reporter hears "opened <device>" when a reader opens the port and
// "closed <device>" when the last one closes it (not when the cable is
// pulled), and "flood done <bytes>". A reader that closes and opens again
// before the poll loop looks is never seen to leave: no pair of events then,
// and what it left unread is still there for it.
class CChannel
{
public:
    using Reporter = std::function<void(const std::string& line)>;

    // At most this much output waits for a reader that does not read; more is
    // dropped in whole sentences.
    static constexpr std::size_t kMaxQueued = 64 * 1024;

    CChannel(std::unique_ptr<CDevice> device, std::string linkPath, COpenWatcher& watcher, Reporter report);
    ~CChannel();
    CChannel(const CChannel&) = delete;
    CChannel& operator=(const CChannel&) = delete;

    const char* Name() const { return m_device->Name(); }
    const CVirtualPort& Port() const { return m_port; }

    void StartFlood(std::uint64_t bytes);
    // Every `every`th sentence of the device's own output goes out broken.
    void CorruptEvery(unsigned every) { m_corruptEvery = every; }
    // 0: the device talks at any rate.
    void SetBaudRate(unsigned rate) { m_baudRate = rate; }

    void Plug();
    void Unplug();

    // The poll events wanted on the master now; 0 when it must not be polled
    // (unplugged, or no reader: a master without a reader always reports a
    // hang-up).
    short PollEvents();
    void OnPollEvents(short revents);

    // Called when the watcher saw the slave opened, and once a second.
    void CheckReader();
    bool Watches(int watch) const { return watch == m_watch; }

    void Tick(const CUtcTime& now);

private:
    void ReadCommands();
    void WriteOutput();
    void LoseReader();
    void ForgetReader();
    void Queue(const std::string& bytes);
    std::string AsReaderHears(const std::string& bytes) const;
    std::string AsDeviceHears(const char* data, std::size_t size) const;
    void RefillFlood();

    std::unique_ptr<CDevice> m_device;
    CVirtualPort m_port;
    COpenWatcher& m_watcher;
    Reporter m_report;
    CLineAssembler m_input;
    std::string m_output; // bytes the master has not taken yet
    bool m_readerPresent = false;
    int m_watch = -1;
    std::optional<CFloodSource> m_flood;
    bool m_floodReported = false;
    unsigned m_corruptEvery = 0;
    unsigned m_sentencesSent = 0;
    unsigned m_baudRate = 0;
};

} // namespace devsim
