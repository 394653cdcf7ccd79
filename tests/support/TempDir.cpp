#include "TempDir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

namespace testsupport {

// A new folder of a random name, readable by its owner only, made where
// mkdtemp would make it; the same on Windows, which has no mkdtemp.
TempDir::TempDir()
{
    namespace fs = std::filesystem;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "orvel-test-%08x", static_cast<unsigned>(random()));
        const fs::path path = fs::temp_directory_path() / name;
        if (fs::create_directory(path)) {
            fs::permissions(path, fs::perms::owner_all);
            m_path = path.string();
            return;
        }
    }
    throw std::runtime_error("no new folder could be made in " + fs::temp_directory_path().string());
}

std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
