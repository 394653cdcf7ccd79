// bench_traffic [seconds of traffic, default 600]
// What the sentence summary costs the window: three channels, each at the
// full 11,520 B/s of 115200 bit/s, of sentences of a busy receiver (GGA,
// RMC, HDT, GSV in groups, AIS) and a sounder's, cut into reads of up to
// 256 bytes; each line's bytes go to a CSentenceCheck as they come, each
// complete line to the channel's CSentenceSummary, and its rows are read
// once a simulated second. Then the same bytes through a CBaudSearch, and
// a line-less flood of text as a device at the wrong rate sends it. Prints
// CPU nanoseconds per byte and the share of one core the summary takes at
// 3 x 11,520 B/s.
#include "BaudSearch.h"
#include "NmeaChecksum.h"
#include "SentenceSummary.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBytesPerSecond = 11520;
constexpr std::size_t kRead = 256;

double CpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string Sentence(const std::string& body)
{
    return commands::WithNmeaChecksum("$" + body) + "\r\n";
}

// One second of a channel's talk, exactly kBytesPerSecond bytes.
std::string Second(int channel, int second)
{
    std::string bytes;
    const std::string time = std::to_string(120000 + second % 6000) + ".00";
    while (bytes.size() < kBytesPerSecond) {
        if (channel == 2) {
            bytes += Sentence("SDDBT,78.7,f,24.0,M,13.1,F") + Sentence("SDDPT,24.0,0.5,100");
            continue;
        }
        bytes += Sentence("GPGGA," + time + ",5957.1234,N,03019.5678,E,1,08,0.9,12.4,M,15.1,M,,");
        bytes += Sentence("GPRMC," + time + ",A,5957.1234,N,03019.5678,E,12.4,084.4,230394,003.1,W");
        bytes += Sentence("GPHDT,84.4,T");
        for (int i = 1; i <= 3; ++i)
            bytes += Sentence("GPGSV,3," + std::to_string(i) + ",12,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45");
        bytes += commands::WithNmeaChecksum("!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0") + "\r\n";
    }
    bytes.resize(kBytesPerSecond);
    return bytes;
}

// The pane's side: lines cut at CR or LF, each line's bytes checked as they come.
struct CChannel
{
    traffic::CSentenceSummary summary;
    commands::CSentenceCheck check;

    void Read(const char* data, std::size_t size, traffic::CSentenceSummary::Clock::time_point now)
    {
        std::size_t start = 0;
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] != '\r' && data[i] != '\n')
                continue;
            check.Add(data + start, i - start);
            summary.Add(check, now);
            check = commands::CSentenceCheck();
            start = i + 1;
        }
        check.Add(data + start, size - start);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    std::vector<std::string> talk[3];
    for (int channel = 0; channel < 3; ++channel) {
        for (int second = 0; second < 60; ++second)
            talk[channel].push_back(Second(channel, second));
    }
    const double totalBytes = 3.0 * kBytesPerSecond * seconds;

    // Splitting the lines alone, which the pane does anyway.
    std::size_t breaks = 0;
    double start = CpuSeconds();
    for (int second = 0; second < seconds; ++second) {
        for (int channel = 0; channel < 3; ++channel) {
            for (const char c : talk[channel][second % 60])
                breaks += c == '\n';
        }
    }
    const double splitting = CpuSeconds() - start;

    CChannel channels[3];
    std::size_t rows = 0;
    auto now = traffic::CSentenceSummary::Clock::time_point() + std::chrono::hours(1);
    start = CpuSeconds();
    for (int second = 0; second < seconds; ++second) {
        for (CChannel& channel : channels) {
            const std::string& bytes = talk[&channel - channels][second % 60];
            for (std::size_t from = 0; from < bytes.size(); from += kRead) {
                now += std::chrono::milliseconds(3);
                channel.Read(bytes.data() + from, std::min(kRead, bytes.size() - from), now);
            }
            rows += channel.summary.Rows(now).size();
        }
    }
    const double summary = CpuSeconds() - start;

    traffic::CBaudSearch search({4800, 9600, 38400, 115200});
    search.Start(9600, now);
    start = CpuSeconds();
    for (int second = 0; second < seconds; ++second) {
        for (int channel = 0; channel < 3; ++channel) {
            const std::string& bytes = talk[channel][second % 60];
            for (std::size_t from = 0; from < bytes.size(); from += kRead)
                search.OnBytes(bytes.data() + from, std::min(kRead, bytes.size() - from));
        }
    }
    const double searching = CpuSeconds() - start;

    const std::string flood(kRead, '\xE0');  // one line that never ends
    commands::CSentenceCheck endless;
    start = CpuSeconds();
    for (double sent = 0; sent < totalBytes; sent += kRead)
        endless.Add(flood.data(), flood.size());
    const double text = CpuSeconds() - start;

    std::printf("%d s of 3 x %zu B/s: %.1f MB, %zu lines, %zu rows read\n", seconds, kBytesPerSecond, totalBytes / 1e6,
                breaks, rows);
    std::printf("  splitting lines only    %6.2f ns/byte\n", splitting / totalBytes * 1e9);
    std::printf("  check + summary         %6.2f ns/byte, %.4f %% of a core at 3 x 11,520 B/s\n",
                summary / totalBytes * 1e9, summary / seconds * 100);
    std::printf("  baud search OnBytes     %6.2f ns/byte\n", searching / totalBytes * 1e9);
    std::printf("  check of a text flood   %6.3f ns/byte (%d)\n", text / totalBytes * 1e9,
                static_cast<int>(endless.GetKind()));
    return 0;
}
