// bench_record [--gigabytes G] [--paced-seconds S] [--folder F] [--no-check]
//              [--only flood|paced|unrecorded]
// What a channel's record costs the program:
//   flood      one record, one thread appending G GB (default 1) in 256-byte
//              reads as fast as it can; then three records, three threads,
//              G GB each
//   paced      three records, each fed 11,520 B/s (115200 baud) in 64-byte
//              reads for S seconds (default 60), and the same pacing without
//              records, so the record's own share shows
// Each case runs in a process of its own and prints MB/s (appended, until
// the records are closed: written and synced), CPU seconds and CPU % of the
// wall time, peak resident memory above the process's start, the index's
// memory, and the times file's bytes per line. Every record is read back
// and compared with what was appended (unless --no-check), then removed.
// The text is NMEA sentences of about 70 bytes with CR LF, as a satellite
// receiver sends them.

#include "WatchRecord.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const double kMB = 1e6;

struct Options
{
    double gigabytes = 1;
    double pacedSeconds = 60;
    std::string folder;
    std::string only;
    bool check = true;
};

// The received text, endless: text[offset % kPeriod], with a copy of its
// start after its end, so any read is one piece.
constexpr std::size_t kPeriod = 1 << 20;
const std::string& Text()
{
    static const std::string text = [] {
        std::string t;
        for (unsigned n = 0; t.size() < kPeriod; ++n) {
            char line[128];
            std::snprintf(line, sizeof line, "$GPGGA,%06u,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*%02X\r\n",
                          n % 1000000, n % 256);
            t += line;
        }
        t.resize(kPeriod);
        return t + t.substr(0, 4096);
    }();
    return text;
}

const char* At(std::uint64_t offset) { return Text().data() + offset % kPeriod; }

// The scheduler's own count for all threads, dead ones too: exact, where
// getrusage samples at the timer tick, which short timed wake-ups meet.
double CpuSeconds()
{
    timespec cpu{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return cpu.tv_sec + cpu.tv_nsec / 1e9;
}

double ResidentMB(const char* field)
{
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    double kb = 0;
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, std::strlen(field)) == 0)
            kb = std::atof(line + std::strlen(field));
    }
    if (status)
        std::fclose(status);
    return kb / 1024;
}

// Reads the record back and compares it with the text from `offset` 0.
bool Matches(const record::CWatchRecord& record, std::uint64_t size)
{
    std::string block(1 << 20, '\0');
    for (std::uint64_t at = 0; at < size;) {
        const std::size_t read = record.Read(at, block.data(), block.size());
        if (read == 0 || std::memcmp(block.data(), At(at), std::min<std::size_t>(read, kPeriod - at % kPeriod)) != 0)
            return false;
        const std::size_t first = std::min<std::size_t>(read, kPeriod - at % kPeriod);
        if (read > first && std::memcmp(block.data() + first, At(at + first), read - first) != 0)
            return false;
        at += read;
    }
    return true;
}

struct Feed
{
    std::size_t readSize;
    std::uint64_t bytes;                 // per record
    std::chrono::nanoseconds interval;   // between reads; 0: as fast as it goes
};

// One case, in this process: `records` records (or none, `withRecords`
// false), each fed from a thread of its own.
void RunCase(const char* title, const Options& options, int records, bool withRecords, const Feed& feed)
{
    const double startRss = ResidentMB("VmRSS:");
    const double startCpu = CpuSeconds();
    const Clock::time_point start = Clock::now();
    std::vector<std::shared_ptr<record::CWatchRecord>> made;
    const char* const devices[] = {"SnsPort", "KksPort", "SonPort"};
    for (int i = 0; i < records && withRecords; ++i)
        made.push_back(record::CWatchRecord::Create(options.folder, devices[i], record::NowMillis()));
    std::vector<std::thread> feeders;
    std::vector<double> feederCpu(records);
    for (int i = 0; i < records; ++i) {
        feeders.emplace_back([&, i] {
            Clock::time_point due = Clock::now();
            for (std::uint64_t at = 0; at < feed.bytes; at += feed.readSize) {
                if (feed.interval.count() > 0) {
                    due += feed.interval;
                    std::this_thread::sleep_until(due);
                }
                if (withRecords)
                    made[i]->Append(At(at), feed.readSize, record::NowMillis());
            }
            timespec cpu{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
            feederCpu[i] = cpu.tv_sec + cpu.tv_nsec / 1e9;
        });
    }
    for (std::thread& feeder : feeders)
        feeder.join();
    std::size_t index = 0;
    std::uint64_t lines = 0, timesBytes = 0;
    for (const auto& r : made) {
        r->Close(record::NowMillis());
        r->WaitClosed();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - startCpu;
    const double peakRss = ResidentMB("VmHWM:");
    bool whole = true;
    for (const auto& r : made) {
        index += r->IndexMemory();
        lines += r->LineCount();
        timesBytes += std::filesystem::file_size(r->BytesPath().substr(0, r->BytesPath().size() - 4) + ".times");
        whole = whole && !r->Failure() && r->Written() == feed.bytes && (!options.check || Matches(*r, feed.bytes));
        if (r->Failure())
            std::printf("  failed: %s\n", r->Failure().text.c_str());
    }
    const double total = static_cast<double>(feed.bytes) * records;
    std::printf("%s\n", title);
    std::printf("  %.3f MB in %.2f s: %.3f MB/s\n", total / kMB, seconds, total / kMB / seconds);
    double feeding = 0;
    for (const double c : feederCpu)
        feeding += c;
    std::printf("  CPU %.2f s, %.2f %% of the wall time; the feeding threads (Append in them) %.2f s, the rest "
                "(the records' writers) %.2f s\n",
                cpu, 100 * cpu / seconds, feeding, cpu - feeding);
    std::printf("  peak resident memory %.1f MB above the start (%.1f MB at start)\n", peakRss - startRss, startRss);
    if (withRecords) {
        std::printf("  index %.1f kB for %llu lines; times file %.2f bytes a line\n", index / 1e3,
                    static_cast<unsigned long long>(lines), lines ? static_cast<double>(timesBytes) / lines : 0.0);
        std::printf("  records %s\n", !options.check ? "not checked" : whole ? "byte for byte as appended" : "DIFFER");
    }
    std::fflush(stdout);
    for (const auto& r : made) {
        std::filesystem::remove(r->BytesPath());
        std::filesystem::remove(r->BytesPath().substr(0, r->BytesPath().size() - 4) + ".times");
    }
    if (!whole)
        std::exit(1);
}

// Runs a case in a child process, so its memory and CPU are its own.
bool InChild(const char* title, const Options& options, int records, bool withRecords, const Feed& feed)
{
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        RunCase(title, options, records, withRecords, feed);
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc || (i < argc && std::strcmp(argv[i], "--no-check") == 0); ++i) {
        if (std::strcmp(argv[i], "--gigabytes") == 0)
            options.gigabytes = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--paced-seconds") == 0)
            options.pacedSeconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--folder") == 0)
            options.folder = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0)
            options.only = argv[++i];
        else if (std::strcmp(argv[i], "--no-check") == 0)
            options.check = false;
    }
    std::string made;
    if (options.folder.empty()) {
        made = (std::filesystem::temp_directory_path() / "orvel-bench-record-XXXXXX").string();
        if (!::mkdtemp(made.data()))
            return 1;
        options.folder = made;
    }
    Text();
    std::printf("records in %s\n", options.folder.c_str());
    const auto flood = static_cast<std::uint64_t>(options.gigabytes * 1e9) / 256 * 256;
    const std::uint64_t pacedReads = static_cast<std::uint64_t>(options.pacedSeconds * 11520 / 64);
    const auto pace = std::chrono::nanoseconds(1000000000LL * 64 / 11520);
    const auto wanted = [&](const char* which) { return options.only.empty() || options.only == which; };
    bool ok = true;
    if (wanted("flood")) {
        ok = InChild("flood: 1 record, 256-byte reads", options, 1, true, {256, flood, {}}) && ok;
        ok = InChild("flood: 3 records, 256-byte reads, a thread each", options, 3, true, {256, flood, {}}) && ok;
    }
    if (wanted("paced"))
        ok = InChild("paced: 3 records at 11,520 B/s, 64-byte reads", options, 3, true, {64, pacedReads * 64, pace}) && ok;
    if (wanted("paced") || wanted("unrecorded"))
        ok = InChild("paced: the same reads, no records", options, 3, false, {64, pacedReads * 64, pace}) && ok;
    if (!made.empty())
        std::filesystem::remove_all(made);
    return ok ? 0 : 1;
}
