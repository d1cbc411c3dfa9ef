#include "download/download_summary.h"

namespace quel::download {

QString DownloadSummary(DownloadKind kind, bool all, const DownloadTotals& totals)
{
    const bool details = kind == DownloadKind::Details;
    QString line
        = details ? QStringLiteral("产品详情下载结束：") : QStringLiteral("买家资讯下载结束：");
    if (totals.jobs == 0)
        return line
            + (details ? QStringLiteral("没有需要下载的产品。")
                       : QStringLiteral("没有需要下载的买家。"));

    line += QStringLiteral("完成 %1 个，失败 %2 个").arg(totals.succeeded).arg(totals.failed);
    const int undone = totals.jobs - totals.succeeded - totals.failed;
    if (undone > 0)
        line += QStringLiteral("，窗口关闭时 %1 个未下载").arg(undone);
    if (details) {
        line += QStringLiteral("，新增交易记录 %1 条，新增买家 %2 个")
                    .arg(totals.recordsAdded)
                    .arg(totals.buyersAdded);
    } else {
        line += QStringLiteral("，写入买家资讯 %1 个").arg(totals.profilesWritten);
    }
    if (totals.failed + undone == 0)
        return line + QStringLiteral("。");

    // A job that failed leaves its row as it was: one never downloaded is still missing, so
    // the download of what is missing picks it up again.
    const QString retry
        = details ? QStringLiteral("“下载未下载过产品”") : QStringLiteral("“下载新客户资讯”");
    if (!all)
        return line + QStringLiteral("；这 %1 个会在下次").arg(totals.failed + undone) + retry
            + QStringLiteral("时重试。");
    return line + QStringLiteral("；其中从未下载过的会在下次") + retry
        + QStringLiteral("时重试，其余保留上次下载的资讯。");
}

} // namespace quel::download
