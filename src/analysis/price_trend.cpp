#include "analysis/price_trend.h"

#include "core/feedback.h"
#include "db/recordset.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "store/db_operate.h"

#include <QHash>
#include <algorithm>

namespace quel::analysis {

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const TrendMeasure& measureAt(int measure)
{
    return trendMeasures()[static_cast<size_t>(std::clamp(measure, 0, kTrendMeasures - 1))];
}

QString idList(const QList<qint64>& ids)
{
    QStringList texts;
    for (qint64 id : ids)
        texts << QString::number(id);
    return texts.join(u',');
}

QString figureText(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace

const std::array<TrendMeasure, kTrendMeasures>& trendMeasures()
{
    static const std::array<TrendMeasure, kTrendMeasures> measures { {
        { "价格", "Price", "price" },
        { "本期售出", "Num1", "sales" },
        { "90天售出", "Num9", "sales90" },
        { "浏览数", "VTimes", "views" },
        { "收藏数", "CTimes", "favourites" },
    } };
    return measures;
}

bool BuildTrendTable(
    store::DB_Operate& db, const QList<qint64>& ids, int measure, TrendTable& table, QString* error)
{
    table = TrendTable();
    if (ids.isEmpty())
        return true;
    db::Connection conn;
    if (!db.OpenConnection(conn)) {
        if (error)
            *error = QStringLiteral("cannot open the database");
        return false;
    }
    const QString in = QStringLiteral(" IN (") + idList(ids) + u')';

    // The products' names, in the order asked; two with the same name and shop keep apart
    // by their ID.
    QList<qint64> shown;
    {
        db::Recordset rs;
        if (!rs.open(conn.shared(),
                QStringLiteral("SELECT ID,P_Name,PName,SName FROM 产品表 WHERE ID") + in, error))
            return false;
        QHash<qint64, QString> names;
        for (; !rs.eof(); rs.moveNext()) {
            QString name = rs.value(1).toString();
            if (name.trimmed().isEmpty())
                name = rs.value(2).toString();
            names.insert(rs.value(0).toLongLong(),
                name + QLatin1Char('(') + rs.value(3).toString() + QLatin1Char(')'));
        }
        for (qint64 id : ids) {
            if (!names.contains(id) || shown.contains(id))
                continue;
            QString name = names.value(id);
            if (table.names.contains(name))
                name += QLatin1Char('#') + QString::number(id);
            shown << id;
            table.names << name;
        }
    }
    if (shown.isEmpty())
        return true;

    // Each product's observations of the measure, by day.
    const QString column = text(measureAt(measure).column);
    std::vector<QHash<QDate, double>> seen(static_cast<size_t>(shown.size()));
    QDate first;
    QDate last;
    db::Recordset rs;
    if (!rs.open(conn.shared(),
            QStringLiteral("SELECT PID,Dat,") + column + QStringLiteral(" FROM 价格历史 WHERE PID")
                + in + QStringLiteral(" AND ") + column + QStringLiteral(" IS NOT NULL"),
            error))
        return false;
    for (; !rs.eof(); rs.moveNext()) {
        const qsizetype p = shown.indexOf(rs.value(0).toLongLong());
        const QDate day = rs.value(1).toDateTime().date();
        if (p < 0 || !day.isValid())
            continue;
        seen[static_cast<size_t>(p)].insert(day, rs.value(2).toDouble());
        if (!first.isValid() || day < first)
            first = day;
        if (!last.isValid() || day > last)
            last = day;
    }
    if (!first.isValid())
        return true;

    for (QDate d = first; d <= last; d = d.addDays(1))
        table.days.push_back(d);
    for (const QHash<QDate, double>& product : seen) {
        std::vector<TrendCell> row(table.days.size());
        std::optional<double> known;
        for (size_t i = 0; i < table.days.size(); ++i) {
            const auto found = product.constFind(table.days[i]);
            if (found != product.cend()) {
                known = *found;
                row[i] = { known, false };
            } else if (known) {
                row[i] = { known, true };
            }
        }
        table.cells.push_back(std::move(row));
    }
    return true;
}

QColor CarriedColour()
{
    return QColor(150, 150, 150);
}

void FillTrendGrid(grid::GridModel& grid, const TrendTable& table)
{
    {
        grid::GridModel::BulkUpdate bulk(grid);
        grid.setFixedRows(0);
        grid.setFixedCols(0);
        grid.setRows(0);
        grid.setCols(0);
    }
    QStringList fields { QStringLiteral("Dat") };
    QStringList titles { QStringLiteral("日期") };
    for (int p = 0; p < table.names.size(); ++p) {
        fields << QStringLiteral("P%1").arg(p + 1);
        titles << table.names[p];
    }
    grid::setGridColumns(grid, fields, titles);
    grid::GridModel::BulkUpdate bulk(grid);
    // The dates label the chart's points; every product is a series.
    grid.setFixedCols(1);
    for (int c = 1; c < grid.cols(); ++c)
        grid.setColumnCode(c, grid::kCodeNumber);
    for (size_t d = 0; d < table.days.size(); ++d) {
        const QDate& day = table.days[d];
        QList<QString> cells(grid.cols());
        cells[0] = QStringLiteral("%1-%2-%3").arg(day.year()).arg(day.month()).arg(day.day());
        for (size_t p = 0; p < table.cells.size(); ++p) {
            const TrendCell& cell = table.cells[p][d];
            if (cell.value)
                cells[qsizetype(p) + 1] = figureText(*cell.value);
        }
        grid.appendRow(std::move(cells));
        const int row = grid.rows() - 1;
        for (size_t p = 0; p < table.cells.size(); ++p) {
            if (table.cells[p][d].carried)
                grid.setCellForeground(row, int(p) + 1, CarriedColour());
        }
    }
    grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
}

QString TrendChartTitle(int measure, const QDate& today)
{
    return QStringLiteral("淘宝产品%1走势图表\r\n（数据来源：Dovrel软件；统计日期：%2-%3-%4）")
        .arg(text(measureAt(measure).caption))
        .arg(today.year())
        .arg(today.month())
        .arg(today.day());
}

bool RunPriceTrend(grid::GridModel& grid, store::DB_Operate& db, const QList<qint64>& ids,
    int measure, QString& title, QString* error, const QDate& today)
{
    core::Feedback& feedback = db.feedback();
    feedback.indicatorStart(QStringLiteral("正在统计价格走势……"), 1, 0);
    TrendTable table;
    const bool ok = BuildTrendTable(db, ids, measure, table, error);
    feedback.indicatorStep(1, QString());
    feedback.indicatorClose();
    if (!ok)
        return false;
    FillTrendGrid(grid, table);
    title = TrendChartTitle(measure, today);
    if (table.names.isEmpty())
        feedback.message(QStringLiteral("请先选择要查看走势的产品！"));
    else if (table.days.empty())
        feedback.message(
            QStringLiteral("所选产品还没有%1的记录。").arg(text(measureAt(measure).caption)));
    return true;
}

bool ParseTrendArguments(const QStringList& arguments, TrendOptions& options, QString* error)
{
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    options = TrendOptions();
    bool haveProducts = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option != QLatin1String("--products") && option != QLatin1String("--measure"))
            return fail(QStringLiteral("unknown option: ") + option);
        if (i + 1 >= arguments.size())
            return fail(option + QStringLiteral(" needs a value"));
        const QString value = arguments[++i];
        if (option == QLatin1String("--products")) {
            haveProducts = true;
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                bool ok = false;
                const qint64 id = part.trimmed().toLongLong(&ok);
                if (!ok || id <= 0)
                    return fail(QStringLiteral("not a product ID: ") + part);
                if (!options.ids.contains(id))
                    options.ids << id;
            }
            if (options.ids.isEmpty())
                return fail(QStringLiteral("--products needs at least one product ID"));
        } else {
            int found = -1;
            for (int m = 0; m < kTrendMeasures; ++m) {
                if (value == QLatin1String(trendMeasures()[static_cast<size_t>(m)].batchName))
                    found = m;
            }
            if (found < 0)
                return fail(QStringLiteral("unknown measure: ") + value);
            options.measure = found;
        }
    }
    if (!haveProducts)
        return fail(QStringLiteral("--products is required"));
    return true;
}

QString TrendUsage()
{
    return QStringLiteral("--products ID,ID,... [--measure price|sales|sales90|views|favourites]");
}

} // namespace quel::analysis
