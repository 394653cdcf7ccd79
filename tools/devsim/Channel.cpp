#include "Channel.h"

#include "LineSpeed.h"
#include "Nmea.h"
#include "Uart.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace devsim {

namespace {

constexpr std::size_t kFloodChunk = 64 * 1024;

} // namespace

CChannel::CChannel(std::unique_ptr<CDevice> device, std::string linkPath, COpenWatcher& watcher, Reporter report)
    : m_device(std::move(device))
    , m_port(std::move(linkPath))
    , m_watcher(watcher)
    , m_report(std::move(report))
{
}

CChannel::~CChannel()
{
    Unplug();
}

void CChannel::StartFlood(std::uint64_t bytes)
{
    m_flood.emplace(bytes);
    m_floodReported = false;
}

void CChannel::Plug()
{
    m_port.Plug();
    try {
        m_watch = m_watcher.Watch(m_port.SlavePath());
    } catch (...) {
        m_port.Unplug();
        throw;
    }
    ForgetReader();
    // A reader may have opened the link before the watch was in place.
    CheckReader();
}

void CChannel::Unplug()
{
    if (!m_port.IsPlugged())
        return;
    m_watcher.Unwatch(m_watch);
    m_watch = -1;
    m_port.Unplug();
    ForgetReader();
}

short CChannel::PollEvents()
{
    if (!m_readerPresent)
        return 0;
    RefillFlood();
    return static_cast<short>(POLLIN | (m_output.empty() ? 0 : POLLOUT));
}

void CChannel::OnPollEvents(short revents)
{
    if (!m_readerPresent)
        return;
    if (revents & (POLLIN | POLLHUP | POLLERR))
        ReadCommands();
    if (m_readerPresent && (revents & (POLLHUP | POLLERR)))
        LoseReader();
    if (m_readerPresent && (revents & POLLOUT))
        WriteOutput();
}

void CChannel::CheckReader()
{
    if (m_readerPresent || !m_port.PeerPresent())
        return;
    m_readerPresent = true;
    m_input.Reset();
    m_report(std::string("opened ") + Name());
}

void CChannel::Tick(const CUtcTime& now)
{
    // The device lives on whether or not anybody listens.
    const std::string output = nmea::BreakEveryNth(m_device->Tick(now), m_corruptEvery, m_sentencesSent);
    if (!m_flood)
        Queue(output);
}

// Reads everything the master holds; the reader may have written its last
// command just before it closed the port.
void CChannel::ReadCommands()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_port.Master(), buffer, sizeof buffer);
        if (count > 0) {
            if (m_flood)
                continue;
            const std::string heard = AsDeviceHears(buffer, static_cast<std::size_t>(count));
            for (const std::string& line : m_input.Feed(heard.data(), heard.size()))
                Queue(m_device->Answer(line));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        LoseReader(); // EIO: the last reader closed the slave
        return;
    }
}

void CChannel::WriteOutput()
{
    while (!m_output.empty()) {
        const ssize_t count = ::write(m_port.Master(), m_output.data(), m_output.size());
        if (count > 0) {
            m_output.erase(0, static_cast<std::size_t>(count));
            RefillFlood();
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        LoseReader();
        return;
    }
}

void CChannel::LoseReader()
{
    ForgetReader();
    m_port.DiscardUnread();
    m_report(std::string("closed ") + Name());
}

// A reader that comes gets neither half a command nor output of before.
void CChannel::ForgetReader()
{
    m_readerPresent = false;
    m_input.Reset();
    m_output.clear();
}

void CChannel::Queue(const std::string& bytes)
{
    if (!m_readerPresent || bytes.empty() || m_output.size() + bytes.size() > kMaxQueued)
        return;
    m_output += AsReaderHears(bytes);
}

std::string CChannel::AsReaderHears(const std::string& bytes) const
{
    const unsigned readerRate = m_baudRate == 0 ? 0 : ReaderBaudRate(m_port.Master());
    if (readerRate == 0 || readerRate == m_baudRate)
        return bytes;
    return AsReceivedAt(bytes, m_baudRate, readerRate);
}

std::string CChannel::AsDeviceHears(const char* data, std::size_t size) const
{
    const unsigned readerRate = m_baudRate == 0 ? 0 : ReaderBaudRate(m_port.Master());
    if (readerRate == 0 || readerRate == m_baudRate)
        return std::string(data, size);
    return AsReceivedAt(std::string_view(data, size), readerRate, m_baudRate);
}

// Keeps one chunk of the flood ready; reports the end once the master has
// taken the last byte.
void CChannel::RefillFlood()
{
    if (!m_flood)
        return;
    if (m_output.size() < kFloodChunk / 2 && m_flood->Remaining() > 0)
        m_output += m_flood->Next(kFloodChunk);
    if (m_output.empty() && m_flood->Remaining() == 0 && !m_floodReported) {
        m_floodReported = true;
        m_report("flood done " + std::to_string(m_flood->Total()));
    }
}

} // namespace devsim
