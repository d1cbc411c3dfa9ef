#include "scale_measure.h"

#include "core/clock.h"
#include "core/feedback.h"
#ifdef QUEL_HAVE_ANALYSIS
#include "analysis/market_overview.h"
#include "analysis/product_stats.h"
#include "analysis_compare.h"
#endif
#include "db/connection.h"
#include "db/database.h"
#include "download/product_import.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/text_measure.h"
#include "market/rng.h"
#include "process_memory.h"
#include "shell/main_window.h"
#include "shell/overview_report.h"
#include "simplify/rule_store.h"
#include "store/catalogue.h"
#include "store/compaction.h"
#include "store/data_folder.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "views/lists.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quel::bench {

namespace {

constexpr int kImportProducts = 200;
constexpr int kRecordsPerImport = 270; // three sales pages of 90 records
constexpr int kDeletedProducts = 1000;
const QString kImportCategory = QStringLiteral("导入测试");

void figure(const char* name, double value, const char* unit)
{
    std::printf("%s: %.4g %s\n", name, value, unit);
    std::fflush(stdout);
}

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// The processor time the work took in this process (user and system): on a machine
// whose cores are shared, the wall time mostly measures the neighbours. Waiting for the
// disk is not counted; the files here are fresh and in the page cache.
double timeMs(const std::function<void()>& work)
{
    const double start = cpuMs();
    work();
    return cpuMs() - start;
}

bool syncToDisk(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
}

// Deletions are confirmed; everything else is as silent as a test run.
class YesFeedback : public core::SilentFeedback
{
public:
    bool ask(const QString&) override { return true; }
};

long long count(db::Database& db, const QString& sql)
{
    db::Statement stmt = db.prepare(sql);
    if (!stmt || stmt.step() != db::StepResult::Row)
        return -1;
    return stmt.int64(0);
}

// The result a worker writes for a product whose item page showed three pages of sales:
// the head line, then the records newest first, every buyer one the database has never
// seen (so the import does the same work into a full and into an empty database).
QString productResultText(int product)
{
    const QString sep = QStringLiteral("〗★〖");
    QString text = QStringLiteral("300") + sep + QStringLiteral("420") + sep + QStringLiteral("88")
        + sep + QStringLiteral("全新") + sep + QStringLiteral("5321") + sep + QStringLiteral("77")
        + sep + QStringLiteral("99.5");
    market::Rng rng { 0x696d706fULL, static_cast<std::uint64_t>(product) };
    QDateTime when(QDate(2026, 3, 2), QTime(23, 0), Qt::UTC);
    for (int r = 0; r < kRecordsPerImport; ++r) {
        when = when.addSecs(-rng.between(60, 3000));
        // Regulars again: 40,000 new buyers, the low numbers far more often.
        const double u = rng.uniform();
        const auto buyer = static_cast<long long>(u * u * 40000.0);
        text += QStringLiteral("\r\n") + QString::number(90 + rng.between(0, 20)) + sep
            + QString::number(rng.chance(0.8) ? 1 : rng.between(2, 4)) + sep
            + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + sep + QStringLiteral("n")
            + QString::number(market::mix64(static_cast<std::uint64_t>(buyer)), 36) + sep
            + QStringLiteral("新买家") + QString::number(buyer);
    }
    return text;
}

struct ImportFigures
{
    double seconds = 0;
    long records = 0;
    bool ok = false;
};

// Stores the 200 products as a search would (not timed), then times what a detail
// download does with its results: the known buyer codes once, then each result file read
// and imported.
ImportFigures importResults(const QString& databasePath, const QString& folder)
{
    ImportFigures figures;
    QString error;
    auto database = store::DatabasePool::shared().acquire(databasePath, &error);
    if (!database)
        return figures;
    db::Connection conn(database);
    std::vector<qint64> ids;
    {
        db::Transaction tx = conn.transaction();
        for (int p = 0; p < kImportProducts; ++p) {
            conn.execute(
                QStringLiteral("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SName,Price) "
                               "VALUES('%1','%2','导入 %3','导入测试 %3 正品','导入店',99)")
                    .arg(kImportCategory)
                    .arg(99000000000LL + p)
                    .arg(p));
            ids.push_back(sqlite3_last_insert_rowid(database->handle()));
        }
        tx.commit();
    }
    QStringList files;
    for (int p = 0; p < kImportProducts; ++p) {
        const QString path = QDir(folder).filePath(QStringLiteral("Temp_%1.t").arg(p));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return figures;
        file.write(productResultText(p).toUtf8());
        files << path;
    }

    download::ImportCounts counts;
    figures.ok = true;
    const double start = cpuMs();
    download::KnownBuyerCodes known;
    figures.ok = known.load(conn, &error);
    for (int p = 0; figures.ok && p < kImportProducts; ++p) {
        QFile file(files[p]);
        if (!file.open(QIODevice::ReadOnly))
            figures.ok = false;
        const QString text = QString::fromUtf8(file.readAll());
        figures.ok = figures.ok
            && download::ImportProductResult(
                conn, ids[static_cast<size_t>(p)], text, known, &counts, &error);
    }
    figures.seconds = (cpuMs() - start) / 1000.0;
    figures.records = counts.records;
    if (!figures.ok)
        std::fprintf(stderr, "import failed: %s\n", qPrintable(error));
    for (const QString& path : std::as_const(files))
        QFile::remove(path);
    return figures;
}

struct ListTimes
{
    double fill = 0;
    double filter = 0;
    double sort = 0;
};

void printList(const char* name, const ListTimes& t)
{
    const QByteArray base(name);
    figure((base + "_fill").constData(), t.fill, "cpu_ms");
    figure((base + "_filter").constData(), t.filter, "cpu_ms");
    figure((base + "_sort").constData(), t.sort, "cpu_ms");
}

// Called with an operation's name once its grid shows the result.
using Shown = std::function<void(const QString&, const grid::GridModel&)>;

// Every cell of a grid, one line per row, after a line with the operation's name.
void writeGrid(QFile& file, const QString& name, const grid::GridModel& grid)
{
    QString text = QStringLiteral("== ") + name + u'\n';
    for (int r = 0; r < grid.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.cols(); ++c)
            cells << grid.text(r, c);
        text += cells.join(u'|') + u'\n';
    }
    file.write(text.toUtf8());
}

void measureLists(store::DB_Operate& db, const grid::TextMeasure& measure, const Shown& shown)
{
    using views::ListKind;
    grid::GridModel grid;
    ListTimes products;
    products.fill
        = timeMs([&] { views::showProductList(grid, ListKind::Products, db, {}, true, measure); });
    std::fprintf(stderr, "product list: %d rows\n", grid.rows() - grid.fixedRows());
    shown(QStringLiteral("product list"), grid);
    // One category and one shop, from the first product shown.
    const QString category = grid.text(grid.fixedRows(), 3);
    const QString shop = grid.text(grid.fixedRows(), 4);
    // The sort on the full list, before the filter narrows it.
    products.sort = timeMs([&] { grid::sortByColumn(grid, 7); });
    shown(QStringLiteral("product list sorted"), grid);
    products.filter = timeMs([&] {
        views::showProductList(grid, ListKind::Products, db,
            { QStringLiteral("3|产品类别"), QStringLiteral("＝"), category }, true, measure);
    });
    shown(QStringLiteral("product list filtered"), grid);
    printList("list_products", products);

    ListTimes details;
    details.fill = timeMs(
        [&] { views::showProductList(grid, ListKind::ProductDetails, db, {}, true, measure); });
    shown(QStringLiteral("detail list"), grid);
    details.sort = timeMs([&] { grid::sortByColumn(grid, 8); });
    shown(QStringLiteral("detail list sorted"), grid);
    details.filter = timeMs([&] {
        views::showProductList(grid, ListKind::ProductDetails, db,
            { QStringLiteral("4|卖家"), QStringLiteral("＝"), shop }, true, measure);
    });
    shown(QStringLiteral("detail list filtered"), grid);
    printList("list_details", details);

    // The best sellers (IDs 1-3) hold more trades than a grid shows; one of them alone is
    // the narrower choice.
    const QString three = QStringLiteral("1；2；3；");
    const QString one = QStringLiteral("2；");
    ListTimes sales;
    sales.fill = timeMs([&] { views::showSalesList(grid, db, three, measure); });
    std::fprintf(stderr, "sales list: %d rows\n", grid.rows() - grid.fixedRows());
    shown(QStringLiteral("sales list"), grid);
    sales.sort = timeMs([&] { grid::sortByColumn(grid, 8); });
    shown(QStringLiteral("sales list sorted"), grid);
    sales.filter = timeMs([&] { views::showSalesList(grid, db, one, measure); });
    shown(QStringLiteral("sales list one"), grid);
    printList("list_sales", sales);

    ListTimes customers;
    customers.fill = timeMs([&] { views::showCustomerList(grid, db, three, measure); });
    std::fprintf(stderr, "customer list: %d rows\n", grid.rows() - grid.fixedRows());
    shown(QStringLiteral("customer list"), grid);
    customers.sort = timeMs([&] { grid::sortByColumn(grid, 4); });
    shown(QStringLiteral("customer list sorted"), grid);
    customers.filter = timeMs([&] { views::showCustomerList(grid, db, one, measure); });
    shown(QStringLiteral("customer list one"), grid);
    printList("list_customers", customers);
}

#ifdef QUEL_HAVE_ANALYSIS
std::vector<qint64> productIds(db::Database& db, const QString& sql)
{
    std::vector<qint64> ids;
    db::Statement stmt = db.prepare(sql);
    while (stmt && stmt.step() == db::StepResult::Row)
        ids.push_back(stmt.int64(0));
    return ids;
}

// Prints one analysis' figures; false when it showed something else than its query found.
bool analysisFigures(const char* kind, const AnalysisTiming& t)
{
    const QByteArray base = QByteArray("analysis_") + kind;
    figure(base.constData(), t.ours, "cpu_ms");
    figure((base + "_sql").constData(), t.sql, "cpu_ms");
    figure((base + "_vs_sql").constData(), t.ratio(), "x");
    if (!t.match)
        std::fprintf(stderr, "%s: the analysis and its query disagree\n", base.constData());
    return t.match;
}

// The analyses the way their pages run them, each against one SQL query of the same
// aggregation: the product statistics and the totals over every product, the period
// comparison, the buyers and the sales cycle over the 20 products with the most trades
// and 20 ordinary ones (20 to 100 trades each). False when any analysis disagreed.
bool measureAnalyses(db::Database& database, store::DB_Operate& db,
    const grid::TextMeasure& measure, const Shown& shown)
{
    std::vector<qint64> chosen = productIds(
        database, QStringLiteral("SELECT ID FROM 产品表 ORDER BY Num9 DESC,ID LIMIT 20"));
    const std::vector<qint64> ordinary = productIds(database,
        QStringLiteral("SELECT ID FROM 产品表 WHERE Num9 BETWEEN 20 AND 100 AND ID>1000 "
                       "ORDER BY ID LIMIT 20"));
    chosen.insert(chosen.end(), ordinary.begin(), ordinary.end());
    QStringList idTexts;
    for (const qint64 id : chosen)
        idTexts << QString::number(id);
    figure("analysis_chosen_trades",
        double(count(database,
            QStringLiteral("SELECT count(*) FROM 交易表 WHERE PID IN (%1)")
                .arg(idTexts.join(u',')))),
        "trades");

    grid::GridModel grid;
    const AnalysisBench bench { database, db, grid, measure, 3,
        [&](const QString& name) { shown(name, grid); } };
    bool agreed = true;
    AnalysisTiming products;
    for (int g = 0; g < analysis::kProductGroupings; ++g) {
        const AnalysisTiming t = compareProductStatistics(bench, g);
        QByteArray kind
            = QByteArray("products_") + analysis::productGroupings()[size_t(g)].batchName;
        agreed = analysisFigures(kind.replace('-', '_').constData(), t) && agreed;
        // The grouping that fares worst stands for the product statistics.
        if (t.ratio() > products.ratio())
            products = t;
    }
    analysisFigures("products", products);
    agreed = analysisFigures("periods", comparePeriods(bench, chosen)) && agreed;
    agreed = analysisFigures("totals", compareTotals(bench)) && agreed;
    agreed = analysisFigures("buyers", compareCustomers(bench, chosen)) && agreed;
    agreed = analysisFigures("cycle", compareSalesCycle(bench, chosen)) && agreed;

    return agreed;
}

// The category with the most products.
QString largestCategory(db::Database& database)
{
    db::Statement stmt = database.prepare(
        QStringLiteral("SELECT KWord FROM 产品表 GROUP BY KWord ORDER BY COUNT(*) DESC LIMIT 1"));
    return stmt && stmt.step() == db::StepResult::Row ? stmt.text(0) : QString();
}

// The market overview of the largest category and of every product against the same
// aggregates as raw SQL, and the PDF of the first. Measured after the program's peak memory:
// the queries' GROUP BY sorts every trade in memory, which the overview itself does not.
bool measureOverview(db::Database& database, store::DB_Operate& db,
    const grid::TextMeasure& measure, const Shown& shown)
{
    const QString largest = largestCategory(database);
    grid::GridModel grid;
    const AnalysisBench bench { database, db, grid, measure, 3,
        [&](const QString& name) { shown(name, grid); } };
    bool agreed = analysisFigures("overview_category", compareOverview(bench, largest));
    agreed = analysisFigures("overview_all", compareOverview(bench, QString())) && agreed;
    analysis::MarketOverview overview;
    QString error;
    if (!analysis::BuildMarketOverview(db, largest, overview, &error))
        return false;
    const QString pdf = QDir::current().filePath(QStringLiteral("overview.pdf"));
    QElapsedTimer wall;
    wall.start();
    const bool written = shell::WriteOverviewReport(overview, pdf, "DATA.mdb", &error);
    figure("overview_pdf", double(wall.elapsed()) / 1000.0, "s");
    if (!written)
        std::fprintf(stderr, "overview pdf: %s\n", qPrintable(error));
    return written && agreed;
}
#endif

} // namespace

int runMeasurement(
    int argc, char** argv, const QString& database, const QString& binDir, const QString& gridFile)
{
    QFile grids(gridFile);
    if (!gridFile.isEmpty() && !grids.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(gridFile));
        return 1;
    }
    const Shown shown = [&](const QString& name, const grid::GridModel& grid) {
        if (grids.isOpen())
            writeGrid(grids, name, grid);
    };
    core::ReadTimeZoneOnce();
    QApplication app(argc, argv);
    widgets::Dialogs::setHeadless(true);
    // The work folders lie beside the cache: the copies are as large as the databases.
    QTemporaryDir folder(QFileInfo(database).absolutePath() + QStringLiteral("/work-XXXXXX"));
    QTemporaryDir emptyFolder(QFileInfo(database).absolutePath() + QStringLiteral("/empty-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("DATA.mdb"));
    QString error;
    if (!folder.isValid() || !emptyFolder.isValid() || !QFile::copy(database, path)
        || !store::initialiseDataFolder(folder.path(), binDir, &error)) {
        std::fprintf(stderr, "cannot prepare the data folder: %s\n", qPrintable(error));
        return 1;
    }
    // The copy is on the disk before anything is timed: the kernel writing back 1.5 GB of
    // fresh pages during the first clicks counted in their processor time, and a user's file
    // is not one written a moment ago.
    if (!syncToDisk(path)) {
        std::fprintf(stderr, "cannot write %s to the disk\n", qPrintable(path));
        return 1;
    }
    QDir::setCurrent(folder.path());

    // Opening the program on the database until the product list is shown.
    const double openMs = timeMs([&] {
        shell::MainWindow window(folder.path());
        window.startUp();
        window.show();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    });
    figure("open", openMs, "cpu_ms");

    store::Catalogue catalogue(folder.path());
    catalogue.LoadCurrentDatabase();
    YesFeedback feedback;
    store::DB_Operate db(catalogue, feedback);
    const grid::FontTextMeasure measure(QApplication::font());
    measureLists(db, measure, shown);
    // The figures of an analysis that shows something else than its query are still
    // printed, but the run fails.
    bool analysesAgreed = true;
#ifdef QUEL_HAVE_ANALYSIS
    {
        auto database = store::DatabasePool::shared().acquire(path, &error);
        analysesAgreed = database && measureAnalyses(*database, db, measure, shown);
        // The overviews once, the way the page computes them, so that their memory is the
        // program's; their timing against SQL comes after the peak is taken.
        analysis::MarketOverview overview;
        for (const QString& category : { largestCategory(*database), QString() })
            analysesAgreed
                = analysis::BuildMarketOverview(db, category, overview, &error) && analysesAgreed;
    }
#else
    std::printf("analyses: not measured (src/analysis is not in this tree)\n");
#endif
    // The clicks alone, for working on one of them: the long work below takes minutes.
    if (qEnvironmentVariableIsSet("QUELMAR_SCALE_CLICKS_ONLY"))
        return analysesAgreed ? 0 : 1;

    // Importing into this database, then the same into an empty one.
    const ImportFigures full = importResults(path, folder.path());
    const QString emptyPath = emptyFolder.filePath(QStringLiteral("DATA.mdb"));
    const ImportFigures empty = store::writeTemplate(emptyPath, &error)
        ? importResults(emptyPath, emptyFolder.path())
        : ImportFigures {};
    store::DatabasePool::shared().close(emptyPath);
    if (!full.ok || !empty.ok || full.records != empty.records) {
        std::fprintf(
            stderr, "the imports differ: %ld and %ld records\n", full.records, empty.records);
        return 1;
    }
    const double fullRate = double(full.records) / full.seconds;
    const double emptyRate = double(empty.records) / empty.seconds;
    figure("import", full.seconds * 1000.0, "cpu_ms");
    figure("import_rate", fullRate, "records/s");
    figure("import_empty_rate", emptyRate, "records/s");
    figure("import_ratio", fullRate / emptyRate, "x");

    // Deleting the 1,000 newest products (the imported ones among them) from the product
    // list, with their trades.
    auto handle = store::DatabasePool::shared().acquire(path, &error);
    const long long tradesBefore = count(*handle, QStringLiteral("SELECT count(*) FROM 交易表"));
    {
        grid::GridModel grid;
        views::showProductList(grid, views::ListKind::Products, db, {}, true, measure);
        grid.setCurrentCell(grid.fixedRows(), 3);
        grid.setSelectionEnd(grid.fixedRows() + kDeletedProducts - 1, 3);
        const double ms = timeMs([&] { views::deleteSelectedProducts(grid, db); });
        figure("delete_1000_products", ms, "cpu_ms");
    }
    const long long trades = count(*handle, QStringLiteral("SELECT count(*) FROM 交易表"));
    std::fprintf(stderr, "deleted %lld trades\n", tradesBefore - trades);
    handle.reset();

    // Compaction (with its backup copy); the direct VACUUM below is only its yardstick and
    // is not counted in the program's peak.
    const double compactMs = timeMs([&] {
        if (!store::CompactDatabaseFile(
                path, QString::fromLatin1(store::kDatabasePassword), true, feedback))
            std::fprintf(stderr, "compaction failed\n");
    });
    // The high-water mark of this process image (VmHWM): getrusage would also count the
    // pages of the parent that forked it.
    figure("peak_rss", double(peakResidentKb(QCoreApplication::applicationPid())) / 1024.0, "MB");
#ifdef QUEL_HAVE_ANALYSIS
    {
        auto database = store::DatabasePool::shared().acquire(path, &error);
        analysesAgreed
            = database && measureOverview(*database, db, measure, shown) && analysesAgreed;
    }
#endif

    // The rule editor's "apply to all": every product's short name derived again from its
    // title. The generated short names follow no rules, so every product is rewritten.
    {
        long changed = 0;
        const double ms = timeMs([&] { changed = simplify::RederiveAllShortNames(db); });
        figure("rederive_short_names", ms, "cpu_ms");
        std::fprintf(stderr, "short names: %ld rewritten\n", changed);
    }

    // VACUUM of the same file on a handle of its own.
    const qint64 bytes = QFileInfo(path).size();
    store::DatabasePool::shared().releaseAll();
    double vacuumMs = 0;
    {
        auto direct
            = store::OpenDatabase(path, QString::fromLatin1(store::kDatabasePassword), &error);
        if (direct)
            vacuumMs = timeMs([&] { direct->executeNative(QStringLiteral("VACUUM")); });
    }
    QFile::remove(QDir::tempPath() + QStringLiteral("/backup.mdb"));
    QFile::remove(QDir::tempPath() + QStringLiteral("/temp.mdb"));
    figure("compact", compactMs, "cpu_ms");
    figure("vacuum", vacuumMs, "cpu_ms");
    figure("compact_ratio", vacuumMs > 0 ? compactMs / vacuumMs : 0, "x");
    figure("bytes_per_trade", trades > 0 ? double(bytes) / double(trades) : 0, "bytes");
    return analysesAgreed ? 0 : 1;
}

} // namespace quel::bench
