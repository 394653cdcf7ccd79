// Points the per-user folders of the whole test program at a temporary
// folder, so that no test reads or writes the real settings or ports.

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class IsolatedEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_dir = std::make_unique<testsupport::TempDir>();
        ::setenv("XDG_CONFIG_HOME", m_dir->File("config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", m_dir->File("runtime").c_str(), 1);
    }
    void TearDown() override { m_dir.reset(); }

private:
    std::unique_ptr<testsupport::TempDir> m_dir;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new IsolatedEnvironment);

} // namespace
