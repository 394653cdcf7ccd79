#include "Workbench.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace fs = std::filesystem;

namespace {

constexpr milliseconds kStartCeiling{60000};

std::string MakeFolder(const std::string& path)
{
    fs::create_directories(path);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// `a` and `b` joined by ':', leaving out an empty one.
std::string Colon(const std::string& a, const std::string& b)
{
    return a.empty() ? b : b.empty() ? a : a + ":" + b;
}

std::string Ours(const char* variable)
{
    const char* value = std::getenv(variable);
    return value ? value : "";
}

std::string ProgramOutputFile(const CWorkbench& bench, int run)
{
    return bench.File("program-" + std::to_string(run) + ".out");
}

} // namespace

bool Eventually(const std::function<bool()>& condition, milliseconds ceiling)
{
    const auto deadline = std::chrono::steady_clock::now() + ceiling;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(milliseconds(100));
    }
    return true;
}

CWorkbench::CWorkbench(const std::vector<std::string>& simulatorOptions)
    : m_runtimeFolder(MakeFolder(m_dir.File("runtime")))
    , m_configFolder(MakeFolder(m_dir.File("config")))
    , m_workFolder(MakeFolder(m_dir.File("work")))
    , m_simulator(m_runtimeFolder + "/orvel-ports", simulatorOptions)
    , m_operator(m_dir.File("driver.sock"))
{
    fs::copy_file(ORVEL_SAMPLE_LOG_CONFIG, m_workFolder + "/log4cplus.conf");
}

const std::string& CWorkbench::Port(int channel) const
{
    const std::string* ports[3] = {&m_simulator.m_gnss, &m_simulator.m_beacon, &m_simulator.m_sounder};
    return *ports[channel];
}

COperator& CWorkbench::StartProgram()
{
    // The driver comes first in LD_PRELOAD. An AddressSanitizer build wants
    // its runtime first of all; the driver, built alongside, links that same runtime.
    std::map<std::string, std::string> environment{
        {"ORVEL_E2E_DRIVER_SOCKET", m_operator.SocketPath()},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"XDG_RUNTIME_DIR", m_runtimeFolder},
        {"XDG_CONFIG_HOME", m_configFolder},
        {"LD_PRELOAD", Colon(ORVEL_E2E_DRIVER_PATH, Ours("LD_PRELOAD"))},
    };
#ifdef ORVEL_E2E_ASAN
    environment["ASAN_OPTIONS"] = Colon(Ours("ASAN_OPTIONS"), "verify_asan_link_order=0");
#endif
    const std::string outputFile = ProgramOutputFile(*this, ++m_runs);
    const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_program.reset();
    m_program.emplace(std::vector<std::string>{ORVEL_PROGRAM_PATH},
                      devsimtest::CChildProcess::Streams{-1, output, output}, m_workFolder, environment);
    ::close(output);
    try {
        if (m_operator.Accept(kStartCeiling) != m_program->Pid())
            throw std::runtime_error("a driver in another process answered");
    } catch (const std::exception& error) {
        throw std::runtime_error(error.what() + std::string("; the program wrote:\n") + ProgramOutput());
    }
    m_operator.WaitForWindow(kStartCeiling);
    return m_operator;
}

std::string CWorkbench::ProgramOutput() const
{
    std::ostringstream text;
    text << std::ifstream(ProgramOutputFile(*this, m_runs)).rdbuf();
    return text.str();
}

} // namespace e2e
