#include "Workbench.h"

#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace e2e {

using devsimtest::kCeiling;
using devsimtest::milliseconds;

bool Eventually(const std::function<bool()>& condition)
{
    return testsupport::WaitUntil([&] { return std::this_thread::sleep_for(milliseconds(100)), condition(); }, kCeiling);
}

CWorkbench::CWorkbench()
{
    std::filesystem::copy_file(ORVEL_SAMPLE_LOG_CONFIG, File("log4cplus.conf"));
}

void CWorkbench::StartProgram(bool demo)
{
    // The driver's end of the line stays open across exec.
    int line[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, line) != 0 || ::fcntl(line[1], F_SETFD, 0) != 0)
        throw std::runtime_error("socketpair failed");
    std::vector<std::string> argv{"/usr/bin/env", "-C", m_dir.Path(), "ORVEL_E2E_DRIVER_FD=" + std::to_string(line[1]),
                                  "LD_PRELOAD=" ORVEL_E2E_DRIVER_PATH, "QT_QPA_PLATFORM=offscreen",
                                  "XDG_RUNTIME_DIR=" + m_dir.Path(), "XDG_CONFIG_HOME=" + m_dir.Path(),
                                  "XDG_STATE_HOME=" + m_dir.Path()};
#ifdef ORVEL_E2E_ASAN
    // The sanitizer's runtime comes in with the driver, after the libraries it wants to precede.
    const char* options = std::getenv("ASAN_OPTIONS");
    argv.push_back("ASAN_OPTIONS=" + std::string(options ? options : "") + ":verify_asan_link_order=0");
#endif
    if (demo)
        argv.insert(argv.end(), {ORVEL_DEVSIM_PATH, "--demo"});
    else
        argv.push_back(ORVEL_PROGRAM_PATH);
    m_program.emplace(argv, demo);
    ::close(line[1]);
    m_driver.emplace(line[0]);
    Call("state", kPanels[0].enable, "", true); // the window is shown
}

std::string CWorkbench::Call(const std::string& verb, int id, const std::string& argument, bool retry)
{
    const std::string line = verb + "\t" + std::to_string(id) + "\t" + argument;
    for (const auto deadline = std::chrono::steady_clock::now() + kCeiling;;) {
        m_driver->Send(line);
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
    std::istringstream fields(Call("state", id));
    State state{};
    fields >> state.enabled >> state.checked >> state.lit >> state.litColour;
    return state;
}

} // namespace e2e
