// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ui/overview_page.h"

#include "analysis/overview_charts.h"
#include "analysis/ui/chart_view.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quel::analysis {

OverviewPage::OverviewPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Pic1_5"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("产品类别："), this));
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("cOverviewCategory"));
    m_category->setToolTip(QStringLiteral("要查看概览的产品类别。"));
    m_category->setMinimumContentsLength(12);
    m_category->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    bar->addWidget(m_category);
    m_run = new QPushButton(QStringLiteral("开始统计"), this);
    m_run->setObjectName(QStringLiteral("bOverviewRun"));
    m_run->setToolTip(
        QStringLiteral("统计所选类别的市场规模、价格区间、店铺集中度、销售走势和地区分布。"));
    bar->addWidget(m_run);
    m_report = new QPushButton(QStringLiteral("导出报告"), this);
    m_report->setObjectName(QStringLiteral("bOverviewReport"));
    m_report->setToolTip(QStringLiteral("把当前概览写成PDF、HTML或CSV报告。"));
    m_report->setEnabled(false);
    bar->addWidget(m_report);
    bar->addStretch(1);
    layout->addLayout(bar);

    auto* figureFrame = new QFrame(this);
    figureFrame->setFrameShape(QFrame::StyledPanel);
    m_figures = figureFrame;
    m_figures->setObjectName(QStringLiteral("OverviewFigures"));
    auto* figures = new QGridLayout(m_figures);
    figures->setContentsMargins(6, 2, 6, 2);
    // Captions from the start, so that a page not yet counted says what it will show.
    int i = 0;
    for (const HeadlineFigure& f : HeadlineFigures(MarketOverview {})) {
        auto* caption = new QLabel(f.caption, m_figures);
        caption->setObjectName(QStringLiteral("caption_") + f.key);
        auto* value = new QLabel(QStringLiteral("-"), m_figures);
        value->setObjectName(QStringLiteral("figure_") + f.key);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        figures->addWidget(caption, (i / 4) * 2, i % 4);
        figures->addWidget(value, (i / 4) * 2 + 1, i % 4);
        ++i;
    }
    layout->addWidget(m_figures);

    auto* split = new QHBoxLayout;
    split->setSpacing(2);
    auto* charts = new QGridLayout;
    charts->setSpacing(2);
    for (int c = 0; c < kOverviewCharts; ++c) {
        m_chartGrids[static_cast<size_t>(c)] = std::make_unique<grid::GridModel>();
        auto* chart = new ChartView(this);
        chart->setObjectName(QStringLiteral("GPO_%1").arg(c));
        chart->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        chart->setGrid(m_chartGrids[static_cast<size_t>(c)].get());
        connect(chart, &ChartView::exportRequested, this, &OverviewPage::chartExportRequested);
        m_charts[static_cast<size_t>(c)] = chart;
        // Above an empty chart, what it would show.
        auto* caption = new QLabel(this);
        caption->hide();
        caption->setObjectName(QStringLiteral("lOverviewChart_%1").arg(c));
        m_chartCaptions[static_cast<size_t>(c)] = caption;
        auto* cell = new QVBoxLayout;
        cell->setSpacing(0);
        cell->addWidget(caption);
        cell->addWidget(chart, 1);
        charts->addLayout(cell, c / 3, c % 3);
    }
    split->addLayout(charts, 3);
    m_gridView = new grid::GridView(this);
    m_gridView->setObjectName(QStringLiteral("MSF1_5"));
    m_gridView->setToolTip(QStringLiteral("统计结果数据表"));
    m_gridView->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    // The sections of the grid belong together; sorting would mix them.
    m_gridView->setSortOnHeaderPress(false);
    connect(m_gridView, &grid::GridView::exportRequested, this, &OverviewPage::gridExportRequested);
    split->addWidget(m_gridView, 1);
    layout->addLayout(split, 1);

    connect(m_run, &QPushButton::clicked, this, [this] { emit runRequested(category()); });
    connect(m_report, &QPushButton::clicked, this, &OverviewPage::reportRequested);
}

OverviewPage::~OverviewPage() = default;

void OverviewPage::setCategories(const QStringList& categories)
{
    const QString chosen = category();
    const QSignalBlocker blocker(m_category);
    m_category->clear();
    m_category->addItems(categories);
    const int again = m_category->findText(chosen, Qt::MatchFixedString);
    m_category->setCurrentIndex(again >= 0 ? again : 0);
}

QString OverviewPage::category() const
{
    return m_category->currentText();
}

void OverviewPage::showOverview(const MarketOverview& overview)
{
    m_overview = std::make_unique<MarketOverview>(overview);
    for (const HeadlineFigure& f : HeadlineFigures(overview)) {
        if (auto* caption = m_figures->findChild<QLabel*>(QStringLiteral("caption_") + f.key))
            caption->setText(f.caption);
        if (auto* value = m_figures->findChild<QLabel*>(QStringLiteral("figure_") + f.key))
            value->setText(f.shown);
    }
    const std::vector<OverviewChart> described = OverviewCharts(overview);
    for (int c = 0; c < kOverviewCharts; ++c) {
        const OverviewChart& about = described[static_cast<size_t>(c)];
        ChartView* chart = m_charts[static_cast<size_t>(c)];
        FillChartGrid(*m_chartGrids[static_cast<size_t>(c)], about);
        // The whole chart at once; a small chart has no room for the range boxes.
        chart->setOptions(about.options);
        if (about.categories.isEmpty())
            chart->clearChart();
        else
            chart->drawChart(ChartTitleLines(about), -1, -1);
        chart->setToolTip(about.note);
        // A drawn chart carries its own title; an empty area says what would be there.
        QLabel* caption = m_chartCaptions[static_cast<size_t>(c)];
        caption->setText(about.title + QStringLiteral("（无数据）"));
        caption->setToolTip(about.note);
        caption->setVisible(about.categories.isEmpty());
    }
    grid::GridModel& grid = *m_gridView->grid();
    FillOverviewGrid(grid, overview);
    grid::autoSizeColumns(
        grid, grid.fixedRows() - 1, false, m_gridView->feedback(), m_gridView->textMeasure());
    m_report->setEnabled(true);
}

QString OverviewPage::figureText(const QString& key) const
{
    const auto* value = m_figures->findChild<QLabel*>(QStringLiteral("figure_") + key);
    return value ? value->text() : QString();
}

void OverviewPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit shown();
}

} // namespace quel::analysis
