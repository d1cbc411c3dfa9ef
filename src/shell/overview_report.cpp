// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/overview_report.h"

#include "analysis/analysis_run.h"
#include "analysis/overview_charts.h"
#include "core/exit_codes.h"
#include "shell/batch.h"
#include "store/db_operate.h"

#include <QFileInfo>
#include <QTextStream>

namespace quel::shell {

exports::Report BuildOverviewReport(
    const analysis::MarketOverview& overview, const QString& databaseName, const QDate& today)
{
    exports::Report report;
    report.title = QStringLiteral("市场概览：") + overview.category;
    report.subtitle = QStringList { QStringLiteral("产品类别：") + overview.category,
        QStringLiteral("统计日期：") + analysis::shortDateText(today),
        QStringLiteral("数据库：") + databaseName,
        QStringLiteral("集中度：") + overview.concentration() };
    for (const analysis::HeadlineFigure& f : analysis::HeadlineFigures(overview))
        report.figures.emplace_back(f.caption, f.shown);
    for (const analysis::OverviewChart& chart : analysis::OverviewCharts(overview)) {
        exports::ReportSection section;
        section.heading = chart.title;
        section.note = chart.note;
        if (!chart.categories.isEmpty())
            section.chart = analysis::RenderChart(chart, kReportChartSize);
        section.table = { chart.table.headings, chart.table.rows };
        report.sections.push_back(std::move(section));
    }
    return report;
}

bool WriteOverviewReport(const analysis::MarketOverview& overview, const QString& path,
    const QString& databaseName, QString* error)
{
    switch (exports::reportFormatOf(path)) {
    case exports::ReportFormat::Csv:
        return exports::WriteFigureCsv(analysis::OverviewFigureList(overview), path, error);
    case exports::ReportFormat::Html:
        return exports::WriteReportHtml(BuildOverviewReport(overview, databaseName), path, error);
    case exports::ReportFormat::Pdf:
        return exports::WriteReportPdf(BuildOverviewReport(overview, databaseName), path, error);
    case exports::ReportFormat::Unknown:
        break;
    }
    if (error)
        *error = QStringLiteral("报告文件须以 .pdf、.html 或 .csv 结尾");
    return false;
}

QString reportDatabaseName(const QString& databasePath)
{
    if (databasePath.contains(QLatin1String("://")))
        return databasePath;
    return QFileInfo(databasePath).fileName();
}

QString ReportBatchUsage()
{
    return QStringLiteral("[--category K] --out FILE.pdf|FILE.html|FILE.csv");
}

int RunReportBatch(BatchContext& context, const QStringList& arguments)
{
    QTextStream err(stderr);
    const auto usage = [&err](const QString& problem) {
        err << problem << Qt::endl
            << QStringLiteral("usage: quelmar --batch report ") << ReportBatchUsage() << Qt::endl;
        return core::kBatchUsage;
    };
    QString category = analysis::allCategoriesText();
    QString out;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (word != QLatin1String("--category") && word != QLatin1String("--out"))
            return usage(QStringLiteral("unknown argument: ") + word);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return usage(word + QStringLiteral(" needs a value"));
        (word == QLatin1String("--out") ? out : category) = arguments[++i];
    }
    if (out.isEmpty())
        return usage(QStringLiteral("--out is required"));
    if (exports::reportFormatOf(out) == exports::ReportFormat::Unknown)
        return usage(QStringLiteral("--out must end in .pdf, .html or .csv: ") + out);

    analysis::MarketOverview overview;
    QString error;
    if (!analysis::BuildMarketOverview(context.db, category, overview, &error)) {
        err << QStringLiteral("report: ") << error << Qt::endl;
        return core::kBatchFatal;
    }
    if (!WriteOverviewReport(
            overview, out, reportDatabaseName(context.db.currentDatabasePath()), &error)) {
        err << QStringLiteral("cannot write ") << out << QStringLiteral(": ") << error << Qt::endl;
        return core::kBatchFatal;
    }
    err << QStringLiteral("report: %1 products of %2 written to ")
               .arg(overview.products)
               .arg(overview.category)
        << out << Qt::endl;
    return core::kBatchOk;
}

} // namespace quel::shell
