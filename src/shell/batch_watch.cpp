// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/batch_watch.h"

#include "core/clock.h"
#include "core/exit_codes.h"
#include "core/feedback.h"
#include "core/number_form.h"
#include "db/connection.h"
#include "download/batch_download.h"
#include "exports/digest_files.h"
#include "search/batch_search.h"
#include "shell/batch.h"
#include "store/change_digest.h"
#include "store/db_operate.h"
#include "store/watch_list.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <cmath>

namespace quel::shell {

namespace {

QString changeLine(const store::Change& c)
{
    const auto number = [](const std::optional<double>& v) {
        return v ? core::NumberText(*v) : QStringLiteral("-");
    };
    QString line = QStringLiteral("%1 %2 %3 %4")
                       .arg(exports::ChangeKindCaption(c.kind))
                       .arg(c.productId)
                       .arg(c.shop, c.name);
    if (c.kind == QLatin1String("price") || c.kind == QLatin1String("sales"))
        line += QStringLiteral("：%1 -> %2").arg(number(c.oldValue), number(c.newValue));
    else if (c.kind == QLatin1String("new"))
        line += QStringLiteral("：%1").arg(number(c.newValue));
    else if (c.kind == QLatin1String("new_shop"))
        line += QStringLiteral("：%1 个产品").arg(number(c.newValue));
    if (c.percent)
        line += QStringLiteral(" (%1%)").arg(core::NumberText(*c.percent));
    return line;
}

} // namespace

QString FollowBatchUsage()
{
    return QStringLiteral("product|shop|category VALUE");
}

int RunFollowBatch(BatchContext& context, const QStringList& arguments, bool follow)
{
    QTextStream err(stderr);
    const QString name = follow ? QStringLiteral("follow") : QStringLiteral("unfollow");
    const std::optional<store::WatchKind> kind
        = arguments.size() == 2 ? store::watchKindFromName(arguments.at(0)) : std::nullopt;
    if (!kind || arguments.at(1).trimmed().isEmpty()) {
        err << QStringLiteral("用法：quelmar --batch ") << name << u' ' << FollowBatchUsage()
            << Qt::endl;
        return core::kBatchUsage;
    }
    db::Connection conn;
    QString error;
    if (!context.db.TryOpenConnection(conn, &error)) {
        err << error << Qt::endl;
        return core::kBatchFatal;
    }
    const QString value = arguments.at(1).trimmed();
    // "产品 3", "店铺 某某", "类别 手机": what the line is about, in the program's words.
    const QString what = (*kind == store::WatchKind::Product       ? QStringLiteral("产品 ")
                                 : *kind == store::WatchKind::Shop ? QStringLiteral("店铺 ")
                                                                   : QStringLiteral("类别 "))
        + value;
    const store::FollowOutcome outcome = follow
        ? store::Follow(conn, *kind, value, quel::core::Now(), &error)
        : store::Unfollow(conn, *kind, value, &error);
    switch (outcome) {
    case store::FollowOutcome::Added:
        err << QStringLiteral("已关注") << what << Qt::endl;
        return core::kBatchOk;
    case store::FollowOutcome::AlreadyFollowed:
        err << QStringLiteral("早已关注") << what << Qt::endl;
        return core::kBatchOk;
    case store::FollowOutcome::Removed:
        err << QStringLiteral("已取消关注") << what << Qt::endl;
        return core::kBatchOk;
    case store::FollowOutcome::NotFollowed:
        err << QStringLiteral("没有关注") << what << Qt::endl;
        return core::kBatchOk;
    case store::FollowOutcome::UnknownValue: {
        const QString missing = *kind == store::WatchKind::Product
            ? QStringLiteral("产品表中没有 ID 为")
            : *kind == store::WatchKind::Shop ? QStringLiteral("产品表中没有店铺")
                                              : QStringLiteral("关键词中没有");
        err << missing << QStringLiteral("“") << value << QStringLiteral("”的记录") << Qt::endl;
        return core::kBatchFatal;
    }
    case store::FollowOutcome::Failed:
        break;
    }
    err << QStringLiteral("无法保存关注表：") << error << Qt::endl;
    return core::kBatchFatal;
}

QString WatchBatchUsage()
{
    return QStringLiteral("[--threshold PCT] [--workers N] [--rate N] [--out FILE.csv|FILE.html]");
}

std::optional<WatchOptions> ParseWatchArguments(const QStringList& words, QString* error)
{
    WatchOptions options;
    const auto bad = [&](const QString& why) {
        if (error)
            *error = why + QStringLiteral("\n用法：quelmar --batch watch ") + WatchBatchUsage();
        return std::nullopt;
    };
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words.at(i);
        const bool hasValue = i + 1 < words.size();
        bool ok = hasValue;
        if (w == QLatin1String("--threshold")) {
            if (ok)
                options.threshold = words.at(++i).toDouble(&ok);
            if (!ok || !std::isfinite(options.threshold) || options.threshold < 0)
                return bad(QStringLiteral("--threshold 需要一个不小于 0 的百分数，例如 5 或 2.5"));
        } else if (w == QLatin1String("--workers")) {
            if (ok)
                options.workers = words.at(++i).toInt(&ok);
            if (!ok || options.workers < 1)
                return bad(QStringLiteral("--workers 需要一个不小于 1 的整数"));
        } else if (w == QLatin1String("--rate")) {
            if (ok)
                options.rate = words.at(++i).toDouble(&ok);
            if (!ok || !std::isfinite(options.rate) || options.rate <= 0)
                return bad(QStringLiteral("--rate 需要一个大于 0 的每秒请求数，例如 2 或 0.5"));
        } else if (w == QLatin1String("--out")) {
            if (!ok || words.at(i + 1).isEmpty())
                return bad(QStringLiteral("--out 后缺少文件名"));
            options.out = words.at(++i);
            const QString lower = options.out.toLower();
            if (!lower.endsWith(QLatin1String(".csv")) && !lower.endsWith(QLatin1String(".html"))
                && !lower.endsWith(QLatin1String(".htm")))
                return bad(QStringLiteral("--out 只能是 .csv 或 .html 文件：") + options.out);
        } else {
            return bad(QStringLiteral("未知的参数：") + w);
        }
    }
    return options;
}

int RunWatchBatch(BatchContext& context, const QStringList& arguments)
{
    QTextStream err(stderr);
    QString error;
    const std::optional<WatchOptions> options = ParseWatchArguments(arguments, &error);
    if (!options) {
        err << error << Qt::endl;
        return core::kBatchUsage;
    }
    db::Connection conn;
    if (!context.db.TryOpenConnection(conn, &error)) {
        err << error << Qt::endl;
        return core::kBatchFatal;
    }
    const auto items = store::WatchedItems(conn, &error);
    if (!items) {
        err << QStringLiteral("无法读取关注表：") << error << Qt::endl;
        return core::kBatchFatal;
    }
    if (items->isEmpty()) {
        err << QStringLiteral("关注表是空的：先用 --batch follow product|shop|category VALUE "
                              "关注产品、店铺或类别")
            << Qt::endl;
        return core::kBatchOk;
    }
    const auto interrupted = [&context] { return !context.feedback.isIndicatorOpen(); };

    store::WatchRunScope scope;
    scope.started = quel::core::Now();
    scope.started.setTime(QTime(
        scope.started.time().hour(), scope.started.time().minute(), scope.started.time().second()));
    scope.day = scope.started.date();
    scope.threshold = options->threshold;
    QElapsedTimer runTime;
    runTime.start();

    // The searches: each followed category by its keyword, each followed shop by its name.
    // A search that did not run to its end leaves its products' baseline alone.
    int failedSearches = 0;
    int searches = 0;
    std::optional<store::WatchSearchLock> searching(std::in_place, conn.database());
    for (const store::WatchItem& item : std::as_const(*items)) {
        if (item.kind == store::WatchKind::Product || interrupted())
            continue;
        const bool shop = item.kind == store::WatchKind::Shop;
        ++searches;
        err << QStringLiteral("watch: 搜索%1“%2”")
                   .arg(shop ? QStringLiteral("店铺") : QStringLiteral("类别"), item.value)
            << Qt::endl;
        const int code = search::RunSearchBatch(context.db, context.dataFolder,
            shop ? QStringList { QStringLiteral("--nick"), item.value }
                 : QStringList { item.value },
            err);
        if (code == core::kBatchOk) {
            (shop ? scope.completeShops : scope.completeCategories).insert(item.value);
        } else {
            ++failedSearches;
            err << QStringLiteral("watch: 搜索“%1”未完成（%2）").arg(item.value).arg(code)
                << Qt::endl;
        }
    }
    searching.reset();
    if (interrupted())
        return core::kBatchSomeFailed;

    // The details of the followed products, of the followed shops' products and of every
    // product new in a followed category; on a server the copies share these jobs.
    int detailsCode = core::kBatchOk;
    const QString condition = store::WatchDetailCondition(conn);
    if (!condition.isEmpty()) {
        download::BatchDownloadOptions download;
        download.kind = download::DownloadKind::Details;
        download.workers = std::min(options->workers, download::DownloadPool::kWorkerLimit);
        download.rate = options->rate;
        download.condition = condition;
        download.collection = QStringLiteral("watch");
        detailsCode
            = download::RunBatchDownload(download, conn, context.dataFolder, err, interrupted);
    }
    if (interrupted())
        return core::kBatchSomeFailed;
    const qint64 collectMs = runTime.elapsed();
    // Nothing was reached at all (the marketplace is down): no run to record, the last one
    // stays the baseline of everything.
    if ((searches == 0 || failedSearches == searches)
        && (condition.isEmpty() || detailsCode == core::kBatchFatal)) {
        err << QStringLiteral("watch: 没有读到任何页面，未记录本次运行") << Qt::endl;
        return core::kBatchFatal;
    }

    scope.failed = failedSearches > 0 || detailsCode != core::kBatchOk;
    QElapsedTimer digestTime;
    digestTime.start();
    const store::DigestOutcome digest = store::ComputeDigest(conn, scope);
    const qint64 digestMs = digestTime.elapsed();
    if (!digest.ok) {
        err << QStringLiteral("无法保存变化记录：") << digest.error << Qt::endl;
        return core::kBatchFatal;
    }
    err << QStringLiteral("变化记录 %1：%2 项变化（调价阈值 %3%）")
               .arg(digest.run.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
               .arg(digest.changes.size())
               .arg(core::NumberText(options->threshold))
        << Qt::endl;
    if (digest.firstRun)
        err << QStringLiteral("首次关注运行：已记录各产品的现状，下次运行起报告变化") << Qt::endl;
    for (const store::Change& c : digest.changes)
        err << changeLine(c) << Qt::endl;
    err << QStringLiteral("watch: collect_ms %1, digest_ms %2").arg(collectMs).arg(digestMs)
        << Qt::endl;
    if (!options->out.isEmpty()) {
        if (!exports::WriteDigestFile(
                options->out, digest.changes, digest.run, options->threshold, &error)) {
            err << error << Qt::endl;
            return core::kBatchFatal;
        }
        err << QStringLiteral("已写入 ") << options->out << Qt::endl;
    }
    if (scope.failed) {
        err << QStringLiteral(
            "watch: failed: %1 个搜索未完成，详情下载结束码 %2；未到达的产品仍以上次"
            "运行为基准")
                   .arg(failedSearches)
                   .arg(detailsCode)
            << Qt::endl;
        return core::kBatchSomeFailed;
    }
    return core::kBatchOk;
}

} // namespace quel::shell
