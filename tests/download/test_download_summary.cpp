#include "download/download_summary.h"

#include <gtest/gtest.h>

using namespace quel::download;

namespace {

DownloadTotals totals(int jobs, int succeeded, int failed)
{
    DownloadTotals t;
    t.jobs = jobs;
    t.succeeded = succeeded;
    t.failed = failed;
    t.recordsAdded = 120;
    t.buyersAdded = 30;
    t.profilesWritten = succeeded;
    return t;
}

std::string summary(DownloadKind kind, bool all, const DownloadTotals& t)
{
    return DownloadSummary(kind, all, t).toStdString();
}

} // namespace

TEST(DownloadSummary, SaysWhatRanWhatWasAddedAndWhatBecomesOfTheRest)
{
    EXPECT_EQ(summary(DownloadKind::Details, false, totals(5, 5, 0)),
        "产品详情下载结束：完成 5 个，失败 0 个，新增交易记录 120 条，新增买家 30 个。");
    EXPECT_EQ(summary(DownloadKind::Details, false, DownloadTotals {}),
        "产品详情下载结束：没有需要下载的产品。");

    // Closed early: the rows never reached count with the failures, and come back next time.
    EXPECT_EQ(summary(DownloadKind::Buyers, false, totals(10, 6, 1)),
        "买家资讯下载结束：完成 6 个，失败 1 个，窗口关闭时 3 个未下载，写入买家资讯 6 个；"
        "这 4 个会在下次“下载新客户资讯”时重试。");

    // A run over everything: a failed row that was downloaded before keeps its old figures
    // and is not "missing", so only the never-downloaded ones are retried.
    EXPECT_EQ(summary(DownloadKind::Details, true, totals(5, 3, 2)),
        "产品详情下载结束：完成 3 个，失败 2 个，新增交易记录 120 条，新增买家 30 个；"
        "其中从未下载过的会在下次“下载未下载过产品”时重试，其余保留上次下载的资讯。");
}
