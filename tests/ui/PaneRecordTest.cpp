// A record is saved as an editor saves a file: a new one with what the umask
// leaves of 0666, a replaced one with its own permissions, and a symbolic
// link saved through to the file it names, the link left as it was.

#include <PaneRecord.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testsupport::FileBytes;

namespace {

void MakeFile(const std::string& path, mode_t mode)
{
    std::ofstream(path) << "old";
    fs::permissions(path, static_cast<fs::perms>(mode));
}

// Every name below `folder`, links as links.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(PaneRecord, SavedWithTheUmaskOrTheReplacedFilesModeAndThroughLinks)
{
    using Names = std::vector<std::string>;
    struct Case
    {
        const char* what;
        mode_t umask;
        std::function<void(const testsupport::TempDir&)> before;  // what the folder holds
        const char* written;                                       // where "a.log" is saved to
        mode_t mode;
        Names after;  // the folder's names
    };
    const auto none = [](const testsupport::TempDir&) {};
    const auto file = [](mode_t mode) {
        return [mode](const testsupport::TempDir& dir) { MakeFile(dir.File("a.log"), mode); };
    };
    const auto linkTo = [](const char* target, mode_t mode) {
        return [target, mode](const testsupport::TempDir& dir) {
            fs::create_directory(dir.File("other"));
            MakeFile(dir.File("other/b.log"), mode);
            fs::create_symlink(target, dir.File("a.log"));
        };
    };
    const Case cases[] = {
        {"new, umask 022", 022, none, "a.log", 0644, {"a.log"}},
        {"new, umask 077", 077, none, "a.log", 0600, {"a.log"}},
        {"new, umask 002", 002, none, "a.log", 0664, {"a.log"}},
        {"replacing an owner-only file", 022, file(0600), "a.log", 0600, {"a.log"}},
        {"replacing a group-readable file", 077, file(0640), "a.log", 0640, {"a.log"}},
        {"a link to a file in another folder", 022, linkTo("other/b.log", 0600), "other/b.log", 0600,
         {"a.log", "other", "other/b.log"}},
        {"a link to a link", 077,
         [](const testsupport::TempDir& dir) {
             fs::create_directory(dir.File("other"));
             MakeFile(dir.File("other/b.log"), 0604);
             fs::create_symlink("b.log", dir.File("other/link"));
             fs::create_symlink(dir.File("other/link"), dir.File("a.log"));
         },
         "other/b.log", 0604, {"a.log", "other", "other/b.log", "other/link"}},
        {"a link to no file yet", 027,
         [](const testsupport::TempDir& dir) {
             fs::create_directory(dir.File("other"));
             fs::create_symlink("other/new.log", dir.File("a.log"));
         },
         "other/new.log", 0640, {"a.log", "other", "other/new.log"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        c.before(dir);
        const std::string chosen = dir.File("a.log");
        const bool link = fs::is_symlink(chosen);
        const fs::path linkTarget = link ? fs::read_symlink(chosen) : fs::path();
        const mode_t umask = ::umask(c.umask);
        const std::string error = ui::WriteRecord("x\ny", chosen);
        ::umask(umask);
        EXPECT_EQ(error, "");
        EXPECT_EQ(FileBytes(dir.File(c.written)), "x\r\ny");
        struct stat st {};
        ASSERT_EQ(::stat(dir.File(c.written).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        std::error_code notALink;
        EXPECT_EQ(fs::read_symlink(chosen, notALink), linkTarget) << "the link as it was";
        EXPECT_EQ(Listing(dir.Path()), c.after) << "nothing left beside";
    }
}

// Links that lead round in a loop: nothing is written.
TEST(PaneRecord, LinksInALoopAreRefused)
{
    testsupport::TempDir dir;
    fs::create_symlink("b.log", dir.File("a.log"));
    fs::create_symlink("a.log", dir.File("b.log"));
    EXPECT_EQ(ui::WriteRecord("x", dir.File("a.log")).rfind("cannot follow the link: ", 0), 0u);
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a.log", "b.log"}));
}
