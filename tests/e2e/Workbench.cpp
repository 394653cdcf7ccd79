#include "Workbench.h"

#include <filesystem>
#include <map>

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

// The driver comes first in LD_PRELOAD. An AddressSanitizer build wants its
// runtime first of all; the driver, built alongside, links that same runtime.
std::map<std::string, std::string> DriverEnvironment(const std::string& socketPath)
{
    std::map<std::string, std::string> environment{
        {"ORVEL_E2E_DRIVER_SOCKET", socketPath},
        {"QT_QPA_PLATFORM", "offscreen"},
    };
    const char* preload = std::getenv("LD_PRELOAD");
    environment["LD_PRELOAD"] =
        std::string(ORVEL_E2E_DRIVER_PATH) + (preload && *preload ? std::string(":") + preload : "");
#ifdef ORVEL_E2E_ASAN
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    environment["ASAN_OPTIONS"] =
        (asanOptions && *asanOptions ? std::string(asanOptions) + ":" : std::string()) + "verify_asan_link_order=0";
#endif
    return environment;
}

} // namespace

CWorkbench::CWorkbench(const std::vector<std::string>& simulatorOptions)
    : m_runtimeFolder(MakeFolder(m_dir.File("runtime")))
    , m_configFolder(MakeFolder(m_dir.File("config")))
    , m_workFolder(MakeFolder(m_dir.File("work")))
    , m_simulator(std::make_unique<devsimtest::CReadySimulator>(m_runtimeFolder + "/orvel-ports", simulatorOptions))
    , m_link(m_dir.File("driver.sock"))
    , m_operator(m_link)
{
    fs::copy_file(ORVEL_SAMPLE_LOG_CONFIG, m_workFolder + "/log4cplus.conf");
}

CWorkbench::~CWorkbench() = default;

COperator& CWorkbench::StartProgram()
{
    std::map<std::string, std::string> environment = DriverEnvironment(m_link.SocketPath());
    environment["XDG_RUNTIME_DIR"] = m_runtimeFolder;
    environment["XDG_CONFIG_HOME"] = m_configFolder;
    m_program.reset();
    m_program = std::make_unique<CProgramProcess>(ORVEL_PROGRAM_PATH, m_workFolder, environment,
                                                  m_dir.File("program-" + std::to_string(++m_runs) + ".out"));
    pid_t greeted = -1;
    try {
        greeted = m_link.Accept(kStartCeiling);
    } catch (const std::exception& error) {
        throw std::runtime_error(error.what() + std::string("; the program wrote:\n") + m_program->Output());
    }
    if (greeted != m_program->Pid())
        throw std::runtime_error("a driver in another process answered");
    m_operator.WaitForWindow(kStartCeiling);
    return m_operator;
}

std::optional<int> CWorkbench::WaitForProgramEnd(milliseconds ceiling)
{
    return m_program ? m_program->Wait(ceiling) : std::nullopt;
}

std::string CWorkbench::ProgramOutput() const
{
    return m_program ? m_program->Output() : std::string();
}

} // namespace e2e
