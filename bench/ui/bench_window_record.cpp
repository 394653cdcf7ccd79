// Long watches into the real main window (offscreen) from three
// pseudo-terminal devices: what the panes cost in memory and time once they
// hold a gigabyte each, and whether the panes and the records hold exactly
// what was sent.
//
//   bench_window_record [MB per channel, default 1000] [seconds of paced traffic, default 60]
//
// Reports, in this order (each phase on freshly opened channels, so each
// has records of its own, and on emptied panes):
//   paced       three devices sending 82-byte sentences at 11,520 B/s each:
//               processor time of the whole process (the senders left out);
//   one flood   one channel receiving the given size as fast as its port
//               takes it: MB/s until all is shown, resident memory above
//               the start-up's once shown (and the peak), the pane byte for
//               byte as sent, the record byte for byte as sent;
//   jumps       on that full pane, Ctrl+Home and then Ctrl+End: the time
//               from the key to the end of the view's painting, each way;
//   three       three channels flooded at once with the given size each,
//               the same figures.
// The start-up's resident memory is taken with the three channels open and
// nothing received. No thresholds: figures only. The records go to a
// private folder, removed at the end (they need 4 x the given size on disk).

#include "BenchWindow.h"

#include <LogPane.h>
#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <Resource.h>

// The pane's own count of the memory it holds, where it keeps one.
#if __has_include(<PaneStream.h>)
#define ORVEL_PANE_MEMORY 1
#endif

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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
constexpr std::size_t kBatch = 50000;  // sentences made at a time

const int kPortCombo[3] = {IDC_SNS_PORT, IDC_KKS_PORT, IDC_SON_PORT};
const int kOpenButton[3] = {IDC_SNS_OPEN, IDC_KKS_OPEN, IDC_SON_OPEN};
const int kCloseButton[3] = {IDC_SNS_CLOSE, IDC_KKS_CLOSE, IDC_SON_CLOSE};
const int kLogPane[3] = {IDC_SNS_LOG, IDC_KKS_LOG, IDC_SON_LOG};
const char* const kDevices[3] = {"SnsPort", "KksPort", "SonPort"};

// Sentence n of a device: "$GPTXT,<n>,...*00\r\n".
void AppendSentence(std::string& out, std::size_t n)
{
    char buf[kSentence + 1];
    std::snprintf(buf, sizeof buf, "$GPTXT,%010zu,%-59s*00\r\n", n % 10000000000, "bench");
    out.append(buf, kSentence);
}

// Sentences [first, first + count) as the device sends them, or as a pane
// shows them (the CR LF as one '\n').
std::string Sentences(std::size_t first, std::size_t count, bool asShown)
{
    std::string out;
    out.reserve(count * kSentence);
    for (std::size_t n = first; n < first + count; ++n) {
        AppendSentence(out, n);
        if (asShown)
            out.erase(out.size() - 2, 1);
    }
    return out;
}

// Compares a stream of pieces with sentences 0, 1, ... made a batch at a time.
class CSentenceCheck
{
public:
    explicit CSentenceCheck(bool asShown) : m_asShown(asShown) {}

    void Feed(const char* data, std::size_t size)
    {
        while (size > 0 && m_same) {
            if (m_at == m_expected.size()) {
                m_expected = Sentences(m_next, kBatch, m_asShown);
                m_next += kBatch;
                m_at = 0;
            }
            const std::size_t n = std::min(size, m_expected.size() - m_at);
            m_same = std::memcmp(data, m_expected.data() + m_at, n) == 0;
            m_at += n;
            m_fed += n;
            data += n;
            size -= n;
        }
    }
    bool Same(std::size_t sentences) const
    {
        return m_same && m_fed == sentences * (m_asShown ? kSentence - 1 : kSentence);
    }

private:
    bool m_asShown;
    std::string m_expected;
    std::size_t m_at = 0;
    std::size_t m_next = 0;
    std::size_t m_fed = 0;
    bool m_same = true;
};

bool PaneShows(const ui::CLogPane* pane, std::size_t sentences)
{
    CSentenceCheck check(true);
    pane->Text().ForEachPiece(0, pane->Text().Size(), [&](const char* data, std::size_t size) {
        check.Feed(data, size);
        return true;
    });
    return check.Same(sentences);
}

std::string RecordsFolder(const std::string& state)
{
    return state + "/OrvelConfigurator/records";
}

// The bytes file of the device's record in the folder (one only: each phase
// starts on an emptied folder).
std::string RecordOf(const std::string& folder, int channel)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(std::string(kDevices[channel]) + "-", 0) == 0 && entry.path().extension() == ".log")
            return entry.path().string();
    }
    return std::string();
}

// The record is exactly the sentences sent, once its writer has caught up.
bool RecordHolds(const std::string& folder, int channel, std::size_t sentences)
{
    const std::string path = RecordOf(folder, channel);
    std::error_code error;
    RunUntil([&] { return !path.empty() && std::filesystem::file_size(path, error) >= sentences * kSentence; },
             std::chrono::seconds(60));
    std::ifstream in(path, std::ios::binary);
    CSentenceCheck check(false);
    std::vector<char> buffer(1 << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        check.Feed(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return check.Same(sentences);
}

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return 0;
}

// Resident memory now, and its peak so far, in kB.
long ResidentKb() { return StatusKb("VmRSS:"); }
long PeakKb() { return StatusKb("VmHWM:"); }

// Forgets the peak, so that the next one is this phase's.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(Clock::time_point from, Clock::time_point to = Clock::now())
{
    return std::chrono::duration<double>(to - from).count();
}

double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Window
{
    COrvelConfiguratorDlg& dlg;
    ui::CLogPane* panes[3];
    std::string records;
};

void Click(COrvelConfiguratorDlg& dlg, int id)
{
    static_cast<QAbstractButton*>(dlg.GetDlgItem(id))->click();
}

// Every channel closed, its pane emptied and its records removed, then
// opened again: the phase's records are its own.
void Reopen(Window& w)
{
    for (int ch = 0; ch < 3; ++ch) {
        if (w.dlg.GetDlgItem(kCloseButton[ch])->isEnabled())
            Click(w.dlg, kCloseButton[ch]);
        w.panes[ch]->Clear();
    }
    QCoreApplication::processEvents();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(w.records, error))
        std::filesystem::remove(entry.path(), error);
    for (int ch = 0; ch < 3; ++ch) {
        Click(w.dlg, kOpenButton[ch]);
        if (w.dlg.GetDlgItem(kOpenButton[ch])->isEnabled()) {
            std::fprintf(stderr, "channel %d did not open\n", ch);
            std::exit(1);
        }
    }
    QCoreApplication::processEvents();
}

void Paced(Window& w, Pty (&devices)[3], int seconds)
{
    constexpr std::size_t kRate = 11520;
    const std::size_t total = seconds * kRate / kSentence;
    std::atomic<double> senderCpu{0};
    const double before = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> senders;
    for (int ch = 0; ch < 3; ++ch) {
        senders.emplace_back([&, ch] {
            std::string line;
            for (std::size_t n = 0; n < total; ++n) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(n * kSentence * 1000000 / kRate));
                line.clear();
                AppendSentence(line, n);
                devices[ch].Send(line.data(), line.size());
            }
            double cpu = senderCpu.load();
            while (!senderCpu.compare_exchange_weak(cpu, cpu + ThreadCpuSeconds())) {
            }
        });
    }
    RunUntil([&] {
        for (ui::CLogPane* pane : w.panes)
            if (pane->Text().LineCount() - 1 < total)
                return false;
        return true;
    });
    const double wall = Seconds(start);
    for (std::thread& t : senders)
        t.join();
    const double cpu = ProcessCpuSeconds() - before - senderCpu.load();
    bool exact = true;
    for (ui::CLogPane* pane : w.panes)
        exact = PaneShows(pane, total) && exact;
    std::printf("paced, 3 x %zu B/s for %.0f s: CPU %.2f %%; the panes show what was sent: %s\n", kRate, wall,
                100 * cpu / wall, exact ? "yes" : "NO");
}

// Floods `channels` with `sentences` each, made a batch at a time.
void Flood(Window& w, Pty (&devices)[3], std::initializer_list<int> channels, std::size_t sentences,
           long startupKb, const char* label)
{
    ResetPeak();
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> senders;
    for (int ch : channels) {
        senders.emplace_back([&, ch] {
            for (std::size_t sent = 0; sent < sentences; sent += kBatch) {
                const std::string batch = Sentences(sent, std::min(kBatch, sentences - sent), false);
                devices[ch].Send(batch.data(), batch.size());
            }
        });
    }
    RunUntil([&] {
        for (int ch : channels)
            if (w.panes[ch]->Text().Size() < sentences * (kSentence - 1))
                return false;
        return true;
    });
    const double seconds = Seconds(start);
    for (std::thread& t : senders)
        t.join();
    QCoreApplication::processEvents();
    const long residentKb = ResidentKb();
    const long peakKb = PeakKb();
    std::printf("%s, %.0f MB each: %.1f MB/s shown in all; resident memory %.1f MB above start-up (peak %.1f MB)\n",
                label, sentences * kSentence / double(kMB), channels.size() * sentences * kSentence / double(kMB) / seconds,
                (residentKb - startupKb) / 1024.0, (peakKb - startupKb) / 1024.0);
#ifdef ORVEL_PANE_MEMORY
    for (int ch : channels) {
        const std::size_t held = w.panes[ch]->Text().MemoryBytes();
        std::printf("  channel %d: the pane's text holds %.1f MB, %.2f bytes a line\n", ch, held / double(kMB),
                    double(held) / double(w.panes[ch]->Text().LineCount()));
    }
#endif
    for (int ch : channels) {
        const bool pane = PaneShows(w.panes[ch], sentences);
        Click(w.dlg, kCloseButton[ch]);
        const bool record = RecordHolds(w.records, ch, sentences);
        std::printf("  channel %d: pane byte for byte as sent: %s; record byte for byte as sent: %s\n", ch,
                    pane ? "yes" : "NO", record ? "yes" : "NO");
    }
}

// A key pressed in the pane, and the view painted: the time both took.
double KeyAndPaintMs(ui::CLogPane* pane, Qt::Key key)
{
    const Clock::time_point start = Clock::now();
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(pane, &press);
    pane->viewport()->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Jumps(ui::CLogPane* pane)
{
    pane->setFocus();
    const double home = KeyAndPaintMs(pane, Qt::Key_Home);
    const double end = KeyAndPaintMs(pane, Qt::Key_End);
    std::printf("  on the full pane (%zu lines): Ctrl+Home drawn in %.1f ms, Ctrl+End drawn in %.1f ms\n",
                pane->Text().LineCount(), home, end);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t perChannel = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000) * kMB;
    const int pacedSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const std::size_t sentences = perChannel / kSentence;

    const std::string folder = bench::UsePrivateFolders();
    QApplication app(argc, argv);

    Pty devices[3];
    bench::ListDevices(devices);

    COrvelConfiguratorDlg dlg;
    dlg.Create();
    dlg.show();
    Window w{dlg, {}, RecordsFolder(folder)};
    for (int ch = 0; ch < 3; ++ch) {
        bench::SelectPort(dlg, kPortCombo[ch], devices[ch].path);
        w.panes[ch] = static_cast<ui::CLogPane*>(dlg.GetDlgItem(kLogPane[ch]));
    }
    Reopen(w);
    const long startupKb = ResidentKb();
    std::printf("start-up: resident memory %.1f MB with the three channels open\n", startupKb / 1024.0);

    if (pacedSeconds > 0)
        Paced(w, devices, pacedSeconds);

    Reopen(w);
    Flood(w, devices, {1}, sentences, startupKb, "one channel flooded");
    Jumps(w.panes[1]);

    Reopen(w);
    Flood(w, devices, {0, 1, 2}, sentences, startupKb, "three channels flooded at once");

    dlg.DestroyWindow();
    std::filesystem::remove_all(folder);
    return 0;
}
