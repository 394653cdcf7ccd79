// The record on Linux: where it lives and that only its user can read it; a
// file-size limit stops the record and not the reads (a full disk fails the
// same writes, with ENOSPC); a program killed with SIGKILL leaves every byte
// it had written, and nothing else: the process to kill is this test program
// started again on its DISABLED_ test.

#include "ChildProcess.h"
#include "FileSizeLimit.h"
#include "RecordFolder.h"
#include "RecordTestSupport.h"
#include "Retention.h"
#include "WatchRecord.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace record;
using namespace recordtest;

namespace {

const Millis kOpen = 1700000000000;
const char kFolderVariable[] = "ORVEL_RECORD_TEST_FOLDER";

mode_t ModeOf(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// This test program again, running only `test`, with `folder` in its
// environment; its output is the child's reader.
devsimtest::CChild StartChild(const std::string& test, const std::string& folder)
{
    ::setenv(kFolderVariable, folder.c_str(), 1);
    return devsimtest::CChild({"/proc/self/exe", "--gtest_also_run_disabled_tests", "--gtest_filter=" + test}, true);
}

// A record in `folder` where only about `room` bytes fit: 100 kB appended and
// written, then a flood. The record stops with `error` and says so once; the
// appends go on; what stays readable is exactly the file, a prefix of what was
// appended, with its lines and their times.
void ExpectTheRecordStopsAndTheReadsGoOn(const std::string& folder, std::size_t room, int error)
{
    ::testing::internal::CaptureStderr();
    const auto record = CWatchRecord::Create(folder, "SnsPort", kOpen);
    const std::string bytes = Text(0, 8 * room);
    record->Append(bytes.data(), 100000, kOpen + 1);
    record->Flush();
    ASSERT_EQ(record->Written(), 100000u);
    for (std::size_t at = 100000; at < bytes.size(); at += 256)
        record->Append(bytes.data() + at, std::min<std::size_t>(256, bytes.size() - at), kOpen + 2);
    record->Flush();
    const RecordFailure failure = record->Failure();
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(failure.step, RecordFailure::Step::Write);
    EXPECT_EQ(failure.error, error);
    EXPECT_EQ(failure.text, "write SnsPort-" + LocalStamp(kOpen) + ".log: " + SystemErrorText(error));
    EXPECT_EQ(said, "OrvelConfigurator: the record SnsPort-" + LocalStamp(kOpen) + " stopped: " + failure.text + "\n");

    const std::uint64_t written = record->Written();
    EXPECT_GE(written, 100000u);
    EXPECT_LE(written, room);
    for (int i = 0; i < 100; ++i)
        record->Append(bytes.data(), 65536, kOpen + 3);
    record->NoteLost(kOpen + 4);
    record->Close(kOpen + 5);
    record->WaitClosed();
    EXPECT_EQ(record->Written(), written);
    const std::string kept = bytes.substr(0, static_cast<std::size_t>(written));
    EXPECT_TRUE(WholeFile(record->BytesPath()) == kept);
    EXPECT_TRUE(ReadAll(*record) == kept);
    const std::size_t lines = LineBegins(kept).size();
    EXPECT_EQ(record->LineCount(), lines);
    const DecodedTimes times = DecodeTimesFile(TimesPathOf(record->BytesPath()));
    EXPECT_FALSE(times.bad);
    EXPECT_EQ(times.unread, 0u);
    EXPECT_EQ(times.lines, record->LineTimes(0, lines));
    // Nothing after the failure, not even the loss and the close.
    EXPECT_EQ(times.events, (std::vector<std::tuple<EventKind, Millis, std::uint64_t>>{{EventKind::Open, kOpen, 0}}));
    EXPECT_EQ(record->Events(), (std::vector<RecordEvent>{{EventKind::Open, kOpen, 0, 0}}));
}

} // namespace

TEST(RecordFolder, UnderTheStateHomeOrTheHomeFolder)
{
    const CEnv home("HOME", "/home/operator");
    CEnv state("XDG_STATE_HOME", "/var/state");
    EXPECT_EQ(RecordsFolder(), "/var/state/OrvelConfigurator/records");
    state.Set("relative/state");
    EXPECT_EQ(RecordsFolder(), "/home/operator/.local/state/OrvelConfigurator/records");
    state.Set("");
    EXPECT_EQ(RecordsFolder(), "/home/operator/.local/state/OrvelConfigurator/records");
    state.Set(nullptr);
    EXPECT_EQ(RecordsFolder(), "/home/operator/.local/state/OrvelConfigurator/records");
}

// Folders made for records are the user's only, an existing records folder
// is made so, and the files are too; a records folder that is a symbolic
// link, or another user's, is refused.
TEST(RecordFolder, OnlyTheUserReadsTheRecords)
{
    CTempFolder temp;
    const std::string state = temp.File("state");
    const std::string folder = state + "/OrvelConfigurator/records";
    const mode_t umask = ::umask(0);
    auto record = CWatchRecord::Create(folder, "SnsPort", kOpen);
    record->Flush();
    ::umask(umask);
    for (const std::string& made : {state, state + "/OrvelConfigurator", folder})
        EXPECT_EQ(ModeOf(made), 0700u) << made;
    EXPECT_EQ(ModeOf(record->BytesPath()), 0600u);
    EXPECT_EQ(ModeOf(TimesPathOf(record->BytesPath())), 0600u);

    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    record = CWatchRecord::Create(folder, "KksPort", kOpen);
    record->Flush();
    EXPECT_FALSE(record->Failure());
    EXPECT_EQ(ModeOf(folder), 0700u);

    std::filesystem::create_directory(temp.File("elsewhere"));
    std::filesystem::create_directory_symlink(temp.File("elsewhere"), temp.File("linked"));
    record = CWatchRecord::Create(temp.File("linked"), "SnsPort", kOpen);
    record->Flush();
    EXPECT_EQ(record->Failure().step, RecordFailure::Step::Folder);
    EXPECT_EQ(record->Failure().error, ENOTDIR);
    EXPECT_TRUE(std::filesystem::is_empty(temp.File("elsewhere")));

    if (::geteuid() == 0) {  // only root can give a folder away
        std::filesystem::create_directory(temp.File("theirs"));
        ASSERT_EQ(::chown(temp.File("theirs").c_str(), 65534, 65534), 0);
        record = CWatchRecord::Create(temp.File("theirs"), "SnsPort", kOpen);
        record->Flush();
        EXPECT_EQ(record->Failure().step, RecordFailure::Step::Folder);
        EXPECT_EQ(record->Failure().text, "not a folder of this user: " + temp.File("theirs") + ": " +
                                               SystemErrorText(EPERM));
        EXPECT_TRUE(std::filesystem::is_empty(temp.File("theirs")));
    }
}

// A record held open by a running program stays, however old: retention
// tries it once and says so.
TEST(Retention, AnOpenRecordPastTheAgeLimitStays)
{
    CTempFolder temp;
    const auto record = CWatchRecord::Create(temp.Path(), "SnsPort", kOpen);
    record->Append("$x\r\n", 4, kOpen + 1);
    record->Flush();
    const std::string path = record->BytesPath();
    const timespec old[2] = {{0, UTIME_OMIT}, {1000000000, 0}};  // 2001
    for (const std::string& file : {path, TimesPathOf(path)})
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    const PruneResult result = PruneRecords(temp.Path(), NowMillis(), DaysToMillis(30), 1);
    EXPECT_TRUE(result.removed.empty());
    EXPECT_EQ(result.inUse, std::vector<std::string>{std::filesystem::path(path).stem().string()});
    EXPECT_EQ(WholeFile(path), "$x\r\n");
}

// The process may write no file beyond 300 kB: writes fail with EFBIG (the
// record ignores SIGXFSZ, which would end the process).
TEST(WatchRecordLimits, AFileSizeLimitStopsTheRecordNotTheReads)
{
    CTempFolder temp;
    testsupport::CFileSizeLimit limit;
    ASSERT_TRUE(limit.Set(300000));
    ExpectTheRecordStopsAndTheReadsGoOn(temp.Path(), 300000, EFBIG);
}

// The child of the kill test; reports on standard output.
TEST(RecordChild, DISABLED_AppendsAndReportsWhatIsWritten)
{
    const char* folder = std::getenv(kFolderVariable);
    ASSERT_TRUE(folder);
    AppendAndReportWhatIsWritten(folder, [](std::uint64_t written) {
        return std::printf("written %llu\n", static_cast<unsigned long long>(written)) > 0 && std::fflush(stdout) == 0;
    });
}

// kill -9 in the middle of a flood of reads: the record keeps at least what
// the program had seen written, and is exactly the bytes appended up to
// where it ends; its times are whole entries. The next start keeps it.
TEST(WatchRecord, AKilledProgramLeavesEveryByteItHadWritten)
{
    CTempFolder temp;
    devsimtest::CChild child = StartChild("RecordChild.DISABLED_AppendsAndReportsWhatIsWritten", temp.Path());
    std::uint64_t reported = 0;
    for (int reports = 0; reports < 20; ++reports) {
        const std::optional<std::string> report = child.WaitFor("written ");
        ASSERT_TRUE(report);
        reported = std::stoull(report->substr(8));
    }
    child.Signal(SIGKILL);
    ASSERT_EQ(child.Wait(), 128 + SIGKILL);

    const std::string bytesPath = ExpectTheKilledChildsRecordWhole(temp.Path(), reported);
    const std::string bytes = WholeFile(bytesPath);
    const PruneResult kept = PruneRecords(temp.Path(), NowMillis(), DaysToMillis(30), MebibytesToBytes(2048));
    EXPECT_TRUE(kept.removed.empty());
    EXPECT_EQ(WholeFile(bytesPath), bytes);
}
