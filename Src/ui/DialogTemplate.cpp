#include "DialogTemplate.h"

#include "Resource.h"

#include <iterator>

namespace ui {

namespace {

// The roles of one channel panel, in the order of the panel table below.
enum Role {
    kGroup, kEnable,
    kLampPort, kLampRx, kLampRxErr, kLampTx, kLampTxErr,
    kPortCombo, kBaudCombo, kOpen, kClose, kCommandCombo, kCommandEdit,
    kAddCrc, kSend, kSendFile, kClear, kLog,
    kRoleCount
};

struct Cell
{
    int id;
    int x, y, cx, cy;
};

// One role of the panel table: class, style and caption are shared by the
// three channels unless the caption differs; identifier and rectangle are
// per channel (0, 1, 2).
struct PanelRow
{
    Role role;
    const char* windowClass;
    DWORD style;
    DWORD exStyle;
    const char* caption[3];
    Cell cell[3];
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kCheckBox = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kLamp = kChild | SS_CENTER | WS_GROUP;
constexpr DWORD kSortedList = kChild | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kList = kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kLineEdit = kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kLogEdit = kChild | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP;

// The channel panels. "СНС" is Cyrillic; the lamp captions "CHC" and "KKC"
// are Latin letters.
const PanelRow kPanelRows[kRoleCount] = {
    {kGroup, "BUTTON", kGroupBox, 0, {"СНС", "KKC", "Эхолот"},
     {{IDC_STATIC, 0, 0, 514, 165}, {IDC_STATIC, 0, 165, 514, 145}, {IDC_STATIC, 0, 311, 514, 145}}},
    {kEnable, "BUTTON", kCheckBox, 0, {"Доступен", "Доступен", "Доступен"},
     {{IDC_SNS_ENABLE, 5, 10, 43, 10}, {IDC_KKS_ENABLE, 5, 175, 43, 10}, {IDC_SON_ENABLE, 5, 322, 43, 10}}},
    {kLampPort, "STATIC", kLamp, WS_EX_STATICEDGE, {"CHC", "KKC", "KKC"},
     {{IDC_SNS_LAMP_PORT, 50, 10, 30, 10}, {IDC_KKS_LAMP_PORT, 50, 175, 30, 10}, {IDC_SON_LAMP_PORT, 49, 322, 30, 10}}},
    {kLampRx, "STATIC", kLamp, WS_EX_STATICEDGE, {"Rx", "Rx", "Rx"},
     {{IDC_SNS_LAMP_RX, 85, 10, 30, 10}, {IDC_KKS_LAMP_RX, 85, 175, 30, 10}, {IDC_SON_LAMP_RX, 85, 322, 30, 10}}},
    {kLampRxErr, "STATIC", kLamp, WS_EX_STATICEDGE, {"Rx Err", "Rx Err", "Rx Err"},
     {{IDC_SNS_LAMP_RX_ERR, 115, 10, 30, 10}, {IDC_KKS_LAMP_RX_ERR, 115, 175, 30, 10}, {IDC_SON_LAMP_RX_ERR, 115, 322, 30, 10}}},
    {kLampTx, "STATIC", kLamp, WS_EX_STATICEDGE, {"Tx", "Tx", "Tx"},
     {{IDC_SNS_LAMP_TX, 150, 10, 30, 10}, {IDC_KKS_LAMP_TX, 150, 175, 30, 10}, {IDC_SON_LAMP_TX, 149, 322, 30, 10}}},
    {kLampTxErr, "STATIC", kLamp, WS_EX_STATICEDGE, {"Tx Err", "Tx Err", "Tx Err"},
     {{IDC_SNS_LAMP_TX_ERR, 180, 10, 30, 10}, {IDC_KKS_LAMP_TX_ERR, 180, 175, 30, 10}, {IDC_SON_LAMP_TX_ERR, 179, 322, 30, 10}}},
    {kPortCombo, "COMBOBOX", kSortedList, 0, {"", "", ""},
     {{IDC_SNS_PORT, 5, 25, 100, 131}, {IDC_KKS_PORT, 5, 190, 100, 131}, {IDC_SON_PORT, 5, 336, 100, 131}}},
    {kBaudCombo, "COMBOBOX", kList, 0, {"", "", ""},
     {{IDC_SNS_BAUD, 110, 25, 100, 259}, {IDC_KKS_BAUD, 110, 190, 100, 228}, {IDC_SON_BAUD, 109, 336, 100, 228}}},
    {kOpen, "BUTTON", kButton, 0, {"Открыть", "Открыть", "Открыть"},
     {{IDC_SNS_OPEN, 5, 45, 100, 14}, {IDC_KKS_OPEN, 5, 210, 100, 14}, {IDC_SON_OPEN, 5, 357, 100, 14}}},
    {kClose, "BUTTON", kButton, 0, {"Закрыть", "Закрыть", "Закрыть"},
     {{IDC_SNS_CLOSE, 110, 45, 100, 14}, {IDC_KKS_CLOSE, 110, 210, 100, 14}, {IDC_SON_CLOSE, 109, 357, 100, 14}}},
    {kCommandCombo, "COMBOBOX", kList, 0, {"", "", ""},
     {{IDC_SNS_COMMAND, 5, 85, 205, 91}, {IDC_KKS_COMMAND, 5, 230, 205, 91}, {IDC_SON_COMMAND, 5, 376, 205, 91}}},
    {kCommandEdit, "EDIT", kLineEdit, 0, {"", "", ""},
     {{IDC_SNS_COMMAND_EDIT, 5, 105, 205, 14}, {IDC_KKS_COMMAND_EDIT, 5, 250, 205, 14}, {IDC_SON_COMMAND_EDIT, 5, 397, 205, 14}}},
    {kAddCrc, "BUTTON", kButton, 0, {"Добавить CRC", "Добавить CRC", "Добавить CRC"},
     {{IDC_SNS_ADD_CRC, 5, 125, 100, 14}, {IDC_KKS_ADD_CRC, 5, 270, 100, 14}, {IDC_SON_ADD_CRC, 5, 416, 100, 14}}},
    {kSend, "BUTTON", kButton, 0, {"Передать", "Передать", "Передать"},
     {{IDC_SNS_SEND, 110, 125, 100, 14}, {IDC_KKS_SEND, 110, 270, 100, 14}, {IDC_SON_SEND, 109, 416, 100, 14}}},
    {kSendFile, "BUTTON", kButton, 0, {"Передать Файл", "Передать Файл", "Передать Файл"},
     {{IDC_SNS_SEND_FILE, 110, 145, 100, 14}, {IDC_KKS_SEND_FILE, 110, 290, 100, 14}, {IDC_SON_SEND_FILE, 109, 437, 100, 14}}},
    {kClear, "BUTTON", kButton, 0, {"Очистить", "Очистить", "Очистить"},
     {{IDC_SNS_CLEAR, 405, 145, 100, 14}, {IDC_KKS_CLEAR, 405, 290, 100, 14}, {IDC_SON_CLEAR, 405, 437, 100, 14}}},
    {kLog, "EDIT", kLogEdit, 0, {"", "", ""},
     {{IDC_SNS_LOG, 215, 9, 290, 130}, {IDC_KKS_LOG, 215, 174, 290, 110}, {IDC_SON_LOG, 215, 320, 290, 110}}},
};

// Creation (and tab) order within a panel: channel 0 has its lamps last,
// channels 1 and 2 right after the enable box.
const Role kChannel0Order[] = {
    kGroup, kEnable, kPortCombo, kBaudCombo, kOpen, kClose, kCommandCombo, kCommandEdit,
    kAddCrc, kSend, kSendFile, kClear, kLog,
    kLampPort, kLampRx, kLampRxErr, kLampTx, kLampTxErr,
};
const Role kChannel12Order[] = {
    kGroup, kEnable,
    kLampPort, kLampRx, kLampRxErr, kLampTx, kLampTxErr,
    kPortCombo, kBaudCombo, kOpen, kClose, kCommandCombo, kCommandEdit,
    kAddCrc, kSend, kSendFile, kClear, kLog,
};

// Channel 0's receiver type, the template's last control.
const DlgItemTemplate kReceiverType = {"COMBOBOX", kList, 0, IDC_RECEIVER_TYPE, "", 5, 65, 205, 91};

DlgItemTemplate ItemOf(const PanelRow& row, int channel)
{
    const Cell& c = row.cell[channel];
    return {row.windowClass, row.style, row.exStyle, c.id, row.caption[channel], c.x, c.y, c.cx, c.cy};
}

template <std::size_t N>
void AppendPanel(std::vector<DlgItemTemplate>& items, const Role (&order)[N], int channel)
{
    for (Role role : order)
        items.push_back(ItemOf(kPanelRows[role], channel));
}

DlgTemplate BuildMainDialogTemplate()
{
    DlgTemplate t{IDD_ORVELCONFIGURATOR_DIALOG,
                  DS_SHELLFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME
                      | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                  WS_EX_APPWINDOW,
                  515, 466,
                  "OrvelConfigurator",
                  "MS Shell Dlg", 8,
                  {}};
    AppendPanel(t.items, kChannel0Order, 0);
    AppendPanel(t.items, kChannel12Order, 1);
    AppendPanel(t.items, kChannel12Order, 2);
    t.items.push_back(kReceiverType);
    return t;
}

} // namespace

const DlgTemplate& MainDialogTemplate()
{
    static const DlgTemplate t = BuildMainDialogTemplate();
    return t;
}

} // namespace ui
