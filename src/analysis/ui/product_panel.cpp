#include "analysis/ui/product_panel.h"

#include "analysis/ui/chart_page.h"
#include "grid/ui/grid_view.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

namespace quel::analysis {

ProductStatsPanel::ProductStatsPanel(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* measures = new QGroupBox(QStringLiteral("统计内容"), this);
    measures->setToolTip(QStringLiteral("设置用于统计的数据内容。"));
    auto* measureGrid = new QGridLayout(measures);
    measureGrid->setContentsMargins(4, 2, 4, 2);
    for (int i = 0; i < kProductMeasures; ++i) {
        const ProductMeasure& m = productMeasures()[static_cast<size_t>(i)];
        auto* box = new QCheckBox(QString::fromUtf8(m.caption), measures);
        box->setObjectName(QStringLiteral("CK40_%1").arg(i));
        box->setToolTip(QString::fromUtf8(m.tooltip));
        measureGrid->addWidget(box, i / 4, i % 4);
        connect(box, &QCheckBox::clicked, this, &ProductStatsPanel::optionsClicked);
        m_measures[i] = box;
    }
    m_measures[0]->setChecked(true);
    layout->addWidget(measures);

    auto* groupings = new QGroupBox(QStringLiteral("统计方式"), this);
    groupings->setToolTip(QStringLiteral("设置统计方式。"));
    auto* groupingGrid = new QGridLayout(groupings);
    groupingGrid->setContentsMargins(4, 2, 4, 2);
    for (int i = 0; i < kProductGroupings; ++i) {
        const ProductGrouping& g = productGroupings()[static_cast<size_t>(i)];
        auto* option = new QRadioButton(QString::fromUtf8(g.caption), groupings);
        option->setObjectName(QStringLiteral("OP40_%1").arg(i));
        option->setToolTip(QString::fromUtf8(g.tooltip));
        groupingGrid->addWidget(option, i / 2, i % 2);
        connect(option, &QRadioButton::clicked, this, &ProductStatsPanel::optionsClicked);
        m_groupings[i] = option;
    }
    m_groupings[0]->setChecked(true);
    layout->addWidget(groupings);
}

ProductStatsOptions ProductStatsPanel::options() const
{
    ProductStatsOptions o;
    for (int i = 0; i < kProductMeasures; ++i)
        o.measures[static_cast<size_t>(i)] = m_measures[i]->isChecked();
    o.grouping = selectedGrouping();
    return o;
}

int ProductStatsPanel::selectedGrouping() const
{
    for (int i = 0; i < kProductGroupings; ++i) {
        if (m_groupings[i]->isChecked())
            return i;
    }
    return 0;
}

QCheckBox* ProductStatsPanel::measureBox(int i) const
{
    return i >= 0 && i < kProductMeasures ? m_measures[i] : nullptr;
}

QRadioButton* ProductStatsPanel::groupingOption(int i) const
{
    return i >= 0 && i < kProductGroupings ? m_groupings[i] : nullptr;
}

void RunProductStatisticsOnPage(
    ChartPage& page, const ProductStatsPanel& panel, store::DB_Operate& db)
{
    const QString title = RunProductStatistics(
        *page.gridModel(), db, panel.options(), page.gridView()->textMeasure());
    page.showResult(title, true, productChartMark(panel.options().grouping));
}

} // namespace quel::analysis
