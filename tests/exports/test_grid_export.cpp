#include "core/feedback.h"
#include "exports/chart_image.h"
#include "exports/column_name.h"
#include "exports/grid_export.h"
#include "exports/save_through.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "support/app_fixture.h"
#include "support/failing_device.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace quel::exports {
namespace {

// A list laid out the usual way (field names hidden in row 0), with a hidden identifier
// column and the given data rows.
void fillGrid(grid::GridModel& grid, const std::vector<QStringList>& rows)
{
    grid::setGridColumns(grid, { "ID", "", "PName", "Price", "Num9" },
        { "编号", "序号", "产品名称", "价格", "90天售出" });
    for (const QStringList& row : rows)
        grid.appendRow(row);
    grid.setColumnWidth(0, 0);
    for (int c = 1; c < grid.cols(); ++c)
        grid.setColumnWidth(c, 1230 * c);
}

TEST(CsvTest, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("a\"b,c"), "\"a\"\"b,c\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("line1\r\nline2, more"), "\"line1line2, more\"");
    EXPECT_EQ(CsvField("one\ntwo"), "onetwo");
    EXPECT_EQ(CsvField(""), "");
}

TEST(CsvTest, ColumnLettersRunFromAToZZ)
{
    EXPECT_EQ(ExcelColumnName(1), "A");
    EXPECT_EQ(ExcelColumnName(26), "Z");
    EXPECT_EQ(ExcelColumnName(27), "AA");
    EXPECT_EQ(ExcelColumnName(52), "AZ");
    EXPECT_EQ(ExcelColumnName(53), "BA");
    EXPECT_EQ(ExcelColumnName(702), "ZZ");
    EXPECT_EQ(ExcelColumnName(703), "AAA");
    EXPECT_EQ(ExcelColumnName(0), "");
}

TEST(CsvTest, WritesWhatTheGridShowsAsUtf8WithCrLf)
{
    test::TempDir dir;
    grid::GridModel grid;
    fillGrid(grid,
        { { "7", "1", "诺基亚 \"N73\", 黑", "1650.00", "80" }, { "8", "2", "Levi's", "", "3" } });
    core::SilentFeedback feedback;
    QString error;
    const QString path = dir.file("out.csv");
    ASSERT_TRUE(WriteGridCsv(grid, path, feedback, &error)) << error.toStdString();
    const QByteArray bytes = dir.read("out.csv");
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(bytes.mid(3)),
        "序号,产品名称,价格,90天售出\r\n"
        "1,\"诺基亚 \"\"N73\"\", 黑\",1650.00,80\r\n"
        "2,Levi's,,3\r\n");

    // A path that cannot be written is reported, and nothing appears under its name.
    EXPECT_FALSE(WriteGridCsv(grid, dir.file("missing/out.csv"), feedback, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.file("missing/out.csv")));
}

TEST(CsvTest, ExtensionChoosesTheWriter)
{
    EXPECT_TRUE(isCsvPath("a/b.csv"));
    EXPECT_TRUE(isCsvPath("a/b.CSV"));
    EXPECT_FALSE(isCsvPath("a/b.xlsx"));
    EXPECT_FALSE(isCsvPath("a/b.xls"));
    EXPECT_FALSE(isCsvPath("a/b"));
}

TEST(XlsxTest, PlainNumbersAreRecognisedTheWayASpreadsheetReadsThem)
{
    double v = 0;
    int decimals = -1;
    EXPECT_TRUE(plainNumber("12", &v, &decimals));
    EXPECT_EQ(v, 12);
    EXPECT_EQ(decimals, 0);
    EXPECT_TRUE(plainNumber("-3.50", &v, &decimals));
    EXPECT_EQ(v, -3.5);
    EXPECT_EQ(decimals, 2);
    EXPECT_TRUE(plainNumber("0.05", &v, &decimals));
    EXPECT_TRUE(plainNumber("0", &v, &decimals));
    for (const char* text : { "", "-", "1.", ".5", "1e5", "12a", " 12", "007", "2010.04.12",
             "1234567890123456", "√", "1,000" })
        EXPECT_FALSE(plainNumber(text, &v, &decimals)) << text;
}

TEST(XlsxTest, WorkbookReadsBackWithHeadingsNumbersAndBorders)
{
    test::TempDir dir;
    grid::GridModel grid;
    fillGrid(grid, { { "7", "1", "诺基亚N73", "1650.50", "80" }, { "8", "2", "007", "", "3" } });
    core::SilentFeedback feedback;
    QString error;
    const QString path = dir.file("book.xlsx");
    ASSERT_TRUE(WriteGridExcel(grid, path, kSheetName, feedback, &error)) << error.toStdString();

    const QString python
        = QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : "python3";
    QProcess reader;
    reader.start(python, { QStringLiteral(READ_XLSX_SCRIPT), path });
    ASSERT_TRUE(reader.waitForFinished(30000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString()
                                    << " (python3-openpyxl is installed by scripts/setup)";
    const QJsonObject book = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    EXPECT_EQ(book["sheets"].toVariant().toStringList(), QStringList { "淘宝交易数据分析" });
    // The hidden field-name row and the hidden column are left out; the rest is packed.
    EXPECT_EQ(book["rows"].toInt(), 3);
    EXPECT_EQ(book["cols"].toInt(), 4);
    const QJsonObject cells = book["cells"].toObject();
    const auto cell = [&](const char* ref) { return cells[ref].toObject(); };

    EXPECT_EQ(cell("A1")["value"].toString(), "序号");
    EXPECT_EQ(cell("B1")["value"].toString(), "产品名称");
    for (const char* ref : { "A1", "B1", "C1", "D1" }) {
        EXPECT_TRUE(cell(ref)["bold"].toBool()) << ref;
        EXPECT_EQ(cell(ref)["fill"].toString(), "FFFFC080") << ref;
    }
    EXPECT_FALSE(cell("B2")["bold"].toBool());
    EXPECT_TRUE(cell("B2")["fill"].isNull());

    EXPECT_EQ(cell("B2")["value"].toString(), "诺基亚N73");
    EXPECT_EQ(cell("C2")["type"].toString(), "float");
    EXPECT_DOUBLE_EQ(cell("C2")["value"].toDouble(), 1650.5);
    EXPECT_EQ(cell("C2")["format"].toString(), "0.00");
    EXPECT_EQ(cell("A2")["type"].toString(), "int");
    EXPECT_EQ(cell("B3")["type"].toString(), "str");
    EXPECT_EQ(cell("B3")["value"].toString(), "007");
    EXPECT_TRUE(cell("C3")["value"].isNull());

    // Every cell of the used area, empty ones included, is framed thinly.
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        EXPECT_EQ(it.value().toObject()["border"].toVariant().toStringList(),
            QStringList({ "thin", "thin", "thin", "thin" }))
            << it.key().toStdString();
    }
    // Widths come from the grid: 1230 twips are 10 characters.
    const QJsonObject widths = book["widths"].toObject();
    EXPECT_NEAR(widths["A"].toDouble(), 10, 1);
    EXPECT_NEAR(widths["B"].toDouble(), 20, 1);
}

TEST(JpegTest, ChartsAreSavedAsJpegUnderAJpgName)
{
    EXPECT_EQ(JpegFileName("chart"), "chart.jpg");
    EXPECT_EQ(JpegFileName("chart.jpg"), "chart.jpg");
    EXPECT_EQ(JpegFileName("chart.JPG"), "chart.JPG.jpg");
    EXPECT_EQ(JpegFileName("chart.jpeg"), "chart.jpeg.jpg");

    test::app();
    test::TempDir dir;
    // 101 pixels wide: rows whose bytes are no multiple of four.
    QImage image(101, 40, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    const QString path = dir.file("c.jpg");
    QString error;
    ASSERT_TRUE(SaveJpeg(image, path, kJpegQuality, &error)) << error.toStdString();
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage back = reader.read();
    ASSERT_EQ(back.size(), QSize(101, 40));
    const QColor corner = back.pixelColor(100, 39);
    EXPECT_LT(corner.red(), 30);
    EXPECT_GT(corner.blue(), 220);

    // Overwriting keeps the existing file's permissions.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    image.fill(Qt::red);
    ASSERT_TRUE(SaveJpeg(image, path, kJpegQuality, &error));
    const QFile::Permissions kept = QFile::permissions(path);
    EXPECT_TRUE(kept & QFile::ReadOwner);
    EXPECT_FALSE(kept & (QFile::ReadGroup | QFile::ReadOther));
    EXPECT_GT(QImage(path).pixelColor(50, 20).red(), 200);

    EXPECT_FALSE(SaveJpeg(image, dir.file("none/c.jpg"), kJpegQuality, &error));
}

} // namespace
} // namespace quel::exports

namespace quel::exports {
namespace {

// A grid of about 1.5 MB of CSV: more than one block of the writers.
void fillLargeGrid(grid::GridModel& grid, int rows = 20000)
{
    std::vector<QStringList> lines;
    for (int i = 0; i < rows; ++i)
        lines.push_back({ QString::number(i), QString::number(i + 1),
            QStringLiteral("诺基亚 N73 黑色 全新正品 %1").arg(i), QStringLiteral("1650.50"),
            QString::number(i % 97) });
    fillGrid(grid, lines);
}

using WriterTo = bool (*)(const grid::GridModel&, QIODevice&, core::Feedback&, QString*);

bool excelTo(const grid::GridModel& grid, QIODevice& out, core::Feedback& feedback, QString* error)
{
    return WriteGridExcelTo(grid, out, kSheetName, feedback, error);
}

} // namespace

TEST(ExportOnAFullDisk, EveryWriterReportsTheFirstRefusedWrite)
{
    grid::GridModel grid;
    fillLargeGrid(grid);
    core::SilentFeedback feedback;
    for (const WriterTo writer : { WriterTo(&WriteGridCsvTo), WriterTo(&excelTo) }) {
        for (const qint64 capacity : { qint64(0), qint64(3), qint64(4096), qint64(300000) }) {
            SCOPED_TRACE(capacity);
            test::FailingDevice device(capacity);
            QString error;
            EXPECT_FALSE(writer(grid, device, feedback, &error));
            EXPECT_EQ(error, QStringLiteral("磁盘已满"));
            EXPECT_LE(device.written().size(), capacity);
        }
        // With room enough the same writer succeeds.
        test::FailingDevice roomy(64 << 20);
        QString error;
        EXPECT_TRUE(writer(grid, roomy, feedback, &error)) << error.toStdString();
        EXPECT_EQ(roomy.refusals(), 0);
    }
}

// The new file fills the disk half way through its writing (a device that takes half of
// its bytes into the staging copy, then refuses): the save fails as a full disk, the old
// file is intact and no staging copy is left. Runs everywhere, unlike the tmpfs case below.
TEST(ExportOnAFullDisk, HalfWrittenFileLeavesTheOldOneIntact)
{
    grid::GridModel small;
    fillGrid(small, { { "7", "1", "诺基亚", "1650.00", "80" } });
    grid::GridModel large;
    fillLargeGrid(large);
    core::SilentFeedback feedback;
    test::TempDir dir;
    const QString path = dir.file("out");
    for (const WriterTo writer : { WriterTo(&WriteGridCsvTo), WriterTo(&excelTo) }) {
        QString error;
        ASSERT_TRUE(SaveThrough(
            path, [&](QIODevice& out, QString* why) { return writer(small, out, feedback, why); },
            &error))
            << error.toStdString();
        QFile before(path);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        const QByteArray good = before.readAll();
        before.close();

        test::FailingDevice sizing(64 << 20);
        ASSERT_TRUE(writer(large, sizing, feedback, &error));
        const qint64 half = sizing.written().size() / 2;
        qint64 staged = 0;
        EXPECT_FALSE(SaveThrough(
            path,
            [&](QIODevice& out, QString* why) {
                test::FailingDevice disk(half, &out);
                const bool written = writer(large, disk, feedback, why);
                staged = out.size();
                return written;
            },
            &error));
        EXPECT_EQ(error, QStringLiteral("磁盘已满"));
        EXPECT_EQ(staged, half); // the staging copy really was half written
        QFile after(path);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), good);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { "out" });
    }
}

// A small filesystem of its own (mounting needs root; elsewhere the test is skipped): a
// full disk never replaces a good file with a shorter one.
TEST(ExportOnAFullDisk, TheOldFileStaysWhenTheNewOneDoesNotFit)
{
    test::TempDir dir;
    const QString mount = dir.file("small");
    QDir().mkpath(mount);
    if (QProcess::execute("mount", { "-t", "tmpfs", "-o", "size=256k", "tmpfs", mount }) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount
    {
        QString path;
        ~Unmount() { QProcess::execute("umount", { path }); }
    } unmount { mount };

    grid::GridModel small;
    fillGrid(small, { { "7", "1", "诺基亚", "1650.00", "80" } });
    grid::GridModel large;
    fillLargeGrid(large);
    core::SilentFeedback feedback;
    for (const QString& name : { QStringLiteral("out.csv"), QStringLiteral("out.xlsx") }) {
        SCOPED_TRACE(name.toStdString());
        const QString path = mount + u'/' + name;
        QString error;
        ASSERT_TRUE(WriteGridFile(small, path, kSheetName, feedback, &error))
            << error.toStdString();
        QFile before(path);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        const QByteArray good = before.readAll();
        before.close();

        EXPECT_FALSE(WriteGridFile(large, path, kSheetName, feedback, &error));
        EXPECT_EQ(error, QStringLiteral("磁盘已满"));
        QFile after(path);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), good);
        // No staging copy is left behind to fill the disk further.
        EXPECT_EQ(QDir(mount).entryList(QDir::Files).size(), name.endsWith("csv") ? 1 : 2);
    }
}

} // namespace quel::exports
