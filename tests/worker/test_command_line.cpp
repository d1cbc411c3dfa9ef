#include "page_fixtures.h"
#include "worker/command_line.h"

#include <gtest/gtest.h>

using namespace quel::worker;

namespace {
const QString kBase = "http://127.0.0.1:8080";

Job parse(const QString& line, bool expected = true)
{
    Job job;
    EXPECT_EQ(ParseCommandLine(line, kBase, kBase, job), expected) << line.toStdString();
    return job;
}
} // namespace

TEST(ParseCommandLine, ItemJobs)
{
    Job job = parse("987‖./Temp_1.t");
    EXPECT_EQ(job.mode, ItemJob);
    EXPECT_EQ(job.code, "987");
    EXPECT_EQ(job.url, kBase + "/item.htm?id=987&page_size=90");
    EXPECT_EQ(job.outputFile, "./Temp_1.t");

    job = parse("ab-987-5‖./Temp_2.t‖0‖ignored");
    EXPECT_EQ(job.url, kBase + "/auction/item_detail.htm?xid=ab&item_num_id=987&page_size=90");
    EXPECT_EQ(job.code, "ab-987-5");

    // A code cannot smuggle query keys or a fragment into the address.
    EXPECT_EQ(MakeItemUrl("9&x=1#a", kBase), kBase + "/item.htm?id=9%26x%3D1%23a&page_size=90");
    EXPECT_EQ(MakeItemUrl("", kBase), "");
}

TEST(ParseCommandLine, ModeIsTheFieldsLeadingNumber)
{
    EXPECT_EQ(parse("http://h/member/user_profile.php?user_id=7‖o‖1").mode, BuyerJob);
    EXPECT_EQ(parse("http://h/p‖o‖1").url, "http://h/p");
    EXPECT_EQ(parse("http://h/p‖o‖ 2 ").mode, 2);
    EXPECT_EQ(parse("x‖o‖1abc").mode, 1);
    EXPECT_EQ(parse("987‖o‖abc").mode, ItemJob);
    EXPECT_EQ(parse("987‖o‖").mode, ItemJob);
    EXPECT_EQ(parse("x‖o‖70000").mode, -1);
}

TEST(ParseCommandLine, MissingJobOrOutputFails)
{
    parse("987", false);
    parse("987‖", false);
    parse("987‖‖0", false);
    parse("‖./Temp_1.t‖1", false);
    parse("‖./Temp_1.t‖0", false);
}

TEST(ParseCommandLine, EmptyLineRunsTheBuiltInTestJob)
{
    for (const QString& line : { QString(), QString("   ") }) {
        const Job job = parse(line);
        EXPECT_EQ(job.mode, BuyerJob);
        EXPECT_EQ(job.url, kBase + "/shop/xshop/shop_intro.htm");
        EXPECT_EQ(job.outputFile, "./tt.T");
    }
}

TEST(JoinArguments, JoinsWithBlanksAndTrimsBlanksOnly)
{
    EXPECT_EQ(JoinArguments({ " 987‖./Temp", "1.t‖0 " }), "987‖./Temp 1.t‖0");
    EXPECT_EQ(JoinArguments({}), "");
}
