// The trade, customer and sales-cycle analyses on a large generated database (1,000,000
// trades over 2,000 products and 200,000 buyers), each timed the way a page runs it (work
// tables, grid, column fitting) against the same aggregation written as one SQL query on
// the SQLCipher handle (analysis_compare.cpp). Prints the ratio per analysis and whether the
// results agree.
#include "analysis_trades.h"

#include "analysis_compare.h"
#include "core/feedback.h"
#include "db/database.h"
#include "grid/grid_model.h"
#include "grid/text_measure.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <sqlite3.h>

using namespace quel;

namespace {

constexpr int kProducts = 2000;
constexpr int kBuyers = 200000;

void bindText(sqlite3_stmt* stmt, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool stepDone(sqlite3_stmt* stmt)
{
    const bool ok = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_reset(stmt);
    return ok;
}

// Products with 500 short names and 300 shops; buyers, nine in ten with a profile; the
// trades product by product, as the import writes them, spread over one year.
bool generate(db::Database& db, qint64 trades)
{
    QRandomGenerator random(20100412);
    sqlite3* h = db.handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* product = nullptr;
    sqlite3_prepare_v2(h,
        "INSERT INTO 产品表(ID,KWord,PCode,P_Name,PName,SName,Price,Num9) VALUES(?,?,?,?,?,?,?,?)",
        -1, &product, nullptr);
    for (int p = 1; p <= kProducts; ++p) {
        sqlite3_bind_int(product, 1, p);
        bindText(product, 2, QStringLiteral("手机"));
        bindText(product, 3, QString::number(1000000 + p));
        bindText(product, 4, QStringLiteral("产品%1").arg(p % 500));
        bindText(product, 5, QStringLiteral("产品%1 全称").arg(p));
        bindText(product, 6, QStringLiteral("店铺%1").arg(p % 300));
        sqlite3_bind_double(product, 7, 1 + random.bounded(50000) / 100.0);
        sqlite3_bind_int(product, 8, random.bounded(1000));
        if (!stepDone(product))
            return false;
    }
    sqlite3_finalize(product);

    sqlite3_stmt* buyer = nullptr;
    sqlite3_prepare_v2(h,
        "INSERT INTO 客户表(BCode,BName,BLevel,Prov,Regi,lDat) VALUES(?,?,?,?,?,?)", -1, &buyer,
        nullptr);
    for (int b = 0; b < kBuyers; ++b) {
        const bool profiled = b % 10 != 0;
        bindText(buyer, 1, QStringLiteral("b%1").arg(b));
        bindText(buyer, 2, profiled ? QStringLiteral("买家%1").arg(b) : QString(""));
        sqlite3_bind_int(buyer, 3, random.bounded(12));
        bindText(buyer, 4, profiled ? QStringLiteral("省%1").arg(random.bounded(31)) : QString(""));
        bindText(buyer, 5, profiled ? QStringLiteral("区%1").arg(random.bounded(7)) : QString(""));
        bindText(buyer, 6,
            QDate(2010, 1, 1).addDays(random.bounded(365)).toString(Qt::ISODate)
                + QStringLiteral(" 00:00:00"));
        if (!stepDone(buyer))
            return false;
    }
    sqlite3_finalize(buyer);

    sqlite3_stmt* trade = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(?,?,?,?,?,?)", -1,
        &trade, nullptr);
    const QDateTime yearStart(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC);
    for (qint64 n = 0; n < trades; ++n) {
        const int b = random.bounded(kBuyers);
        sqlite3_bind_int64(trade, 1, n * kProducts / trades + 1);
        bindText(trade, 2, QStringLiteral("b%1").arg(b));
        bindText(trade, 3, QStringLiteral("买家%1").arg(b));
        bindText(trade, 4,
            yearStart.addSecs(random.bounded(365 * 86400))
                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        sqlite3_bind_double(trade, 5, 1 + random.bounded(20000) / 100.0);
        sqlite3_bind_int(trade, 6, 1 + random.bounded(5));
        if (!stepDone(trade))
            return false;
    }
    sqlite3_finalize(trade);
    return sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::vector<qint64> idRange(int first, int count, int step)
{
    std::vector<qint64> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(first + i * step);
    return ids;
}

} // namespace

int runTradeAnalysisBench(const QStringList& arguments, QTextStream& out)
{
    const qint64 trades = arguments.size() > 0 ? arguments[0].toLongLong() : 1000000;
    // Best of several runs: the machine may be busy with other work.
    const int runs = 5;
    // A folder given after the count keeps the generated database for later runs.
    QTemporaryDir temporary;
    const QString folder = arguments.size() > 1 ? arguments[1] : temporary.path();
    const QString path = folder + QStringLiteral("/DATA.mdb");
    QString error;
    const bool reuse = arguments.size() > 1 && QFile::exists(path);
    if (!reuse && !store::writeTemplate(path, &error)) {
        out << "error: " << error << "\n";
        return 1;
    }
    const auto db = store::DatabasePool::shared().acquire(path, &error);
    QElapsedTimer generation;
    generation.start();
    if (!db || (!reuse && !generate(*db, trades))) {
        out << "error: cannot generate the database\n";
        return 1;
    }
    if (!reuse)
        out << "analysis_generate: " << generation.elapsed() << " ms\n";
    out.flush();

    store::Catalogue catalogue(folder);
    catalogue.LoadCurrentDatabase();
    core::SilentFeedback feedback;
    store::DB_Operate ops(catalogue, feedback);
    grid::FixedTextMeasure measure;
    grid::GridModel grid;
    bool allMatch = true;
    const bench::AnalysisBench bench { *db, ops, grid, measure, runs };
    auto report = [&](const char* kind, const bench::AnalysisTiming& t) {
        allMatch = allMatch && t.match;
        out << "analysis_" << kind << "_ms: " << QString::number(t.ours, 'f', 1) << " cpu_ms\n";
        out << "analysis_" << kind << "_sql_ms: " << QString::number(t.sql, 'f', 1) << " cpu_ms\n";
        out << "analysis_" << kind << "_ratio: " << QString::number(t.ratio(), 'f', 2) << " x\n";
        out << "analysis_" << kind << "_match: " << (t.match ? 1 : 0) << " bool\n";
        out.flush();
    };
    // Periods: 20 products by day; totals: all products; buyers and cycle: 200 products.
    report("periods", bench::comparePeriods(bench, idRange(101, 20, 37)));
    report("totals", bench::compareTotals(bench));
    report("buyers", bench::compareCustomers(bench, idRange(3, 200, 9)));
    report("cycle", bench::compareSalesCycle(bench, idRange(5, 200, 9)));
    store::DatabasePool::shared().releaseAll();
    return allMatch ? 0 : 1;
}
