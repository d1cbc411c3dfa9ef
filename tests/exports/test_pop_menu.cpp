#include "exports/ui/pop_menu.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "support/app_fixture.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>

namespace quel::exports {
namespace {

class PopMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::app();
        widgets::Dialogs::resetTestState();
        widgets::Dialogs::setHeadless(true);
        m_menu = std::make_unique<PopMenu>(m_feedback, nullptr);
        grid::setGridColumns(m_grid, { "", "PName" }, { "序号", "产品名称" });
    }
    void TearDown() override { widgets::Dialogs::resetTestState(); }

    test::TempDir m_dir;
    test::FakeFeedback m_feedback;
    grid::GridModel m_grid;
    std::unique_ptr<PopMenu> m_menu;
};

TEST_F(PopMenuTest, MenusCarryTheirNames)
{
    EXPECT_EQ(m_menu->windowTitle(), "弹出菜单");
    EXPECT_FALSE(m_menu->isVisible());
    EXPECT_EQ(m_menu->gridMenu()->title(), "导出表格");
    EXPECT_EQ(m_menu->pictureMenu()->title(), "导出图片");
    EXPECT_NE(m_menu->findChild<QAction*>("mOutpuMSF"), nullptr);
    EXPECT_EQ(m_menu->findChild<QAction*>("mOutputPic")->text(), "导出图片");
}

TEST_F(PopMenuTest, GridExportChecksDataAsksBeforeOverwritingAndWrites)
{
    m_menu->setGrid(&m_grid);
    EXPECT_FALSE(m_menu->exportGrid());
    EXPECT_EQ(m_feedback.messages, QStringList { "表格中没有数据！" });

    m_grid.appendRow({ "1", "诺基亚" });
    // Cancelled dialog: nothing written, nothing said.
    EXPECT_FALSE(m_menu->exportGrid());
    EXPECT_EQ(m_feedback.messages.size(), 1);

    const QString path = m_dir.file("list.CSV");
    widgets::Dialogs::setNextFileName(path);
    ASSERT_TRUE(m_menu->exportGrid());
    EXPECT_EQ(QString::fromUtf8(m_dir.read("list.CSV").mid(3)), "序号,产品名称\r\n1,诺基亚\r\n");

    // An existing file: No keeps it as it was, Yes replaces it.
    m_grid.appendRow({ "2", "三星" });
    widgets::Dialogs::setNextFileName(path);
    EXPECT_FALSE(m_menu->exportGrid());
    EXPECT_EQ(m_feedback.questions, QStringList { "该文件已存在，是否覆盖？" });
    EXPECT_FALSE(QString::fromUtf8(m_dir.read("list.CSV")).contains("三星"));
    widgets::Dialogs::setNextFileName(path);
    m_feedback.answers.push_back(true);
    ASSERT_TRUE(m_menu->exportGrid());
    EXPECT_TRUE(QString::fromUtf8(m_dir.read("list.CSV")).contains("三星"));

    // Any other extension gets a workbook (a zip container).
    widgets::Dialogs::setNextFileName(m_dir.file("list.xls"));
    ASSERT_TRUE(m_menu->exportGrid());
    EXPECT_TRUE(m_dir.read("list.xls").startsWith("PK"));

    // A failed write says so.
    widgets::Dialogs::setNextFileName(m_dir.file("no/such/folder.csv"));
    EXPECT_FALSE(m_menu->exportGrid());
    EXPECT_TRUE(m_feedback.messages.last().startsWith("导出表格出错"));
}

TEST_F(PopMenuTest, PictureExportSavesTheChartAreaAsJpg)
{
    QLabel chart("图表");
    chart.setFrameShape(QFrame::Box);
    chart.resize(101, 60);
    m_menu->setPicture(&chart);

    widgets::Dialogs::setNextFileName(m_dir.file("chart"));
    ASSERT_TRUE(m_menu->exportPicture());
    EXPECT_EQ(QImage(m_dir.file("chart.jpg")).size(), QSize(101, 60));

    // The overwrite question names the file; No writes nothing.
    const QByteArray before = m_dir.read("chart.jpg");
    chart.resize(80, 40);
    widgets::Dialogs::setNextFileName(m_dir.file("chart.jpg"));
    EXPECT_FALSE(m_menu->exportPicture());
    EXPECT_EQ(m_feedback.questions,
        QStringList { "文件“" + m_dir.file("chart.jpg") + "”已存在，是否覆盖？" });
    EXPECT_EQ(m_dir.read("chart.jpg"), before);

    widgets::Dialogs::setNextFileName(m_dir.file("none/chart.jpg"));
    EXPECT_FALSE(m_menu->exportPicture());
    EXPECT_EQ(m_feedback.messages, QStringList { "保存图片出错！" });
}

TEST_F(PopMenuTest, PngIsDrawnAtTwiceTheShownSizeAndSvgKeepsShapesAndText)
{
    QLabel chart("图表");
    chart.resize(120, 80);
    // The chart draws itself again: a red band on white and a label.
    QSize asked;
    m_menu->setPicture(&chart, [&asked](QPainter& p, const QSize& size) {
        asked = size;
        p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        p.fillRect(QRect(10, 10, 50, 20), QColor(225, 87, 89));
        p.drawText(QPointF(10, 60), QStringLiteral("价格"));
    });
    EXPECT_NE(m_menu->findChild<QAction*>("mOutputPng"), nullptr);
    EXPECT_NE(m_menu->findChild<QAction*>("mOutputSvg"), nullptr);

    widgets::Dialogs::setNextFileName(m_dir.file("chart"));
    ASSERT_TRUE(m_menu->exportPicture(ChartImageFormat::Png));
    const QImage png(m_dir.file("chart.png"));
    ASSERT_EQ(png.size(), QSize(240, 160));
    EXPECT_EQ(asked, QSize(120, 80)) << "laid out at the shown size";
    EXPECT_EQ(png.pixel(40, 40), qRgb(225, 87, 89)) << "the band at twice its place";
    EXPECT_EQ(png.pixel(130, 40), qRgb(255, 255, 255));

    widgets::Dialogs::setNextFileName(m_dir.file("chart.SVG"));
    ASSERT_TRUE(m_menu->exportPicture(ChartImageFormat::Svg));
    const QString svg = QString::fromUtf8(m_dir.read("chart.SVG"));
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("价格"));
    EXPECT_TRUE(svg.contains("#e15759")) << svg.left(400).toStdString();

    // An existing file is asked about; a folder that is not there is an error.
    widgets::Dialogs::setNextFileName(m_dir.file("chart.png"));
    EXPECT_FALSE(m_menu->exportPicture(ChartImageFormat::Png));
    EXPECT_EQ(m_feedback.questions.size(), 1);
    widgets::Dialogs::setNextFileName(m_dir.file("none/chart.svg"));
    EXPECT_FALSE(m_menu->exportPicture(ChartImageFormat::Svg));
    EXPECT_EQ(m_feedback.messages, QStringList { "保存图片出错！" });
}

} // namespace
} // namespace quel::exports
