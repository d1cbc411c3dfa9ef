// Product statistics on a generated database of 100,000 products: each grouping with all
// seven measures, from the button to the filled grid, against the same GROUP BY read
// directly on the SQLCipher handle; the drawing of a chart of 2,000 points in 7 series (one
// axis, panels, bars) and the pointer's hit test over it; then
// the trade, customer and sales-cycle analyses (analysis_trades.cpp).
#include "analysis/chart_draw.h"
#include "analysis/product_stats.h"
#include "analysis_compare.h"
#include "analysis_trades.h"
#include "core/feedback.h"
#include "db/database.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/text_measure.h"
#include "store/catalogue.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <ctime>
#include <sqlite3.h>

using namespace quel;

namespace {

constexpr int kRuns = 3;

void bindText(sqlite3_stmt* stmt, int index, const QByteArray& utf8)
{
    sqlite3_bind_text(
        stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// 200 shops, 150 short names (each in two letter cases) and 20 categories, spread so that
// every one of the 30,000 shop and product pairs occurs.
bool generate(const QString& path, int products)
{
    QString error;
    auto db = store::OpenDatabase(path, QString::fromLatin1(store::kDatabasePassword), &error);
    if (!db)
        return false;
    sqlite3* handle = db->handle();
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(handle,
        "INSERT INTO 产品表(KWord,PCode,P_Name,PName,SName,Price,MFee,Dis,Num1,Num9,SNum,VTimes,"
        "CTimes) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)",
        -1, &stmt, nullptr);
    for (int n = 0; n < products; ++n) {
        const int name = (n * 7) % 150;
        const QByteArray shortName
            = (n % 2 ? QStringLiteral("Nokia N%1") : QStringLiteral("NOKIA n%1"))
                  .arg(name)
                  .toUtf8();
        bindText(stmt, 1, QStringLiteral("类别%1").arg(n % 20).toUtf8());
        bindText(stmt, 2, QByteArray::number(1000000 + n));
        bindText(stmt, 3, shortName);
        bindText(stmt, 4, shortName + " 原装正品 行货");
        bindText(stmt, 5, QStringLiteral("店铺%1").arg((n / 150) % 200).toUtf8());
        sqlite3_bind_double(stmt, 6, 100 + (n % 1000) * 1.5);
        sqlite3_bind_double(stmt, 7, n % 25);
        sqlite3_bind_double(stmt, 8, 5 + (n % 50) / 10.0);
        for (int c = 9; c <= 13; ++c)
            sqlite3_bind_int64(stmt, c, (n * c) % 500);
        if (sqlite3_step(stmt) != SQLITE_DONE)
            return false;
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    return sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Best wall time and best processor time of ten drawings: on a busy machine the wall time
// also counts the time other programs had the processor.
struct ChartTimes
{
    double wall = 1e9;
    double cpu = 1e9;
};

ChartTimes chartMs(const analysis::ChartOptions& options, analysis::ChartDrawing* last = nullptr)
{
    grid::GridModel grid;
    QStringList fields { "SName", "", "P_Name" };
    QStringList titles { "店铺名称", "序号", "产品名称" };
    for (int j = 0; j < 7; ++j) {
        fields << QStringLiteral("M%1").arg(j);
        titles << QStringLiteral("指标%1").arg(j);
    }
    grid::setGridColumns(grid, fields, titles);
    for (int i = 0; i < 2000; ++i) {
        QList<QString> cells { QString(), QString::number(i + 1), QStringLiteral("产品%1").arg(i) };
        for (int j = 0; j < 7; ++j)
            cells << QString::number((i * (j + 3)) % 977 / 10.0, 'f', 2);
        grid.appendRow(cells);
    }
    grid.setFixedCols(3);
    QImage image(900, 600, QImage::Format_RGB32);
    ChartTimes best;
    for (int run = 0; run < 10; ++run) {
        QPainter painter(&image);
        QString title;
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpu = std::clock();
        analysis::ChartDrawing d = analysis::DrawChart(
            painter, image.size(), grid, title, QStringLiteral("标题"), -1, -1, options);
        best.cpu = std::min(best.cpu, (std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
        best.wall = std::min(best.wall, timer.nsecsElapsed() / 1e6);
        if (last)
            *last = std::move(d);
    }
    return best;
}

// The pointer's text for one move over the drawing: the best of many moves across the plot.
double hoverMs(const analysis::ChartDrawing& d)
{
    double best = 1e9;
    for (int run = 0; run < 200; ++run) {
        const QPointF pos(
            d.plot.left() + d.plot.width() * (run % 100) / 100.0, d.plot.center().y());
        QElapsedTimer timer;
        timer.start();
        const QString text = analysis::ChartHoverText(d, pos);
        best = std::min(best, timer.nsecsElapsed() / 1e6);
        if (text.isEmpty())
            return -1;
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    const int products = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DATA.mdb"));
    QString error;
    QElapsedTimer generation;
    generation.start();
    if (!store::writeTemplate(path, &error) || !generate(path, products)) {
        out << "error: cannot generate the database " << error << "\n";
        return 1;
    }
    out << "analysis_generate_" << products << ": " << generation.elapsed() << " ms\n";

    store::Catalogue catalogue(dir.path());
    catalogue.LoadCurrentDatabase();
    core::SilentFeedback feedback;
    store::DB_Operate db(catalogue, feedback);
    db::Connection conn;
    if (!db.OpenConnection(conn)) {
        out << "error: cannot open the database\n";
        return 1;
    }
    const grid::FontTextMeasure measure { QFont() };
    grid::GridModel grid;
    const bench::AnalysisBench bench { *conn.database(), db, grid, measure, kRuns };
    double worst = 0;
    for (int g = 0; g < analysis::kProductGroupings; ++g) {
        const bench::AnalysisTiming t = bench::compareProductStatistics(bench, g);
        worst = std::max(worst, t.ratio());
        out << "analysis_products_" << analysis::productGroupings()[size_t(g)].batchName << ": "
            << QString::number(t.ours, 'f', 1) << " cpu_ms (direct "
            << QString::number(t.sql, 'f', 1) << " cpu_ms, " << t.rows << " groups"
            << (t.match ? "" : ", the grid differs") << ")\n";
    }
    out << "analysis_products_ratio: " << QString::number(worst, 'f', 2) << " x\n";
    analysis::ChartDrawing drawing;
    const ChartTimes chart
        = chartMs({ analysis::ChartMark::Line, analysis::ChartPanels::One }, &drawing);
    out << "analysis_chart_2000x7: " << QString::number(chart.wall, 'f', 1) << " ms\n";
    out << "analysis_chart_2000x7_cpu: " << QString::number(chart.cpu, 'f', 1) << " ms\n";
    const ChartTimes panels = chartMs({ analysis::ChartMark::Line, analysis::ChartPanels::Each });
    out << "analysis_chart_2000x7_panels: " << QString::number(panels.wall, 'f', 1) << " ms\n";
    out << "analysis_chart_2000x7_panels_cpu: " << QString::number(panels.cpu, 'f', 1) << " ms\n";
    const ChartTimes bars = chartMs({ analysis::ChartMark::Bar, analysis::ChartPanels::One });
    out << "analysis_chart_2000x7_bars: " << QString::number(bars.wall, 'f', 1) << " ms\n";
    out << "analysis_chart_hover_2000x7: " << QString::number(hoverMs(drawing), 'f', 4) << " ms\n";
    out.flush();

    // The trade, customer and sales-cycle analyses on their own database of trades (a
    // second argument gives their number).
    conn.close();
    store::DatabasePool::shared().releaseAll();
    return runTradeAnalysisBench(app.arguments().mid(2, 1), out);
}
