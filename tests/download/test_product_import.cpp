#include "download/product_import.h"
#include "download_test_db.h"
#include "store/price_history.h"

#include <QDate>

using namespace quel::download;
using quel::test::TestDb;

namespace {

const QString S = QStringLiteral("〗★〖");
const QDate kToday(2026, 12, 7);
const QString kHead = QStringList { "25", "90", "12", "全新", "300", "40", "12.5" }.join(S);

QString sale(const QString& when, const QString& buyer, const QString& code = QString(),
    const QString& price = QStringLiteral("12.5"), const QString& num = QStringLiteral("1"))
{
    return QStringList { price, num, when, code, buyer }.join(S);
}

QString result(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

struct ImportDb : TestDb
{
    KnownBuyerCodes known;
    qint64 pid = addProduct(QStringLiteral("1001"));

    bool import(const QString& text, ImportCounts* counts = nullptr, QString* error = nullptr)
    {
        return ImportProductResult(conn, pid, text, known, counts, error, kToday);
    }

    // Stored trades of the product as "buyer@yyyy-MM-dd hh:mm:ss", in insertion order.
    QStringList trades() const
    {
        QStringList out;
        for (const auto& r : rows(QStringLiteral("SELECT * FROM 交易表 ORDER BY ID")))
            out << r.value("Buyer").toString() + "@"
                    + r.value("Dat").toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        return out;
    }

    QVariantMap product() const
    {
        return rows(QStringLiteral("SELECT * FROM 产品表 WHERE ID=") + QString::number(pid))
            .front();
    }
};

} // namespace

TEST(ProductImport, FirstImportStoresProductRecordsAndNewBuyers)
{
    ImportDb t;
    t.exec(QStringLiteral("INSERT INTO 客户表(BCode) VALUES('known')"));
    ASSERT_TRUE(t.known.load(t.conn));
    ImportCounts counts;
    const QString text = result({ kHead, sale("2010-4-12 10:20:30", "买家甲", "b1", "12.5元", "2"),
        sale("2010-4-12 09:00:00", "O'Neil", "b1"),
        sale("2010-4-11 08:00:00", "买家乙"), // no buyer code
        sale("2010-4-10 07:00:00", "老客户", "known"), QStringLiteral("too〗★〖short") });
    ASSERT_TRUE(t.import(text, &counts));

    const QVariantMap p = t.product();
    EXPECT_EQ(p.value("Num1").toLongLong(), 25);
    EXPECT_EQ(p.value("Num9").toLongLong(), 90);
    EXPECT_EQ(p.value("SNum").toLongLong(), 12);
    EXPECT_EQ(p.value("Style").toString(), QStringLiteral("全新"));
    EXPECT_EQ(p.value("VTimes").toLongLong(), 300);
    EXPECT_EQ(p.value("CTimes").toLongLong(), 40);
    EXPECT_DOUBLE_EQ(p.value("Price").toDouble(), 12.5);
    EXPECT_EQ(p.value("dDat").toDateTime().date(), kToday);

    EXPECT_EQ(t.trades(),
        (QStringList { "买家甲@2010-04-12 10:20:30", "O'Neil@2010-04-12 09:00:00",
            "买家乙@2010-04-11 08:00:00", "老客户@2010-04-10 07:00:00" }));
    const auto first = t.rows(QStringLiteral("SELECT * FROM 交易表 ORDER BY ID")).front();
    EXPECT_EQ(first.value("PID").toLongLong(), t.pid);
    EXPECT_DOUBLE_EQ(first.value("Pri").toDouble(), 12.5);
    EXPECT_EQ(first.value("Num").toLongLong(), 2);
    EXPECT_EQ(first.value("BCode").toString(), QStringLiteral("b1"));
    EXPECT_EQ(t.rows(QStringLiteral("SELECT * FROM 交易表 WHERE Buyer='买家乙'"))
                  .front()
                  .value("BCode")
                  .toString(),
        QString());

    // One new code, inserted once; the code without a record and the known one are not.
    const auto customers = t.rows(QStringLiteral("SELECT BCode FROM 客户表 ORDER BY ID"));
    ASSERT_EQ(customers.size(), 2u);
    EXPECT_EQ(customers[1].value("BCode").toString(), QStringLiteral("b1"));
    EXPECT_EQ(counts.records, 4);
    EXPECT_EQ(counts.buyers, 1);
    EXPECT_TRUE(t.known.contains(QStringLiteral("b1")));
}

TEST(ProductImport, EveryRecordNotStoredYetGoesInOnce)
{
    ImportDb t;
    const QString older = result(
        { kHead, sale("2010-4-12 10:00:00", "甲", "a"), sale("2010-4-11 10:00:00", "乙", "b") });
    ASSERT_TRUE(t.import(older));
    ASSERT_EQ(t.trades().size(), 2);

    // The same result again stores nothing.
    ImportCounts again;
    ASSERT_TRUE(t.import(older, &again));
    EXPECT_EQ(again.records, 0);
    EXPECT_EQ(t.count("交易表"), 2);

    // Newer lines on top: exactly those are stored.
    ImportCounts newer;
    ASSERT_TRUE(
        t.import(result({ kHead, sale("2010-4-14 10:00:00", "丙", "c"),
                     sale("2010-4-13 10:00:00", "丁", "d"), sale("2010-4-12 10:00:00", "甲", "a"),
                     sale("2010-4-11 10:00:00", "乙", "b") }),
            &newer));
    EXPECT_EQ(newer.records, 2);
    EXPECT_EQ(newer.buyers, 2);
    EXPECT_EQ(t.count("交易表"), 4);

    // A stored line does not end the result: the unseen lines after it and the older ones
    // (a hole an earlier cut-short result left) go in as well.
    ASSERT_TRUE(t.import(result(
        { kHead, sale("2010-4-14 10:00:00", "丙", "c"), sale("2010-4-13 11:00:00", "新", "n"),
            sale("2010-4-12 10:00:00", "甲", "a"), sale("2010-4-01 10:00:00", "旧", "o") })));
    EXPECT_EQ(t.count("交易表"), 6);
    EXPECT_TRUE(t.trades().contains("新@2010-04-13 11:00:00"));
    EXPECT_TRUE(t.trades().contains("旧@2010-04-01 10:00:00"));

    // Same time and buyer as a stored trade but another price or quantity: another trade.
    ASSERT_TRUE(t.import(result({ kHead, sale("2010-4-14 10:00:00", "丙", "c", "13", "1"),
        sale("2010-4-14 10:00:00", "丙", "c", "12.5", "3") })));
    EXPECT_EQ(t.count("交易表"), 8);
}

TEST(ProductImport, ARecordTwoPagesShowedGoesInOnce)
{
    // The last record of a page shown again at the top of the next one.
    ImportDb t;
    const QString twice = result(
        { kHead, sale("2010-4-12 10:00:00", "甲", "a"), sale("2010-4-11 10:00:00", "乙", "b"),
            sale("2010-4-11 10:00:00", "乙", "b"), sale("2010-4-10 10:00:00", "丙", "c") });
    ImportCounts counts;
    ASSERT_TRUE(t.import(twice, &counts));
    EXPECT_EQ(counts.records, 3);
    EXPECT_EQ(t.trades(),
        (QStringList {
            "甲@2010-04-12 10:00:00", "乙@2010-04-11 10:00:00", "丙@2010-04-10 10:00:00" }));
    EXPECT_EQ(t.count("客户表"), 3);
}

TEST(ProductImport, AWholeResultOverAnEarlierHalfOneLeavesTheWholeRecord)
{
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << sale(
            QStringLiteral("2010-4-%1 10:%2:00").arg(28 - i / 2).arg(i % 60, 2, 10, QChar('0')),
            QStringLiteral("买家%1").arg(i), QStringLiteral("c%1").arg(i % 7));
    ImportDb clean;
    ASSERT_TRUE(clean.import(result(QStringList { kHead } + lines)));

    // The first import got the first half only, then the whole record came.
    ImportDb repaired;
    ASSERT_TRUE(repaired.import(result(QStringList { kHead } + lines.mid(0, 17))));
    ASSERT_TRUE(repaired.import(result(QStringList { kHead } + lines)));
    const QString all
        = QStringLiteral("SELECT PID,BCode,Buyer,Dat,Pri,Num FROM 交易表 ORDER BY Dat,Buyer");
    EXPECT_EQ(repaired.rows(all), clean.rows(all));
    EXPECT_EQ(repaired.rows(QStringLiteral("SELECT BCode FROM 客户表 ORDER BY BCode")),
        clean.rows(QStringLiteral("SELECT BCode FROM 客户表 ORDER BY BCode")));
}

TEST(ProductImport, HeadLineVariants)
{
    // Only a head line: product updated, no record, true.
    ImportDb t;
    ImportCounts counts;
    ASSERT_TRUE(t.import(kHead, &counts));
    EXPECT_EQ(t.product().value("Style").toString(), QStringLiteral("全新"));
    EXPECT_EQ(counts.records, 0);
    EXPECT_EQ(t.count("交易表"), 0);

    // Fewer than seven head fields: product untouched, records still stored.
    ImportDb u;
    ASSERT_TRUE(u.import(result(
        { QStringList { "1", "2", "3", "二手" }.join(S), sale("2010-4-12 10:00:00", "甲") })));
    EXPECT_EQ(u.product().value("Style").toString(), QString());
    EXPECT_EQ(u.product().value("Num1").toLongLong(), 3);
    EXPECT_EQ(u.count("交易表"), 1);

    // A head line whose item type is empty, and empty texts, are refused with nothing written.
    ImportDb v;
    EXPECT_FALSE(v.import(result({ QStringList { "1", "2", "3", "", "5", "6", "7" }.join(S),
        sale("2010-4-12 10:00:00", "甲") })));
    EXPECT_FALSE(v.import(QString()));
    EXPECT_FALSE(v.import(result({ QString(), sale("2010-4-12 10:00:00", "甲") })));
    EXPECT_EQ(v.count("交易表"), 0);
    EXPECT_EQ(v.product().value("Num1").toLongLong(), 3);

    // Figures are stored as the page wrote them into number columns: a whole number with a
    // point and blanks around it is that number, a blank one nothing, a word stays a word.
    ImportDb w;
    ASSERT_TRUE(w.import(QStringList { "25.0", " 7 ", "1e2", "全新", "", "很多", "12" }.join(S)));
    const QVariantMap p = w.product();
    EXPECT_EQ(p.value("Num1"), QVariant(qlonglong(25)));
    EXPECT_EQ(p.value("Num9"), QVariant(qlonglong(7)));
    EXPECT_EQ(p.value("SNum"), QVariant(qlonglong(100)));
    EXPECT_TRUE(p.value("VTimes").isNull());
    EXPECT_EQ(p.value("CTimes").toString(), QStringLiteral("很多"));
    EXPECT_EQ(p.value("Price"), QVariant(12.0));
    EXPECT_EQ(p.value("dDat").toDateTime(), QDateTime(kToday, QTime(0, 0)));
}

TEST(ProductImport, FailuresLeaveTheProductExactlyAsBefore)
{
    // An unreadable date rejects the whole result instead of storing a wrong date.
    ImportDb t;
    QString error;
    EXPECT_FALSE(t.import(
        result({ kHead, sale("2010-4-12 10:00:00", "甲", "a"), sale("昨天 10:00", "乙", "b") }),
        nullptr, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(t.product().value("Style").toString(), QString());
    EXPECT_EQ(t.count("交易表"), 0);
    EXPECT_EQ(t.count("客户表"), 0);

    // A database failure after the product row and some records were written rolls all of
    // it back, and the code that was not stored does not count as known.
    ImportDb u;
    ASSERT_TRUE(u.db->executeNative(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 客户表 "
                                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    EXPECT_FALSE(u.import(result(
        { kHead, sale("2010-4-12 10:00:00", "甲"), sale("2010-4-11 10:00:00", "乙", "b") })));
    EXPECT_EQ(u.product().value("Style").toString(), QString());
    EXPECT_EQ(u.product().value("dDat").toDateTime().date(), QDate(1900, 1, 1));
    EXPECT_EQ(u.count("交易表"), 0);
    EXPECT_FALSE(u.known.contains(QStringLiteral("b")));
}

TEST(ProductImport, QuotesInValuesAreStored)
{
    ImportDb t;
    ASSERT_TRUE(t.import(result({ QStringList { "1", "2", "3", "Levi's", "5", "6", "7" }.join(S),
        sale("2010-4-12 10:00:00", "it's me", "o'code") })));
    EXPECT_EQ(t.product().value("Style").toString(), QStringLiteral("Levi's"));
    EXPECT_EQ(t.rows(QStringLiteral("SELECT BCode FROM 客户表")).front().value("BCode").toString(),
        QStringLiteral("o'code"));
}

TEST(ProductImport, ItemPageFiguresJoinTheDaysHistoryRowOnlyWhenTheImportIsKept)
{
    // The search saw the price and the current sales that morning; the item page adds its
    // figures to the same day's row and replaces those it saw again.
    ImportDb t;
    quel::store::PriceObservation listed;
    listed.day = kToday;
    listed.price = 11;
    listed.num1 = 20;
    QString error;
    ASSERT_TRUE(quel::store::RecordObservation(t.conn, t.pid, listed, &error))
        << error.toStdString();
    ASSERT_TRUE(t.import(result({ kHead, sale("2010-4-12 10:00:00", "甲") })));
    auto rows = t.rows(QStringLiteral("SELECT * FROM 价格历史"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].value("Dat").toDateTime(), QDateTime(kToday, QTime(0, 0)));
    EXPECT_DOUBLE_EQ(rows[0].value("Price").toDouble(), 12.5);
    EXPECT_EQ(rows[0].value("Num1").toLongLong(), 25);
    EXPECT_EQ(rows[0].value("Num9").toLongLong(), 90);
    EXPECT_EQ(rows[0].value("VTimes").toLongLong(), 300);
    EXPECT_EQ(rows[0].value("CTimes").toLongLong(), 40);

    // A result without the full head line (no figures) records nothing.
    ImportDb bare;
    ASSERT_TRUE(bare.import(result(
        { QStringList { "1", "2", "3", "二手" }.join(S), sale("2010-4-12 10:00:00", "甲") })));
    EXPECT_EQ(bare.count(QStringLiteral("价格历史")), 0);

    // An import that fails after its head was written leaves no history row either.
    ImportDb u;
    ASSERT_TRUE(u.db->executeNative(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 客户表 "
                                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    EXPECT_FALSE(u.import(result({ kHead, sale("2010-4-11 10:00:00", "乙", "b") })));
    EXPECT_EQ(u.count(QStringLiteral("价格历史")), 0);

    // A product deleted while its page was downloading gets no history left behind.
    ImportDb gone;
    gone.exec(QStringLiteral("DELETE * FROM 产品表"));
    EXPECT_TRUE(gone.import(result({ kHead })));
    EXPECT_EQ(gone.count(QStringLiteral("价格历史")), 0);
}
