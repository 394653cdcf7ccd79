#include "PaneRecord.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ui {

namespace {

constexpr int kPollInterval = 50;  // ms
constexpr std::size_t kChunk = 1 << 20;

std::string Failure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The bytes with each LF as CR LF, written a chunk at a time.
bool WriteWithCrLf(int fd, const std::string& bytes)
{
    std::vector<char> out;
    out.reserve(kChunk + 2);
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* const stop = lf ? lf : end;
        out.insert(out.end(), p, stop);
        if (lf)
            out.insert(out.end(), {'\r', '\n'});
        p = lf ? lf + 1 : end;
        if (out.size() >= kChunk) {
            if (!WriteAll(fd, out.data(), out.size()))
                return false;
            out.clear();
        }
    }
    return WriteAll(fd, out.data(), out.size());
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Where `path` leads through any symbolic links; itself when it is none. A
// record saved on a link goes to the file the link names, and the link
// stays. Empty, with errno set, when the links go round in a loop.
std::string Destination(const std::string& path)
{
    constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path
    std::filesystem::path target = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        std::error_code notALink;
        const std::filesystem::path next = std::filesystem::read_symlink(target, notALink);
        if (notALink)
            return target.string();  // a file, or none yet
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    errno = ELOOP;
    return std::string();
}

// Creates a file beside `path`, named after it, for writing: with `mode`
// when it is to replace a file that has it, else with what the umask and
// the folder's default permissions leave of 0666, as an editor's new file.
// Returns its descriptor and its name in `temporary`; -1 with errno set.
int CreateTemporary(const std::string& path, const mode_t* mode, std::string& temporary)
{
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".saving-%06x", static_cast<unsigned>(device() & 0xFFFFFF));
        temporary = path + suffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode ? 0600 : 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd >= 0 && mode && ::fchmod(fd, *mode) != 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = error;
            return -1;
        }
        return fd;
    }
    return -1;
}

} // namespace

std::string WriteRecord(const std::string& paneBytes, const std::string& chosenPath)
{
    const std::string path = Destination(chosenPath);
    if (path.empty())
        return Failure("cannot follow the link");
    // A file replaced keeps its permissions.
    struct stat replaced {};
    const bool replacing = ::stat(path.c_str(), &replaced) == 0;
    const mode_t kept = replaced.st_mode & 07777;
    std::string temporary;
    const int fd = CreateTemporary(path, replacing ? &kept : nullptr, temporary);
    if (fd < 0)
        return Failure("cannot create a file in the folder");
    std::string error;
    if (!WriteWithCrLf(fd, paneBytes))
        error = Failure("cannot write");
    else if (::fsync(fd) != 0)
        error = Failure("cannot write to the disk");
    if (::close(fd) != 0 && error.empty())
        error = Failure("cannot write to the disk");
    if (error.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = Failure("cannot put the file in place");
    if (!error.empty()) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The new name, too, is on the disk.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return std::string();
}

CRecordSaver::CRecordSaver(Done done) : m_done(std::move(done)), m_poll([this] { Poll(); }) {}

CRecordSaver::~CRecordSaver()
{
    if (m_result.valid())
        m_result.wait();
}

bool CRecordSaver::Busy() const
{
    return m_result.valid() && m_result.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

bool CRecordSaver::Start(std::string paneBytes, std::string path)
{
    if (Busy())
        return false;
    Poll();  // the last record's outcome, if it is not reported yet
    m_path = path;
    m_result = std::async(std::launch::async, [bytes = std::move(paneBytes), path = std::move(path)] {
        return WriteRecord(bytes, path);
    });
    m_poll.Start(kPollInterval);
    return true;
}

void CRecordSaver::Poll()
{
    if (!m_result.valid() || m_result.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_poll.Stop();
    const std::string error = m_result.get();
    if (m_done)
        m_done(m_path, error);
}

} // namespace ui
