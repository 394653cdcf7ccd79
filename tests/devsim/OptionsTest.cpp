#include "Options.h"

#include <gtest/gtest.h>

using devsim::CUsageError;
using devsim::ParseOptions;

TEST(Options, ReadsPullPlansAndFloodDevice)
{
    const devsim::COptions options =
        ParseOptions({"--flood", "1000000", "--device", "sounder", "--pull", "beacon:5:3", "--pull", "gnss:0:0"});
    EXPECT_EQ(options.m_floodBytes, 1000000u);
    EXPECT_EQ(options.m_floodDevice, 2u);
    ASSERT_EQ(options.m_pulls.size(), 2u);
    EXPECT_EQ(options.m_pulls[0].m_device, 1u);
    EXPECT_EQ(options.m_pulls[0].m_after, 5u);
    EXPECT_EQ(options.m_pulls[0].m_down, 3u);
    EXPECT_EQ(options.m_pulls[1].m_device, 0u);
}

TEST(Options, RefusesWhatItDoesNotUnderstand)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--dir"},         {"--flood", "-1"},       {"--flood", "1e6"},          {"--device", "gnss"},
        {"--flood", "1", "--device", "radar"},      {"--pull", "gnss:1"},        {"--pull", "gnss:a:1"},
        {"--pull", "radar:1:1"},                    {"--pull", "gnss:1:100000"}, {"--prefix", "a/b"},
        {"--verbose", "1"}, {"gnss"},
    };
    for (const auto& arguments : wrong)
        EXPECT_THROW(ParseOptions(arguments), CUsageError) << arguments.front();
}
