#include "analysis/ui/chart_page.h"
#include "analysis/ui/chart_view.h"
#include "chart_grid.h"
#include "grid/ui/grid_view.h"
#include "support/app_fixture.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace quel::analysis {
namespace {

class ChartPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::app();
        qRegisterMetaType<grid::GridView*>();
        m_page = std::make_unique<ChartPage>(0);
        m_page->resize(1000, 600);
        m_page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_page.get()));
    }

    void tenRows()
    {
        std::vector<QStringList> rows;
        for (int i = 1; i <= 10; ++i)
            rows.push_back({ QStringLiteral("产品%1").arg(i), QString::number(i * 10) });
        test::fillChartGrid(*m_page->gridModel(), { "价格" }, rows);
        m_page->gridModel()->setColumnCode(3, grid::kCodeNumber);
    }

    QString boxes() const { return m_page->startBox()->text() + "-" + m_page->endBox()->text(); }

    std::unique_ptr<ChartPage> m_page;
};

TEST_F(ChartPageTest, PageHoldsItsNamedControls)
{
    EXPECT_EQ(m_page->objectName(), "Pic1_0");
    EXPECT_EQ(m_page->chart()->objectName(), "GP_0");
    EXPECT_EQ(m_page->gridView()->objectName(), "MSF1_0");
    EXPECT_EQ(m_page->startBox()->objectName(), "SRow_0");
    EXPECT_EQ(boxes(), "1-40");
    EXPECT_EQ(m_page->startBox()->toolTip(), "图表显示的起始列。");
    EXPECT_EQ(m_page->chart()->toolTip(), "统计图显示区");
    const double ratio = double(m_page->chart()->width()) / m_page->gridView()->width();
    EXPECT_NEAR(ratio, 3.0, 0.15);
}

TEST_F(ChartPageTest, ResultIsDrawnWithTheHintAndTheChartTakesTheFocus)
{
    tenRows();
    QSignalSpy hints(m_page.get(), &ChartPage::hintChanged);
    m_page->showResult("标题", true);
    ASSERT_EQ(hints.size(), 1);
    EXPECT_TRUE(hints.at(0).at(0).toString().startsWith("操作提示："));
    EXPECT_EQ(m_page->chart()->storedTitle(), "标题");
    EXPECT_TRUE(m_page->chart()->hasFocus());
    EXPECT_FALSE(m_page->chart()->picture().isNull());
}

TEST_F(ChartPageTest, ArrowKeysOnTheChartMoveTheRangeBoxes)
{
    tenRows();
    m_page->showResult("t", false);
    ChartView* chart = m_page->chart();
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_EQ(boxes(), "1-10");
    QTest::keyClick(chart, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(boxes(), "1-9");
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_EQ(boxes(), "2-10");
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_EQ(boxes(), "2-10");
    QTest::keyClick(chart, Qt::Key_Left);
    EXPECT_EQ(boxes(), "1-9");
    QTest::keyClick(chart, Qt::Key_Left);
    EXPECT_EQ(boxes(), "1-9");
    // The title of the analysis survives the redraws.
    EXPECT_EQ(chart->storedTitle(), "t");
}

TEST_F(ChartPageTest, EditingARangeBoxRedrawsAndLeavingItFocusesTheChart)
{
    tenRows();
    m_page->showResult("t", false);
    const QImage before = m_page->chart()->picture();
    m_page->endBox()->setFocus();
    m_page->endBox()->setText("3");
    EXPECT_NE(m_page->chart()->picture(), before);
    // Moving to the other box keeps the focus there.
    m_page->startBox()->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_page->startBox()->hasFocus());
    m_page->gridView()->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_page->chart()->hasFocus());
}

TEST_F(ChartPageTest, HeadingPressSortsAndRedrawsRightPressesAskForExports)
{
    tenRows();
    m_page->showResult("t", false);
    const QImage before = m_page->chart()->picture();
    QSignalSpy grids(m_page.get(), &ChartPage::gridExportRequested);
    QSignalSpy charts(m_page.get(), &ChartPage::chartExportRequested);

    QHeaderView* header = m_page->gridView()->horizontalHeader();
    const int x = header->sectionViewportPosition(3) + 5;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    EXPECT_EQ(m_page->gridModel()->text(2, 3), "10");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    EXPECT_EQ(m_page->gridModel()->text(2, 3), "100");
    EXPECT_NE(m_page->chart()->picture(), before);

    QTest::mouseClick(m_page->chart(), Qt::RightButton);
    ASSERT_EQ(charts.size(), 1);
    EXPECT_EQ(charts.at(0).at(0).value<QWidget*>(), m_page->chart());
    QTest::mouseClick(m_page->gridView()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(grids.size(), 1);
}

} // namespace
} // namespace quel::analysis
