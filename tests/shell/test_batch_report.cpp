// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_fixture.h"
#include "support/pdf_text.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// The report command through the built program, over two categories: 台灯 with two shops
// (75 and 25 of the 90-day amount) and trades, 钢笔 with one product and no records.
class BatchReportTest : public quel::test::BatchFolderTest
{
protected:
    void SetUp() override
    {
        fill({
            "INSERT INTO 产品表(ID,KWord,SName,Addr,Price,Num9,Style) "
            "VALUES(1,'台灯','甲店','浙江 杭州',25,3,'1')",
            "INSERT INTO 产品表(ID,KWord,SName,Addr,Price,Num9,Style) "
            "VALUES(2,'台灯','乙店','火星',12.5,2,'1')",
            "INSERT INTO 产品表(ID,KWord,SName,Addr,Price,Num9,Style) "
            "VALUES(3,'钢笔','丙店','上海',3000,0,'')",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(1,'b1','甲',#2026-12-7 "
            "10:00#,25,2)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(2,'b1','甲',#2026-12-6 "
            "10:00#,12.5,1)",
            "INSERT INTO 客户表(BCode,BName,Prov) VALUES('b1','甲','北京')",
        });
    }

    std::pair<int, QString> run(const QStringList& arguments)
    {
        return runBatch(QStringList { "report" } + arguments);
    }
};

} // namespace

TEST_F(BatchReportTest, CsvHoldsTheFiguresForScripts)
{
    const auto [code, text] = run({ "--category", "台灯", "--out", m_dir.file("f.csv") });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QStringList lines
        = QString::fromUtf8(m_dir.read("f.csv")).split("\r\n", Qt::SkipEmptyParts);
    // 12.5 and 25: bands of 2 from 12 to 26, seven of them.
    QStringList expected { "figure,value", "products,2", "shops,2", "sales90_quantity,5",
        "sales90_amount,100", "weighted_avg_price,20", "median_price,18.75", "top10_share,1",
        "hhi,6250", "band_12_14_products,1", "band_12_14_quantity,2", "band_12_14_amount,25" };
    ASSERT_GE(lines.size(), expected.size() + 18);
    EXPECT_EQ(lines.mid(0, expected.size()), expected);
    EXPECT_EQ(lines.last(), "band_24_26_amount,75");
    EXPECT_TRUE(lines.contains("band_18_20_products,0"));

    // Every product, by default.
    const auto [all, message] = run({ "--out", m_dir.file("all.csv") });
    ASSERT_EQ(all, 0) << message.toStdString();
    EXPECT_TRUE(QString::fromUtf8(m_dir.read("all.csv")).contains("\r\nproducts,3\r\n"));
}

TEST_F(BatchReportTest, PdfAndHtmlCarryTheWholeOverview)
{
    auto [code, text] = run({ "--category", "台灯", "--out", m_dir.file("r.pdf") });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QString pdf = quel::test::pdfText(m_dir.file("r.pdf"));
    for (const char* expected :
        { "市场概览：台灯", "数据库：DATA.mdb", "集中度指数(HHI)", "6250（集中）", "价格区间",
            "24-26", "店铺销售额排名", "每周销售", "2026.11.30", "基于 2 个已下载成交记录的产品",
            "卖家所在省份", "浙江", "其他", "买家所在省份", "北京" })
        EXPECT_TRUE(pdf.contains(quel::test::fold(QString::fromUtf8(expected)))) << expected;

    std::tie(code, text) = run({ "--category", "钢笔", "--out", m_dir.file("r.html") });
    ASSERT_EQ(code, 0) << text.toStdString();
    const QString html = QString::fromUtf8(m_dir.read("r.html"));
    EXPECT_TRUE(html.contains("市场概览：钢笔"));
    EXPECT_TRUE(html.contains("基于 0 个已下载成交记录的产品"));
    EXPECT_TRUE(html.contains("无销售"));
    EXPECT_FALSE(html.contains("http"));
}

TEST_F(BatchReportTest, UnknownCategoryAndBadArgumentsWriteNothing)
{
    const QString out = m_dir.file("x.pdf");
    const auto [code, text] = run({ "--category", "冰箱", "--out", out });
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(text.contains("冰箱")) << text.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    for (const QStringList& arguments :
        { QStringList { "--category", "台灯" }, QStringList { "--out", m_dir.file("x.xlsx") },
            QStringList { "--out" }, QStringList { "--colour", "red", "--out", out } }) {
        const auto [bad, usage] = run(arguments);
        EXPECT_EQ(bad, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(usage.contains("--batch report")) << usage.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_FALSE(QFile::exists(m_dir.file("x.xlsx")));
}
