#pragma once

// The program's only window: three channel panels, one per device of the
// navigation set (0 satellite navigation receiver, 1 beacon receiver,
// 2 echo sounder), built from dialog template 102.

#include "ChannelPanel.h"
#include "DialogEx.h"

#include <CommandCatalog.h>
#include <CommandSet.h>
#include <DeviceSettings.h>
#include <SerialPort.h>

#include <boost/asio/io_service.hpp>
#include <boost/cstdint.hpp>

#include <string>
#include <vector>

// Baud rates every panel offers, in this order.
inline constexpr boost::uint32_t kBaudRates[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                                 19200, 38400, 56000, 57600, 115200, 128000, 256000};

class COrvelConfiguratorDlg : public ui::CDialogEx
{
public:
    explicit COrvelConfiguratorDlg(QWidget* parent = nullptr);
    ~COrvelConfiguratorDlg() override;

    // Closes the three ports, then ends the window.
    bool DestroyWindow() override;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode) override;
    // Enter in a command edit presses that panel's "Передать" when it is
    // enabled; Enter never ends the window.
    void OnEnterKey(QWidget* focus) override;

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

    void FillPortCombo(ui::CComboBox& combo, const std::vector<std::string>& names, const std::string& savedName);
    void FillBaudCombo(ui::CComboBox& combo, const boost::uint32_t (&rates)[15], boost::uint32_t savedRate);
    void FillCommandCombo(ui::CComboBox& combo, const CCommandSet& commands);

    // Enable, open and close of a channel.
    void ApplyEnabled(CChannelPanel& panel, setting::CSerialPortDeviceSetting& settings);

    // Receiver type and command selection.
    void OnCbnSelchangeReceiverType();
    template <int Channel>
    void OnCbnSelchangeCommand();
    void OnAddCrc();

    // Receive callbacks, called on an I/O worker thread.
    void OnSnsReceive(const char* data, boost::uint32_t count);
    void OnKksReceive(const char* data, boost::uint32_t count);
    void OnSonReceive(const char* data, boost::uint32_t count);

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
};
