#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace testsupport {

TempDir::TempDir() : m_path((std::filesystem::temp_directory_path() / "orvel-test-XXXXXX").string())
{
    if (!::mkdtemp(m_path.data()))
        throw std::runtime_error("mkdtemp failed for " + m_path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds ceiling)
{
    for (const auto end = std::chrono::steady_clock::now() + ceiling; !condition();) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace testsupport
