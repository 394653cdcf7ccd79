#pragma once

#include "DriverLink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Control identifiers of one channel panel of the main window.
struct PanelIds
{
    int enable, portCombo, baudCombo, open, close, commandCombo, commandEdit;
    int send, sendFile, clear, log;
    int portLamp, rxLamp, rxErrLamp;
};

// Channels 0 (satellite receiver), 1 (beacon receiver), 2 (echo sounder).
inline constexpr PanelIds kPanels[3] = {
    {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1008, 1009, 1010, 1011, 1012, 1013, 1014},
    {1020, 1021, 1022, 1023, 1024, 1025, 1026, 1028, 1029, 1030, 1031, 1032, 1033, 1034},
    {1037, 1043, 1044, 1045, 1046, 1047, 1048, 1050, 1051, 1052, 1053, 1038, 1039, 1040},
};
inline constexpr int kReceiverTypeCombo = 1017;

// Lamp colours, 0x00BBGGRR.
inline constexpr std::uint32_t kGreen = 0x0000FF00;
inline constexpr std::uint32_t kRed = 0x000000FF;

struct ControlState
{
    bool enabled = false;
    int checked = -1;  // -1: not a check box
    int index = -2;    // selected list item, -1 none; -2: not a list
};

struct LampState
{
    bool lit = false;
    std::uint32_t colour = 0;     // the colour it shows now
    std::uint32_t litColour = 0;
    unsigned long pulses = 0;     // timers the lamp has started, one per pulse
};

// The operator's hands and eyes on the real window, through the driver
// inside the program. Controls are named by their identifiers; texts are UTF-8.
// A refused action throws DriverRefusal with the reason.
class COperator
{
public:
    explicit COperator(CDriverLink& link) : m_link(link) {}

    // Waits until the main window is shown; returns its title.
    std::string WaitForWindow(milliseconds ceiling);

    void Click(int id);
    // A click whose handler runs a modal dialog: answered by Finish once the
    // dialog has closed.
    int StartClick(int id);
    void Finish(int request);

    // Key names: Escape, Return, Enter, Home, End, Up, Down, Tab, Space.
    void Key(int id, const std::string& key);
    void KeyOnWindow(const std::string& key);
    // Selects all of an edit's text and types `text` over it.
    void Type(int id, const std::string& text);
    // Chooses a list item by its text, with the keyboard.
    void Pick(int id, const std::string& text);
    // Waits for the file dialog and opens `path` with it.
    void AnswerFileDialog(const std::string& path, milliseconds ceiling);
    void CloseBox();

    std::string Text(int id);
    // The length of that text in characters, without fetching it.
    std::size_t TextLength(int id);
    std::vector<std::string> Items(int id);
    ControlState State(int id);
    LampState Lamp(int id);

private:
    CDriverLink& m_link;
};

} // namespace e2e
