#include "Unprivileged.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <grp.h>
#include <unistd.h>

namespace testsupport {

namespace {

[[noreturn]] void RunAsNobody(const std::function<void()>& check, const std::function<void()>& asRoot)
{
    if (asRoot)
        asRoot();
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
        std::exit(2);
    check();
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
}

} // namespace

void AsUnprivileged(const std::function<void()>& check, const std::function<void()>& asRoot)
{
    if (::geteuid() != 0) {
        check();
        return;
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunAsNobody(check, asRoot), ::testing::ExitedWithCode(0), "");
}

} // namespace testsupport
