#include "OrvelConfiguratorDlg.h"

#include "Dialogs.h"
#include <LocalTime.h>
#include "Paths.h"
#include "Resource.h"
#include "ShownText.h"
#include "WholeFile.h"

#include <Cp1251.h>
#include <ErrorText.h>
#include <NmeaChecksum.h>
#include <PortError.h>
#include <RecordSetting.h>
#include <SerialPorts.h>

#include <boost/bind/bind.hpp>
#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <exception>

using boost::placeholders::_1;
using boost::placeholders::_2;
using ui::CComboBox;
using ui::EnableWindow;
using MfcExtControl::CColorStatic;
using MfcExtControl::RGB;

namespace {

constexpr MfcExtControl::COLORREF kGreen = RGB(0, 255, 0);  // an open port
constexpr MfcExtControl::COLORREF kRed = RGB(255, 0, 0);    // a failed attempt, a failed read
constexpr MfcExtControl::UINT kFailedOpenPulse = 5000;      // ms
constexpr MfcExtControl::UINT kFailedReadPulse = 1000;      // ms
constexpr MfcExtControl::UINT kFailedSendPulse = 1000;      // ms
// How often the progress windows of running sends are brought up to date.
constexpr int kSendProgressInterval = 100;  // ms
// Received bytes are shown at most once per this many milliseconds: a
// device line is on the screen within a tenth of a second, and three
// channels streaming at a serial line's rate cost twenty turns a second.
constexpr int kShowInterval = 50;


// Opens a port. An error the port raises (an option the device refuses, a
// worker that cannot start) counts as a failed attempt, and whatever the port
// still holds is let go, so that the next attempt can succeed.
bool OpenPort(serialport::CSerialPort& port, const char* name, boost::uint32_t baudRate)
{
    try {
        return port.Open(name, baudRate);
    } catch (const std::exception&) {
        try {
            port.Close();
        } catch (const std::exception&) {
            // still held: the next attempt tries to let it go first
        }
        return false;
    }
}

// Closes a port; false when the port raised an error (a failed cancel or
// close); after a failed cancel it is still held.
bool ClosePort(serialport::CSerialPort& port)
{
    try {
        port.Close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The item whose text is exactly `text` (letter case counts); CB_ERR if none.
int FindExact(const CComboBox& combo, const std::string& text)
{
    for (int index = 0; index < combo.GetCount(); ++index)
        if (combo.GetLBText(index) == text)
            return index;
    return ui::CB_ERR;
}

// The item that lists the same device as `portName` under another of its
// names: its persistent by-id name for a kernel name, or the reverse;
// CB_ERR if none.
int FindSameDevice(const CComboBox& combo, const std::string& portName)
{
    if (portName.empty())
        return ui::CB_ERR;
    const std::string device = setting::KernelDeviceName(portName);
    for (int index = 0; index < combo.GetCount(); ++index)
        if (setting::KernelDeviceName(combo.GetLBText(index)) == device)
            return index;
    return ui::CB_ERR;
}

// The item of the device `portName` names, under that name or another of
// its names; CB_ERR if none.
int FindPort(const CComboBox& combo, const std::string& portName)
{
    const int index = FindExact(combo, portName);
    return index != ui::CB_ERR ? index : FindSameDevice(combo, portName);
}

// Control identifiers of one panel.
struct PanelIds
{
    int enable, portCombo, baudCombo, open, close, commandCombo, commandEdit;
    int addCrc, send, sendFile, clear, log;
    int lamps[CChannelPanel::kLampCount];  // port lamp, "Rx", "Rx Err", "Tx", "Tx Err"
};

const PanelIds kPanelIds[3] = {
    {IDC_SNS_ENABLE, IDC_SNS_PORT, IDC_SNS_BAUD, IDC_SNS_OPEN, IDC_SNS_CLOSE, IDC_SNS_COMMAND,
     IDC_SNS_COMMAND_EDIT, IDC_SNS_ADD_CRC, IDC_SNS_SEND, IDC_SNS_SEND_FILE, IDC_SNS_CLEAR, IDC_SNS_LOG,
     {IDC_SNS_LAMP_PORT, IDC_SNS_LAMP_RX, IDC_SNS_LAMP_RX_ERR, IDC_SNS_LAMP_TX, IDC_SNS_LAMP_TX_ERR}},
    {IDC_KKS_ENABLE, IDC_KKS_PORT, IDC_KKS_BAUD, IDC_KKS_OPEN, IDC_KKS_CLOSE, IDC_KKS_COMMAND,
     IDC_KKS_COMMAND_EDIT, IDC_KKS_ADD_CRC, IDC_KKS_SEND, IDC_KKS_SEND_FILE, IDC_KKS_CLEAR, IDC_KKS_LOG,
     {IDC_KKS_LAMP_PORT, IDC_KKS_LAMP_RX, IDC_KKS_LAMP_RX_ERR, IDC_KKS_LAMP_TX, IDC_KKS_LAMP_TX_ERR}},
    {IDC_SON_ENABLE, IDC_SON_PORT, IDC_SON_BAUD, IDC_SON_OPEN, IDC_SON_CLOSE, IDC_SON_COMMAND,
     IDC_SON_COMMAND_EDIT, IDC_SON_ADD_CRC, IDC_SON_SEND, IDC_SON_SEND_FILE, IDC_SON_CLEAR, IDC_SON_LOG,
     {IDC_SON_LAMP_PORT, IDC_SON_LAMP_RX, IDC_SON_LAMP_RX_ERR, IDC_SON_LAMP_TX, IDC_SON_LAMP_TX_ERR}},
};

} // namespace

const COrvelConfiguratorDlg::MessageMapEntry COrvelConfiguratorDlg::kMessageMap[] = {
    {IDC_SNS_ENABLE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSnsEnable},
    {IDC_KKS_ENABLE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnKksEnable},
    {IDC_SON_ENABLE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSonEnable},
    {IDC_SNS_OPEN, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSnsOpen},
    {IDC_KKS_OPEN, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnKksOpen},
    {IDC_SON_OPEN, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSonOpen},
    {IDC_SNS_CLOSE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSnsClose},
    {IDC_KKS_CLOSE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnKksClose},
    {IDC_SON_CLOSE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSonClose},
    {IDC_RECEIVER_TYPE, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeReceiverType},
    {IDC_SNS_COMMAND, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeCommand<0>},
    {IDC_KKS_COMMAND, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeCommand<1>},
    {IDC_SON_COMMAND, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeCommand<2>},
    {IDC_SNS_ADD_CRC, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnAddCrc<0>},
    {IDC_KKS_ADD_CRC, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnAddCrc<1>},
    {IDC_SON_ADD_CRC, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnAddCrc<2>},
    {IDC_SNS_SEND, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSnsSend},
    {IDC_KKS_SEND, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnKksSend},
    {IDC_SON_SEND, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSonSend},
    {IDC_SNS_SEND_FILE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSnsSendFile},
    {IDC_KKS_SEND_FILE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnKksSendFile},
    {IDC_SON_SEND_FILE, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSonSendFile},
    {IDC_SNS_CLEAR, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSnsClear},
    {IDC_KKS_CLEAR, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnKksClear},
    {IDC_SON_CLEAR, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnSonClear},
};

COrvelConfiguratorDlg::COrvelConfiguratorDlg(ui::CWnd* parent)
    : ui::CDialogEx(ui::MainDialogTemplate(), parent),
      m_receiveWakeUp([this] { ShowReceivedSoon(); }),
      m_showTimer([this] { ShowAllReceived(); }),
      m_sendWakeUp([this] { ShowSendEnds(); }),
      m_returnWakeUp([this] { OnDevicesBack(); }),
      // The worker that sees a read complete handles it itself rather than
      // waking another to watch the ports meanwhile: one wake-up per read.
      m_ioService(1),
      m_snsPort(m_ioService, boost::bind(&COrvelConfiguratorDlg::OnSnsReceive, this, _1, _2),
                boost::bind(&COrvelConfiguratorDlg::OnSnsLost, this, _1)),
      m_kksPort(m_ioService, boost::bind(&COrvelConfiguratorDlg::OnKksReceive, this, _1, _2),
                boost::bind(&COrvelConfiguratorDlg::OnKksLost, this, _1)),
      m_sonPort(m_ioService, boost::bind(&COrvelConfiguratorDlg::OnSonReceive, this, _1, _2),
                boost::bind(&COrvelConfiguratorDlg::OnSonLost, this, _1)),
      m_kksCommands(MakeKksCommandSet()),
      m_sendProgress{{*this, kChannelNames[0], [this] { m_snsPort.CancelSend(); }},
                     {*this, kChannelNames[1], [this] { m_kksPort.CancelSend(); }},
                     {*this, kChannelNames[2], [this] { m_sonPort.CancelSend(); }}},
      m_sendTimer([this] { ShowSendProgress(); }),
      m_logSavers{ui::CRecordSaver(LogSaved()), ui::CRecordSaver(LogSaved()), ui::CRecordSaver(LogSaved())},
      m_histories{setting::CCommandHistory(kDeviceKeys[0]), setting::CCommandHistory(kDeviceKeys[1]),
                  setting::CCommandHistory(kDeviceKeys[2])},
      m_paneSettings{setting::CPaneSetting(kDeviceKeys[0]), setting::CPaneSetting(kDeviceKeys[1]),
                     setting::CPaneSetting(kDeviceKeys[2])},
      m_summaryTimer([this] { UpdateSummaries(); }),
      m_baudSearchTimer([this] { TickBaudSearches(); })
{
}

COrvelConfiguratorDlg::~COrvelConfiguratorDlg()
{
    DestroyWindow();
}

bool COrvelConfiguratorDlg::DestroyWindow()
{
    // The ports go before the controls they report to, each cancelling its
    // send first; a channel waiting for its device stops waiting. A port
    // that raises an error here is closed again by its own destructor.
    for (setting::CDeviceReturnWatch& watch : m_returnWatches)
        watch.Stop();
    ClosePort(m_snsPort);
    ClosePort(m_kksPort);
    ClosePort(m_sonPort);
    for (int channel = 0; channel < 3; ++channel)
        EndRecord(channel);
    m_sendTimer.Stop();
    for (ui::CSendProgress& progress : m_sendProgress)
        progress.Finish();
    return ui::CDialogEx::DestroyWindow();
}

CChannelPanel& COrvelConfiguratorDlg::PanelOf(int channel)
{
    CChannelPanel* panels[] = {&m_snsPanel, &m_kksPanel, &m_sonPanel};
    return *panels[channel];
}

int COrvelConfiguratorDlg::ChannelOf(const CChannelPanel& panel) const
{
    return &panel == &m_snsPanel ? 0 : &panel == &m_kksPanel ? 1 : 2;
}

serialport::CSerialPort& COrvelConfiguratorDlg::PortOf(int channel)
{
    serialport::CSerialPort* ports[] = {&m_snsPort, &m_kksPort, &m_sonPort};
    return *ports[channel];
}

setting::CSerialPortDeviceSetting& COrvelConfiguratorDlg::SettingOf(int channel)
{
    setting::CSerialPortDeviceSetting* settings[] = {&m_snsSetting, &m_kksSetting, &m_sonSetting};
    return *settings[channel];
}

bool COrvelConfiguratorDlg::OnInitDialog()
{
    ui::CDialogEx::OnInitDialog();
    PruneOldRecords();

    const std::vector<std::string> ports = setting::OfferedSerialPorts();
    for (int channel = 0; channel < 3; ++channel) {
        InitPanel(PanelOf(channel), channel);
        const PanelIds& ids = kPanelIds[channel];
        const setting::CSerialPortDeviceSetting& settings = SettingOf(channel);
        CComboBox portCombo(GetDlgItem(ids.portCombo));
        FillPortCombo(portCombo, ports, settings.m_portName.m_value);
        CChannelPanel& panel = PanelOf(channel);
        portCombo.SetBeforeDropDown([this, &panel] { RefreshPortList(panel); });
        CComboBox baudCombo(GetDlgItem(ids.baudCombo));
        FillBaudCombo(baudCombo, kBaudRates, settings.m_baudRate.m_dwValue);
        CheckDlgButton(ids.enable, settings.m_enabled.m_dwValue != 0 ? ui::BST_CHECKED : ui::BST_UNCHECKED);
    }

    CComboBox receiverType(GetDlgItem(IDC_RECEIVER_TYPE));
    for (const auto& entry : m_catalog.m_index) {
        const int index = receiverType.AddString(entry.first.c_str());
        receiverType.SetItemDataPtr(index, entry.second);
    }
    receiverType.SetCurSel(0);
    FillCommandCombo(m_kksPanel.m_commandCombo, m_kksCommands);
    FillCommandCombo(m_sonPanel.m_commandCombo, m_sonCommands);
    OnCbnSelchangeReceiverType();

    for (int channel = 0; channel < 3; ++channel)
        ApplyEnabled(PanelOf(channel), SettingOf(channel));
    return true;
}

void COrvelConfiguratorDlg::InitPanel(CChannelPanel& panel, int channel)
{
    const PanelIds& ids = kPanelIds[channel];
    panel.m_enableId = ids.enable;
    panel.m_portComboId = ids.portCombo;
    panel.m_baudComboId = ids.baudCombo;
    panel.m_commandEditId = ids.commandEdit;
    panel.m_openButton = GetDlgItem(ids.open);
    panel.m_closeButton = GetDlgItem(ids.close);
    panel.m_commandCombo.Attach(GetDlgItem(ids.commandCombo));
    panel.m_addCrcButton = GetDlgItem(ids.addCrc);
    panel.m_sendButton = GetDlgItem(ids.send);
    panel.m_sendFileButton = GetDlgItem(ids.sendFile);
    panel.m_clearButton = GetDlgItem(ids.clear);
    panel.m_logEdit = ui::LogPaneOf(GetDlgItem(ids.log));
    if (panel.m_logEdit) {
        panel.m_logEdit->SetSaveHandler([this, &panel] { SaveLog(panel); });
        panel.m_logEdit->SetMenuItems(PaneMenu(channel));
        panel.m_logEdit->SetSentenceListener([this, channel](const commands::CSentenceCheck& line) {
            m_summaries[channel].Add(line, std::chrono::steady_clock::now());
        });
    }
    for (int lamp = 0; lamp < CChannelPanel::kLampCount; ++lamp)
        panel.m_lamps[lamp].SubclassDlgItem(ids.lamps[lamp], GetSafeHwnd());
}

bool COrvelConfiguratorDlg::OnCommand(int id, int notifyCode)
{
    for (const MessageMapEntry& entry : kMessageMap) {
        if (entry.id == id && entry.notifyCode == notifyCode) {
            (this->*entry.handler)();
            return true;
        }
    }
    return false;
}

void COrvelConfiguratorDlg::OnEnterKey(ui::CWnd* focus)
{
    for (int channel = 0; channel < 3; ++channel) {
        CChannelPanel& panel = PanelOf(channel);
        if (focus && focus == GetDlgItem(panel.m_commandEditId)) {
            ui::ClickButton(panel.m_sendButton);
            return;
        }
    }
    ui::CDialogEx::OnEnterKey(focus);
}

// Up and Down in a command edit walk through that channel's sent commands.
bool COrvelConfiguratorDlg::OnEditKey(int id, ui::EditKey key)
{
    for (int channel = 0; channel < 3; ++channel) {
        if (PanelOf(channel).m_commandEditId != id)
            continue;
        std::string text;
        GetDlgItemText(id, text);
        setting::CCommandHistory& history = m_histories[channel];
        const std::optional<std::string> shown = key == ui::EditKey::Up ? history.Older(text) : history.Newer(text);
        if (shown)
            SetDlgItemText(id, shown->c_str());
        return true;
    }
    return false;
}

void COrvelConfiguratorDlg::FillPortCombo(CComboBox& combo, const std::vector<std::string>& names,
                                          const std::string& savedName)
{
    combo.ResetContent();
    for (const std::string& name : names)
        combo.AddString(name.c_str());
    if (savedName.empty())
        return;  // nothing remembered: the operator picks
    // The remembered device under any of its names, else the first name
    // that begins with the remembered one (COM1 remembered, only COM10
    // present), else the remembered name itself, listed though absent: Open
    // then fails on it rather than opening another device, and the name is
    // kept until the operator picks another.
    int index = FindPort(combo, savedName);
    if (index == ui::CB_ERR)
        index = combo.FindString(-1, savedName.c_str());
    if (index == ui::CB_ERR)
        index = combo.AddString(savedName.c_str());
    combo.SetCurSel(index);
}

// The ports present, read again. The selected port stays selected, under
// its current name when it is now listed under another; one that has gone
// stays listed, so the panel still shows what it uses, until the operator
// picks another.
void COrvelConfiguratorDlg::RefreshPortList(CChannelPanel& panel)
{
    CComboBox combo(GetDlgItem(panel.m_portComboId));
    const int selected = combo.GetCurSel();
    const std::string current = selected == ui::CB_ERR ? std::string() : combo.GetLBText(selected);
    combo.ResetContent();
    for (const std::string& name : setting::OfferedSerialPorts())
        combo.AddString(name.c_str());
    if (current.empty())
        return;
    int index = FindPort(combo, current);
    if (index == ui::CB_ERR)
        index = combo.AddString(current.c_str());
    combo.SetCurSel(index);
}

void COrvelConfiguratorDlg::FillBaudCombo(CComboBox& combo, const boost::uint32_t (&rates)[15],
                                          boost::uint32_t savedRate)
{
    combo.ResetContent();
    for (boost::uint32_t rate : rates)
        combo.AddString(boost::lexical_cast<std::string>(rate).c_str());
    int index = combo.FindString(0, boost::lexical_cast<std::string>(savedRate).c_str());
    if (index == ui::CB_ERR) {
        if (combo.GetCount() == 0)
            return;
        index = 0;
    }
    combo.SetCurSel(index);
}

void COrvelConfiguratorDlg::FillCommandCombo(CComboBox& combo, const CCommandSet& commands)
{
    commands.Fill(boost::bind(&CComboBox::AddString, &combo, _1),
                  boost::bind(&CComboBox::SetItemData, &combo, _1, _2));
}

// Enable, open and close ------------------------------------------------

void COrvelConfiguratorDlg::ApplyEnabled(CChannelPanel& panel, setting::CSerialPortDeviceSetting& settings)
{
    const bool checked = IsDlgButtonChecked(panel.m_enableId) != ui::BST_UNCHECKED;
    settings.m_enabled.SetValue(checked ? 1 : 0);
    settings.Save();
    EnableWindow(panel.m_openButton, checked);
    EnableWindow(panel.m_closeButton, false);
    EnableWindow(panel.m_sendButton, false);
    EnableWindow(panel.m_sendFileButton, false);
}

void COrvelConfiguratorDlg::OpenChannel(CChannelPanel& panel, setting::CSerialPortDeviceSetting& settings,
                                        serialport::CSerialPort& port)
{
    std::string portName;
    if (GetDlgItemText(panel.m_portComboId, portName) == 0)
        ui::AfxThrowUserException();
    settings.m_portName.SetValue(portName.c_str());
    settings.Save();

    std::string baudText;
    if (GetDlgItemText(panel.m_baudComboId, baudText) == 0)
        ui::AfxThrowUserException();
    settings.m_baudRate.SetValue(boost::lexical_cast<boost::uint32_t>(baudText));
    settings.Save();

    // Anything a failed cancel left held is let go first (normally nothing).
    ClosePort(port);
    const int channel = ChannelOf(panel);
    BeginRecord(channel);
    const bool opened = OpenPort(port, settings.m_portName.m_value.c_str(), settings.m_baudRate.m_dwValue);
    KeepRecord(channel, opened);

    CColorStatic& lamp = panel.m_lamps[CChannelPanel::kPortLamp];
    if (opened) {
        m_identities[channel] = setting::IdentifyDevice(settings.m_portName.m_value);
        // A failure pulse still running would darken the lamp of an open port.
        lamp.EndPulse();
        lamp.TurnOn(kGreen);
        SayOnPortLamp(channel, "Открыт " + text::LocalTime(text::NowMs(), "%H:%M:%S"));
    } else {
        lamp.Pulse(kFailedOpenPulse, kRed);
        const boost::system::error_code error = port.LastError();
        const std::string reason = serialport::PortErrorText(error);
        SayOnPortLamp(channel, (error == serialport::PortError::HeldByAnotherProgram ? reason
                                                                                      : "Не удалось открыть: " + reason)
                                   + " (" + text::LocalTime(text::NowMs(), "%H:%M:%S") + ")");
    }
    ShowChannelState(panel, opened);
}

void COrvelConfiguratorDlg::CloseChannel(CChannelPanel& panel, serialport::CSerialPort& port)
{
    const int channel = ChannelOf(panel);
    m_returnWatches[channel].Stop();
    m_deviceBack[channel] = false;
    const bool closed = ClosePort(port);
    EndRecord(channel);
    CColorStatic& lamp = panel.m_lamps[CChannelPanel::kPortLamp];
    lamp.TurnOff();
    SayOnPortLamp(channel, "Закрыт " + text::LocalTime(text::NowMs(), "%H:%M:%S"));
    // A port that raised an error shows as a failed attempt; the next Open
    // lets it go first.
    if (!closed)
        lamp.Pulse(kFailedOpenPulse, kRed);
    ShowChannelState(panel, false);
}

// Open: the enable box, the port and rate lists and Open greyed, Close,
// Send and Send File active; Ready: the other way round. The lists are
// greyed so that they show the port and rate in effect: a change takes
// effect only at the next Open.
void COrvelConfiguratorDlg::ShowChannelState(CChannelPanel& panel, bool open)
{
    EnableWindow(GetDlgItem(panel.m_enableId), !open);
    EnableWindow(GetDlgItem(panel.m_portComboId), !open);
    EnableWindow(GetDlgItem(panel.m_baudComboId), !open);
    EnableWindow(panel.m_openButton, !open);
    EnableWindow(panel.m_closeButton, open);
    EnableWindow(panel.m_sendButton, open);
    EnableWindow(panel.m_sendFileButton, open);
}

// Receiver type and command selection ------------------------------------

void COrvelConfiguratorDlg::OnCbnSelchangeReceiverType()
{
    CComboBox receiverType(GetDlgItem(IDC_RECEIVER_TYPE));
    const int index = receiverType.GetCurSel();
    m_snsPanel.m_commandCombo.ResetContent();
    if (index == ui::CB_ERR)
        return;
    const auto* commands = static_cast<const CCommandSet*>(receiverType.GetItemDataPtr(index));
    FillCommandCombo(m_snsPanel.m_commandCombo, *commands);
}

template <int Channel>
void COrvelConfiguratorDlg::OnCbnSelchangeCommand()
{
    CChannelPanel& panel = PanelOf(Channel);
    const int index = panel.m_commandCombo.GetCurSel();
    if (index == ui::CB_ERR)
        return;
    const auto* command = reinterpret_cast<const char*>(panel.m_commandCombo.GetItemData(index));
    SetDlgItemText(panel.m_commandEditId, command);
    m_histories[Channel].EndWalk();
}

template <int Channel>
void COrvelConfiguratorDlg::OnAddCrc()
{
    const CChannelPanel& panel = PanelOf(Channel);
    std::string text;
    GetDlgItemText(panel.m_commandEditId, text);
    const std::string sentence = commands::WithNmeaChecksum(text);
    if (sentence != text)
        SetDlgItemText(panel.m_commandEditId, sentence.c_str());
}

// Terminal traffic -------------------------------------------------------

// I/O worker thread: copies and signals, never waits for the window. The
// ports close before the queues and the wake-up go.
void COrvelConfiguratorDlg::QueueReceived(int channel, const char* data, boost::uint32_t count)
{
    const std::int64_t now = text::NowMs();
    if (data && count > 0)
        if (const auto record = std::atomic_load(&m_records[channel]))
            record->Append(data, count, now);
    if (m_receiveQueues[channel].Push(data, count, now))
        m_receiveWakeUp.Signal();
}

void COrvelConfiguratorDlg::ShowReceivedSoon()
{
    if (m_showTimer.IsActive())
        return;
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_shownAt);
    if (since.count() >= kShowInterval)
        ShowAllReceived();
    else
        m_showTimer.StartOnce(static_cast<int>(kShowInterval - since.count()));
}

void COrvelConfiguratorDlg::ShowAllReceived()
{
    m_shownAt = std::chrono::steady_clock::now();
    bool idle = true;
    for (int channel = 0; channel < 3; ++channel)
        idle = !ShowReceived(channel) && idle;
    for (int channel = 0; idle && channel < 3; ++channel)
        idle = m_receiveQueues[channel].Idle();
    if (!idle)
        m_showTimer.StartOnce(kShowInterval);
}

// True when the channel had something to show.
bool COrvelConfiguratorDlg::ShowReceived(int channel)
{
    m_receiveQueues[channel].Take(m_receivedBatch);
    if (m_receivedBatch.empty())
        return false;
    CChannelPanel& panel = PanelOf(channel);
    const std::string& bytes = m_receivedBatch.bytes;
    // A running pulse ignores further pulses, so one call per turn lights
    // the lamps exactly as one call per read would.
    if (!bytes.empty()) {
        AppendLog(kPanelIds[channel].log, bytes.data(), static_cast<boost::uint32_t>(bytes.size()), m_receivedBatch.times);
        if (Searching(channel))
            m_baudSearches[channel]->search.OnBytes(bytes.data(), bytes.size());
        CColorStatic& rx = panel.m_lamps[CChannelPanel::kRxLamp];
        rx.Pulse(static_cast<MfcExtControl::UINT>(rx.m_pulseDuration));
    }
    const std::string now = text::LocalTime(text::NowMs(), "%H:%M:%S");
    if (!bytes.empty())
        SayOnLamp(channel, CChannelPanel::kRxLamp, "Принято " + now + ": " + ui::GroupedNumber(bytes.size()) + " байт");
    if (m_receivedBatch.failed) {
        panel.m_lamps[CChannelPanel::kRxErrLamp].Pulse(kFailedReadPulse, kRed);
        const serialport::CSerialPort& port = PortOf(channel);
        SayOnLamp(channel, CChannelPanel::kRxErrLamp,
                  port.IsLost() ? "Чтение прервано " + now + ": " + serialport::PortErrorText(port.LastError())
                                : "Чтение не удалось или отменено " + now);
    }
    const bool lost = m_receivedBatch.lost;
    m_receivedBatch.clear();
    if (lost)
        WaitForDevice(channel);
    ShowRecordFailure(channel);
    return true;
}

// Appends at the end of the pane, whatever it holds, continuing the device's
// last line; a view at the end stays there, and the operator's cursor and
// selection stay where they are.
void COrvelConfiguratorDlg::AppendLog(int id, const char* data, boost::uint32_t count,
                                      const ui::CPaneModel::ReadTimes& times)
{
    for (int channel = 0; channel < 3; ++channel) {
        ui::CLogPane* pane = PanelOf(channel).m_logEdit;
        if (kPanelIds[channel].log == id && pane)
            pane->AppendReceived(data, count, times);
    }
}

void COrvelConfiguratorDlg::SendCommand(CChannelPanel& panel, serialport::CSerialPort& port)
{
    std::string command;
    if (GetDlgItemText(panel.m_commandEditId, command) == 0)
        ui::AfxThrowUserException();
    const int channel = ChannelOf(panel);
    m_histories[channel].Add(command);
    std::string note = command;  // the command as one line, without the line end it brings
    while (!note.empty() && (note.back() == '\r' || note.back() == '\n'))
        note.pop_back();
    std::replace(note.begin(), note.end(), '\r', ' ');
    std::replace(note.begin(), note.end(), '\n', ' ');
    command += "\r\n";
    StartSend(panel, port, std::vector<char>(command.begin(), command.end()), note);
}

void COrvelConfiguratorDlg::SendFile(CChannelPanel& panel, serialport::CSerialPort& port)
{
    std::string path;
    if (!ui::AskOpenFile(GetSafeHwnd(), path))
        return;
    std::vector<char> contents;
    std::error_code error;
    const int channel = ChannelOf(panel);
    if (!ui::ReadWholeFile(path.c_str(), contents, error)) {
        // Gone or unreadable since it was chosen: nothing goes out.
        panel.m_lamps[CChannelPanel::kTxErrLamp].Pulse(kFailedSendPulse, kRed);
        SayOnLamp(channel, CChannelPanel::kTxErrLamp,
                  "Файл не читается: " + serialport::FileErrorText(error) + " ("
                      + text::LocalTime(text::NowMs(), "%H:%M:%S") + ")\n" + ui::ShownPath(path));
        return;
    }
    const std::string name = ui::ShownPath(path.substr(path.find_last_of("/\\") + 1));
    const std::string note = text::Utf8ToCp1251("Файл «" + name + "», " + ui::GroupedNumber(contents.size()) + " байт");
    StartSend(panel, port, std::move(contents), note);
}

void COrvelConfiguratorDlg::StartSend(CChannelPanel& panel, serialport::CSerialPort& port, std::vector<char> bytes,
                                      const std::string& note)
{
    const int channel = ChannelOf(panel);
    // The sending thread hands the outcome to the window's thread.
    const auto ended = [this, channel](serialport::CSender::Outcome outcome) {
        {
            const std::lock_guard<std::mutex> lock(m_sendEndsMutex);
            m_sendEnds.emplace_back(channel, outcome);
        }
        m_sendWakeUp.Signal();
    };
    if (!port.StartSend(std::move(bytes), ended))
        return;  // nothing to send
    if (m_paneSettings[channel].m_showSent.m_dwValue != 0 && panel.m_logEdit)
        panel.m_logEdit->AddSentNote(note);
    EnableWindow(panel.m_sendButton, false);
    EnableWindow(panel.m_sendFileButton, false);
    if (!m_sendTimer.IsActive())
        m_sendTimer.Start(kSendProgressInterval);
}

void COrvelConfiguratorDlg::ShowSendProgress()
{
    bool sending = false;
    for (int channel = 0; channel < 3; ++channel) {
        serialport::CSerialPort& port = PortOf(channel);
        if (!port.Sending())
            continue;
        sending = true;
        m_sendProgress[channel].Update(port.SendProgress());
    }
    if (!sending)
        m_sendTimer.Stop();
}

void COrvelConfiguratorDlg::ShowSendEnds()
{
    std::vector<std::pair<int, serialport::CSender::Outcome>> ends;
    {
        const std::lock_guard<std::mutex> lock(m_sendEndsMutex);
        ends.swap(m_sendEnds);
    }
    for (const auto& [channel, outcome] : ends)
        OnSendEnded(channel, outcome);
}

void COrvelConfiguratorDlg::OnSendEnded(int channel, serialport::CSender::Outcome outcome)
{
    CChannelPanel& panel = PanelOf(channel);
    serialport::CSerialPort& port = PortOf(channel);
    m_sendProgress[channel].Finish();
    const bool ready = port.IsOpen() && !port.Sending();
    EnableWindow(panel.m_sendButton, ready);
    EnableWindow(panel.m_sendFileButton, ready);
    const serialport::CSender::Progress progress = port.SendProgress();
    const std::string now = text::LocalTime(text::NowMs(), "%H:%M:%S");
    const std::string amount = ui::GroupedNumber(progress.sent) + " из " + ui::GroupedNumber(progress.total) + " байт";
    if (outcome == serialport::CSender::Outcome::Sent) {
        CColorStatic& tx = panel.m_lamps[CChannelPanel::kTxLamp];
        tx.Pulse(static_cast<MfcExtControl::UINT>(tx.m_pulseDuration));
        SayOnLamp(channel, CChannelPanel::kTxLamp, "Передано " + now + ": " + ui::GroupedNumber(progress.total) + " байт");
    } else {
        panel.m_lamps[CChannelPanel::kTxErrLamp].Pulse(kFailedSendPulse, kRed);
        const bool cancelled = outcome == serialport::CSender::Outcome::Cancelled;
        SayOnLamp(channel, CChannelPanel::kTxErrLamp,
                  (cancelled ? "Отменено " : "Не удалось передать ") + now + ": передано " + amount
                      + (cancelled ? "" : "; " + serialport::PortErrorText(port.LastError())));
    }
}

// Runs on the window's thread, as every append does, so a chunk lands either
// before the clear or after it.
void COrvelConfiguratorDlg::ClearLog(CChannelPanel& panel)
{
    m_summaries[ChannelOf(panel)].Clear();
    if (panel.m_logEdit)
        panel.m_logEdit->Clear();
}

void COrvelConfiguratorDlg::SaveLog(CChannelPanel& panel)
{
    const int channel = ChannelOf(panel);
    ui::CRecordSaver& saver = m_logSavers[channel];
    if (!panel.m_logEdit || saver.Busy())
        return;
    setting::CRecordSetting records;
    ui::SaveFileQuestion question;
    question.title = "Сохранить в файл";
    question.folder = records.m_folder.m_value.empty() ? ui::HomeFolder() : records.m_folder.m_value;
    question.name = std::string(kChannelNames[channel]) + "-" + text::LocalTime(text::NowMs(), "%Y%m%d-%H%M%S") + ".log";
    question.filters = {{"Журналы", "*.log"}, {"Все файлы", "*"}};
    std::string path;
    if (!ui::AskSaveFile(GetSafeHwnd(), question, path))
        return;
    records.m_folder.SetValue(ui::FolderOf(path).c_str());
    records.Save();
    saver.Start(panel.m_logEdit->Model().Snapshot(panel.m_logEdit->TimesShown()), path);
}

ui::CRecordSaver::Done COrvelConfiguratorDlg::LogSaved()
{
    return [this](const std::string& path, const std::string& error) { OnLogSaved(path, error); };
}

void COrvelConfiguratorDlg::OnLogSaved(const std::string& path, const std::string& error)
{
    if (error.empty())
        return;
    ui::ShowWarning(GetSafeHwnd(), "Сохранить в файл", "Не удалось сохранить «" + ui::ShownPath(path) + "»: " + error);
}
