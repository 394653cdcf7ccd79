#include "OrvelConfiguratorDlg.h"

#include "ControlFactory.h"
#include "Resource.h"

#include <SerialPorts.h>

#include <QPlainTextEdit>
#include <QPushButton>

#include <boost/bind/bind.hpp>
#include <boost/lexical_cast.hpp>

#include <exception>

using boost::placeholders::_1;
using boost::placeholders::_2;
using ui::CComboBox;
using ui::EnableWindow;

namespace {

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
    {IDC_RECEIVER_TYPE, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeReceiverType},
    {IDC_SNS_COMMAND, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeCommand<0>},
    {IDC_KKS_COMMAND, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeCommand<1>},
    {IDC_SON_COMMAND, ui::CBN_SELCHANGE, &COrvelConfiguratorDlg::OnCbnSelchangeCommand<2>},
    {IDC_SNS_ADD_CRC, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnAddCrc},
    {IDC_KKS_ADD_CRC, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnAddCrc},
    {IDC_SON_ADD_CRC, ui::BN_CLICKED, &COrvelConfiguratorDlg::OnAddCrc},
};

COrvelConfiguratorDlg::COrvelConfiguratorDlg(QWidget* parent)
    : ui::CDialogEx(ui::MainDialogTemplate(), parent),
      m_snsPort(m_ioService, boost::bind(&COrvelConfiguratorDlg::OnSnsReceive, this, _1, _2)),
      m_kksPort(m_ioService, boost::bind(&COrvelConfiguratorDlg::OnKksReceive, this, _1, _2)),
      m_sonPort(m_ioService, boost::bind(&COrvelConfiguratorDlg::OnSonReceive, this, _1, _2)),
      m_kksCommands(MakeKksCommandSet())
{
}

COrvelConfiguratorDlg::~COrvelConfiguratorDlg()
{
    DestroyWindow();
}

bool COrvelConfiguratorDlg::DestroyWindow()
{
    // The ports go before the controls they report to.
    for (serialport::CSerialPort* port : {&m_snsPort, &m_kksPort, &m_sonPort}) {
        try {
            port->Close();
        } catch (const std::exception&) {
            // The port's own destructor tries once more.
        }
    }
    return ui::CDialogEx::DestroyWindow();
}

CChannelPanel& COrvelConfiguratorDlg::PanelOf(int channel)
{
    CChannelPanel* panels[] = {&m_snsPanel, &m_kksPanel, &m_sonPanel};
    return *panels[channel];
}

bool COrvelConfiguratorDlg::OnInitDialog()
{
    ui::CDialogEx::OnInitDialog();

    InitPanel(m_snsPanel, 0);
    InitPanel(m_kksPanel, 1);
    InitPanel(m_sonPanel, 2);

    std::vector<std::string> ports;
    setting::EnumerateSerialPorts(ports);
    CComboBox snsPorts(GetDlgItem(IDC_SNS_PORT));
    CComboBox kksPorts(GetDlgItem(IDC_KKS_PORT));
    CComboBox sonPorts(GetDlgItem(IDC_SON_PORT));
    FillPortCombo(snsPorts, ports, m_snsSetting.m_portName.m_value);
    FillPortCombo(kksPorts, ports, m_kksSetting.m_portName.m_value);
    FillPortCombo(sonPorts, ports, m_sonSetting.m_portName.m_value);

    CComboBox snsBauds(GetDlgItem(IDC_SNS_BAUD));
    CComboBox kksBauds(GetDlgItem(IDC_KKS_BAUD));
    CComboBox sonBauds(GetDlgItem(IDC_SON_BAUD));
    FillBaudCombo(snsBauds, kBaudRates, m_snsSetting.m_baudRate.m_dwValue);
    FillBaudCombo(kksBauds, kBaudRates, m_kksSetting.m_baudRate.m_dwValue);
    FillBaudCombo(sonBauds, kBaudRates, m_sonSetting.m_baudRate.m_dwValue);

    CheckDlgButton(IDC_SNS_ENABLE, m_snsSetting.m_enabled.m_dwValue != 0 ? ui::BST_CHECKED : ui::BST_UNCHECKED);
    CheckDlgButton(IDC_KKS_ENABLE, m_kksSetting.m_enabled.m_dwValue != 0 ? ui::BST_CHECKED : ui::BST_UNCHECKED);
    CheckDlgButton(IDC_SON_ENABLE, m_sonSetting.m_enabled.m_dwValue != 0 ? ui::BST_CHECKED : ui::BST_UNCHECKED);

    CComboBox receiverType(GetDlgItem(IDC_RECEIVER_TYPE));
    for (const auto& entry : m_catalog.m_index) {
        const int index = receiverType.AddString(entry.first.c_str());
        receiverType.SetItemDataPtr(index, entry.second);
    }
    receiverType.SetCurSel(0);
    FillCommandCombo(m_kksPanel.m_commandCombo, m_kksCommands);
    FillCommandCombo(m_sonPanel.m_commandCombo, m_sonCommands);
    OnCbnSelchangeReceiverType();

    ApplyEnabled(m_snsPanel, m_snsSetting);
    ApplyEnabled(m_kksPanel, m_kksSetting);
    ApplyEnabled(m_sonPanel, m_sonSetting);
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
    panel.m_logEdit = qobject_cast<QPlainTextEdit*>(GetDlgItem(ids.log));
    for (int lamp = 0; lamp < CChannelPanel::kLampCount; ++lamp)
        panel.m_lamps[lamp].SubclassDlgItem(ids.lamps[lamp], this);
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

void COrvelConfiguratorDlg::OnEnterKey(QWidget* focus)
{
    for (int channel = 0; channel < 3; ++channel) {
        CChannelPanel& panel = PanelOf(channel);
        if (focus && focus == GetDlgItem(panel.m_commandEditId)) {
            if (panel.m_sendButton && panel.m_sendButton->isEnabled())
                static_cast<QPushButton*>(panel.m_sendButton)->click();
            return;
        }
    }
    ui::CDialogEx::OnEnterKey(focus);
}

void COrvelConfiguratorDlg::FillPortCombo(CComboBox& combo, const std::vector<std::string>& names,
                                          const std::string& savedName)
{
    combo.ResetContent();
    for (const std::string& name : names)
        combo.AddString(name.c_str());
    int index = combo.FindString(-1, savedName.c_str());
    if (index == ui::CB_ERR) {
        if (combo.GetCount() == 0)
            return;
        index = 0;
    }
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
}

void COrvelConfiguratorDlg::OnAddCrc()
{
    // The "Добавить CRC" buttons have no action.
}

void COrvelConfiguratorDlg::OnSnsReceive(const char*, boost::uint32_t)
{
}

void COrvelConfiguratorDlg::OnKksReceive(const char*, boost::uint32_t)
{
}

void COrvelConfiguratorDlg::OnSonReceive(const char*, boost::uint32_t)
{
}
