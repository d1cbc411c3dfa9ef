#include "download/buyer_result.h"

#include "core/worker_protocol.h"
#include "download/result_text.h"
#include "store/db_operate.h"

#include <QStringList>

namespace quel::download {

namespace {

QString normaliseDate(QString text)
{
    if (text.isEmpty())
        return QStringLiteral("1900-1-1");
    text.replace(QStringLiteral("年"), QStringLiteral("-"));
    text.replace(QStringLiteral("月"), QStringLiteral("-"));
    text.remove(QStringLiteral("日"));
    return text;
}

QString creditOrZero(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("0") : text;
}

} // namespace

std::optional<QString> BuildBuyerUpdate(const QString& text, qint64 customerId, const QDate& today)
{
    const QStringList f = text.split(core::kResultFieldSeparator);
    if (f.size() < 7)
        return std::nullopt;
    const QString registered = normaliseDate(f[5]);
    const QString lastLogin = normaliseDate(f[6]);
    // The database would turn an unreadable date into a wrong one or refuse the row
    // half-way; the job is reported failed instead.
    if (!ParseResultDateTime(registered) || !ParseResultDateTime(lastLogin))
        return std::nullopt;

    QString sql = QStringLiteral("UPDATE 客户表 SET ");
    if (!f[0].isEmpty())
        sql += QStringLiteral("BName=") + store::Quote(f[0]) + QLatin1Char(',');
    sql += QStringLiteral("SLevel=") + store::Quote(creditOrZero(f[1]));
    sql += QStringLiteral(",BLevel=") + store::Quote(creditOrZero(f[2]));
    sql += QStringLiteral(",Prov=") + store::Quote(f[3]);
    sql += QStringLiteral(",Regi=") + store::Quote(f[4]);
    sql += QStringLiteral(",rDat=") + store::Quote(registered);
    sql += QStringLiteral(",lDat=") + store::Quote(lastLogin);
    sql += QStringLiteral(",dDat=") + store::Quote(MonthDayYearText(today));
    sql += QStringLiteral(" WHERE ID=") + QString::number(customerId);
    return sql;
}

} // namespace quel::download
