#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

using std::chrono::milliseconds;

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
    bool checked = false;
};

struct LampState
{
    bool lit = false;
    std::uint32_t colour = 0; // the colour it shows now
    std::uint32_t litColour = 0;
    unsigned long pulses = 0; // timers the lamp has started, one per pulse
};

// The driver inside the program refused a request; what() is its reason.
struct DriverRefusal : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The operator's hands and eyes on the real window: the test's end of the line
// to the operator driver inside the program (driver/Wire.h), a Unix socket the
// driver connects to when the program starts. Controls are named by their
// identifiers; texts are UTF-8. A refused action throws DriverRefusal, a lost
// line or a missing answer std::runtime_error.
class COperator
{
public:
    // Listens at `socketPath` (removed again with this object).
    explicit COperator(std::string socketPath);
    ~COperator();
    COperator(const COperator&) = delete;
    COperator& operator=(const COperator&) = delete;

    const std::string& SocketPath() const { return m_path; }
    // Takes the connection of a starting program's driver (dropping any
    // earlier one) and returns the process id it greets with.
    pid_t Accept(milliseconds ceiling);
    // Waits until the main window is shown; returns its title.
    std::string WaitForWindow(milliseconds ceiling) { return Retry("window", {}, ceiling).at(0); }

    void Click(int id) { Call("click", {Id(id)}); }
    // A click whose handler runs a modal dialog: answered by Finish once the
    // dialog has closed.
    int StartClick(int id) { return Send("click", {Id(id)}); }
    void Finish(int request) { Await(request, kAnswerCeiling); }
    // Key names: Escape, Return.
    void Key(int id, const std::string& key) { Call("key", {Id(id), key}); }
    void KeyOnWindow(const std::string& key) { Call("key", {"window", key}); }
    // Selects all of an edit's text and types `text` over it.
    void Type(int id, const std::string& text) { Call("type", {Id(id), text}); }
    // Chooses a list item by its text, with the keyboard.
    void Pick(int id, const std::string& text) { Call("pick", {Id(id), text}); }
    // Waits for the file dialog and opens `path` with it.
    void AnswerFileDialog(const std::string& path, milliseconds ceiling) { Retry("filedialog", {path}, ceiling); }
    void CloseBox() { Call("closebox"); }

    std::string Text(int id) { return Call("text", {Id(id)}).at(0); }
    // The length of that text in characters, without fetching it.
    std::size_t TextLength(int id) { return std::stoul(Call("length", {Id(id)}).at(0)); }
    std::vector<std::string> Items(int id) { return Call("items", {Id(id)}); }
    ControlState State(int id);
    LampState Lamp(int id);

private:
    using Fields = std::vector<std::string>;
    static constexpr milliseconds kAnswerCeiling{60000};
    static std::string Id(int id) { return std::to_string(id); }

    int Send(const std::string& verb, const Fields& arguments);
    Fields Await(int request, milliseconds ceiling);
    Fields Call(const std::string& verb, const Fields& arguments = {})
    {
        return Await(Send(verb, arguments), kAnswerCeiling);
    }
    // Calls again while the driver refuses, up to the ceiling.
    Fields Retry(const std::string& verb, const Fields& arguments, milliseconds ceiling);
    bool ReadMessage(Fields& fields, std::chrono::steady_clock::time_point deadline);
    void Disconnect();

    std::string m_path;
    int m_listener = -1;
    int m_connection = -1;
    std::string m_buffer;
    int m_nextRequest = 1;
    std::map<int, Fields> m_answers; // answers that came while another was awaited
};

} // namespace e2e
