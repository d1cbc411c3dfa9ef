#include "shell/batch_copy.h"

#include "core/exit_codes.h"
#include "db/connection.h"
#include "db/database.h"
#include "db_pg/server_address.h"
#include "shell/batch.h"
#include "store/database_copy.h"
#include "store/database_pool.h"
#include "store/db_operate.h"

#include <QElapsedTimer>
#include <QTextStream>

namespace quel::shell {

QString CopyBatchUsage()
{
    return QStringLiteral("postgresql://用户@主机:端口/库名");
}

int RunCopyBatch(BatchContext& context, const QStringList& arguments, CopyDirection direction)
{
    QTextStream err(stderr);
    const QString name = direction == CopyDirection::ToServer ? QStringLiteral("copy-to")
                                                              : QStringLiteral("copy-from");
    if (arguments.size() != 1 || !db_pg::IsServerAddress(arguments.first())) {
        err << (arguments.isEmpty() ? QStringLiteral("缺少数据库服务器地址")
                                    : QStringLiteral("不是数据库服务器地址：")
                    + db_pg::RedactedAddress(arguments.join(u' ')))
            << Qt::endl
            << QStringLiteral("用法：quelmar [--data 目录] --batch ") << name << u' '
            << CopyBatchUsage() << Qt::endl;
        return core::kBatchUsage;
    }
    const QString address = arguments.first();
    const QString shownAddress = db_pg::RedactedAddress(address);

    db::Connection local;
    QString error;
    if (!context.db.TryOpenConnection(local, &error)) {
        err << error << Qt::endl;
        return core::kBatchFatal;
    }
    // A private session of its own: the copy's transaction is nobody else's.
    auto server = store::OpenDatabase(address, {}, &error);
    if (!server) {
        err << QStringLiteral("无法连接数据库服务器：") << shownAddress << QStringLiteral("（")
            << error << QStringLiteral("）") << Qt::endl;
        return core::kBatchFatal;
    }
    const bool toServer = direction == CopyDirection::ToServer;
    const QString localName = local.database()->path();
    err << QStringLiteral("复制数据库：") << (toServer ? localName : shownAddress)
        << QStringLiteral(" -> ") << (toServer ? shownAddress : localName) << Qt::endl;

    QElapsedTimer timer;
    timer.start();
    core::Feedback& feedback = context.feedback;
    const auto progress = [&](const store::CopyProgress& p) {
        err << QStringLiteral("%1：%2/%3 行").arg(p.table).arg(p.copied).arg(p.total) << Qt::endl;
        feedback.processEvents();
        // The console's indicator closes when SIGINT or SIGTERM arrives.
        return feedback.isIndicatorOpen();
    };
    const store::CopyOutcome outcome = toServer
        ? store::CopyDatabase(local.shared(), server, progress)
        : store::CopyDatabase(server, local.shared(), progress);
    if (!outcome.ok) {
        err << QStringLiteral("复制失败：") << outcome.error << Qt::endl;
        return core::kBatchFatal;
    }
    qint64 rows = 0;
    for (const store::CopiedTable& t : outcome.tables)
        rows += t.rows;
    const double seconds = std::max(0.001, static_cast<double>(timer.elapsed()) / 1000.0);
    err << QStringLiteral("复制完成：%1 个数据表，共 %2 行，行数核对无误（%3 秒）")
               .arg(outcome.tables.size())
               .arg(rows)
               .arg(seconds, 0, 'f', 1)
        << Qt::endl;
    return core::kBatchOk;
}

} // namespace quel::shell
