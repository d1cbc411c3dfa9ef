#include "shell/batch.h"

#include "core/exit_codes.h"
#include "download/batch_download.h"
#include "search/batch_search.h"
#include "shell/batch_analyse.h"
#include "shell/batch_copy.h"
#include "shell/batch_watch.h"
#include "shell/interrupt_watcher.h"
#include "shell/overview_report.h"
#include "store/db_operate.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace quel::shell {

namespace {

void printLine(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

// The batch commands. Each feature adds its line here.
const std::vector<BatchCommand>& batchCommands()
{
    static const std::vector<BatchCommand> commands = {
        { QStringLiteral("search"), search::SearchBatchUsage(),
            [](BatchContext& c, const QStringList& a) {
                QTextStream err(stderr);
                // Named with its path and the reason, rather than as a failed statement.
                db::Connection conn;
                QString error;
                if (!c.db.TryOpenConnection(conn, &error)) {
                    err << error << Qt::endl;
                    return int(core::kBatchFatal);
                }
                conn.close();
                return search::RunSearchBatch(c.db, c.dataFolder, a, err);
            } },
        { QStringLiteral("details"), QStringLiteral("[--all] [--workers N] [--rate N]"),
            [](BatchContext& c, const QStringList& a) {
                return download::RunBatchDownloadCommand(
                    QStringList { QStringLiteral("details") } + a, c.db, c.dataFolder);
            } },
        { QStringLiteral("buyers"), QStringLiteral("[--all] [--workers N] [--rate N]"),
            [](BatchContext& c, const QStringList& a) {
                return download::RunBatchDownloadCommand(
                    QStringList { QStringLiteral("buyers") } + a, c.db, c.dataFolder);
            } },
        { QStringLiteral("analyse"),
            QStringLiteral("KIND ARGS --out FILE [--chart FILE.jpg] [--size WxH]"),
            [](BatchContext& c, const QStringList& a) { return RunAnalyseBatch(c, a); } },
        { QStringLiteral("report"), ReportBatchUsage(),
            [](BatchContext& c, const QStringList& a) { return RunReportBatch(c, a); } },
        { QStringLiteral("copy-to"), CopyBatchUsage(),
            [](BatchContext& c, const QStringList& a) {
                return RunCopyBatch(c, a, CopyDirection::ToServer);
            } },
        { QStringLiteral("copy-from"), CopyBatchUsage(),
            [](BatchContext& c, const QStringList& a) {
                return RunCopyBatch(c, a, CopyDirection::FromServer);
            } },
        { QStringLiteral("follow"), FollowBatchUsage(),
            [](BatchContext& c, const QStringList& a) { return RunFollowBatch(c, a, true); } },
        { QStringLiteral("unfollow"), FollowBatchUsage(),
            [](BatchContext& c, const QStringList& a) { return RunFollowBatch(c, a, false); } },
        { QStringLiteral("watch"), WatchBatchUsage(),
            [](BatchContext& c, const QStringList& a) { return RunWatchBatch(c, a); } },
    };
    return commands;
}

QString batchUsage()
{
    QString text = QStringLiteral(
        "用法：quelmar [--data 目录] [--market 地址] [--db 数据库] --batch 命令 [参数]\n命令：");
    if (batchCommands().empty())
        text += QStringLiteral("（暂无）");
    for (const BatchCommand& command : batchCommands())
        text += QStringLiteral("\n  ") + command.name + QLatin1Char(' ') + command.usage;
    return text;
}

int RunBatch(const QStringList& arguments, BatchContext& context)
{
    const BatchCommand* found = nullptr;
    if (!arguments.isEmpty()) {
        for (const BatchCommand& command : batchCommands()) {
            if (command.name == arguments.first())
                found = &command;
        }
        if (!found)
            printLine(QStringLiteral("未知的批处理命令：") + arguments.first());
    }
    if (!found) {
        printLine(batchUsage());
        return core::kBatchUsage;
    }
    const int code = found->run(context, arguments.mid(1));
    // The program drops its work tables when it ends; a batch command is a whole run of it.
    context.db.DropTablesWithPrefix(QStringLiteral("TEMP_"));
    if (InterruptWatcher::signalNumber() != 0) {
        printLine(QStringLiteral("已中断（信号 %1）").arg(InterruptWatcher::signalNumber()));
        return InterruptWatcher::exitCode();
    }
    return code;
}

} // namespace quel::shell
