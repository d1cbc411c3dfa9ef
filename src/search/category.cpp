#include "search/category.h"

#include "core/feedback.h"
#include "db/recordset.h"
#include "store/db_operate.h"

#include <algorithm>

namespace quel::search {

std::optional<std::pair<int, int>> CategoryRowRange(
    int current, int selectionEnd, int rowCount, int fixedRows)
{
    if (current < fixedRows || current >= rowCount)
        return std::nullopt;
    int first = std::min(current, selectionEnd);
    int last = std::max(current, selectionEnd);
    // A selection dragged onto the title rows or past the end covers only data rows.
    first = std::max(first, fixedRows);
    last = std::min(last, rowCount - 1);
    return std::make_pair(first, last);
}

std::optional<QSet<qint64>> ReplaceCategoryInDatabase(
    store::DB_Operate& db, const QString& category, const QList<qint64>& productIds)
{
    core::Feedback& feedback = db.feedback();
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return std::nullopt;
    feedback.indicatorStart(QStringLiteral("正在替换相关产品类型……"), productIds.size(), 0);
    QSet<qint64> changed;
    bool ok = true;
    {
        db::Transaction transaction = conn.transaction();
        ok = transaction.isActive();
        const QString update = QStringLiteral("UPDATE 产品表 SET KWord=") + store::Quote(category)
            + QStringLiteral(" WHERE ID=");
        for (const qint64 id : productIds) {
            if (!ok)
                break;
            const QString key = QString::number(id);
            // One writer on this file and one transaction: a row that is there now is the
            // row the update changes.
            db::Recordset rs;
            ok = rs.open(
                conn.shared(), QStringLiteral("SELECT ID FROM 产品表 WHERE ID=") + key, nullptr);
            const bool exists = ok && !rs.eof();
            rs.close();
            if (exists) {
                ok = db.ExecuteSql(update + key, &conn);
                changed.insert(id);
            }
            feedback.indicatorStep(1, QStringLiteral("pages"));
        }
        ok = ok && transaction.commit();
    }
    feedback.indicatorClose();
    if (!ok)
        return std::nullopt;
    return changed;
}

} // namespace quel::search
