#pragma once

#include "Operator.h"

#include <ChildProcess.h>
#include <DevsimProcess.h>
#include <TempDir.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Polls `condition` at a calm pace: each poll is a request to the window.
bool Eventually(const std::function<bool()>& condition, milliseconds ceiling = milliseconds(30000));

// A private world for the program: the device simulator's three ports in a
// runtime folder of its own, an empty settings folder, a working folder with
// the sample log4cplus.conf, and the line to the operator driver. The program
// can be started again on the same world; its settings stay between runs.
class CWorkbench
{
public:
    // Starts the simulator, with any further options, and waits for its ports.
    explicit CWorkbench(const std::vector<std::string>& simulatorOptions = {});

    devsimtest::CDevsimProcess& Simulator() { return m_simulator.m_process; }
    // The simulator's port link for channel 0, 1 or 2, as the program lists it.
    const std::string& Port(int channel) const;

    // Starts the program with the operator driver and waits for its window.
    COperator& StartProgram();
    devsimtest::CChildProcess& Program() { return *m_program; }
    // What the running or last program wrote to its standard output and error.
    std::string ProgramOutput() const;

    // A file in the world's temporary folder.
    std::string File(const std::string& name) const { return m_dir.File(name); }

private:
    testsupport::TempDir m_dir;
    std::string m_runtimeFolder;
    std::string m_configFolder;
    std::string m_workFolder;
    devsimtest::CReadySimulator m_simulator;
    COperator m_operator;
    std::optional<devsimtest::CChildProcess> m_program;
    int m_runs = 0;
};

} // namespace e2e
