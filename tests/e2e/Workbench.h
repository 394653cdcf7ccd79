#pragma once

#include "DriverLink.h"
#include "Operator.h"
#include "ProgramProcess.h"

#include <DevsimProcess.h>
#include <TempDir.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A private world for the program: the device simulator's three ports in a
// runtime folder of its own, an empty settings folder, a working folder with
// the sample log4cplus.conf, and the line to the operator driver. The program
// can be started again on the same world; its settings stay between runs.
class CWorkbench
{
public:
    // Starts the simulator, with any further options, and waits for its ports.
    explicit CWorkbench(const std::vector<std::string>& simulatorOptions = {});
    ~CWorkbench();

    devsimtest::CDevsimProcess& Simulator() { return m_simulator->m_process; }
    // The simulator's port links, as the program lists them.
    const std::string& GnssPort() const { return m_simulator->m_gnss; }
    const std::string& BeaconPort() const { return m_simulator->m_beacon; }
    const std::string& SounderPort() const { return m_simulator->m_sounder; }

    // Starts the program with the operator driver and waits for its window.
    COperator& StartProgram();
    CProgramProcess& Program() { return *m_program; }
    // The program's exit status; nothing at the ceiling.
    std::optional<int> WaitForProgramEnd(milliseconds ceiling);
    // What the running or last program wrote to its standard output and error.
    std::string ProgramOutput() const;

    // A file in the world's temporary folder.
    std::string File(const std::string& name) const { return m_dir.File(name); }
    const std::string& WorkFolder() const { return m_workFolder; }

private:
    testsupport::TempDir m_dir;
    std::string m_runtimeFolder;
    std::string m_configFolder;
    std::string m_workFolder;
    std::unique_ptr<devsimtest::CReadySimulator> m_simulator;
    CDriverLink m_link;
    COperator m_operator;
    std::unique_ptr<CProgramProcess> m_program;
    int m_runs = 0;
};

} // namespace e2e
