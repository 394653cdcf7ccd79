#pragma once

#include <ChildProcess.h>
#include <TempDir.h>

#include <cstdint>
#include <functional>

namespace e2e {

// Control identifiers of one channel panel of the main window.
struct Panel
{
    int enable, port, baud, open, close, command, commandEdit, send, sendFile, clear, log, portLamp, rxLamp, rxErrLamp;
};

// Channels 0 (satellite receiver), 1 (beacon receiver), 2 (echo sounder).
inline constexpr Panel kPanels[3] = {
    {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1008, 1009, 1010, 1011, 1012, 1013, 1014},
    {1020, 1021, 1022, 1023, 1024, 1025, 1026, 1028, 1029, 1030, 1031, 1032, 1033, 1034},
    {1037, 1043, 1044, 1045, 1046, 1047, 1048, 1050, 1051, 1052, 1053, 1038, 1039, 1040},
};
inline constexpr int kReceiverType = 1017;
inline constexpr std::uint32_t kGreen = 0x0000FF00, kRed = 0x000000FF; // 0x00BBGGRR

struct State
{
    bool enabled, checked, lit;
    std::uint32_t litColour;
};

// Polls `condition` at a calm pace: each poll is a request to the window.
bool Eventually(const std::function<bool()>& condition);

// A private world for the program: one folder of its own is its working,
// settings and runtime folder (where the simulator puts its ports), with the
// sample log4cplus.conf; and the operator's hands and eyes on the window,
// through the operator driver inside the program (driver/OperatorDriver.cpp).
// The program can be started again in the same world, its settings kept.
class CWorkbench
{
public:
    CWorkbench();

    void StartSimulator(const std::vector<std::string>& options = {}) { m_simulator.emplace(File("orvel-ports"), options); }
    devsimtest::CSimulator& Simulator() { return *m_simulator; }
    // Starts the program with the driver, or with `demo` orvel-devsim --demo
    // that starts it (its output read through Program()), and waits for its
    // window.
    void StartProgram(bool demo = false);
    devsimtest::CChild& Program() { return *m_program; }
    std::string File(const std::string& name) const { return m_dir.File(name); }

    // Waits while the control is greyed, as an operator would.
    void Click(int id) { Call("click", id, "", true); }
    void Key(int id, const std::string& key) { Call("key", id, key); }
    void Type(int id, const std::string& text) { Call("type", id, text); }
    void Pick(int id, const std::string& item) { Call("pick", id, item); }
    void CloseBox() { Call("close"); }
    std::string Text(int id) { return Call("text", id); }
    State StateOf(int id);
    bool Lit(int id, std::uint32_t colour) { return StateOf(id).lit && StateOf(id).litColour == colour; }

private:
    // The driver's answer to the request; a refusal throws, or with `retry`
    // is asked again until the ceiling.
    std::string Call(const std::string& verb, int id = 0, const std::string& argument = {}, bool retry = false);

    testsupport::TempDir m_dir;
    std::optional<devsimtest::CSimulator> m_simulator;
    std::optional<devsimtest::CChild> m_program;
    std::optional<devsimtest::CReader> m_driver;
};

} // namespace e2e
