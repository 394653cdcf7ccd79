// Receiving into the real main window (offscreen) from three pseudo-terminal
// devices.
//
//   bench_window_receive [MB per channel, default 20] [MB for the big pane, default 100]
//                        [seconds of paced traffic, default 20]
//
// Reports:
//   paced     three devices sending 82-byte sentences at 11,520 B/s each:
//             processor time of the whole process, and how long each line
//             took from its write to the first painting of the pane that
//             showed it (median, 99th percentile, worst);
//   flood     one channel alone, then three at once, as fast as the ports
//             take it: MB/s from the first byte sent to the last shown, and
//             whether every pane shows exactly the bytes sent, in order;
//   big pane  channel 0 filled up to the big size: resident memory per byte
//             held, the time of select-all and copy, of saving it as a
//             record (the window's part, taking what the pane holds, and
//             the writing in the background), and of one more turn of
//             received bytes into the full pane.
// No thresholds: figures only. The window is offscreen, so painting costs
// less than on a real display; the side-by-side rig in bench/window drives
// the real program on an X server.

#include "BenchWindow.h"

#include <LogPane.h>
#include <PaneRecord.h>
#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <Resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::Pty;
using bench::RunUntil;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kMB = 1000 * 1000;
constexpr std::size_t kSentence = 82;  // bytes, CR LF included

// Sentence n of a device: 82 bytes, "$GPTXT,<n>,...*00\r\n", so the text
// shown can be checked against what was sent.
std::string Sentence(std::size_t n)
{
    char buf[kSentence + 1];
    std::snprintf(buf, sizeof buf, "$GPTXT,%010zu,%-59s*00\r\n", n % 10000000000, "bench");
    return std::string(buf, kSentence);
}

// Sentences [first, first + count) as the device sends them.
std::string Sentences(std::size_t first, std::size_t count)
{
    std::string out;
    out.reserve(count * kSentence);
    for (std::size_t n = first; n < first + count; ++n)
        out += Sentence(n);
    return out;
}

// Sentences [first, first + count) as a pane shows them.
bool ShowsSentences(const ui::CPaneText& text, std::size_t first, std::size_t count)
{
    if (text.Size() != count * (kSentence - 1))
        return false;
    for (std::size_t n = 0; n < count; ++n) {
        std::string expected = Sentence(first + n);
        expected.erase(expected.size() - 2, 1);  // the CR LF is one break
        if (text.Bytes(n * (kSentence - 1), (n + 1) * (kSentence - 1)) != expected)
            return false;
    }
    return true;
}

// Processor seconds of one thread of this process.
double ThreadSeconds(pid_t tid)
{
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return 0;
    char buf[1024] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const char* fields = std::strrchr(buf, ')');
    unsigned long utime = 0, stime = 0;
    if (n == 0 || !fields ||
        std::sscanf(fields + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return 0;
    return double(utime + stime) / ::sysconf(_SC_CLK_TCK);
}

// Processor seconds of the process's threads, the bench's own senders left out.
struct Cpu
{
    double window = 0;  // the window's thread
    double others = 0;  // the ports' readers and the rest
};

Cpu ProcessCpu(const std::vector<pid_t>& leaveOut)
{
    Cpu cpu;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        const pid_t tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        if (std::find(leaveOut.begin(), leaveOut.end(), tid) != leaveOut.end())
            continue;
        (tid == ::getpid() ? cpu.window : cpu.others) += ThreadSeconds(tid);
    }
    return cpu;
}

long ResidentKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

double Seconds(Clock::time_point from, Clock::time_point to = Clock::now())
{
    return std::chrono::duration<double>(to - from).count();
}

// Records, at each painting of a pane, how many whole lines it showed.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(ui::CLogPane* pane) : m_pane(pane) { pane->viewport()->installEventFilter(this); }

    std::vector<std::pair<Clock::time_point, std::size_t>> paints;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            paints.emplace_back(Clock::now(), m_pane->Text().LineCount() - 1);
        return false;
    }

private:
    ui::CLogPane* m_pane;
};

void Click(COrvelConfiguratorDlg& dlg, int id)
{
    static_cast<QAbstractButton*>(dlg.GetDlgItem(id))->click();
}

void Paced(Pty (&devices)[3], ui::CLogPane* (&panes)[3], COrvelConfiguratorDlg& dlg, int seconds)
{
    constexpr std::size_t kRate = 11520;  // bytes a second on each device
    const std::size_t total = seconds * kRate / kSentence;
    std::vector<Clock::time_point> sentAt[3];
    std::mutex sentMutex;
    PaintWatch watches[3] = {PaintWatch(panes[0]), PaintWatch(panes[1]), PaintWatch(panes[2])};
    std::atomic<bool> stop{false};
    std::vector<pid_t> senderIds(3);

    const Cpu before = ProcessCpu({});
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> senders;
    for (int ch = 0; ch < 3; ++ch) {
        senders.emplace_back([&, ch] {
            senderIds[ch] = ::gettid();
            for (std::size_t n = 0; n < total && !stop; ++n) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(n * kSentence * 1000000 / kRate));
                const std::string line = Sentence(n);
                {
                    const std::lock_guard<std::mutex> lock(sentMutex);
                    sentAt[ch].push_back(Clock::now());
                }
                devices[ch].Send(line.data(), line.size());
            }
        });
    }
    RunUntil([&] {
        for (int ch = 0; ch < 3; ++ch)
            if (panes[ch]->Text().LineCount() - 1 < total)
                return false;
        return true;
    });
    const double wall = Seconds(start);
    const Cpu after = ProcessCpu(senderIds);
    for (std::thread& t : senders)
        t.join();

    std::vector<double> latencies;
    std::size_t paints = 0;
    for (int ch = 0; ch < 3; ++ch) {
        paints += watches[ch].paints.size();
        std::size_t line = 0;
        for (const auto& [when, lines] : watches[ch].paints)
            for (; line < lines && line < sentAt[ch].size(); ++line)
                latencies.push_back(std::chrono::duration<double, std::milli>(when - sentAt[ch][line]).count());
    }
    std::sort(latencies.begin(), latencies.end());
    bool exact = true;
    for (int ch = 0; ch < 3; ++ch)
        exact = exact && ShowsSentences(panes[ch]->Text(), 0, total);
    std::printf("paced, 3 x %zu B/s for %.0f s: CPU %.2f %% (window thread %.2f %%, the rest %.2f %%), "
                "%.1f pane paintings a second\n",
                kRate, wall, 100 * (after.window + after.others - before.window - before.others) / wall,
                100 * (after.window - before.window) / wall, 100 * (after.others - before.others) / wall,
                paints / wall);
    if (!latencies.empty()) {
        std::printf("  line on screen after its write: median %.1f ms, 99%% %.1f ms, worst %.1f ms (%zu lines)\n",
                    latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100], latencies.back(),
                    latencies.size());
    }
    std::printf("  every pane shows exactly what its device sent: %s\n", exact ? "yes" : "NO");
    for (int ch = 0; ch < 3; ++ch)
        panes[ch]->Clear();
    (void)dlg;
}

// Floods the given channels with `size` bytes each; MB/s until all is shown.
void Flood(Pty (&devices)[3], ui::CLogPane* (&panes)[3], std::initializer_list<int> channels, std::size_t size,
           const char* label)
{
    const std::size_t count = size / kSentence;
    const std::string stream = Sentences(0, count);
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> senders;
    for (int ch : channels)
        senders.emplace_back([&, ch] { devices[ch].Send(stream.data(), stream.size()); });
    RunUntil([&] {
        for (int ch : channels)
            if (panes[ch]->Text().Size() < count * (kSentence - 1))
                return false;
        return true;
    });
    const double seconds = Seconds(start);
    for (std::thread& t : senders)
        t.join();
    bool exact = true;
    for (int ch : channels)
        exact = exact && ShowsSentences(panes[ch]->Text(), 0, count);
    std::printf("%s, %zu MB each: %.1f MB/s shown in all, exactly what was sent: %s\n", label, size / kMB,
                channels.size() * stream.size() / double(kMB) / seconds, exact ? "yes" : "NO");
    for (int ch : channels)
        panes[ch]->Clear();
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t perChannel = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20) * kMB;
    const std::size_t bigPane = (argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100) * kMB;
    const int pacedSeconds = argc > 3 ? std::atoi(argv[3]) : 20;

    const std::string folder = bench::UsePrivateFolders();
    QApplication app(argc, argv);

    Pty devices[3];
    bench::ListDevices(devices);

    COrvelConfiguratorDlg dlg;
    dlg.Create();
    dlg.show();
    const int portCombo[3] = {IDC_SNS_PORT, IDC_KKS_PORT, IDC_SON_PORT};
    const int openButton[3] = {IDC_SNS_OPEN, IDC_KKS_OPEN, IDC_SON_OPEN};
    const int logPane[3] = {IDC_SNS_LOG, IDC_KKS_LOG, IDC_SON_LOG};
    ui::CLogPane* panes[3];
    for (int ch = 0; ch < 3; ++ch) {
        bench::SelectPort(dlg, portCombo[ch], devices[ch].path);
        Click(dlg, openButton[ch]);
        panes[ch] = static_cast<ui::CLogPane*>(dlg.GetDlgItem(logPane[ch]));
        if (dlg.GetDlgItem(openButton[ch])->isEnabled()) {
            std::fprintf(stderr, "channel %d did not open\n", ch);
            return 1;
        }
    }
    QCoreApplication::processEvents();

    if (pacedSeconds > 0)
        Paced(devices, panes, dlg, pacedSeconds);
    Flood(devices, panes, {1}, perChannel, "\none channel alone");
    Flood(devices, panes, {0, 1, 2}, perChannel, "three channels at once");

    // Channel 0 up to the big pane.
    const long residentBefore = ResidentKb();
    const std::size_t count = bigPane / kSentence;
    for (std::size_t sent = 0; sent < count;) {
        const std::size_t part = std::min<std::size_t>(count - sent, 100000);
        const std::string stream = Sentences(sent, part);
        std::thread sender([&] { devices[0].Send(stream.data(), stream.size()); });
        RunUntil([&] { return panes[0]->Text().Size() >= (sent + part) * (kSentence - 1); });
        sender.join();
        sent += part;
    }
    const long residentAfter = ResidentKb();
    std::printf("\nbig pane: %zu MB received, shown exactly: %s\n", count * kSentence / kMB,
                ShowsSentences(panes[0]->Text(), 0, count) ? "yes" : "NO");
    std::printf("  resident memory %.1f -> %.1f MB: %.2f bytes per byte received\n", residentBefore / 1024.0,
                residentAfter / 1024.0, (residentAfter - residentBefore) * 1024.0 / (count * kSentence));

    Clock::time_point start = Clock::now();
    panes[0]->selectAll();
    panes[0]->copy();
    const double copySeconds = Seconds(start);
    std::printf("  select all and copy: %.2f s, %lld characters on the clipboard\n", copySeconds,
                static_cast<long long>(QGuiApplication::clipboard()->text().size()));
    QGuiApplication::clipboard()->clear();

    {
        start = Clock::now();
        const ui::CPaneSnapshot record = panes[0]->Model().Snapshot(false);
        const double takenMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        start = Clock::now();
        const std::string error = ui::WriteRecord(record, folder + "/record.log");
        std::printf("  saved as a record: the window's part %.1f ms, the writing %.2f s%s%s\n", takenMs,
                    Seconds(start), error.empty() ? "" : ", failed: ", error.c_str());
    }

    start = Clock::now();
    const std::string more = Sentences(count, 12);
    devices[0].Send(more.data(), more.size());
    RunUntil([&] { return panes[0]->Text().Size() >= (count + 12) * (kSentence - 1); });
    std::printf("  12 more sentences into the full pane, shown after %.1f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());

    start = Clock::now();
    Click(dlg, IDC_SNS_CLEAR);
    QCoreApplication::processEvents();
    std::printf("  cleared in %.1f ms; resident memory then %.1f MB\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count(), ResidentKb() / 1024.0);

    dlg.DestroyWindow();
    std::filesystem::remove_all(folder);
    return 0;
}
