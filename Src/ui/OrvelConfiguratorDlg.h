#pragma once

// The program's only window: three channel panels, one per device of the
// navigation set (0 satellite navigation receiver, 1 beacon receiver,
// 2 echo sounder), built from dialog template 102.

#include "ChannelPanel.h"
#include "DialogEx.h"
#include "PaneMenu.h"
#include "PaneRecord.h"
#include "ProgressWindow.h"
#include "ReceiveQueue.h"
#include "SendProgress.h"
#include "SummaryWindow.h"
#include "Timer.h"
#include "WakeUp.h"

#include <BaudSearch.h>
#include <CommandHistory.h>
#include <DeviceReturnWatch.h>
#include <PaneSetting.h>
#include <SentenceSummary.h>
#include <WatchRecord.h>

#include <CommandCatalog.h>
#include <CommandSet.h>
#include <DeviceSettings.h>
#include <SerialPort.h>

#include <boost/asio/io_service.hpp>
#include <boost/cstdint.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Baud rates every panel offers, in this order.
inline constexpr boost::uint32_t kBaudRates[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                                 19200, 38400, 56000, 57600, 115200, 128000, 256000};

class COrvelConfiguratorDlg : public ui::CDialogEx
{
public:
    explicit COrvelConfiguratorDlg(ui::CWnd* parent = nullptr);
    ~COrvelConfiguratorDlg() override;

    // Closes the three ports, then ends the window.
    bool DestroyWindow() override;

protected:
    bool OnInitDialog() override;
    bool OnEditKey(int id, ui::EditKey key) override;
    bool OnCommand(int id, int notifyCode) override;
    // Enter in a command edit presses that panel's "Передать" when it is
    // enabled; Enter never ends the window.
    void OnEnterKey(ui::CWnd* focus) override;

private:
    struct MessageMapEntry
    {
        int id;
        int notifyCode;
        void (COrvelConfiguratorDlg::*handler)();
    };
    static const MessageMapEntry kMessageMap[];

    void InitPanel(CChannelPanel& panel, int channel);
    CChannelPanel& PanelOf(int channel);
    int ChannelOf(const CChannelPanel& panel) const;
    serialport::CSerialPort& PortOf(int channel);
    setting::CSerialPortDeviceSetting& SettingOf(int channel);

    void FillPortCombo(ui::CComboBox& combo, const std::vector<std::string>& names, const std::string& savedName);
    void RefreshPortList(CChannelPanel& panel);
    void FillBaudCombo(ui::CComboBox& combo, const boost::uint32_t (&rates)[15], boost::uint32_t savedRate);
    void FillCommandCombo(ui::CComboBox& combo, const CCommandSet& commands);

    // Enable, open and close of a channel. Here and below, each per-channel
    // handler only picks its channel for the routine that does the work.
    void OnSnsEnable() { ApplyEnabled(m_snsPanel, m_snsSetting); }
    void OnKksEnable() { ApplyEnabled(m_kksPanel, m_kksSetting); }
    void OnSonEnable() { ApplyEnabled(m_sonPanel, m_sonSetting); }
    void OnSnsOpen() { OpenChannel(m_snsPanel, m_snsSetting, m_snsPort); }
    void OnKksOpen() { OpenChannel(m_kksPanel, m_kksSetting, m_kksPort); }
    void OnSonOpen() { OpenChannel(m_sonPanel, m_sonSetting, m_sonPort); }
    void OnSnsClose() { CloseChannel(m_snsPanel, m_snsPort); }
    void OnKksClose() { CloseChannel(m_kksPanel, m_kksPort); }
    void OnSonClose() { CloseChannel(m_sonPanel, m_sonPort); }
    void ApplyEnabled(CChannelPanel& panel, setting::CSerialPortDeviceSetting& settings);
    void OpenChannel(CChannelPanel& panel, setting::CSerialPortDeviceSetting& settings,
                     serialport::CSerialPort& port);
    void CloseChannel(CChannelPanel& panel, serialport::CSerialPort& port);
    void ShowChannelState(CChannelPanel& panel, bool open);

    // A channel whose device went away stays open, waiting for it: its port
    // lamp red and steady, Close available, and it opens the device again
    // at the same rate as soon as the same device is back (the return
    // watch's news comes through a wake-up). Close ends the waiting.
    void WaitForDevice(int channel);
    void OnDevicesBack();
    void ReopenChannel(int channel);
    // What each lamp says of its last event (UTF-8), and the port and rate
    // in effect for the port lamp.
    void SayOnLamp(int channel, int lamp, const std::string& what);
    void SayOnPortLamp(int channel, const std::string& what);

    // Terminal traffic. Sends run on the port's sending thread: the handlers
    // only start them, greying the channel's "Передать" and "Передать Файл"
    // until the send has ended.
    void OnSnsSend() { SendCommand(m_snsPanel, m_snsPort); }
    void OnKksSend() { SendCommand(m_kksPanel, m_kksPort); }
    void OnSonSend() { SendCommand(m_sonPanel, m_sonPort); }
    void OnSnsSendFile() { SendFile(m_snsPanel, m_snsPort); }
    void OnKksSendFile() { SendFile(m_kksPanel, m_kksPort); }
    void OnSonSendFile() { SendFile(m_sonPanel, m_sonPort); }
    void OnSnsClear() { ClearLog(m_snsPanel); }
    void OnKksClear() { ClearLog(m_kksPanel); }
    void OnSonClear() { ClearLog(m_sonPanel); }
    void SendCommand(CChannelPanel& panel, serialport::CSerialPort& port);
    void SendFile(CChannelPanel& panel, serialport::CSerialPort& port);
    // `note`: what the pane shows of the send when it shows what was sent
    // (pane bytes, one line).
    void StartSend(CChannelPanel& panel, serialport::CSerialPort& port, std::vector<char> bytes,
                   const std::string& note);
    // Window thread: the progress windows of the sends that run.
    void ShowSendProgress();
    // Window thread: sends have ended; "Tx" or "Tx Err" tells how.
    void ShowSendEnds();
    void OnSendEnded(int channel, serialport::CSender::Outcome outcome);
    void ClearLog(CChannelPanel& panel);
    // "Сохранить в файл…" of a log pane: the record is written in the
    // background from what the pane held when the file was chosen.
    void SaveLog(CChannelPanel& panel);
    ui::CRecordSaver::Done LogSaved();
    void OnLogSaved(const std::string& path, const std::string& error);

    // The pane's context menu: what the window adds to it for a channel.
    std::vector<ui::CPaneMenuItem> PaneMenu(int channel);

    // Records: old ones removed at start-up, a new one begun before each
    // Open (dropped with its files when the port does not open) and ended
    // by Close; a record that stops says why in its pane's tooltip.
    void PruneOldRecords();
    void BeginRecord(int channel);
    void KeepRecord(int channel, bool opened);
    void EndRecord(int channel);
    void ShowRecordFailure(int channel);
    // "Открыть папку записей": the records folder in the system's file manager.
    void OpenRecordsFolder();

    // Commissioning aids. "Сводка": each channel's sentence types since the
    // last "Очистить", in a window of its own brought up to date every
    // second while it is shown. "Найти скорость": the channel's port tries
    // the panel's rates in turn until the device is heard (CBaudSearch).
    void ShowSummary(int channel);
    void UpdateSummaries();
    void StartBaudSearch(int channel);
    void TickBaudSearches();
    void ActOnBaudSearch(int channel, const traffic::CBaudSearch::Action& action);
    void EndBaudSearch(int channel, const std::string& outcome);
    bool Searching(int channel) const;

    // Receiver type and command selection.
    void OnCbnSelchangeReceiverType();
    template <int Channel>
    void OnCbnSelchangeCommand();
    // "Добавить CRC": the command edit's sentence gets its checksum put right.
    template <int Channel>
    void OnAddCrc();

    // Receive callbacks, called on an I/O worker thread: they copy the chunk
    // and hand it to the window's thread, never waiting for it.
    void OnSnsReceive(const char* data, boost::uint32_t count) { QueueReceived(0, data, count); }
    void OnKksReceive(const char* data, boost::uint32_t count) { QueueReceived(1, data, count); }
    void OnSonReceive(const char* data, boost::uint32_t count) { QueueReceived(2, data, count); }
    // Lost callbacks, on an I/O worker thread: the port found its device
    // gone, after its last failed read.
    void OnSnsLost(const boost::system::error_code&) { QueueLost(0); }
    void OnKksLost(const boost::system::error_code&) { QueueLost(1); }
    void OnSonLost(const boost::system::error_code&) { QueueLost(2); }
    void QueueLost(int channel);
    void QueueReceived(int channel, const char* data, boost::uint32_t count);
    // Window thread: what arrived is shown at the screen's pace, at most one
    // turn per interval, each turn showing everything queued on every
    // channel and pulsing "Rx" / "Rx Err" once for it. While bytes keep
    // coming the turns come by the clock; a turn that finds nothing leaves
    // it to the next read to wake the window.
    void ShowReceivedSoon();
    void ShowAllReceived();
    bool ShowReceived(int channel);
    void AppendLog(int id, const char* data, boost::uint32_t count, const ui::CPaneModel::ReadTimes& times);

    // Bytes waiting for the window, per channel, and the wake-up that brings
    // them to it. Declared before the ports, so they outlive every receive
    // callback.
    ui::CReceiveQueue m_receiveQueues[3];
    ui::CWakeUp m_receiveWakeUp;
    ui::CReceiveQueue::Batch m_receivedBatch;
    ui::CTimer m_showTimer;                          // the next turn
    std::chrono::steady_clock::time_point m_shownAt;  // the last turn

    // Each open channel's record: every byte its port reads goes there on
    // the I/O side (std::atomic_load/store, as the workers read them), and
    // the pane reads it back. Declared before the ports too.
    std::shared_ptr<record::CWatchRecord> m_records[3];
    std::string m_recordsFolder;
    bool m_recordFailureShown[3] = {};

    // How sends ended, on their way from the sending threads to the window's.
    // Declared before the ports too.
    std::mutex m_sendEndsMutex;
    std::vector<std::pair<int, serialport::CSender::Outcome>> m_sendEnds;
    ui::CWakeUp m_sendWakeUp;

    // Devices back after they went away, from the return watches' threads
    // to the window's. Declared before the watches, which stop first.
    std::atomic<bool> m_deviceBack[3] = {};
    ui::CWakeUp m_returnWakeUp;
    setting::CDeviceReturnWatch m_returnWatches[3];
    setting::DeviceIdentity m_identities[3];  // of each open channel's device

    boost::asio::io_service m_ioService;
    serialport::CSerialPort m_snsPort;
    serialport::CSerialPort m_kksPort;
    serialport::CSerialPort m_sonPort;
    CChannelPanel m_snsPanel;
    CChannelPanel m_kksPanel;
    CChannelPanel m_sonPanel;
    CCommandCatalog m_catalog;
    CCommandSet m_kksCommands;
    CCommandSet m_sonCommands;
    setting::CSnsDeviceSetting m_snsSetting;
    setting::CKksDeviceSetting m_kksSetting;
    setting::CSonDeviceSetting m_sonSetting;

    // The sends' progress windows, per channel, and the clock that updates
    // them while any send runs.
    ui::CSendProgress m_sendProgress[3];
    ui::CTimer m_sendTimer;
    // One record being written at a time per pane.
    ui::CRecordSaver m_logSavers[3];

    // Each channel's sent commands, walked with Up and Down in its edit, and
    // whether its pane shows what was sent.
    setting::CCommandHistory m_histories[3];
    setting::CPaneSetting m_paneSettings[3];

    // Sentence types per channel, fed by each pane as its lines arrive.
    traffic::CSentenceSummary m_summaries[3];
    std::unique_ptr<ui::CSummaryWindow> m_summaryWindows[3];
    ui::CTimer m_summaryTimer;
    // A baud-rate search per channel, with its progress window, which stays
    // to tell the outcome until the operator closes it.
    struct CBaudSearchRun
    {
        traffic::CBaudSearch search;
        std::unique_ptr<ui::CProgressWindow> window;
    };
    std::unique_ptr<CBaudSearchRun> m_baudSearches[3];
    ui::CTimer m_baudSearchTimer;
};
