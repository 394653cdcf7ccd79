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
    double previous = -1;
    double shallowest = 1e9;
    double deepest = 0;
    for (int second = 0; second < 600; ++second) {
        const std::vector<std::string> lines = CrLfLines(sounder.Tick({}));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(HasValidChecksum(lines[0])) << lines[0];
        EXPECT_TRUE(HasValidChecksum(lines[1])) << lines[1];

        const auto dbt = Fields(lines[0]);
        ASSERT_EQ(dbt.size(), 7u);
        EXPECT_EQ(dbt[0], "SDDBT");
        EXPECT_EQ(dbt[2], "f");
        EXPECT_EQ(dbt[4], "M");
        EXPECT_EQ(dbt[6], "F");
        const double metres = std::stod(dbt[3]);
        // Each figure is rounded to tenths on its own.
        EXPECT_NEAR(std::stod(dbt[1]), metres * 3.28084, 0.05 * 3.29 + 0.05);
        EXPECT_NEAR(std::stod(dbt[5]), metres / 1.8288, 0.05 / 1.82 + 0.05);

        const auto dpt = Fields(lines[1]);
        ASSERT_EQ(dpt.size(), 4u);
        EXPECT_EQ(dpt[0], "SDDPT");
        EXPECT_EQ(std::stod(dpt[1]), metres);
        EXPECT_EQ(dpt[2], "0.5");

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
