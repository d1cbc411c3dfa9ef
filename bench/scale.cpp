// How the program's costs grow with the database: the same operations on a generated
// database of a year of a busy category (200,000 products, 10,000,000 trades, 1,000,000
// buyers) and on one a tenth of its size, each measured in a process of its own (so that
// its peak memory is that of the program doing this work), then big/small ratios.
//   bench_scale [--divisor N] [--regenerate]
//     --divisor N     the big database at 1/N of the full size, the small at 1/10N
//     --regenerate    makes both databases anew (and times it) instead of using the cache
//   bench_scale --measure DATABASE LABEL [GRIDFILE]
//     one size's run; with GRIDFILE, every grid it showed is written there as well
//     (QUELMAR_SCALE_CLICKS_ONLY=1: only opening, the lists and the analyses)
//   bench_scale --upgrade DATABASE
//     gives a database the tables and indexes a newer template has, as a first open does
// The generated files are kept in build-bench/scale-cache/ between runs.
#include "core/heap_pages.h"
#include "db/database.h"
#include "market/test_server.h"
#include "process_memory.h"
#include "scale_generator.h"
#include "scale_measure.h"
#include "store/customer_lookup.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/overview_summary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdio>
#include <thread>

using namespace quel;
using quel::bench::ScaleSize;

namespace {

QString binDir()
{
    const QString bin = qEnvironmentVariable("QUELMAR_BIN");
    return bin.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : bin;
}

struct Figure
{
    double value = 0;
    QString unit;
};

// Runs this program on one database in a child process and collects its figures.
QMap<QString, Figure> measure(const QString& database, const QString& label)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--measure"), database, label });
    child.waitForFinished(-1);
    QMap<QString, Figure> figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        const qsizetype colon = text.indexOf(QStringLiteral(": "));
        if (colon < 0)
            continue;
        const QStringList parts = text.mid(colon + 2).split(u' ');
        bool ok = false;
        const double value = parts.value(0).toDouble(&ok);
        if (ok)
            figures.insert(text.left(colon), { value, parts.mid(1).join(u' ') });
        else
            std::printf("%s\n", qPrintable(text));
    }
    if (child.exitCode() != 0)
        std::fprintf(
            stderr, "scale: the %s run failed (%d)\n", qPrintable(label), child.exitCode());
    return figures;
}

// Peak resident size of a worker fetching a product with three pages of sales records,
// read while it runs (after the exec, so the parent's pages do not count).
double workerPeakMb()
{
    market::TestServer server;
    const auto& catalogue = server.catalogue();
    std::string code;
    for (const market::Product& product : catalogue.products()) {
        const int records = catalogue.figures(product.index).records;
        if (product.viewable && !product.mall && records > 180 && records <= 270) {
            code = product.code;
            break;
        }
    }
    if (code.empty())
        return 0;
    QTemporaryDir folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUELMAR_MARKET"), QString::fromStdString(server.baseUrl()));
    QProcess worker;
    worker.setProcessEnvironment(env);
    worker.setWorkingDirectory(folder.path());
    worker.start(binDir() + QStringLiteral("/quelfetch"),
        { QString::fromStdString(code) + QStringLiteral("‖./Temp_w.t‖0") });
    long peakKb = 0;
    while (!worker.waitForFinished(5))
        peakKb = std::max(peakKb, bench::peakResidentKb(worker.processId()));
    if (!QFile::exists(folder.filePath(QStringLiteral("Temp_w.t"))))
        return 0;
    return double(peakKb) / 1024.0;
}

// The budget of an operation a click starts and the user waits for, in milliseconds of
// processor time; 0 for the figures that are no click (yardstick queries, long work with a
// progress window, counts and ratios).
double clickBudgetMs(const QString& name)
{
    // The sales and customer lists' "filter" is another choice of products, which fills the
    // list anew; the product lists' filter narrows the list.
    if (name.startsWith(QStringLiteral("list_sales_"))
        || name.startsWith(QStringLiteral("list_customers_")))
        return name.endsWith(QStringLiteral("_sort")) ? 300 : 500;
    if (name.startsWith(QStringLiteral("list_")))
        return name.endsWith(QStringLiteral("_fill")) ? 500 : 300;
    if (name == QStringLiteral("open"))
        return 500;
    // The analyses as their pages run them; "analysis_products" repeats the worst grouping.
    if (name.startsWith(QStringLiteral("analysis_")) && !name.endsWith(QStringLiteral("_sql"))
        && !name.endsWith(QStringLiteral("_vs_sql")) && name != QStringLiteral("analysis_products")
        && name != QStringLiteral("analysis_chosen_trades"))
        return 500;
    return 0;
}

// The slowest click on the big database and how many clicks exceed their budget.
void printClickBudget(const QMap<QString, Figure>& figures)
{
    QString slowest;
    double slowestMs = -1;
    int over = 0;
    for (auto it = figures.cbegin(); it != figures.cend(); ++it) {
        const double budget = clickBudgetMs(it.key());
        if (budget <= 0)
            continue;
        if (it.value().value > budget) {
            ++over;
            std::printf("scale_over_budget_%s: %.0f ms (budget %.0f)\n", qPrintable(it.key()),
                it.value().value, budget);
        }
        if (it.value().value > slowestMs) {
            slowestMs = it.value().value;
            slowest = it.key();
        }
    }
    std::printf("scale_slowest_click: %s %.0f ms\n", qPrintable(slowest), slowestMs);
    std::printf("scale_over_budget: %d\n", over);
}

// A cached file made before the template gained an index gets it here, once, the way a
// user's older database gets it when first opened, rather than in every run's opening.
bool upgradeCachedDatabase(const QString& path, const char* label, QString* error)
{
    QStringList before;
    bool summary = false;
    {
        auto db = store::OpenDatabase(path, QString::fromLatin1(store::kDatabasePassword), error);
        if (!db)
            return false;
        before = db->indexNames();
        summary = store::HasOverviewSummary(*db) && store::HasCustomerLookup(*db);
    }
    QElapsedTimer clock;
    clock.start();
    auto db = store::DatabasePool::shared().acquire(path, error);
    if (!db)
        return false;
    QStringList after = db->indexNames();
    db.reset();
    store::DatabasePool::shared().close(path);
    before.sort();
    after.sort();
    if (after != before || !summary)
        std::printf("scale_add_indexes_%s: %.1f s\n", label, double(clock.elapsed()) / 1000.0);
    return true;
}

int runParent(long long divisor, bool regenerate)
{
    const ScaleSize big = ScaleSize::fraction(divisor);
    const ScaleSize small = ScaleSize::fraction(divisor * 10);
    const QString cache
        = QCoreApplication::applicationDirPath() + QStringLiteral("/../scale-cache");
    QString databases[2];
    const ScaleSize sizes[2] = { small, big };
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer clock;
        clock.start();
        bool generated = false;
        QString error;
        if (regenerate)
            QFile::remove(QDir(cache).filePath(bench::scaleCacheName(sizes[i])));
        databases[i]
            = bench::cachedScaleDatabase(cache, sizes[i], &error, [&](const QString& text) {
                  generated = true;
                  std::fprintf(stderr, "generating %s: %s\n",
                      qPrintable(bench::scaleCacheName(sizes[i])), qPrintable(text));
              });
        if (databases[i].isEmpty()) {
            std::fprintf(stderr, "scale: cannot generate the database: %s\n", qPrintable(error));
            return 1;
        }
        if (generated)
            std::printf("scale_generate_%s: %.1f s\n", i == 0 ? "small" : "big",
                double(clock.elapsed()) / 1000.0);
        if (!upgradeCachedDatabase(databases[i], i == 0 ? "small" : "big", &error)) {
            std::fprintf(stderr, "scale: cannot open the database: %s\n", qPrintable(error));
            return 1;
        }
    }
    std::printf("scale_small_size: %lld products, %lld trades, %lld buyers\n", small.products,
        small.trades, small.buyers);
    std::printf("scale_big_size: %lld products, %lld trades, %lld buyers\n", big.products,
        big.trades, big.buyers);
    std::fflush(stdout);

    const QMap<QString, Figure> smallFigures = measure(databases[0], QStringLiteral("small"));
    const QMap<QString, Figure> bigFigures = measure(databases[1], QStringLiteral("big"));
    // Each figure for both sizes and how it grew.
    for (auto it = bigFigures.cbegin(); it != bigFigures.cend(); ++it) {
        const Figure s = smallFigures.value(it.key());
        const Figure b = it.value();
        std::printf("%s_small: %.6g %s\n", qPrintable(it.key()), s.value, qPrintable(s.unit));
        std::printf("%s_big: %.6g %s\n", qPrintable(it.key()), b.value, qPrintable(b.unit));
        if (s.value > 0)
            std::printf("%s_ratio: %.2f x\n", qPrintable(it.key()), b.value / s.value);
    }
    // The figures the targets are set on, from the big database.
    std::printf(
        "scale_import_ratio: %.2f x\n", bigFigures.value(QStringLiteral("import_ratio")).value);
    std::printf(
        "scale_compact_ratio: %.2f x\n", bigFigures.value(QStringLiteral("compact_ratio")).value);
    // The analyses against their SQL queries (target: at most 2).
    for (const char* kind : { "products", "periods", "totals", "buyers", "cycle",
             "overview_category", "overview_all" }) {
        const QString name = QStringLiteral("analysis_%1_vs_sql").arg(QLatin1String(kind));
        if (bigFigures.contains(name))
            std::printf("scale_%s: %.2f x\n", qPrintable(name), bigFigures.value(name).value);
    }
    std::printf(
        "scale_overview_pdf: %.2f s\n", bigFigures.value(QStringLiteral("overview_pdf")).value);
    std::printf("scale_peak_rss: %.0f MB\n",
        std::max(bigFigures.value(QStringLiteral("peak_rss")).value,
            smallFigures.value(QStringLiteral("peak_rss")).value));
    std::printf("scale_worker_peak_rss: %.0f MB\n", workerPeakMb());
    // A run that measured nothing has no verdict: "over budget: 0" would read as a pass.
    if (bigFigures.isEmpty() || smallFigures.isEmpty())
        return 1;
    printClickBudget(bigFigures);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // The measured clicks run in this process: it starts as the program does.
    core::StartWithHugeHeapPages(argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.value(0) == QStringLiteral("--measure"))
        return bench::runMeasurement(argc, argv, arguments.value(1), binDir(), arguments.value(3));
    QCoreApplication app(argc, argv);
    if (arguments.value(0) == QStringLiteral("--upgrade")) {
        QString error;
        if (upgradeCachedDatabase(arguments.value(1), "database", &error))
            return 0;
        std::fprintf(stderr, "scale: cannot open the database: %s\n", qPrintable(error));
        return 1;
    }
    long long divisor = 1;
    bool regenerate = false;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--divisor") && i + 1 < arguments.size()) {
            divisor = std::max(1LL, arguments[++i].toLongLong());
        } else if (arguments[i] == QStringLiteral("--regenerate")) {
            regenerate = true;
        } else {
            std::fprintf(stderr, "usage: bench_scale [--divisor N] [--regenerate]\n");
            return 2;
        }
    }
    return runParent(divisor, regenerate);
}
