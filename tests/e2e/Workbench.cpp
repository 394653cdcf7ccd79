#include "Workbench.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace e2e {

bool Eventually(const std::function<bool()>& condition)
{
    return testsupport::WaitUntil(
        [&] {
            std::this_thread::sleep_for(milliseconds(100));
            return condition();
        },
        devsimtest::kCeiling);
}

CWorkbench::CWorkbench(const std::vector<std::string>& simulatorOptions)
    : m_simulator(m_dir.File("orvel-ports"), simulatorOptions)
{
    std::filesystem::copy_file(ORVEL_SAMPLE_LOG_CONFIG, File("log4cplus.conf"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, File("driver.sock").c_str(), sizeof address.sun_path - 1);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 1) != 0)
        throw std::runtime_error("cannot listen at " + File("driver.sock"));
}

CWorkbench::~CWorkbench()
{
    if (m_driver)
        ::close(m_driver->Fd());
    ::close(m_listener);
}

void CWorkbench::StartProgram()
{
    // The world's folder is the program's working, settings and runtime folder.
    std::vector<std::string> argv{"/usr/bin/env", "-C", m_dir.Path(), "ORVEL_E2E_DRIVER_SOCKET=" + File("driver.sock"),
                                  "LD_PRELOAD=" ORVEL_E2E_DRIVER_PATH, "QT_QPA_PLATFORM=offscreen",
                                  "XDG_RUNTIME_DIR=" + m_dir.Path(), "XDG_CONFIG_HOME=" + m_dir.Path()};
#ifdef ORVEL_E2E_ASAN
    // The sanitizer's runtime comes in with the driver, after the libraries it wants to precede.
    const char* options = std::getenv("ASAN_OPTIONS");
    argv.push_back("ASAN_OPTIONS=" + std::string(options ? options : "") + ":verify_asan_link_order=0");
#endif
    argv.push_back(ORVEL_PROGRAM_PATH);
    m_program.reset();
    m_program.emplace(argv, false);
    pollfd pfd{m_listener, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(devsimtest::kCeiling.count())) != 1)
        throw std::runtime_error("no operator driver connected");
    if (m_driver)
        ::close(m_driver->Fd());
    m_driver.emplace(::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC));
    Call({"state", Id(kPanels[0].enable)}, true); // the window is shown
}

std::string CWorkbench::Call(const std::vector<std::string>& request, bool retry)
{
    std::string line;
    for (const std::string& field : request)
        line += (&field == &request.front() ? "" : "\t") + field;
    line += '\n';
    for (const auto deadline = std::chrono::steady_clock::now() + devsimtest::kCeiling;;) {
        if (::send(m_driver->Fd(), line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
            throw std::runtime_error("the driver is gone");
        const auto answer = m_driver->WaitFor("", std::string(1, '\0'));
        if (!answer || answer->empty())
            throw std::runtime_error("no answer to " + line);
        if (answer->front() == '+')
            return answer->substr(1);
        if (!retry || std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("the driver refused " + line + ": " + answer->substr(1));
        std::this_thread::sleep_for(milliseconds(100));
    }
}

State CWorkbench::StateOf(int id)
{
    std::istringstream fields(Call({"state", Id(id)}));
    State state{};
    fields >> state.enabled >> state.checked >> state.lit >> state.litColour;
    return state;
}

} // namespace e2e
