// The record on Windows: where it lives, a records folder whose DACL grants
// the user alone, files that no other program may write or remove while a
// record is open, and a killed program's record whole up to where it ends.
// The program to kill is this test program started again on its DISABLED_
// test.

#include "RecordFolder.h"
#include "RecordTestSupport.h"
#include "Retention.h"
#include "WatchRecord.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sddl.h>

using namespace record;
using namespace recordtest;

namespace {

const Millis kOpen = 1700000000000;

std::string SidText(PSID sid)
{
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text))
        return "?";
    const std::string result = text;
    ::LocalFree(text);
    return result;
}

std::string UserSid()
{
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    char buffer[256];
    DWORD size = sizeof buffer;
    const bool read = ::GetTokenInformation(token, TokenUser, buffer, size, &size);
    ::CloseHandle(token);
    return read ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : "";
}

// Whom the DACL of `path` grants what: "<sid> <mask>" per allowing entry,
// and whether it is protected from the folders above.
struct Dacl
{
    std::vector<std::string> allowed;
    bool isProtected = false;
    int others = 0;  // entries of other types
};

Dacl DaclOf(const std::string& path)
{
    Dacl dacl;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return dacl;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    dacl.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        ::GetAce(acl, i, reinterpret_cast<void**>(&header));
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            ++dacl.others;
            continue;
        }
        const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        dacl.allowed.push_back(SidText(const_cast<DWORD*>(&ace->SidStart)) + " " + std::to_string(ace->Mask));
    }
    ::LocalFree(descriptor);
    return dacl;
}

bool UnderWine()
{
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

} // namespace

TEST(RecordFolderWin, UnderTheLocalApplicationData)
{
    {
        const CEnv local("LOCALAPPDATA", "D:\\Users\\operator\\AppData\\Local");
        EXPECT_EQ(RecordsFolder(), "D:\\Users\\operator\\AppData\\Local\\OrvelConfigurator\\records");
    }
    const CEnv none("LOCALAPPDATA", "");
    const std::string folder = RecordsFolder();
    const std::string end = "\\OrvelConfigurator\\records";
    ASSERT_GT(folder.size(), end.size());
    EXPECT_EQ(folder.substr(folder.size() - end.size()), end);
}

// Folders made for records, and the record files, grant the user alone full
// control, protected from what the folders above allow. Wine keeps no DACL
// of its own: it shows the unix mode it made of ours, where an owner-only
// mode reads as the user and SYSTEM; anyone else would be Everyone (WD).
TEST(RecordFolderWin, OnlyTheUserReadsTheRecords)
{
    CTempFolder temp;
    const std::string folder = temp.File("Local\\OrvelConfigurator\\records");
    const auto record = CWatchRecord::Create(folder, "SnsPort", kOpen);
    record->Flush();
    ASSERT_FALSE(record->Failure()) << record->Failure().text;
    const std::string user = UserSid() + " " + std::to_string(FILE_ALL_ACCESS);
    const std::vector<std::string> onlyTheUser =
        UnderWine() ? std::vector<std::string>{"S-1-5-18 " + std::to_string(FILE_ALL_ACCESS), user}
                    : std::vector<std::string>{user};
    for (const std::string& made :
         {temp.File("Local"), folder, record->BytesPath(), TimesPathOf(record->BytesPath())}) {
        const Dacl dacl = DaclOf(made);
        EXPECT_EQ(dacl.allowed, onlyTheUser) << made;
        EXPECT_TRUE(dacl.isProtected || UnderWine()) << made;
        EXPECT_EQ(dacl.others, 0);
    }
}

// While a record is open, other programs may read its files, never write
// or remove them; once it is let go they may.
TEST(WatchRecordWin, AnOpenRecordIsReadableButNotWritableNorRemovable)
{
    CTempFolder temp;
    auto record = CWatchRecord::Create(temp.Path(), "KksPort", kOpen);
    record->Append("$open\r\n", 7, kOpen + 1);
    record->Close(kOpen + 2);
    record->WaitClosed();
    const std::string path = record->BytesPath();
    for (const std::string& file : {path, TimesPathOf(path)}) {
        SCOPED_TRACE(file);
        const HANDLE reader = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        ::CloseHandle(reader);
        EXPECT_EQ(::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(::DeleteFileA(file.c_str()));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(WholeFile(path), "$open\r\n");
    record.reset();
    EXPECT_TRUE(::DeleteFileA(path.c_str()));
}

// The child of the kill test; reports on the descriptor the environment names.
TEST(RecordChildWin, DISABLED_AppendsAndReportsWhatIsWritten)
{
    const char* folder = std::getenv("ORVEL_RECORD_TEST_FOLDER");
    const char* report = std::getenv("ORVEL_RECORD_TEST_REPORT");
    ASSERT_TRUE(folder && report);
    const int fd = std::atoi(report);
    AppendAndReportWhatIsWritten(folder, [fd](std::uint64_t written) {
        return _write(fd, &written, sizeof written) == static_cast<int>(sizeof written);
    });
}

// TerminateProcess in the middle of a flood of reads: the record keeps at
// least what the program had seen written, and is exactly the bytes
// appended up to where it ends; its times are whole entries.
TEST(WatchRecordWin, AKilledProgramLeavesEveryByteItHadWritten)
{
    CTempFolder temp;
    int report[2];
    ASSERT_EQ(_pipe(report, 4096, _O_BINARY), 0);
    const CEnv folder("ORVEL_RECORD_TEST_FOLDER", temp.Path().c_str());
    const CEnv fd("ORVEL_RECORD_TEST_REPORT", std::to_string(report[1]).c_str());
    const intptr_t child = _spawnl(_P_NOWAIT, _pgmptr, _pgmptr, "--gtest_also_run_disabled_tests",
                                   "--gtest_filter=RecordChildWin.DISABLED_AppendsAndReportsWhatIsWritten", nullptr);
    _close(report[1]);
    ASSERT_NE(child, -1);
    std::uint64_t reported = 0;
    for (int reports = 0; reports < 20; ++reports)
        ASSERT_EQ(_read(report[0], &reported, sizeof reported), static_cast<int>(sizeof reported));
    EXPECT_TRUE(::TerminateProcess(reinterpret_cast<HANDLE>(child), 9));
    int status = 0;
    _cwait(&status, child, 0);
    _close(report[0]);
    EXPECT_EQ(status, 9);

    ExpectTheKilledChildsRecordWhole(temp.Path(), reported);
    // Not held by a program any more: retention may take it.
    EXPECT_EQ(PruneRecords(temp.Path(), NowMillis(), DaysToMillis(30), 1).removed.size(), 1u);
}
