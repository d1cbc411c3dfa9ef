// SPDX-License-Identifier: GPL-3.0-or-later
#include "exports/report.h"
#include "support/app_fixture.h"
#include "support/pdf_text.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace quel::exports {
namespace {

QImage picture(int w, int h, const QColor& colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(10, 10, w / 2, h / 2, colour);
    return image;
}

// A report with Chinese everywhere, markup-like text and a section without a picture.
Report sampleReport()
{
    Report report;
    report.title = "市场概览：手机";
    report.subtitle = { "产品类别：手机", "数据库：DATA.mdb" };
    report.figures = { { "产品数", "1234" }, { "集中度指数(HHI)", "6250（集中）" } };
    report.sections.push_back(
        { "价格区间", "销量占比高于产品占比的区间，买家多而卖家少。", picture(800, 400, Qt::blue),
            { { "价格区间", "产品数" }, { { "0-500", "17" }, { "500-1000", "3" } } } });
    report.sections.push_back({ "店铺<排名>", "A & B", picture(300, 200, Qt::red),
        { { "店铺", "占比" }, { { "Levi's <b>", "75.00%" } } } });
    report.sections.push_back({ "每周销售", "基于 0 个已下载成交记录的产品。", QImage(), {} });
    return report;
}

class ReportTest : public ::testing::Test
{
protected:
    void SetUp() override { test::app(); }
    test::TempDir m_dir;
};

TEST_F(ReportTest, HtmlIsOneFileWithEveryPictureInline)
{
    const QString path = m_dir.file("r.html");
    QString error;
    ASSERT_TRUE(WriteReportHtml(sampleReport(), path, &error)) << error.toStdString();
    const QString html = QString::fromUtf8(m_dir.read("r.html"));
    EXPECT_TRUE(html.startsWith("<!DOCTYPE html>"));
    EXPECT_TRUE(html.contains("<meta charset=\"utf-8\">"));

    // Every picture is a PNG in the page itself and decodes to the picture given.
    const QRegularExpression img("<img src=\"([^\"]*)\"");
    int images = 0;
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QString source = it.next().captured(1);
        ASSERT_TRUE(source.startsWith("data:image/png;base64,")) << source.left(40).toStdString();
        const QImage decoded
            = QImage::fromData(QByteArray::fromBase64(source.mid(22).toLatin1()), "PNG");
        EXPECT_FALSE(decoded.isNull());
        ++images;
    }
    EXPECT_EQ(images, 2) << "the section without a picture has none";
    // Nothing is fetched from elsewhere, nothing runs.
    for (const char* outside :
        { "http:", "https:", "<script", "<link", "url(", "src=\"/", "src=\"file" })
        EXPECT_FALSE(html.contains(outside, Qt::CaseInsensitive)) << outside;
    // Text stays text.
    EXPECT_TRUE(html.contains("店铺&lt;排名&gt;"));
    EXPECT_TRUE(html.contains("Levi's &lt;b&gt;"));
    EXPECT_TRUE(html.contains("A &amp; B"));
    EXPECT_TRUE(html.contains("<td align=\"right\">17</td>"));
    EXPECT_TRUE(html.contains("（无数据）"));
}

TEST_F(ReportTest, PdfReadsBackWithItsHeadingsAndFigures)
{
    const QString path = m_dir.file("r.pdf");
    QString error;
    ASSERT_TRUE(WriteReportPdf(sampleReport(), path, &error)) << error.toStdString();
    EXPECT_TRUE(m_dir.read("r.pdf").startsWith("%PDF"));
    const QString text = test::pdfText(path);
    for (const char* expected : { "市场概览：手机", "数据库：DATA.mdb", "产品数", "1234",
             "6250（集中）", "价格区间", "500-1000", "买家多而卖家少", "Levi's <b>", "每周销售",
             "基于 0 个已下载成交记录的产品" })
        EXPECT_TRUE(text.contains(test::fold(QString::fromUtf8(expected)))) << expected;
    EXPECT_FALSE(QFile::exists(path + ".tmp"));
}

TEST_F(ReportTest, FigureCsvAndFailuresKeepTheOldFile)
{
    const QString path = m_dir.file("f.csv");
    ASSERT_TRUE(WriteFigureCsv(
        { { "products", "3" }, { "band_0_500_amount", "12.5" }, { "odd,key", "1" } }, path));
    EXPECT_EQ(m_dir.read("f.csv"),
        QByteArray("figure,value\r\nproducts,3\r\nband_0_500_amount,12.5\r\n\"odd,key\",1\r\n"));

    // A folder that does not exist: an error, and nothing pretends to be written.
    QString error;
    EXPECT_FALSE(WriteReportPdf(sampleReport(), m_dir.file("none/r.pdf"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(WriteReportHtml(sampleReport(), m_dir.file("none/r.html"), &error));

    EXPECT_EQ(reportFormatOf("a.PDF"), ReportFormat::Pdf);
    EXPECT_EQ(reportFormatOf("a.htm"), ReportFormat::Html);
    EXPECT_EQ(reportFormatOf("a.Csv"), ReportFormat::Csv);
    EXPECT_EQ(reportFormatOf("a.xlsx"), ReportFormat::Unknown);
    EXPECT_EQ(reportFormatOf("pdf"), ReportFormat::Unknown);
}

} // namespace
} // namespace quel::exports
