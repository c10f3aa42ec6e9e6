#include "files/MaskReader.h"

#include <gtest/gtest.h>

namespace {

TEST(MaskReader, RefusesTheFirstMalformedLineByItsNumber)
{
    const std::string longLine = std::string(kLongestMaskLine - 3, ' ') + "5,6";
    const std::pair<std::string, const char*> cases[] = {
        {longLine + "\n" + longLine + " \n", "line 2: longer than 1024 characters"},
        {"3,5\n5\n", "line 2: expected order,limit_percent"},
        {"3,5,1\n", "line 1: expected order,limit_percent"},
        {"three,5\n", "line 1: expected order,limit_percent"},
        {"3,-1\n", "line 1: expected order,limit_percent"},
        {"3,5x\n", "line 1: expected order,limit_percent"},
        {"3,inf\n", "line 1: expected order,limit_percent"},
        {"3,5\n\n3,4\n", "line 3: order 3 is listed twice"},
        {"1,1\n2,1\n3,1\n2,2\n1,2\n", "line 4: order 2 is listed twice"},  // first in the file
        {"2,1\n2,2\nthree\n", "line 2: order 2 is listed twice"},
        {"thd,8,1e20\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8,40.5\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8,1\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8,40\nthd,5,50\n", "line 2: a second thd line"},
        {"# nothing\n", "the mask lists no limit"},
        // One header line only, and only before the first limit; a mark only at the start.
        {"order,limit\nh,l\n5,6\n", "line 2: expected order,limit_percent"},
        {"5,6\norder,limit\n", "line 2: expected order,limit_percent"},
        {"5,6\n\xEF\xBB\xBF"
         "3,5\n",
         "line 2: expected order,limit_percent"},
        {"order,limit_percent\n", "the mask lists no limit"},
        {"5,6\nstat,p90,10min\n", "line 2: expected stat,STATISTIC,AGGREGATION"},
        {"5,6\nstat,p95,1h\n", "line 2: expected stat,STATISTIC,AGGREGATION"},
        {"5,6\nstat,p95\n", "line 2: expected stat,STATISTIC,AGGREGATION"},
        {"stat,max,3s\n5,6\nstat,p95,2h\n", "line 3: a second stat line"},
        {"stat,max,3s\n", "the mask lists no limit"},
    };
    for (const auto& [text, error] : cases) {
        const MaskChoice choice = parseMask(text, "bad.csv");
        EXPECT_FALSE(choice.mask.has_value()) << text;
        EXPECT_EQ(choice.error.rfind(error, 0), 0U) << text << " gave: " << choice.error;
    }
}

// As spreadsheets write CSV: a byte-order mark, a header line, THD in capitals.
TEST(MaskReader, TakesWhatSpreadsheetsWrite)
{
    for (const char* text : {"\xEF\xBB\xBF"
                             "order,limit_percent\r\n5,6\r\nTHD,8,40\r\n",
                             "# supply\n Order , Limit % \n5,6\nThd,8,40\n"}) {
        const MaskChoice choice = parseMask(text, "sheet.csv");
        ASSERT_TRUE(choice.mask) << choice.error;
        EXPECT_EQ(choice.mask->orders.size(), 1U);
        EXPECT_EQ(choice.mask->thd->highestOrder, 40);
    }
}

// How a recording is judged: the stat line's statistic and aggregation, else p95 of 10 minutes.
TEST(MaskReader, TakesTheStatisticARecordingIsJudgedBy)
{
    const std::pair<const char*, StatisticRule> cases[] = {
        {"5,6\n", {Statistic::P95, Aggregation::TenMinutes, StatisticPeriod::Whole, 1.0}},
        {"5,6\n STAT , max , 3s \n",
         {Statistic::Max, Aggregation::Short, StatisticPeriod::Whole, 1.0}},
        {"order,limit\nstat,p99,200ms\n5,6\n",
         {Statistic::P99, Aggregation::Window, StatisticPeriod::Whole, 1.0}},
        {"5,6\nstat,mean,2h\n",
         {Statistic::Mean, Aggregation::TwoHours, StatisticPeriod::Whole, 1.0}},
    };
    for (const auto& [text, rule] : cases) {
        const MaskChoice choice = parseMask(text, "user.csv");
        ASSERT_TRUE(choice.mask) << text << choice.error;
        ASSERT_EQ(choice.mask->recordingRules.size(), 1U) << text;
        EXPECT_EQ(choice.mask->recordingRules[0], rule) << text;
    }
}

}  // namespace
