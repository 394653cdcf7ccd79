#include "EchoSounder.h"
#include "NmeaCheck.h"

#include <gtest/gtest.h>

#include <cmath>

using devsimtest::CrLfLines;
using devsimtest::Fields;
using devsimtest::HasValidChecksum;

TEST(EchoSounder, SendsDbtAndDptOfOneSlowlyChangingDepth)
{
    devsim::CEchoSounder sounder;
    double previous = -1, shallowest = 1e9, deepest = 0;
    for (int second = 0; second < 600; ++second) {
        const std::vector<std::string> lines = CrLfLines(sounder.Tick({}));
        ASSERT_EQ(lines.size(), 2u);
        ASSERT_TRUE(HasValidChecksum(lines[0]) && HasValidChecksum(lines[1])) << lines[0] << lines[1];
        const auto dbt = Fields(lines[0]), dpt = Fields(lines[1]);
        ASSERT_EQ(dbt.size(), 7u);
        ASSERT_EQ(dpt.size(), 4u);
        EXPECT_EQ(dbt[0] + dbt[2] + dbt[4] + dbt[6], "SDDBTfMF");
        EXPECT_EQ(dpt[0] + dpt[2], "SDDPT0.5");
        const double metres = std::stod(dbt[3]);
        EXPECT_EQ(std::stod(dpt[1]), metres);
        // Each figure is rounded to tenths on its own.
        EXPECT_NEAR(std::stod(dbt[1]), metres * 3.28084, 0.05 * 3.29 + 0.05);
        EXPECT_NEAR(std::stod(dbt[5]), metres / 1.8288, 0.05 / 1.82 + 0.05);

        if (previous >= 0) {
            EXPECT_LT(std::fabs(metres - previous), 1.0);
        }
        previous = metres;
        shallowest = std::min(shallowest, metres);
        deepest = std::max(deepest, metres);
    }
    EXPECT_GT(shallowest, 5.0);
    EXPECT_GT(deepest - shallowest, 5.0) << "the depth should vary";
    EXPECT_EQ(sounder.Answer("$PCSI,0"), "");
}
