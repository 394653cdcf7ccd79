#pragma once

#include "ComboBox.h"
#include "LogPane.h"
#include "Wnd.h"

#include <ColorStatic.h>

// The channels' names, as their panels are captioned (UTF-8), and their
// devices' key names, which their settings and records are named after.
inline constexpr const char* kChannelNames[3] = {"СНС", "KKC", "Эхолот"};
inline constexpr const char* kDeviceKeys[3] = {"SnsPort", "KksPort", "SonPort"};

// One channel panel of the main window: the identifiers of the controls the
// handlers address through the window, handles of the others, and the
// panel's five lamps. Identifiers and handles are set, and the lamps
// attached to their template controls, when the window initialises.
struct CChannelPanel
{
    // Indexes into m_lamps.
    enum Lamp { kPortLamp, kRxLamp, kRxErrLamp, kTxLamp, kTxErrLamp, kLampCount };

    int m_enableId = 0;
    int m_portComboId = 0;
    int m_baudComboId = 0;
    ui::CWnd* m_openButton = nullptr;
    ui::CWnd* m_closeButton = nullptr;
    ui::CComboBox m_commandCombo;
    int m_commandEditId = 0;
    ui::CWnd* m_addCrcButton = nullptr;
    ui::CWnd* m_sendButton = nullptr;
    ui::CWnd* m_sendFileButton = nullptr;
    ui::CWnd* m_clearButton = nullptr;
    ui::CLogPane* m_logEdit = nullptr;
    MfcExtControl::CColorStatic m_lamps[kLampCount];
};
