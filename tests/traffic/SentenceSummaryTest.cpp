#include "SentenceSummary.h"

#include "NmeaChecksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using commands::CSentenceCheck;
using traffic::CSentenceSummary;
using Clock = CSentenceSummary::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

const Clock::time_point kStart = Clock::time_point() + std::chrono::hours(1);

std::string Sentence(const std::string& body)
{
    return commands::WithNmeaChecksum("$" + body) + "\r\n";
}

// Received lines as the pane hands them over: each line, ended by CR, LF or
// CR LF, checked whole and given with the moment of the read that ended it.
// (Lines cut across reads are the sentence check's test, and the pane's.)
void Receive(CSentenceSummary& summary, const std::string& bytes, Clock::time_point at)
{
    for (std::size_t from = 0, end; (end = bytes.find_first_of("\r\n", from)) != std::string::npos;) {
        CSentenceCheck check;
        check.Add(bytes.data() + from, end - from);
        summary.Add(check, at);
        from = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

const CSentenceSummary::Row* Find(const std::vector<CSentenceSummary::Row>& rows, const std::string& type)
{
    for (const auto& row : rows) {
        if (row.type == type)
            return &row;
    }
    return nullptr;
}

} // namespace

// Twenty seconds of a receiver: GGA (every fifth broken) and RMC each
// second, DBT without a checksum every other second, AIS twice, and a line
// of text each second, which is no sentence.
TEST(SentenceSummary, CountsRatesAndChecksumsPerType)
{
    CSentenceSummary summary;
    for (int k = 0; k < 20; ++k) {
        std::string gga = Sentence("GPGGA,1235" + std::to_string(10 + k) + ",4807.038,N,01131.000,E,1,08");
        if (k % 5 == 4)
            gga[gga.size() - 3] = gga[gga.size() - 3] == '0' ? '1' : '0';
        std::string burst = gga + Sentence("GPRMC,1235" + std::to_string(10 + k) + ",A") + "Receiver ready\r\n";
        if (k % 2 == 0)
            burst += "$SDDBT,78.7,f,24.0,M,13.1,F\n";
        if (k == 7 || k == 15)
            burst += commands::WithNmeaChecksum("!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0") + "\r";
        Receive(summary, burst, kStart + seconds(k) + milliseconds(300));
    }

    const auto rows = summary.Rows(kStart + milliseconds(19500));
    std::vector<std::string> types;
    for (const auto& row : rows)
        types.push_back(row.type);
    ASSERT_EQ(types, (std::vector<std::string>{"!AIVDM", "GPGGA", "GPRMC", "SDDBT"}));
    const struct
    {
        std::string type;
        std::uint64_t count, bad, without;
        double perSecond;
        milliseconds sinceLast;
    } kExpected[] = {
        // Over the last 10 s, (9.5 s, 19.5 s]: GGA and RMC at 10.3 ... 19.3,
        // DBT at 10.3, 12.3 ... 18.3, AIS at 15.3.
        {"!AIVDM", 2, 0, 0, 0.1, milliseconds(4200)},
        {"GPGGA", 20, 4, 0, 1.0, milliseconds(200)},
        {"GPRMC", 20, 0, 0, 1.0, milliseconds(200)},
        {"SDDBT", 10, 0, 10, 0.5, milliseconds(1200)},
    };
    for (const auto& e : kExpected) {
        const auto* row = Find(rows, e.type);
        ASSERT_TRUE(row) << e.type;
        EXPECT_EQ(row->count, e.count) << e.type;
        EXPECT_EQ(row->badChecksums, e.bad) << e.type;
        EXPECT_EQ(row->withoutChecksum, e.without) << e.type;
        EXPECT_EQ(row->noChecksum, e.without == e.count) << e.type;
        EXPECT_DOUBLE_EQ(row->perSecond, e.perSecond) << e.type;
        EXPECT_EQ(row->sinceLast, e.sinceLast) << e.type;
        EXPECT_FALSE(row->stopped) << e.type;
    }
    EXPECT_EQ(Find(rows, "GPGGA")->usualInterval, Clock::duration(seconds(1)));
    EXPECT_EQ(Find(rows, "SDDBT")->usualInterval, Clock::duration(seconds(2)));
}

// GGA once a second, GSV in groups of three 150 ms apart, PCSI once. A type
// is stopped once it has been away three usual intervals: GGA's second,
// GSV's pause of 0.7 s (not its 0.15 s within a group); a type seen once
// never is. GGA's stop of 20 s does not become its usual interval when it
// resumes. The rate over the last 10 s follows.
TEST(SentenceSummary, TypeIsStoppedAfterThreeUsualIntervalsAndNotOnceItResumes)
{
    CSentenceSummary summary;
    for (int k = 0; k < 10; ++k) {
        const Clock::time_point second = kStart + seconds(k);
        Receive(summary, Sentence("GPGGA,1"), second);
        for (int i = 0; i < 3; ++i)
            Receive(summary, Sentence("GPGSV,3," + std::to_string(i + 1) + ",09"), second + milliseconds(150 * i));
    }
    Receive(summary, Sentence("PCSI,1"), kStart + seconds(2));

    const auto at = [&](milliseconds sinceStart) { return summary.Rows(kStart + sinceStart); };
    const struct
    {
        milliseconds when;
        bool ggaStopped, gsvStopped;
        double ggaRate, gsvRate;
    } kMoments[] = {
        // The rate counts arrivals in the last 100 slots of 100 ms: at 11.2 s
        // those from 1.3 s on.
        {milliseconds(9500), false, false, 1.0, 3.0},
        {milliseconds(11200), false, false, 0.8, 2.5},   // GSV last at 9.3: 1.9 s away
        {milliseconds(11500), false, true, 0.8, 2.4},    // 2.2 s > 3 x 0.7 s
        {milliseconds(11900), false, true, 0.8, 2.4},    // GGA last at 9.0: 2.9 s away
        {milliseconds(12100), true, true, 0.7, 2.2},
        {milliseconds(19500), true, true, 0.0, 0.0},
    };
    for (const auto& m : kMoments) {
        const auto rows = at(m.when);
        EXPECT_EQ(Find(rows, "GPGGA")->stopped, m.ggaStopped) << m.when.count();
        EXPECT_EQ(Find(rows, "GPGSV")->stopped, m.gsvStopped) << m.when.count();
        EXPECT_DOUBLE_EQ(Find(rows, "GPGGA")->perSecond, m.ggaRate) << m.when.count();
        EXPECT_DOUBLE_EQ(Find(rows, "GPGSV")->perSecond, m.gsvRate) << m.when.count();
        EXPECT_FALSE(Find(rows, "PCSI")->stopped) << m.when.count();
        EXPECT_FALSE(Find(rows, "PCSI")->usualInterval) << m.when.count();
    }

    Receive(summary, Sentence("GPGGA,1"), kStart + seconds(30));
    EXPECT_FALSE(Find(at(milliseconds(32900)), "GPGGA")->stopped);
    EXPECT_EQ(Find(at(milliseconds(32900)), "GPGGA")->usualInterval, Clock::duration(seconds(1)));
    EXPECT_DOUBLE_EQ(Find(at(milliseconds(32900)), "GPGGA")->perSecond, 0.1);
    EXPECT_TRUE(Find(at(milliseconds(33100)), "GPGGA")->stopped);
    Receive(summary, Sentence("GPGGA,1"), kStart + milliseconds(33500));
    EXPECT_FALSE(Find(at(milliseconds(33600)), "GPGGA")->stopped) << "back";
}

// Lines of one read share their moment: two GSV of one read make no gap of
// zero, which would make the type stop the moment time moved on.
TEST(SentenceSummary, LinesOfOneReadMakeNoGap)
{
    CSentenceSummary summary;
    Receive(summary, Sentence("GPGSV,2,1,08") + Sentence("GPGSV,2,2,08"), kStart);
    auto rows = summary.Rows(kStart + seconds(5));
    EXPECT_EQ(rows.at(0).count, 2u);
    EXPECT_FALSE(rows.at(0).usualInterval);
    EXPECT_FALSE(rows.at(0).stopped);
    Receive(summary, Sentence("GPGSV,2,1,08") + Sentence("GPGSV,2,2,08"), kStart + seconds(1));
    rows = summary.Rows(kStart + milliseconds(3900));
    EXPECT_EQ(rows.at(0).usualInterval, Clock::duration(seconds(1)));
    EXPECT_FALSE(rows.at(0).stopped);
}

// However many types a noisy line makes up, the summary holds at most
// kMaxTypes of them and counts the rest, with sentences whose address is
// no address, under the empty type. Clear forgets everything, the rate's
// window included.
TEST(SentenceSummary, HoldsABoundedNumberOfTypesAndClearForgetsAll)
{
    CSentenceSummary summary;
    std::string noise;
    for (int i = 0; i < 200; ++i)
        noise += Sentence(std::string("GP") + char('A' + i % 26) + char('A' + i / 26) + "A,1");
    noise += Sentence("GP GA,1") + Sentence("gpgga,1");
    Receive(summary, noise, kStart);
    auto rows = summary.Rows(kStart + seconds(1));
    ASSERT_EQ(rows.size(), CSentenceSummary::kMaxTypes + 1);
    EXPECT_EQ(rows.front().type, "");
    EXPECT_EQ(rows.front().count, 200 - CSentenceSummary::kMaxTypes + 2);
    std::uint64_t total = 0;
    for (const auto& row : rows)
        total += row.count;
    EXPECT_EQ(total, 202u);

    summary.Clear();
    EXPECT_TRUE(summary.Rows(kStart + seconds(1)).empty());
    Receive(summary, Sentence("GPAAA,1"), kStart + seconds(2));
    rows = summary.Rows(kStart + seconds(3));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].count, 1u);
    EXPECT_DOUBLE_EQ(rows[0].perSecond, 0.1);
    EXPECT_FALSE(rows[0].usualInterval);
}
