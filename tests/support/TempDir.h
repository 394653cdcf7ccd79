#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A file's bytes, whole (empty when it cannot be read).
std::string FileBytes(const std::filesystem::path& path);

// Polls `condition` until it holds or `ceiling` passes. The ceiling only
// keeps a broken test from hanging; it is never the thing being tested.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds ceiling = std::chrono::seconds(30));

} // namespace testsupport
