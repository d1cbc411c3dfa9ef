#include "page_fixtures.h"
#include "worker/number_text.h"

#include <gtest/gtest.h>

using namespace quel::worker;

TEST(LeadingNumber, ReadsTheLongestNumericPrefix)
{
    EXPECT_DOUBLE_EQ(LeadingNumber(u"12.00</EM>"), 12.0);
    EXPECT_DOUBLE_EQ(LeadingNumber(u"  1 28.5 元"), 128.5);
    EXPECT_DOUBLE_EQ(LeadingNumber(u"-3.5x"), -3.5);
    EXPECT_DOUBLE_EQ(LeadingNumber(u"+7"), 7.0);
    EXPECT_DOUBLE_EQ(LeadingNumber(u"1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(LeadingNumber(u"2,195.00"), 2.0);
    EXPECT_DOUBLE_EQ(LeadingNumber(u".5"), 0.5);
}

TEST(LeadingNumber, TextWithoutANumberGivesZero)
{
    EXPECT_EQ(LeadingNumber(u""), 0.0);
    EXPECT_EQ(LeadingNumber(u"<DIV>12"), 0.0);
    EXPECT_EQ(LeadingNumber(u"-"), 0.0);
    EXPECT_EQ(LeadingNumber(u"."), 0.0);
    EXPECT_EQ(LeadingNumber(u"共"), 0.0);
    EXPECT_FALSE(std::signbit(LeadingNumber(u"-0")));
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(2.6), 3);
    EXPECT_EQ(RoundToInt32(1e12), 0); // out of range leaves the field at 0
}

TEST(NumberText, WritesTheShortestDecimalForm)
{
    EXPECT_EQ(NumberText(12.0), "12");
    EXPECT_EQ(NumberText(12.5), "12.5");
    EXPECT_EQ(NumberText(100), "100");
    EXPECT_EQ(NumberText(0), "0");
    EXPECT_EQ(NumberText(2195), "2195");
    EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumberText(-3.25), "-3.25");
    EXPECT_EQ(NumberText(1234567890123456.0), "1234567890123460");
    EXPECT_EQ(NumberText(0.000001), "0.000001");
}
