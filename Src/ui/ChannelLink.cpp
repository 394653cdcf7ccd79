// A channel's link to its device: what the lamps say of it, and a device
// that goes away while its channel is open and comes back.

#include "OrvelConfiguratorDlg.h"

#include <LocalTime.h>

#include <Cp1251.h>
#include <ErrorText.h>
#include <PortError.h>

#include <atomic>

using MfcExtControl::CColorStatic;
using ui::EnableWindow;

namespace {

constexpr MfcExtControl::COLORREF kGreen = MfcExtControl::RGB(0, 255, 0);
constexpr MfcExtControl::COLORREF kRed = MfcExtControl::RGB(255, 0, 0);

std::string Now()
{
    return text::LocalTime(text::NowMs(), "%H:%M:%S");
}

} // namespace

void COrvelConfiguratorDlg::SayOnLamp(int channel, int lamp, const std::string& what)
{
    PanelOf(channel).m_lamps[lamp].SetTip(what);
}

// The port lamp says its last event, and while the port is open, or waiting
// for its device, the port and rate in effect.
void COrvelConfiguratorDlg::SayOnPortLamp(int channel, const std::string& what)
{
    serialport::CSerialPort& port = PortOf(channel);
    std::string tip = what;
    if (port.IsOpen() || port.IsLost()) {
        const setting::CSerialPortDeviceSetting& settings = SettingOf(channel);
        tip += "\nПорт: " + text::Utf16ToUtf8(text::FromCp1251(settings.m_portName.m_value)) + ", "
               + std::to_string(port.IsOpen() ? port.BaudRate() : settings.m_baudRate.m_dwValue) + " бод";
    }
    SayOnLamp(channel, CChannelPanel::kPortLamp, tip);
}

// I/O worker thread: noted in the record at once, shown by the window's next
// turn.
void COrvelConfiguratorDlg::QueueLost(int channel)
{
    if (const auto record = std::atomic_load(&m_records[channel]))
        record->NoteLost(record::NowMillis());
    if (m_receiveQueues[channel].PushLost())
        m_receiveWakeUp.Signal();
}

void COrvelConfiguratorDlg::WaitForDevice(int channel)
{
    CChannelPanel& panel = PanelOf(channel);
    serialport::CSerialPort& port = PortOf(channel);
    if (!port.IsLost())
        return;  // closed meanwhile
    CColorStatic& lamp = panel.m_lamps[CChannelPanel::kPortLamp];
    lamp.EndPulse();
    lamp.TurnOn(kRed);
    SayOnPortLamp(channel, "Связь потеряна " + Now() + ": " + serialport::PortErrorText(port.LastError())
                               + "; ожидание устройства");
    if (panel.m_logEdit)
        panel.m_logEdit->AddEvent(ui::CPaneModel::Event::Kind::Lost, text::NowMs());
    // Nothing can go out while the device is away.
    EnableWindow(panel.m_sendButton, false);
    EnableWindow(panel.m_sendFileButton, false);
    m_deviceBack[channel] = false;
    m_returnWatches[channel].Start(m_identities[channel], [this, channel] {
        m_deviceBack[channel] = true;
        m_returnWakeUp.Signal();
    });
}

void COrvelConfiguratorDlg::OnDevicesBack()
{
    for (int channel = 0; channel < 3; ++channel)
        if (m_deviceBack[channel].exchange(false))
            ReopenChannel(channel);
}

// The same device is back: the channel opens it again at the rate it had.
// A channel waits until it is open again or closed (CloseChannel forgets a
// return not yet acted on): an attempt that failed leaves its port neither
// open nor lost, and the watch looks again.
void COrvelConfiguratorDlg::ReopenChannel(int channel)
{
    serialport::CSerialPort& port = PortOf(channel);
    if (port.IsOpen())
        return;
    const setting::CSerialPortDeviceSetting& settings = SettingOf(channel);
    // Noted before the port reads again, so that it comes before what the
    // device sends now; taken back if the device would not open after all.
    const auto record = std::atomic_load(&m_records[channel]);
    if (record)
        record->NoteBack(record::NowMillis());
    bool opened = false;
    try {
        opened = port.Open(settings.m_portName.m_value.c_str(), settings.m_baudRate.m_dwValue);
    } catch (const std::exception&) {
        opened = false;
    }
    if (!opened) {
        if (record)
            record->NoteLost(record::NowMillis());
        m_returnWatches[channel].Retry();  // still being set up, or taken meanwhile
        return;
    }
    CChannelPanel& panel = PanelOf(channel);
    panel.m_lamps[CChannelPanel::kPortLamp].TurnOn(kGreen);
    SayOnPortLamp(channel, "Связь восстановлена " + Now());
    if (panel.m_logEdit)
        panel.m_logEdit->AddEvent(ui::CPaneModel::Event::Kind::Back, text::NowMs());
    const bool ready = !port.Sending();
    EnableWindow(panel.m_sendButton, ready);
    EnableWindow(panel.m_sendFileButton, ready);
}
