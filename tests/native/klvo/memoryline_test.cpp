// The About box's memory line.
#include <gtest/gtest.h>

#include <string>

#include "core.h"

namespace {

std::string Line(uint32_t kilobytes)
{
    char line[MemoryLineSize];
    FormatMemoryLine(line, kilobytes);
    return line;
}

TEST(MemoryLine, BelowOneThousandHasNoSeparator)
{
    EXPECT_EQ(Line(640), "640 KB 使用可能");
    EXPECT_EQ(Line(999), "999 KB 使用可能");
    EXPECT_EQ(Line(0), "0 KB 使用可能");
}

TEST(MemoryLine, ThousandsTakeOneSeparatorAndThreeDigits)
{
    EXPECT_EQ(Line(16777216 / 1024), "16,384 KB 使用可能");
    EXPECT_EQ(Line(1024000 / 1024), "1,000 KB 使用可能");
    EXPECT_EQ(Line(2005), "2,005 KB 使用可能");
    EXPECT_EQ(Line(3050), "3,050 KB 使用可能");
}

TEST(MemoryLine, MillionsStillHaveOnlyOneSeparator)
{
    EXPECT_EQ(Line(1048576), "1048,576 KB 使用可能");
    EXPECT_EQ(Line(16777216), "16777,216 KB 使用可能");
}

}  // namespace
