// How long finding text in a 100 MB pane takes, and how long the longest
// slice holds the window's thread.
//
//   bench_pane_find [megabytes, default 100] [slice bytes, default CPaneFind::kSliceBytes]
//
// The pane holds NMEA sentences of the three devices, line after line, with
// Russian notes between them, as ui::CPaneText keeps it. Each search runs
// slice by slice, as the window runs it; reported per search: the total
// time, the number of slices and the longest one. Searched: a needle that
// is absent, and one at the very end, forward from the start; the absent
// one also backward from the end. With and without letter case. No
// thresholds.

#include <PaneFind.h>
#include <PaneText.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

void Fill(ui::CPaneText& pane, std::size_t bytes)
{
    const std::string lines[] = {
        "$GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n",
        "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\n",
        "$SDDBT,12.3,f,3.75,M,2.05,F*3A\n",
        // "Отметка: курс 084, глубина 3.75 м" in Windows-1251
        "\xCE\xF2\xEC\xE5\xF2\xEA\xE0: \xEA\xF3\xF0\xF1 084, \xE3\xEB\xF3\xE1\xE8\xED\xE0 3.75 \xEC\n",
    };
    std::string chunk;
    while (chunk.size() < (1u << 20))
        for (const std::string& line : lines)
            chunk += line;
    while (pane.Size() + chunk.size() <= bytes)
        pane.Append(chunk);
    pane.Append(std::string(bytes - pane.Size(), 'x'));
}

void Search(const char* label, const ui::CPaneText& pane, const std::string& needle, std::size_t from,
            ui::CPaneFind::Direction direction, bool matchCase, std::size_t slice)
{
    ui::CPaneFind find(needle, from, direction, {matchCase, false});
    double longest = 0;
    std::size_t slices = 0;
    const Clock::time_point start = Clock::now();
    for (;;) {
        const Clock::time_point sliceStart = Clock::now();
        const ui::CPaneFind::Status status = find.Step(pane, slice);
        longest = std::max(longest, Ms(Clock::now() - sliceStart).count());
        ++slices;
        if (status != ui::CPaneFind::Status::Searching)
            break;
    }
    const double total = Ms(Clock::now() - start).count();
    const bool found = find.GetStatus() == ui::CPaneFind::Status::Found;
    std::printf("%-34s %-10s %8.1f ms in %4zu slices, longest %5.2f ms  (%s)\n", label,
                matchCase ? "case" : "any case", total, slices, longest,
                found ? ("found at " + std::to_string(find.MatchBegin())).c_str() : "not found");
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const std::size_t slice = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : ui::CPaneFind::kSliceBytes;
    ui::CPaneText pane;
    Fill(pane, megabytes << 20);
    const std::string atEnd = "$POACK,END*00";
    pane.Append(atEnd);
    std::printf("pane: %zu bytes, slice: %zu positions\n", pane.Size(), slice);
    using D = ui::CPaneFind::Direction;
    for (const bool matchCase : {true, false}) {
        Search("absent, forward from the start", pane, "$GPXTE", 0, D::Forward, matchCase, slice);
        Search("absent, backward from the end", pane, "$GPXTE", pane.Size(), D::Backward, matchCase, slice);
        Search("at the very end, forward", pane, matchCase ? atEnd : "$poack,end*00", 0, D::Forward, matchCase, slice);
    }
    return 0;
}
