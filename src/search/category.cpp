#include "search/category.h"

#include "core/feedback.h"
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

bool ReplaceCategoryInDatabase(
    store::DB_Operate& db, const QString& category, const QList<qint64>& productIds)
{
    Feedback& feedback = db.feedback();
    store::Connection conn;
    if (!db.OpenConnection(conn))
        return false;
    feedback.indicatorStart(QStringLiteral("正在替换相关产品类型……"), productIds.size(), 0);
    bool ok = true;
    {
        store::Transaction transaction = conn.transaction();
        for (const qint64 id : productIds) {
            ok = db.ExecuteSql(QStringLiteral("UPDATE 产品表 SET KWord=") + store::Quote(category)
                         + QStringLiteral(" WHERE ID=") + QString::number(id),
                     &conn)
                && ok;
            feedback.indicatorStep(1, QStringLiteral("pages"));
        }
        ok = ok && transaction.commit();
    }
    feedback.indicatorClose();
    return ok;
}

} // namespace quel::search
