#pragma once

// The main window's template 102 as its description gives it, written out by
// hand, control by control in creation (tab) order: what the window made on
// each platform is checked against. No Windows or Qt header: the numbers are
// the Win32 ones, named here.

#include <cstdint>

namespace windowtable {

using Bits = std::uint32_t;

constexpr Bits kChild = 0x40000000 | 0x10000000;                    // WS_CHILD | WS_VISIBLE
constexpr Bits kTabStop = 0x00010000;                               // WS_TABSTOP
constexpr Bits kGroup = 0x00020000;                                 // WS_GROUP
constexpr Bits kVScroll = 0x00200000;                               // WS_VSCROLL
constexpr Bits kBorder = 0x00800000;                                // WS_BORDER
constexpr Bits kGroupBox = kChild | 0x0007;                         // BS_GROUPBOX
constexpr Bits kCheckBox = kChild | 0x0003 | kTabStop;              // BS_AUTOCHECKBOX
constexpr Bits kButton = kChild | 0x0000 | kTabStop;                // BS_PUSHBUTTON
constexpr Bits kLamp = kChild | 0x0001 | kGroup;                    // SS_CENTER
constexpr Bits kSortedList = kChild | 0x0003 | 0x0100 | kVScroll | kTabStop;  // CBS_DROPDOWNLIST, CBS_SORT
constexpr Bits kList = kChild | 0x0003 | kVScroll | kTabStop;       // CBS_DROPDOWNLIST
constexpr Bits kLineEdit = kChild | 0x0080 | kBorder | kTabStop;    // ES_AUTOHSCROLL
constexpr Bits kLogEdit = kChild | 0x0004 | 0x0040 | 0x0080 | kBorder | kVScroll | kTabStop;  // ES_MULTILINE,
                                                                    // ES_AUTOVSCROLL, ES_AUTOHSCROLL
constexpr Bits kStaticEdge = 0x00020000;                            // WS_EX_STATICEDGE

// The window: DS_SETFONT | DS_FIXEDSYS, WS_POPUP, WS_VISIBLE, WS_CAPTION,
// WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX; WS_EX_APPWINDOW.
struct Window
{
    int id;
    Bits style, exStyle;
    int cx, cy;
    const char* caption;
    const char* fontFace;
    int pointSize;
};
constexpr Window kWindow = {102, 0x00000048 | 0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000 | 0x00040000
                                     | 0x00020000 | 0x00010000,
                            0x00040000, 515, 466, "OrvelConfigurator", "MS Shell Dlg", 8};

// Captions are UTF-8; "CHC" and "KKC" on the lamps are Latin letters, the
// group box "СНС" Cyrillic. A combo box's height is its dropped list's.
struct Control
{
    const char* windowClass;
    Bits style, exStyle;
    int id;
    const char* caption;
    int x, y, cx, cy;
};
constexpr Control kControls[] = {
    // Channel 0, satellite receiver: lamps last.
    {"Button", kGroupBox, 0, -1, "\u0421\u041D\u0421", 0, 0, 514, 165},
    {"Button", kCheckBox, 0, 1000, "Доступен", 5, 10, 43, 10},
    {"ComboBox", kSortedList, 0, 1001, "", 5, 25, 100, 131},
    {"ComboBox", kList, 0, 1002, "", 110, 25, 100, 259},
    {"Button", kButton, 0, 1003, "Открыть", 5, 45, 100, 14},
    {"Button", kButton, 0, 1004, "Закрыть", 110, 45, 100, 14},
    {"ComboBox", kList, 0, 1005, "", 5, 85, 205, 91},
    {"Edit", kLineEdit, 0, 1006, "", 5, 105, 205, 14},
    {"Button", kButton, 0, 1007, "Добавить CRC", 5, 125, 100, 14},
    {"Button", kButton, 0, 1008, "Передать", 110, 125, 100, 14},
    {"Button", kButton, 0, 1009, "Передать Файл", 110, 145, 100, 14},
    {"Button", kButton, 0, 1010, "Очистить", 405, 145, 100, 14},
    {"Edit", kLogEdit, 0, 1011, "", 215, 9, 290, 130},
    {"Static", kLamp, kStaticEdge, 1012, "CHC", 50, 10, 30, 10},
    {"Static", kLamp, kStaticEdge, 1013, "Rx", 85, 10, 30, 10},
    {"Static", kLamp, kStaticEdge, 1014, "Rx Err", 115, 10, 30, 10},
    {"Static", kLamp, kStaticEdge, 1015, "Tx", 150, 10, 30, 10},
    {"Static", kLamp, kStaticEdge, 1016, "Tx Err", 180, 10, 30, 10},
    // Channel 1, beacon receiver: lamps after the enable box.
    {"Button", kGroupBox, 0, -1, "KKC", 0, 165, 514, 145},
    {"Button", kCheckBox, 0, 1020, "Доступен", 5, 175, 43, 10},
    {"Static", kLamp, kStaticEdge, 1032, "KKC", 50, 175, 30, 10},
    {"Static", kLamp, kStaticEdge, 1033, "Rx", 85, 175, 30, 10},
    {"Static", kLamp, kStaticEdge, 1034, "Rx Err", 115, 175, 30, 10},
    {"Static", kLamp, kStaticEdge, 1035, "Tx", 150, 175, 30, 10},
    {"Static", kLamp, kStaticEdge, 1036, "Tx Err", 180, 175, 30, 10},
    {"ComboBox", kSortedList, 0, 1021, "", 5, 190, 100, 131},
    {"ComboBox", kList, 0, 1022, "", 110, 190, 100, 228},
    {"Button", kButton, 0, 1023, "Открыть", 5, 210, 100, 14},
    {"Button", kButton, 0, 1024, "Закрыть", 110, 210, 100, 14},
    {"ComboBox", kList, 0, 1025, "", 5, 230, 205, 91},
    {"Edit", kLineEdit, 0, 1026, "", 5, 250, 205, 14},
    {"Button", kButton, 0, 1027, "Добавить CRC", 5, 270, 100, 14},
    {"Button", kButton, 0, 1028, "Передать", 110, 270, 100, 14},
    {"Button", kButton, 0, 1029, "Передать Файл", 110, 290, 100, 14},
    {"Button", kButton, 0, 1030, "Очистить", 405, 290, 100, 14},
    {"Edit", kLogEdit, 0, 1031, "", 215, 174, 290, 110},
    // Channel 2, echo sounder: as channel 1; its port lamp reads "KKC" too.
    {"Button", kGroupBox, 0, -1, "Эхолот", 0, 311, 514, 145},
    {"Button", kCheckBox, 0, 1037, "Доступен", 5, 322, 43, 10},
    {"Static", kLamp, kStaticEdge, 1038, "KKC", 49, 322, 30, 10},
    {"Static", kLamp, kStaticEdge, 1039, "Rx", 85, 322, 30, 10},
    {"Static", kLamp, kStaticEdge, 1040, "Rx Err", 115, 322, 30, 10},
    {"Static", kLamp, kStaticEdge, 1041, "Tx", 149, 322, 30, 10},
    {"Static", kLamp, kStaticEdge, 1042, "Tx Err", 179, 322, 30, 10},
    {"ComboBox", kSortedList, 0, 1043, "", 5, 336, 100, 131},
    {"ComboBox", kList, 0, 1044, "", 109, 336, 100, 228},
    {"Button", kButton, 0, 1045, "Открыть", 5, 357, 100, 14},
    {"Button", kButton, 0, 1046, "Закрыть", 109, 357, 100, 14},
    {"ComboBox", kList, 0, 1047, "", 5, 376, 205, 91},
    {"Edit", kLineEdit, 0, 1048, "", 5, 397, 205, 14},
    {"Button", kButton, 0, 1049, "Добавить CRC", 5, 416, 100, 14},
    {"Button", kButton, 0, 1050, "Передать", 109, 416, 100, 14},
    {"Button", kButton, 0, 1051, "Передать Файл", 109, 437, 100, 14},
    {"Button", kButton, 0, 1052, "Очистить", 405, 437, 100, 14},
    {"Edit", kLogEdit, 0, 1053, "", 215, 320, 290, 110},
    // The receiver type, channel 0's, last.
    {"ComboBox", kList, 0, 1017, "", 5, 65, 205, 91},
};

} // namespace windowtable
