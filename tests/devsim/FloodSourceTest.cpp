#include "FloodSource.h"

#include <gtest/gtest.h>

#include <cstdio>

using devsim::CFloodSource;

namespace {

// The stream as the --help text describes it, written out independently.
std::string DescribedStream(std::size_t lines)
{
    std::string stream;
    for (std::size_t n = 0; n < lines; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "%010zu ", n);
        stream += number;
        for (std::size_t i = 0; i < 51; ++i)
            stream += static_cast<char>('A' + (n + i) % 26);
        stream += "\r\n";
    }
    return stream;
}

} // namespace

TEST(FloodSource, GivesExactlyTheDescribedBytesInAnyChunking)
{
    const std::string expected = DescribedStream(100).substr(0, 6000);
    for (const std::size_t chunk : {1u, 7u, 63u, 64u, 65u, 1000u, 100000u}) {
        CFloodSource source(6000);
        std::string got;
        while (source.Remaining() > 0) {
            const std::string part = source.Next(chunk);
            ASSERT_FALSE(part.empty());
            ASSERT_LE(part.size(), chunk);
            got += part;
        }
        EXPECT_EQ(got, expected) << "chunk " << chunk;
        EXPECT_EQ(source.Next(chunk), "");
    }
}

TEST(FloodSource, EmptyFloodGivesNothing)
{
    CFloodSource source(0);
    EXPECT_EQ(source.Remaining(), 0u);
    EXPECT_EQ(source.Next(100), "");
}
