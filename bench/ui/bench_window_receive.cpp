// Receiving into the real main window (offscreen) from three pseudo-terminal
// devices sending as fast as the ports take it.
//
//   bench_window_receive [MB per channel, default 20] [MB for the big pane, default 50]
//
// Reports per channel: bytes sent and shown (and whether they match, in
// order), MB/s from the first byte sent to the last byte shown; the time of
// one 256-byte append to a pane holding 1 MB and one holding the big size;
// the window thread's worst event delay during the run; and the process's
// peak memory per byte held in the panes. No thresholds: figures only.

#include <LogPane.h>
#include <OrvelConfiguratorDlg.h>
#include <ReceivedText.h>
#include <Registry.h>
#include <Resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMB = 1000 * 1000;

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

    // Sends bytes [begin, begin + size) of the device stream, made as it goes.
    void SendStream(std::size_t begin, std::size_t size) const;

    int master = -1;
    std::string path;
};

// The byte stream of a device: "00000000 00000001 ..." (printable, no line
// ends), so the bytes shown can be compared with the bytes sent.
std::string Stream(std::size_t begin, std::size_t size)
{
    std::string out;
    out.reserve(size + 16);
    std::size_t record = begin / 9;
    char buf[16];
    std::size_t skip = begin % 9;
    while (out.size() < size) {
        std::snprintf(buf, sizeof buf, "%08zu ", record++ % 100000000);
        out.append(buf + skip, 9 - skip);
        skip = 0;
    }
    out.resize(size);
    return out;
}

void Pty::SendStream(std::size_t begin, std::size_t size) const
{
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t done = 0; done < size; done += kPiece) {
        const std::string piece = Stream(begin + done, std::min(kPiece, size - done));
        Send(piece.data(), piece.size());
    }
}

long PeakRssKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentRssKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Bytes shown in a pane: its characters without the line feeds after chunks.
std::size_t Shown(const QPlainTextEdit* pane)
{
    const QTextDocument* doc = pane->document();
    return static_cast<std::size_t>(doc->characterCount() - doc->blockCount());
}

// Whether the pane shows exactly bytes [0, size) of the device stream, in
// order, one chunk per line; compared line by line, without copying the pane.
bool ShowsExactly(const QPlainTextEdit* pane, std::size_t size)
{
    std::size_t at = 0;
    for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        if (line.isEmpty())
            continue;
        if (at + line.size() > size || line != QLatin1String(Stream(at, line.size())))
            return false;
        at += line.size();
    }
    return at == size;
}

// Runs the window's events until `done` holds, watching how late a 5 ms
// timer fires: the worst delay any event met on the window's thread.
template <typename Done>
double RunUntil(Done done)
{
    QEventLoop loop;
    double worstMs = 0;
    auto last = Clock::now();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(now - last).count() - 5.0);
        last = now;
        if (done())
            loop.quit();
    });
    tick.start(5);
    loop.exec();
    return worstMs;
}

// Median and mean time of one append of a 256-byte chunk to `pane`.
void MeasureAppend(QPlainTextEdit* pane, const char* label)
{
    QString chunk;
    const std::string bytes = Stream(0, 256);
    ui::AppendReceivedChunk(chunk, bytes.data(), bytes.size());
    std::vector<double> us;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        ui::AppendToPane(pane, chunk);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        QCoreApplication::processEvents();  // repaints, as between real appends
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;
    std::printf("append of 256 bytes, pane holding %-6s median %8.1f us, mean %8.1f us\n", label,
                us[us.size() / 2], sum / us.size());
}

void Click(COrvelConfiguratorDlg& dlg, int id)
{
    static_cast<QAbstractButton*>(dlg.GetDlgItem(id))->click();
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t perChannel = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20) * kMB;
    const std::size_t bigPane = (argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50) * kMB;

    char folder[] = "/tmp/orvel-bench-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    Pty devices[3];
    std::vector<registry::RegValue> map;
    for (int ch = 0; ch < 3; ++ch)
        map.push_back(registry::RegValue::String("dev" + std::to_string(ch), devices[ch].path));
    registry::SetDeviceMapValues(map);

    const long rssBeforeWindow = CurrentRssKb();
    COrvelConfiguratorDlg dlg;
    dlg.Create();
    dlg.show();
    const int portCombo[3] = {IDC_SNS_PORT, IDC_KKS_PORT, IDC_SON_PORT};
    const int openButton[3] = {IDC_SNS_OPEN, IDC_KKS_OPEN, IDC_SON_OPEN};
    const int logPane[3] = {IDC_SNS_LOG, IDC_KKS_LOG, IDC_SON_LOG};
    QPlainTextEdit* panes[3];
    for (int ch = 0; ch < 3; ++ch) {
        auto* combo = static_cast<QComboBox*>(dlg.GetDlgItem(portCombo[ch]));
        combo->setCurrentIndex(combo->findText(QString::fromStdString(devices[ch].path)));
        Click(dlg, openButton[ch]);
        panes[ch] = static_cast<QPlainTextEdit*>(dlg.GetDlgItem(logPane[ch]));
        if (dlg.GetDlgItem(openButton[ch])->isEnabled()) {
            std::fprintf(stderr, "channel %d did not open\n", ch);
            return 1;
        }
    }
    QCoreApplication::processEvents();
    const long rssWindow = CurrentRssKb();

    // A pane holding 1 MB.
    {
        devices[0].SendStream(0, kMB);
        RunUntil([&] { return Shown(panes[0]) >= kMB; });
        std::printf("channel 0 first 1 MB shown exactly: %s\n", ShowsExactly(panes[0], kMB) ? "yes" : "NO");
        MeasureAppend(panes[0], "1 MB");
        Click(dlg, IDC_SNS_CLEAR);
        QCoreApplication::processEvents();
    }

    // One channel alone, then three channels at once, at full speed.
    {
        const Clock::time_point start = Clock::now();
        std::thread sender([&] { devices[1].SendStream(0, perChannel); });
        const double worst = RunUntil([&] { return Shown(panes[1]) >= perChannel; });
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        sender.join();
        std::printf("\none channel alone, %zu MB: lost %zu, in order: %s, %.1f MB/s, worst event delay %.1f ms\n",
                    perChannel / kMB, perChannel - std::min(Shown(panes[1]), perChannel),
                    ShowsExactly(panes[1], perChannel) ? "yes" : "NO", perChannel / kMB / seconds, worst);
        Click(dlg, IDC_KKS_CLEAR);
        QCoreApplication::processEvents();
    }

    Clock::time_point start = Clock::now();
    Clock::time_point shownAt[3] = {};
    std::vector<std::thread> senders;
    for (int ch = 0; ch < 3; ++ch)
        senders.emplace_back([&, ch] { devices[ch].SendStream(0, perChannel); });
    const double worstDelay = RunUntil([&] {
        bool all = true;
        for (int ch = 0; ch < 3; ++ch) {
            if (shownAt[ch] == Clock::time_point() && Shown(panes[ch]) >= perChannel)
                shownAt[ch] = Clock::now();
            all = all && shownAt[ch] != Clock::time_point();
        }
        return all;
    });
    for (std::thread& t : senders)
        t.join();
    std::printf("\nthree channels, %zu MB each, at once:\n", perChannel / kMB);
    for (int ch = 0; ch < 3; ++ch) {
        const double seconds = std::chrono::duration<double>(shownAt[ch] - start).count();
        const std::size_t shown = Shown(panes[ch]);
        std::printf("  channel %d: sent %zu, shown %zu, lost %zu, in order: %s, %.1f MB/s\n", ch, perChannel,
                    shown, perChannel - std::min(shown, perChannel),
                    ShowsExactly(panes[ch], perChannel) ? "yes" : "NO", perChannel / kMB / seconds);
    }
    std::printf("  worst event delay on the window thread: %.1f ms\n", worstDelay);

    // Channel 0 up to the big pane.
    if (bigPane > perChannel) {
        std::thread sender([&] { devices[0].SendStream(perChannel, bigPane - perChannel); });
        RunUntil([&] { return Shown(panes[0]) >= bigPane; });
        sender.join();
        std::printf("\nchannel 0 pane holding %zu MB shown exactly: %s\n", bigPane / kMB,
                    ShowsExactly(panes[0], bigPane) ? "yes" : "NO");
    }
    const std::size_t held = Shown(panes[0]) + Shown(panes[1]) + Shown(panes[2]);
    const long peak = PeakRssKb();
    MeasureAppend(panes[0], (std::to_string(Shown(panes[0]) / kMB) + " MB").c_str());

    std::printf("\nmemory: before the window %.1f MB, window open %.1f MB, peak %.1f MB\n",
                rssBeforeWindow / 1024.0, rssWindow / 1024.0, peak / 1024.0);
    std::printf("        %.1f MB held in the panes: %.2f bytes of peak memory per byte held\n", held / double(kMB),
                (peak - rssWindow) * 1024.0 / held);

    dlg.DestroyWindow();
    std::filesystem::remove_all(folder);
    return 0;
}
