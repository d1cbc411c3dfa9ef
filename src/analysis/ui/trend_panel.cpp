#include "analysis/ui/trend_panel.h"

#include "analysis/ui/chart_page.h"
#include "core/feedback.h"
#include "store/db_operate.h"
#include "views/lists.h"
#include "views/ui/product_chooser.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

namespace quel::analysis {

TrendPanel::TrendPanel(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QGroupBox(QStringLiteral("走势内容"), this);
    frame->setToolTip(
        QStringLiteral("设置要查看走势的数据内容；灰色数值表示当天没有记录，沿用上次的记录。"));
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(4, 2, 4, 2);
    for (int i = 0; i < kTrendMeasures; ++i) {
        auto* option
            = new QRadioButton(QString::fromUtf8(trendMeasures()[size_t(i)].caption), frame);
        option->setObjectName(QStringLiteral("OP45_%1").arg(i));
        row->addWidget(option);
        connect(option, &QRadioButton::clicked, this, &TrendPanel::optionsClicked);
        m_options[i] = option;
    }
    m_options[0]->setChecked(true);
    layout->addWidget(frame);
}

int TrendPanel::measure() const
{
    for (int i = 0; i < kTrendMeasures; ++i) {
        if (m_options[i]->isChecked())
            return i;
    }
    return 0;
}

QRadioButton* TrendPanel::measureOption(int i) const
{
    return i >= 0 && i < kTrendMeasures ? m_options[i] : nullptr;
}

void RunPriceTrendOnPage(
    ChartPage& page, const TrendPanel& panel, const QLineEdit* box, store::DB_Operate& db)
{
    QList<qint64> ids;
    for (const QString& id : views::productIds(box ? views::productBoxTag(box) : QString()))
        ids << id.toLongLong();
    QString title;
    QString error;
    if (!RunPriceTrend(*page.gridModel(), db, ids, panel.measure(), title, &error)) {
        db.feedback().message(QStringLiteral("统计价格走势失败：") + error);
        return;
    }
    page.showResult(title, false);
}

} // namespace quel::analysis
