// The large-database generator, at a size a test can afford: the rows it promises are there
// and hang together the way the program's own imports keep them.
#include "db/database.h"
#include "scale_generator.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "support/temp_dir.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

using namespace quel;
using quel::bench::ScaleSize;

namespace {

long long scalar(db::Database& db, const char* sql)
{
    db::Statement stmt = db.prepare(QString::fromUtf8(sql));
    EXPECT_TRUE(stmt) << sql;
    if (!stmt || stmt.step() != db::StepResult::Row)
        return -1;
    return stmt.int64(0);
}

QString scalarText(db::Database& db, const char* sql)
{
    db::Statement stmt = db.prepare(QString::fromUtf8(sql));
    if (!stmt || stmt.step() != db::StepResult::Row)
        return {};
    return stmt.text(0);
}

} // namespace

TEST(ScaleGenerator, TradeCountsOfTheFullSizeHaveTheSpreadOfABusyCategory)
{
    const ScaleSize full = ScaleSize::full();
    std::vector<int> counts = bench::tradeCounts(full);
    ASSERT_EQ(counts.size(), 200000u);
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0LL), 10000000LL);
    const int best = bench::bestSellerCount(full);
    EXPECT_GE(best, 3);
    for (int p = 0; p < best; ++p)
        EXPECT_EQ(counts[static_cast<size_t>(p)], bench::kBestSellerTrades);
    EXPECT_LT(*std::max_element(counts.begin() + best, counts.end()), bench::kBestSellerTrades);
    const auto under100
        = std::count_if(counts.begin(), counts.end(), [](int c) { return c < 100; });
    EXPECT_GT(under100, 200000 * 3 / 4);
    // The tenth keeps the same best sellers, so list and import figures compare like with like.
    const std::vector<int> tenth = bench::tradeCounts(ScaleSize::fraction(10));
    EXPECT_EQ(std::accumulate(tenth.begin(), tenth.end(), 0LL), 1000000LL);
    EXPECT_EQ(tenth.front(), bench::kBestSellerTrades);
}

TEST(ScaleGenerator, SmallDatabaseIsConsistent)
{
    test::TempDir dir;
    const ScaleSize size { 400, 20000, 1500, 7 };
    const QString path = dir.file(QStringLiteral("scale.mdb"));
    QString error;
    ASSERT_TRUE(bench::generateScaleDatabase(path, size, &error)) << error.toStdString();
    auto db = store::OpenDatabase(path, QString::fromLatin1(store::kDatabasePassword), &error);
    ASSERT_TRUE(db) << error.toStdString();

    EXPECT_EQ(scalar(*db, "SELECT count(*) FROM 产品表"), size.products);
    EXPECT_EQ(scalar(*db, "SELECT count(*) FROM 交易表"), size.trades);
    EXPECT_EQ(scalar(*db, "SELECT count(*) FROM 客户表"), size.buyers);
    // Every trade belongs to a stored product, every buyer code it names has its profile row,
    // and a code has one row.
    EXPECT_EQ(
        scalar(*db, "SELECT count(*) FROM 交易表 WHERE PID NOT IN (SELECT ID FROM 产品表)"), 0);
    EXPECT_EQ(scalar(*db,
                  "SELECT count(*) FROM 交易表 WHERE BCode<>'' AND BCode NOT IN "
                  "(SELECT BCode FROM 客户表)"),
        0);
    EXPECT_EQ(scalar(*db, "SELECT count(DISTINCT BCode) FROM 客户表"), size.buyers);
    EXPECT_GT(scalar(*db, "SELECT count(*) FROM 交易表 WHERE BCode<>''"), size.trades * 9 / 10);
    // Products without a downloaded page have no trades, and the download marks agree.
    EXPECT_EQ(scalar(*db,
                  "SELECT count(*) FROM 交易表 WHERE PID IN (SELECT ID FROM 产品表 WHERE "
                  "Style='')"),
        0);
    EXPECT_EQ(scalar(*db,
                  "SELECT count(*) FROM 产品表 WHERE Style='' AND dDat<>'1900-01-01 "
                  "00:00:00'"),
        0);
    // A buyer without a profile carries the "never downloaded" marks.
    EXPECT_EQ(scalar(*db,
                  "SELECT count(*) FROM 客户表 WHERE Prov='' AND (BName<>'' OR "
                  "rDat<>'1900-01-01 00:00:00')"),
        0);
    EXPECT_GT(scalar(*db, "SELECT count(*) FROM 客户表 WHERE Prov=''"), 0);
    // Dates in the stored form, over the 400 days that end on the last trade day.
    EXPECT_EQ(
        scalarText(*db, "SELECT max(Dat) FROM 交易表").left(10), QStringLiteral("2026-03-01"));
    EXPECT_GE(scalarText(*db, "SELECT min(Dat) FROM 交易表"), QStringLiteral("2025-01-25"));
    EXPECT_EQ(scalar(*db,
                  "SELECT count(*) FROM 交易表 WHERE Dat NOT GLOB "
                  "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"),
        0);
    // The template's indexes are all there.
    EXPECT_EQ(scalar(*db,
                  "SELECT count(*) FROM sqlite_master WHERE type='index' AND name IN "
                  "('交易表_PID','交易表_BCode_PID','客户表_BCode_Profile','产品表_PCode')"),
        4);
}

TEST(ScaleGenerator, CacheIsKeyedBySizeAndReused)
{
    test::TempDir dir;
    const ScaleSize a { 50, 800, 100, 1 };
    const ScaleSize b { 60, 800, 100, 1 };
    EXPECT_NE(bench::scaleCacheName(a), bench::scaleCacheName(b));
    QString error;
    const QString first = bench::cachedScaleDatabase(dir.path(), a, &error);
    ASSERT_FALSE(first.isEmpty()) << error.toStdString();
    const QDateTime made = QFileInfo(first).lastModified();
    int generated = 0;
    const QString again
        = bench::cachedScaleDatabase(dir.path(), a, &error, [&](const QString&) { ++generated; });
    EXPECT_EQ(again, first);
    EXPECT_EQ(generated, 0);
    EXPECT_EQ(QFileInfo(again).lastModified(), made);
}
