// orvel-devsim --demo as a newcomer runs it: the real program, with the
// operator driver of the end-to-end tests inside it, opens on settings of the
// demo's own where each panel already holds its simulated port, enabled, so
// "Открыть" is all it takes; the user's own settings are never touched, and
// the demo's settings, the simulator and its ports are gone when the window
// closes.

#include <ChildProcess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using devsimtest::kCeiling;
using devsimtest::milliseconds;

constexpr const char* kDevices[3] = {"gnss", "beacon", "sounder"};
// The panels' controls (tests/e2e/Workbench.h): enable, port, open, log, port lamp.
struct Panel
{
    int enable, port, open, log, portLamp;
};
constexpr Panel kPanels[3] = {{1000, 1001, 1003, 1011, 1012}, {1020, 1021, 1023, 1031, 1032},
                              {1037, 1043, 1045, 1053, 1038}};

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    return names;
}

// The operator's line to the driver inside the program (its protocol is in
// tests/e2e/driver/OperatorDriver.cpp): requests are TAB-separated fields and
// LF, answers "+" or "-" with a text, and NUL.
class CDriverLine
{
public:
    explicit CDriverLine(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 1) != 0)
            throw std::runtime_error("cannot listen at " + path);
    }
    ~CDriverLine()
    {
        ::close(m_line.Fd());
        ::close(m_listener);
    }

    bool Accept()
    {
        pollfd pfd{m_listener, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(kCeiling.count())) != 1)
            return false;
        m_line = devsimtest::CReader(::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC));
        return m_line.Fd() >= 0;
    }

    // The driver's answer; nothing when it refused until the ceiling (a
    // control not shown yet, or greyed).
    std::optional<std::string> Call(const std::vector<std::string>& fields)
    {
        std::string request;
        for (const std::string& field : fields)
            request += (request.empty() ? "" : "\t") + field;
        request += '\n';
        std::optional<std::string> result;
        testsupport::WaitUntil(
            [&] {
                if (::send(m_line.Fd(), request.data(), request.size(), MSG_NOSIGNAL) < 0)
                    return false;
                const auto answer = m_line.WaitFor("", std::string(1, '\0'));
                if (answer && answer->rfind('+', 0) == 0)
                    result = answer->substr(1);
                return result.has_value();
            },
            kCeiling);
        return result;
    }
    std::string Text(int id) { return Call({"text", std::to_string(id)}).value_or(""); }
    // "enabled checked lit colour": checked, for a check box; lit, for a lamp.
    bool Checked(int id) { return Field(id, 1); }
    bool Lit(int id) { return Field(id, 2); }

private:
    bool Field(int id, int index)
    {
        std::istringstream fields(Call({"state", std::to_string(id)}).value_or(""));
        int value = 0;
        for (int i = 0; i <= index && fields >> value; ++i) {
        }
        return fields && value != 0;
    }

    int m_listener = -1;
    devsimtest::CReader m_line;
};

std::string Colon(const char* variable, const std::string& value)
{
    const char* ours = std::getenv(variable);
    return ours && *ours ? std::string(ours) + ":" + value : value;
}

TEST(Demo, OpensReadyOnSettingsOfItsOwnAndLeavesNothingBehind)
{
    testsupport::TempDir dir;
    const std::string runtime = dir.File("runtime"), config = dir.File("config");
    for (const std::string& folder : {runtime, config}) {
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::owner_all);
    }
    CDriverLine driver(dir.File("driver.sock"));
    // The demo and the program it starts inherit this.
    ::setenv("ORVEL_E2E_DRIVER_SOCKET", dir.File("driver.sock").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1); // the operator's own settings
    ::setenv("LD_PRELOAD", Colon("LD_PRELOAD", ORVEL_E2E_DRIVER_PATH).c_str(), 1);
#ifdef ORVEL_E2E_ASAN
    ::setenv("ASAN_OPTIONS", Colon("ASAN_OPTIONS", "verify_asan_link_order=0").c_str(), 1);
#endif
    devsimtest::CChild demo({ORVEL_DEVSIM_PATH, "--demo"}, true);
    const auto output = [&] { return demo.Read(1 << 20, milliseconds(0)); };

    ASSERT_TRUE(driver.Accept()) << "the program did not start; the demo wrote:\n" << output();
    for (int i = 0; i < 3; ++i) {
        const Panel& panel = kPanels[i];
        EXPECT_EQ(driver.Text(panel.port), runtime + "/orvel-ports/devsim-" + kDevices[i]);
        EXPECT_TRUE(driver.Checked(panel.enable)) << kDevices[i] << " is not enabled";
        ASSERT_TRUE(driver.Call({"click", std::to_string(panel.open)})) << kDevices[i];
        EXPECT_TRUE(testsupport::WaitUntil([&] { return driver.Lit(panel.portLamp); }, kCeiling))
            << kDevices[i] << " did not open";
    }
    // The devices that talk by themselves are heard.
    for (const int i : {0, 2})
        EXPECT_TRUE(testsupport::WaitUntil([&] { return !driver.Text(kPanels[i].log).empty(); }, kCeiling))
            << kDevices[i] << " sent nothing";

    ASSERT_TRUE(driver.Call({"close"}));
    EXPECT_EQ(demo.Wait(), 0) << output();
    EXPECT_EQ(Entries(config), std::vector<std::string>{}) << "the operator's settings were touched";
    EXPECT_EQ(Entries(runtime), std::vector<std::string>{"orvel-ports"})
        << "the demo left something behind; it wrote:\n" << output();
}

} // namespace
