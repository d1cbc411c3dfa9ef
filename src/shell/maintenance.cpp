#include "shell/maintenance.h"

#include "core/feedback.h"
#include "core/settings_store.h"
#include "db/connection.h"
#include "store/customer_lookup.h"
#include "store/db_operate.h"
#include "store/overview_summary.h"

#include <QDir>
#include <QFile>

namespace quel::shell {

void ClearDatabaseTables(
    store::DB_Operate& db, core::Feedback& feedback, const std::function<void()>& emptyGrids)
{
    feedback.indicatorStart(QStringLiteral("正在删除数据……"), 13, 0);
    const char* const statements[] = {
        "DELETE * FROM 交易表",
        "DELETE * FROM 产品表",
        "DELETE * FROM 价格历史",
        "DELETE * FROM 关键词",
        "DELETE * FROM 简化表",
        "DELETE * FROM 客户表",
        "DELETE * FROM 关注表",
        "DELETE * FROM 关注快照",
        "DELETE * FROM 关注运行",
        "DELETE * FROM 变化记录",
    };
    // The overview's sums would be taken out trade by trade (minutes on a big file), and the
    // customer copy row by row: they go first and are made again, empty, afterwards.
    db::Connection conn;
    const bool connected = db.TryOpenConnection(conn, nullptr);
    const bool summary = connected && store::HasOverviewSummary(*conn.database());
    const bool lookup = connected && store::HasCustomerLookup(*conn.database());
    if (summary)
        store::DropOverviewSummary(*conn.database(), nullptr);
    if (lookup)
        store::DropCustomerLookup(*conn.database(), nullptr);
    for (const char* sql : statements) {
        db.ExecuteSql(QString::fromUtf8(sql));
        feedback.indicatorStep(1, QStringLiteral("pages"));
    }
    if (summary)
        store::RebuildOverviewSummary(*conn.database(), nullptr);
    if (lookup)
        store::RebuildCustomerLookup(*conn.database(), nullptr);
    conn.close();
    db.DropTablesWithPrefix(QStringLiteral("TEMP_"));
    feedback.indicatorStep(1, QStringLiteral("pages"));
    if (emptyGrids)
        emptyGrids();
    feedback.indicatorStep(1, QStringLiteral("pages"));
    feedback.indicatorClose();
}

int RemoveWorkerFiles(const QString& folder)
{
    const QDir dir(folder);
    int removed = 0;
    const QStringList files
        = dir.entryList({ QStringLiteral("Temp_*.*") }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : files) {
        // The pattern is the workers' own file name; other spellings are not theirs.
        if (!name.startsWith(QLatin1String("Temp_")))
            continue;
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

void RunShutdown(store::DB_Operate& db, const QString& folder)
{
    core::WriteUserSetting(QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main"),
        QStringLiteral("Display Inline Images"), QStringLiteral("yes"));
    db.DropTablesWithPrefix(QStringLiteral("TEMP_"));
    RemoveWorkerFiles(folder);
}

} // namespace quel::shell
