// Fills the product list (9 columns) with 38,886 rows of 产品表, the most one grid of that
// width shows, and sorts it by price. Prints the fill (query, model, column fitting and the
// first paint offscreen) and the sort (with its repaint).
#include "core/feedback.h"
#include "db/connection.h"
#include "db/database.h"
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "views/lists.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace quel;

namespace {

constexpr int kRows = 38886;

bool fillProducts(store::DB_Operate& db)
{
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return false;
    db::Transaction transaction = conn.transaction();
    for (int i = 1; i <= kRows; ++i) {
        const QString sql
            = QStringLiteral("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SName,Price,MFee,dDat) "
                             "VALUES('手机','%1','简称%2','诺基亚 %1 型 直板手机','店铺%3',%4,%5,"
                             "'2010-4-12')")
                  .arg(1000000 + i)
                  .arg(i % 500)
                  .arg(i % 977)
                  .arg((i * 7919) % 100000 / 100.0)
                  .arg(i % 3 * 5);
        if (!db.ExecuteSql(sql, &conn))
            return false;
    }
    return transaction.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QString error;
    if (!store::writeTemplate(dir.filePath(QStringLiteral("DATA.mdb")), &error)) {
        std::fprintf(stderr, "cannot write the database: %s\n", qPrintable(error));
        return 1;
    }
    store::Catalogue catalogue(dir.path());
    catalogue.LoadCurrentDatabase();
    core::SilentFeedback feedback;
    store::DB_Operate db(catalogue, feedback);
    if (!fillProducts(db)) {
        std::fprintf(stderr, "cannot store the products\n");
        return 1;
    }

    grid::GridView view;
    view.resize(1200, 700);
    view.setFeedback(&feedback);
    view.show();
    view.grab(); // the window exists before timing starts

    QElapsedTimer timer;
    timer.start();
    const long found = views::showProductList(
        *view.grid(), views::ListKind::Products, db, {}, true, view.textMeasure());
    view.grab();
    const qint64 fillMs = timer.elapsed();
    if (found != kRows || view.grid()->dataRowCount() != kRows) {
        std::fprintf(stderr, "filled %ld records, %d rows\n", found, view.grid()->dataRowCount());
        return 1;
    }

    timer.restart();
    grid::sortByColumn(*view.grid(), 7);
    view.grab();
    const qint64 sortMs = timer.elapsed();

    std::printf("fill_ms: %lld ms\n", static_cast<long long>(fillMs));
    std::printf("sort_ms: %lld ms\n", static_cast<long long>(sortMs));
    store::DatabasePool::shared().releaseAll();
    return 0;
}
