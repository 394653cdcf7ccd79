// The real main window (offscreen, in a child process) killed with SIGKILL
// while three devices send paced traffic: what its records hold.
//
//   bench_window_kill [seconds before the kill, default 20] [runs, default 3]
//
// The child opens the three channels on pseudo-terminals this process plays
// the devices on, at 11,520 B/s each (82-byte sentences). At the kill, each
// channel's record must be exactly the bytes sent, from the first on, up to
// where it ends. Reported per channel: how far before the kill the record
// ends (the time the last byte it holds was sent, and whether every byte
// sent up to a second before the kill is in it). Then a new window starts
// on the same folder, as the program's next start would, and the records
// must still be there, whole. No thresholds: figures only.

#include "BenchWindow.h"

#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <Resource.h>

#include <QAbstractButton>
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::Pty;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kSentence = 82;
constexpr std::size_t kRate = 11520;
const int kPortCombo[3] = {IDC_SNS_PORT, IDC_KKS_PORT, IDC_SON_PORT};
const int kOpenButton[3] = {IDC_SNS_OPEN, IDC_KKS_OPEN, IDC_SON_OPEN};
const char* const kDevices[3] = {"SnsPort", "KksPort", "SonPort"};

std::string Sentence(std::size_t n)
{
    char buf[kSentence + 1];
    std::snprintf(buf, sizeof buf, "$GPGGA,%010zu,%-59s*00\r\n", n % 10000000000, "kill");
    return std::string(buf, kSentence);
}

// The window, in the child: opens the channels, says so on `ready`, and
// runs until it is killed (or, with `once`, ends at once: a start).
[[noreturn]] void RunWindow(Pty (&devices)[3], int ready, bool once)
{
    int argc = 1;
    char name[] = "bench_window_kill";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    bench::ListDevices(devices);
    COrvelConfiguratorDlg dlg;
    dlg.Create();
    dlg.show();
    if (once) {
        dlg.DestroyWindow();
        std::_Exit(0);
    }
    for (int ch = 0; ch < 3; ++ch) {
        bench::SelectPort(dlg, kPortCombo[ch], devices[ch].path);
        static_cast<QAbstractButton*>(dlg.GetDlgItem(kOpenButton[ch]))->click();
    }
    const char opened = dlg.GetDlgItem(kOpenButton[0])->isEnabled() ? 0 : 1;
    if (::write(ready, &opened, 1) != 1)
        std::_Exit(1);
    app.exec();
    std::_Exit(0);
}

std::string WholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string RecordOf(const std::string& folder, int channel)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(std::string(kDevices[channel]) + "-", 0) == 0 && entry.path().extension() == ".log")
            return entry.path().string();
    }
    return std::string();
}

void Run(int seconds, int run)
{
    const std::string folder = bench::UsePrivateFolders();
    const std::string records = folder + "/OrvelConfigurator/records";
    Pty devices[3];
    int pipe[2];
    if (::pipe(pipe) != 0)
        std::exit(1);
    const pid_t child = ::fork();
    if (child == 0)
        RunWindow(devices, pipe[1], false);
    char opened = 0;
    if (::read(pipe[0], &opened, 1) != 1 || !opened) {
        std::fprintf(stderr, "the window did not open its channels\n");
        std::exit(1);
    }

    // Paced sentences, each one's time of sending kept.
    const std::size_t total = seconds * kRate / kSentence;
    std::vector<Clock::time_point> sentAt[3];
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> senders;
    for (int ch = 0; ch < 3; ++ch) {
        sentAt[ch].reserve(total);
        senders.emplace_back([&, ch] {
            for (std::size_t n = 0; n < total; ++n) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(n * kSentence * 1000000 / kRate));
                const std::string line = Sentence(n);
                devices[ch].Send(line.data(), line.size());
                sentAt[ch].push_back(Clock::now());
            }
        });
    }
    std::this_thread::sleep_until(start + std::chrono::seconds(seconds) - std::chrono::milliseconds(500));
    ::kill(child, SIGKILL);
    const Clock::time_point killedAt = Clock::now();
    int status = 0;
    ::waitpid(child, &status, 0);
    for (std::thread& t : senders)
        t.join();

    std::printf("run %d, killed after %.1f s of 3 x %zu B/s:\n", run, std::chrono::duration<double>(killedAt - start).count(),
                kRate);
    std::string before[3];
    for (int ch = 0; ch < 3; ++ch) {
        before[ch] = WholeFile(RecordOf(records, ch));
        const std::string& bytes = before[ch];
        std::string sent;
        for (std::size_t n = 0; n * kSentence < bytes.size() + kSentence && n < total; ++n)
            sent += Sentence(n);
        const bool exact = sent.compare(0, bytes.size(), bytes) == 0;
        // The sentences sent a second or more before the kill, and the time
        // the record's last byte was sent.
        std::size_t due = 0;
        while (due < sentAt[ch].size() && sentAt[ch][due] <= killedAt - std::chrono::seconds(1))
            ++due;
        const std::size_t held = bytes.size() / kSentence;
        const double lastMs = held == 0 ? -1
                                        : std::chrono::duration<double, std::milli>(killedAt - sentAt[ch][std::min(held, sentAt[ch].size()) - 1])
                                              .count();
        std::printf("  %s: %zu bytes, exactly the bytes sent: %s; holds everything sent up to a second before the kill: "
                    "%s; its last sentence was sent %.0f ms before the kill\n",
                    kDevices[ch], bytes.size(), exact ? "yes" : "NO", bytes.size() >= due * kSentence ? "yes" : "NO",
                    lastMs);
    }

    // The next start prunes old records and keeps these.
    const pid_t next = ::fork();
    if (next == 0)
        RunWindow(devices, pipe[1], true);
    ::waitpid(next, &status, 0);
    bool kept = true;
    for (int ch = 0; ch < 3; ++ch)
        kept = kept && WholeFile(RecordOf(records, ch)) == before[ch];
    std::printf("  the next start keeps the three records as they were: %s\n", kept ? "yes" : "NO");
    ::close(pipe[0]);
    ::close(pipe[1]);
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    for (int run = 1; run <= runs; ++run)
        Run(seconds, run);
    return 0;
}
