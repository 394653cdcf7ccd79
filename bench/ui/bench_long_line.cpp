// A device that sends one long line without a line break (a wrong baud
// rate, a binary stream) into the real main window (offscreen), shown while
// it arrives with the pane's view at its end, so the line is in view.
//
//   bench_long_line [MB per line, default 20] [MB/s, default 2] [runs, default 3]
//
// Build and run, from the top of the tree:
//
//   cmake --build build --target bench_long_line && build/bench/ui/bench_long_line
//
// (make bench runs it too, with every other benchmark.) Two cases, each run
// `runs` times, each run on an emptied pane:
//   plain     the line's first byte is not "$" or "!": no sentence;
//   sentence  the line starts with "$".
// The line's bytes are pseudo-random, never CR or LF, sent at the given
// rate in slices every 10 ms from a thread of the benchmark's own. Reported
// per run and as the median of the runs:
//   arriving  from the first byte sent to the last one shown: the window
//             thread's processor time (CLOCK_THREAD_CPUTIME_ID), the whole
//             process's less the sending thread's, as seconds and as a share
//             of the time it took, and the pane's paintings;
//   ended     then a line break, and the pane painted again 20 times with
//             the ended line in view: the window thread's processor time
//             per painting.
// No thresholds: figures only. Offscreen painting costs less than painting
// on a real display.

#include "BenchWindow.h"

#include <LogPane.h>
#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <Resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Pty;
using bench::RunUntil;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kMB = 1000 * 1000;
constexpr int kRepaints = 20;

double CpuSeconds(clockid_t clock)
{
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// `size` pseudo-random bytes without CR or LF, the first one `first`.
std::string LongLine(std::size_t size, char first)
{
    std::string line(size, '\0');
    unsigned state = 12345;
    for (char& c : line) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
        if (c == '\r' || c == '\n')
            c = 'x';
    }
    line[0] = first;
    return line;
}

class PaintCount : public QObject
{
public:
    explicit PaintCount(QWidget* viewport) { viewport->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

struct Figures
{
    double wall = 0;          // s, arriving
    double windowCpu = 0;     // s, arriving
    double processCpu = 0;    // s, arriving, the sender left out
    int paints = 0;           // arriving
    double repaintMs = 0;     // window CPU per painting, the line ended
    bool whole = false;       // the pane holds every byte sent
};

Figures Run(const Pty& device, ui::CLogPane& pane, const std::string& line, double bytesPerSecond)
{
    Figures f;
    PaintCount count(pane.viewport());
    double senderCpu = 0;
    const double windowBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const Clock::time_point start = Clock::now();
    std::thread sender([&] {
        const double cpuBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto slice = static_cast<std::size_t>(bytesPerSecond / 100);
        for (std::size_t sent = 0, n = 0; sent < line.size(); sent += slice, ++n) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * n));
            device.Send(line.data() + sent, std::min(slice, line.size() - sent));
        }
        senderCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
    });
    RunUntil([&] { return pane.Text().Size() >= line.size(); });
    f.wall = std::chrono::duration<double>(Clock::now() - start).count();
    f.windowCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - windowBefore;
    sender.join();
    f.processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore - senderCpu;
    f.paints = count.paints;
    f.whole = pane.Text().Size() == line.size() && pane.Text().LineCount() == 1;

    device.Send("\n", 1);
    RunUntil([&] { return pane.Text().LineCount() >= 2; });
    QCoreApplication::processEvents();
    const double repaintBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < kRepaints; ++i)
        pane.viewport()->repaint();
    f.repaintMs = (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - repaintBefore) * 1000 / kRepaints;
    pane.Clear();
    QCoreApplication::processEvents();
    return f;
}

void Print(const char* label, const Figures& f)
{
    std::printf("  %-9s arriving %.1f s: window thread %.2f s CPU (%.1f %%), process %.2f s (%.1f %%), "
                "%d paintings, whole: %s; ended, in view: %.2f ms window CPU a painting\n",
                label, f.wall, f.windowCpu, 100 * f.windowCpu / f.wall, f.processCpu, 100 * f.processCpu / f.wall,
                f.paints, f.whole ? "yes" : "NO", f.repaintMs);
}

double Median(std::vector<Figures> runs, double Figures::*field)
{
    std::sort(runs.begin(), runs.end(), [field](const Figures& a, const Figures& b) { return a.*field < b.*field; });
    return runs[runs.size() / 2].*field;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t size = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20) * kMB;
    const double rate = (argc > 2 ? std::strtod(argv[2], nullptr) : 2) * kMB;
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 3);

    const std::string folder = bench::UsePrivateFolders();
    QApplication app(argc, argv);
    Pty device;
    registry::SetDeviceMapValues({registry::RegValue::String("dev", device.path)});
    COrvelConfiguratorDlg dlg;
    dlg.Create();
    dlg.show();
    bench::SelectPort(dlg, IDC_SNS_PORT, device.path);
    static_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_SNS_OPEN))->click();
    if (dlg.GetDlgItem(IDC_SNS_OPEN)->isEnabled()) {
        std::fprintf(stderr, "the channel did not open\n");
        return 1;
    }
    auto& pane = *static_cast<ui::CLogPane*>(dlg.GetDlgItem(IDC_SNS_LOG));
    QCoreApplication::processEvents();

    std::printf("one line of %zu MB without a line break at %.1f MB/s, %d runs\n", size / kMB, rate / kMB, runs);
    const std::pair<const char*, char> cases[] = {{"plain", 'x'}, {"sentence", '$'}};
    for (const auto& [label, first] : cases) {
        const std::string line = LongLine(size, first);
        std::vector<Figures> figures;
        for (int run = 0; run < runs; ++run) {
            figures.push_back(Run(device, pane, line, rate));
            Print(label, figures.back());
        }
        std::printf("%s, median of %d: arriving: window thread %.2f s CPU, process %.2f s, in %.1f s; "
                    "ended, in view: %.2f ms a painting\n",
                    label, runs, Median(figures, &Figures::windowCpu), Median(figures, &Figures::processCpu),
                    Median(figures, &Figures::wall), Median(figures, &Figures::repaintMs));
    }

    dlg.DestroyWindow();
    std::filesystem::remove_all(folder);
    return 0;
}
