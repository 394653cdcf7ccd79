#pragma once

// What the window benchmarks share: a pseudo-terminal playing a device, and
// running the window's events until something has happened.

#include <RegistryHooks.h>

#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace bench {

// A pseudo-terminal in raw mode: the program opens `path`, the benchmark
// plays the device on `master`.
struct Pty
{
    Pty()
    {
        char name[128] = {};
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        path = name;
    }
    ~Pty() { ::close(master); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Writes all of it, waiting for the program to read.
    void Send(const char* data, std::size_t size) const
    {
        while (size > 0) {
            const ssize_t n = ::write(master, data, size);
            if (n <= 0)
                return;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    int master = -1;
    std::string path;
};

// Lists the three devices in the window's device map (as dev0, dev1, dev2),
// so that each channel's port list offers them.
inline void ListDevices(const Pty (&devices)[3])
{
    std::vector<registry::RegValue> map;
    for (int ch = 0; ch < 3; ++ch)
        map.push_back(registry::RegValue::String("dev" + std::to_string(ch), devices[ch].path));
    registry::SetDeviceMapValues(map);
}

// Picks `path` in the window's port list `comboId`, as the operator would.
template <typename Dialog>
void SelectPort(Dialog& dlg, int comboId, const std::string& path)
{
    auto* combo = static_cast<QComboBox*>(dlg.GetDlgItem(comboId));
    combo->setCurrentIndex(combo->findText(QString::fromStdString(path)));
}

// A private folder for the window's settings and virtual ports, so a
// benchmark never reads or writes the user's own; offscreen unless told
// otherwise. Call before the QApplication is made.
inline std::string UsePrivateFolders()
{
    char folder[] = "/tmp/orvel-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    ::setenv("XDG_STATE_HOME", folder, 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return folder;
}

// Runs the window's events until `done` holds or `ceiling` has passed.
template <typename Done>
void RunUntil(Done done, std::chrono::seconds ceiling = std::chrono::seconds(600))
{
    const auto giveUp = std::chrono::steady_clock::now() + ceiling;
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (done() || std::chrono::steady_clock::now() > giveUp)
            loop.quit();
    });
    tick.start(2);
    loop.exec();
}

} // namespace bench
