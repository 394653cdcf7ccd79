// The window's files on Windows, on Wine's real file system: a pane's record
// replacing a file whole or not at all, keeping what Windows lets it keep;
// a file read whole to be sent, and what is not a file on a disk refused;
// UTF-8 paths throughout.

#include "WindowWinTest.h"

#include <PaneRecord.h>
#include <Paths.h>
#include <WholeFile.h>

#include <Cp1251.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using wintest::Utf8;
using wintest::Wide;

// A fresh folder with a Cyrillic name under the temporary folder.
class Folder
{
public:
    Folder()
    {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_path = Utf8(temp) + "orvel-файлы-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryW(Wide(m_path).c_str(), nullptr);
    }
    ~Folder()
    {
        for (const std::string& name : Names()) {
            ::SetFileAttributesW(Wide(File(name)).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(Wide(File(name)).c_str());
        }
        ::RemoveDirectoryW(Wide(m_path).c_str());
    }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }
    const std::string& Path() const { return m_path; }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW(Wide(File("*")).c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found)) {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(Utf8(name));
        }
        if (search != INVALID_HANDLE_VALUE)
            ::FindClose(search);
        return names;
    }

private:
    std::string m_path;
};

void Make(const std::string& path, DWORD attributes)
{
    std::ofstream(Wide(path).c_str(), std::ios::binary) << "old";
    ::SetFileAttributesW(Wide(path).c_str(), attributes);
}

TEST(PaneRecordWin, ReplacesWholeOrNotAtAllKeepingTheFilesAttributes)
{
    const std::string record = "$GPHDT,1.0,T*00\n" + text::Utf8ToCp1251("Заметка") + "\nlast";
    const std::string written = "$GPHDT,1.0,T*00\r\n" + text::Utf8ToCp1251("Заметка") + "\r\nlast";
    const struct {
        const char* what;
        DWORD before;    // attributes of the file already there; 0: none
        bool saved;
        DWORD after;     // attributes of what is there afterwards
    } kCases[] = {
        {"a new file", 0, true, 0},
        {"a plain file", FILE_ATTRIBUTE_ARCHIVE, true, 0},
        {"a hidden file stays hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, true, FILE_ATTRIBUTE_HIDDEN},
        {"a read-only file is left alone", FILE_ATTRIBUTE_READONLY, false, FILE_ATTRIBUTE_READONLY},
    };
    for (const auto& c : kCases) {
        const Folder folder;
        const std::string path = folder.File("СНС-запись.log");
        if (c.before)
            Make(path, c.before);
        const std::string error = ui::WriteRecord(record, path);
        EXPECT_EQ(error.empty(), c.saved) << c.what << ": " << error;
        EXPECT_EQ(wintest::FileBytes(std::filesystem::u8path(path)), c.saved ? written : "old") << c.what;
        const DWORD kLooked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
        EXPECT_EQ(::GetFileAttributesW(Wide(path).c_str()) & kLooked, c.after) << c.what;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"СНС-запись.log"}) << c.what << ": a temporary file is left";
    }
}

TEST(PaneRecordWin, AFolderThatIsNotThereIsReported)
{
    const Folder folder;
    const std::string error = ui::WriteRecord("x", folder.File("нет\\a.log"));
    EXPECT_NE(error.find("cannot create a file in the folder: "), std::string::npos) << error;
}

TEST(WholeFileWin, ReadsFilesOnDisksOnly)
{
    const Folder folder;
    std::string binary(70000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i % 253);
    std::ofstream(Wide(folder.File("данные.bin")).c_str(), std::ios::binary) << binary;
    std::ofstream(Wide(folder.File("empty")).c_str(), std::ios::binary);
    // A pipe with a writer that never writes: reading it would never end.
    const std::string pipe = "\\\\.\\pipe\\orvel-files-" + std::to_string(::GetCurrentProcessId());
    const HANDLE server = ::CreateNamedPipeW(Wide(pipe).c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const struct {
        std::string path;
        bool read;
        std::string contents;
    } kCases[] = {
        {folder.File("данные.bin"), true, binary},
        {folder.File("empty"), true, ""},
        {folder.File("missing"), false, ""},
        {folder.Path(), false, ""},  // a folder
        {"NUL", false, ""},          // a device: it would read nothing, or forever
        {pipe, false, ""},
        {"\\\\.\\pipe\\orvel-no-such-pipe", false, ""},
    };
    for (const auto& c : kCases) {
        std::vector<char> contents{'x'};
        std::error_code error;
        EXPECT_EQ(ui::ReadWholeFile(c.path.c_str(), contents, error), c.read) << c.path;
        EXPECT_EQ(static_cast<bool>(error), !c.read) << c.path;
        EXPECT_EQ(std::string(contents.begin(), contents.end()), c.contents) << c.path;
    }
    ::CloseHandle(server);
}

TEST(PathsWin, FoldersAndNamesStayUtf8)
{
    const Folder folder;
    EXPECT_EQ(ui::FolderOf(folder.File("Эхолот.log")), folder.Path());
    EXPECT_EQ(ui::InFolder(folder.Path(), "Эхолот.log"), folder.File("Эхолот.log"));
    EXPECT_FALSE(ui::HomeFolder().empty());
}

} // namespace
