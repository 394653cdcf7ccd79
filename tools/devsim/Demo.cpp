#include "Demo.h"

#include "FileDescriptor.h"
#include "Simulator.h"

#include <DeviceSettings.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace devsim {

namespace {

namespace fs = std::filesystem;

using Links = std::array<std::string, 3>;

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Both programs sit in one folder: bin/ when installed, the build folder
// when built.
std::string ProgramBesideThisOne()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        throw std::runtime_error("cannot find its own executable: " + error.message());
    return (self.parent_path() / "OrvelConfigurator").string();
}

// The stop signals, and the end of a child, are read from a descriptor.
sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGCHLD, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

// The status a shell would give for a child's end.
int ExitStatus(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// "ready gnss=<link> beacon=<link> sounder=<link>": the three links.
std::optional<Links> ParseReady(const std::string& line)
{
    Links links;
    std::size_t start = 0;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::string key = std::string(i == 0 ? "ready " : " ") + kDeviceNames[i] + "=";
        if (line.compare(start, key.size(), key) != 0)
            return std::nullopt;
        start += key.size();
        const std::size_t end =
            i + 1 < links.size() ? line.find(std::string(" ") + kDeviceNames[i + 1] + "=", start) : line.size();
        if (end == std::string::npos)
            return std::nullopt;
        links[i] = line.substr(start, end - start);
        start = end;
    }
    return links;
}

// Writes the three channels through the program's own settings classes, so
// the demo's store is exactly what the program reads; true when they read
// back so (a link too long for the settings would not).
bool SeedSettings(const Links& links)
{
    {
        setting::CSnsDeviceSetting gnss;
        setting::CKksDeviceSetting beacon;
        setting::CSonDeviceSetting sounder;
        setting::CSerialPortDeviceSetting* channels[3] = {&gnss, &beacon, &sounder};
        for (std::size_t i = 0; i < links.size(); ++i) {
            channels[i]->m_portName.SetValue(links[i].c_str());
            channels[i]->m_enabled.SetValue(1);
            channels[i]->Save();
        }
    }
    setting::CSnsDeviceSetting gnss;
    setting::CKksDeviceSetting beacon;
    setting::CSonDeviceSetting sounder;
    const setting::CSerialPortDeviceSetting* channels[3] = {&gnss, &beacon, &sounder};
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (channels[i]->m_portName.m_value != links[i] || channels[i]->m_enabled.m_dwValue != 1)
            return false;
    }
    return true;
}

class CDemo
{
public:
    explicit CDemo(COptions options) : m_options(std::move(options))
    {
        const sigset_t watched = WatchedSignals();
        if (::sigprocmask(SIG_BLOCK, &watched, &m_oldMask) != 0)
            throw SystemError("sigprocmask");
        m_signals = CFileDescriptor(::signalfd(-1, &watched, SFD_NONBLOCK | SFD_CLOEXEC));
        if (!m_signals.IsOpen())
            throw SystemError("signalfd");
        // A closed standard output must not end the demo before its children.
        std::signal(SIGPIPE, SIG_IGN);
        m_storeFolder = MakeStoreFolder();
    }

    ~CDemo()
    {
        std::error_code ignored;
        fs::remove_all(m_storeFolder, ignored);
        ::sigprocmask(SIG_SETMASK, &m_oldMask, nullptr);
    }

    CDemo(const CDemo&) = delete;
    CDemo& operator=(const CDemo&) = delete;

    int Run(const std::string& program)
    {
        const std::optional<Links> links = StartSimulator();
        if (!links) {
            const int status = StopSimulator();
            return status == 0 ? 1 : status;
        }
        if (RunChild([&] { SeedInChild(*links); }) != 0) {
            std::cerr << "orvel-devsim: could not write the demo's settings in " << m_storeFolder << std::endl;
            StopSimulator();
            return 1;
        }
        std::cout << "Simulated devices, already chosen and enabled in the demo's own settings\n"
                     "(press \"Открыть\" in each panel; any baud rate will do):\n"
                     "  СНС     satellite receiver  " << (*links)[0] << "\n"
                     "  KKC     beacon receiver     " << (*links)[1] << "\n"
                     "  Эхолот  echo sounder        " << (*links)[2] << "\n"
                     "Demo settings: " << m_storeFolder << " (deleted when the demo ends; yours are left alone)\n"
                     "Close the window to end the demo." << std::endl;
        m_program = Fork([&] { ExecProgram(program); });
        const int status = WaitForProgram();
        // A simulator that failed fails the demo, though the program did not.
        const int simulatorStatus = StopSimulator();
        return status != 0 ? status : simulatorStatus;
    }

private:
    static std::string MakeStoreFolder()
    {
        std::string base = Env("XDG_RUNTIME_DIR");
        if (base.empty())
            base = Env("TMPDIR");
        if (base.empty())
            base = "/tmp";
        std::string folder = base + "/orvel-demo-XXXXXX";
        if (!::mkdtemp(folder.data()))
            throw SystemError("cannot make the demo's settings folder in " + base);
        return folder;
    }

    // Runs `child` in a child process with the signal mask we started with.
    // The child ends through std::exit or exec, never by returning here, so
    // nothing of this object is torn down in it.
    template <class Child>
    pid_t Fork(Child child)
    {
        std::cout.flush();
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid < 0)
            throw SystemError("fork");
        if (pid == 0) {
            // Should the demo be killed, its children end too.
            if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != m_pid)
                std::_Exit(1);
            std::signal(SIGPIPE, SIG_DFL);
            ::sigprocmask(SIG_SETMASK, &m_oldMask, nullptr);
            m_signals.Close();
            child();
            std::exit(127);
        }
        return pid;
    }

    // Runs `child` in a child process to its end; its exit status.
    template <class Child>
    int RunChild(Child child)
    {
        const pid_t pid = Fork(child);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR)
                throw SystemError("waitpid");
        }
        return ExitStatus(status);
    }

    void SeedInChild(const Links& links)
    {
        ::setenv("XDG_CONFIG_HOME", m_storeFolder.c_str(), 1);
        int status = 1;
        try {
            status = SeedSettings(links) ? 0 : 1;
        } catch (const std::exception& error) {
            std::cerr << "orvel-devsim: " << error.what() << std::endl;
            status = 1;
        }
        std::exit(status);
    }

    void ExecProgram(const std::string& program)
    {
        // The demo's settings and records are its own, and go with it.
        ::setenv("XDG_CONFIG_HOME", m_storeFolder.c_str(), 1);
        ::setenv("XDG_STATE_HOME", m_storeFolder.c_str(), 1);
        char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
        ::execv(program.c_str(), argv);
        std::cerr << "orvel-devsim: cannot start " << program << ": " << std::strerror(errno) << std::endl;
        std::_Exit(127);
    }

    // Starts the simulator with its event lines on a pipe and waits for its
    // ready line; nothing when it ended (its message is on standard error)
    // or a stop signal came first. The pipe is closed then: the simulator
    // takes a closed standard output in its stride.
    std::optional<Links> StartSimulator()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw SystemError("pipe");
        CFileDescriptor events(ends[0]);
        CFileDescriptor eventsOut(ends[1]);
        m_simulator = Fork([&] {
            events.Close(); // else a full pipe would stall the simulator
            const int null = ::open("/dev/null", O_RDONLY);
            if (null < 0 || ::dup2(null, STDIN_FILENO) < 0 || ::dup2(eventsOut.Get(), STDOUT_FILENO) < 0)
                std::_Exit(1);
            int status = 1;
            try {
                CSimulator simulator(m_options);
                status = simulator.Run();
            } catch (const std::exception& error) {
                std::cerr << "orvel-devsim: " << error.what() << std::endl;
            }
            std::exit(status);
        });
        eventsOut.Close();

        std::string buffer;
        while (m_simulator) {
            pollfd fds[2] = {{m_signals.Get(), POLLIN, 0}, {events.Get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                throw SystemError("poll");
            }
            if (fds[0].revents && OnSignals())
                return std::nullopt;
            if (!fds[1].revents)
                continue;
            char chunk[512];
            const ssize_t got = ::read(events.Get(), chunk, sizeof chunk);
            if (got <= 0) {
                if (got < 0 && errno == EINTR)
                    continue;
                return std::nullopt; // the simulator is ending: reaped by StopSimulator
            }
            buffer.append(chunk, static_cast<std::size_t>(got));
            for (std::size_t end; (end = buffer.find('\n')) != std::string::npos; buffer.erase(0, end + 1)) {
                if (auto links = ParseReady(buffer.substr(0, end)))
                    return links;
            }
        }
        return std::nullopt;
    }

    // Reads the pending signals: reaps the children that ended, and passes a
    // stop signal on to the program. True when a stop signal came.
    bool OnSignals()
    {
        bool stop = false;
        signalfd_siginfo info{};
        while (::read(m_signals.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo != SIGCHLD)
                stop = true;
        }
        Reap(m_simulator, m_simulatorStatus);
        Reap(m_program, m_programStatus);
        if (stop && m_program)
            ::kill(*m_program, SIGTERM);
        return stop;
    }

    static void Reap(std::optional<pid_t>& child, int& status)
    {
        int waitStatus = 0;
        if (child && ::waitpid(*child, &waitStatus, WNOHANG) == *child) {
            status = ExitStatus(waitStatus);
            child.reset();
        }
    }

    int WaitForProgram()
    {
        while (m_program) {
            pollfd fd{m_signals.Get(), POLLIN, 0};
            if (::poll(&fd, 1, -1) < 0 && errno != EINTR)
                throw SystemError("poll");
            OnSignals();
        }
        return m_programStatus;
    }

    // Stops the simulator if it still runs and waits for its end; its exit
    // status.
    int StopSimulator()
    {
        if (m_simulator) {
            ::kill(*m_simulator, SIGTERM);
            int waitStatus = 0;
            while (::waitpid(*m_simulator, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            m_simulatorStatus = ExitStatus(waitStatus);
            m_simulator.reset();
        }
        return m_simulatorStatus;
    }

    COptions m_options;
    const pid_t m_pid = ::getpid();
    sigset_t m_oldMask{};
    CFileDescriptor m_signals;
    std::string m_storeFolder;
    std::optional<pid_t> m_simulator;
    std::optional<pid_t> m_program;
    int m_simulatorStatus = 1;
    int m_programStatus = 1;
};

} // namespace

int RunDemo(const COptions& options)
{
    if (Env("DISPLAY").empty() && Env("WAYLAND_DISPLAY").empty() && Env("QT_QPA_PLATFORM").empty())
        throw std::runtime_error("--demo needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set):\n"
                                 "  run it in a desktop session, or over ssh -X / ssh -Y from one");
    const std::string program = ProgramBesideThisOne();
    if (::access(program.c_str(), X_OK) != 0)
        throw std::runtime_error("--demo runs the program beside it, and there is none: " + program);
    CDemo demo(options);
    return demo.Run(program);
}

} // namespace devsim
