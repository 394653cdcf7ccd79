// Retention on a real records folder: exactly the records past the age
// limit, then the oldest beyond the size limit, go; a record open in a
// running program stays, and so does everything that is not a record.
// Built for Linux and for Windows (run under Wine).

#include "RecordFolder.h"
#include "RecordName.h"
#include "RecordTestSupport.h"
#include "Retention.h"
#include "WatchRecord.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

using namespace record;
using namespace recordtest;
namespace fs = std::filesystem;

namespace {

constexpr Millis kDay = 24 * 3600 * 1000;

void SetAge(const std::string& path, int days)
{
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * days));
}

// Every file and folder name in `folder`.
std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(Retention, RemovesTheOldThenTheOldestOverTheLimitAndNothingElse)
{
    CTempFolder temp;
    const std::string folder = temp.Path();
    // Records: base name, bytes file size (-1: none), times file size, age in days.
    const struct { const char* base; int bytes, times, age; } records[] = {
        {"SnsPort-20240101-000000", 1000, 100, 40},    // too old
        {"KksPort-20240102-000000", -1, 100, 35},      // too old, its bytes file gone already
        {"SonPort-20240301-000000-2", 5000, 300, 20},  // the oldest over the size limit
        {"SnsPort-20240305-000000", 3000, 200, 10},
        {"SnsPort-20240310-000000", 2000, 100, 1},
    };
    for (const auto& r : records) {
        if (r.bytes >= 0) {
            WriteFile(InFolder(folder, r.base + std::string(kBytesExtension)), std::string(r.bytes, 'b'));
            SetAge(InFolder(folder, r.base + std::string(kBytesExtension)), r.age);
        }
        WriteFile(InFolder(folder, r.base + std::string(kTimesExtension)), std::string(r.times, 't'));
        SetAge(InFolder(folder, r.base + std::string(kTimesExtension)), r.age);
    }
    // Old files that only look like records, and a folder named like one.
    // (Which names are records is RecordName's test.)
    const char* const others[] = {"notes.txt", "SnsPort-20240101-000000.log.bak", "SnsPort-20240101-000000-1.log"};
    for (const char* other : others) {
        WriteFile(InFolder(folder, other), std::string(100000, 'o'));
        SetAge(InFolder(folder, other), 100);
    }
    fs::create_directory(InFolder(folder, "KksPort-20230101-000000.log"));
    WriteFile(InFolder(InFolder(folder, "KksPort-20230101-000000.log"), "inside"), "kept");
    // A record open in this program, the newest.
    auto open = CWatchRecord::Create(folder, "SonPort", NowMillis());
    open->Append("$open\r\n", 7, NowMillis());
    open->Flush();
    const std::string openPath = open->BytesPath();
    const std::string openBase = fs::path(openPath).stem().string();
    const std::uint64_t openSize = fs::file_size(openPath) + fs::file_size(InFolder(folder, openBase + kTimesExtension));

    const std::set<std::string> before = Names(folder);
    const PruneResult result = PruneRecords(folder, NowMillis(), 30 * kDay, 3000 + 200 + 2000 + 100 + openSize + 5000);

    EXPECT_EQ(result.removed, (std::vector<std::string>{"SnsPort-20240101-000000", "KksPort-20240102-000000",
                                                        "SonPort-20240301-000000-2"}));
    EXPECT_TRUE(result.inUse.empty());
    EXPECT_TRUE(result.failed.empty());
    EXPECT_EQ(result.keptBytes, 3000u + 200 + 2000 + 100 + openSize);
    std::set<std::string> expected = before;
    for (const char* gone : {"SnsPort-20240101-000000.log", "SnsPort-20240101-000000.times",
                             "KksPort-20240102-000000.times", "SonPort-20240301-000000-2.log",
                             "SonPort-20240301-000000-2.times"})
        expected.erase(gone);
    EXPECT_EQ(Names(folder), expected);
    EXPECT_EQ(WholeFile(InFolder(InFolder(folder, "KksPort-20230101-000000.log"), "inside")), "kept");

    // Over any limit, the open record stays, the others go, oldest first;
    // closed but still held (a pane shows it), it stays; let go, it goes.
    const PruneResult overLimit = PruneRecords(folder, NowMillis(), 30 * kDay, 1);
    EXPECT_EQ(overLimit.removed, (std::vector<std::string>{"SnsPort-20240305-000000", "SnsPort-20240310-000000"}));
    EXPECT_EQ(overLimit.inUse, std::vector<std::string>{openBase});
    EXPECT_EQ(overLimit.keptBytes, openSize);
    open->Close(NowMillis());
    open->WaitClosed();
    EXPECT_EQ(PruneRecords(folder, NowMillis(), 30 * kDay, 1).inUse, std::vector<std::string>{openBase});
    EXPECT_TRUE(fs::exists(openPath));
    open.reset();
    // No limits: nothing goes.
    EXPECT_TRUE(PruneRecords(folder, NowMillis() + 1000 * kDay, 0, 0).removed.empty());
    EXPECT_EQ(PruneRecords(folder, NowMillis(), 30 * kDay, 1).removed, std::vector<std::string>{openBase});
    EXPECT_TRUE(PruneRecords(temp.File("missing"), NowMillis(), kDay, 1).removed.empty());
    EXPECT_EQ(Names(folder).size(), std::size(others) + 1);
}
