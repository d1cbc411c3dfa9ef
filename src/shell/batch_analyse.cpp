#include "shell/batch_analyse.h"

#include "analysis/analysis_arguments.h"
#include "analysis/price_trend.h"
#include "analysis/product_stats.h"
#include "analysis/ui/chart_view.h"
#include "core/exit_codes.h"
#include "exports/chart_image.h"
#include "exports/grid_export.h"
#include "grid/grid_model.h"
#include "grid/text_measure.h"
#include "shell/batch.h"
#include "store/db_operate.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTextStream>

namespace quel::shell {

namespace {

AnalyseRunner productsKind(const QStringList& arguments, QString* error)
{
    analysis::ProductStatsOptions options;
    if (!analysis::ParseProductStatsArguments(arguments, options, error))
        return {};
    return [options](store::DB_Operate& db, grid::GridModel& grid, AnalyseChart& chart, QString*) {
        const grid::FontTextMeasure measure { QFont() };
        chart.title = analysis::RunProductStatistics(grid, db, options, measure);
        chart.mark = analysis::productChartMark(options.grouping);
        chart.panels = true;
        return true;
    };
}

// A trade, customer or cycle analysis bound to its arguments: it fills the grid or says
// why it has nothing to show.
AnalyseRunner resultRunner(std::function<analysis::AnalysisResult(store::DB_Operate&,
                               grid::GridModel&, const grid::TextMeasure&, QString* error)>
                               run,
    bool panels = false)
{
    return [run, panels](
               store::DB_Operate& db, grid::GridModel& grid, AnalyseChart& chart, QString* error) {
        const grid::FontTextMeasure measure { QFont() };
        const analysis::AnalysisResult result = run(db, grid, measure, error);
        chart.title = result.title;
        chart.mark = result.mark;
        chart.panels = panels;
        if (!result.ready && error && error->isEmpty())
            *error = QStringLiteral("the analysis could not be run");
        return result.ready;
    };
}

AnalyseRunner totalsKind(const QStringList& arguments, QString* error)
{
    analysis::TotalsArguments a;
    if (!analysis::ParseTotalsArguments(arguments, a, error))
        return {};
    return resultRunner(
        [a](store::DB_Operate& db, grid::GridModel& grid, const grid::TextMeasure& measure,
            QString* why) {
            auto result = analysis::CompareTradeTotals(grid, db, a.grouping, a.measure, measure);
            if (!result.ready && why)
                *why = QStringLiteral("the totals could not be built");
            return result;
        },
        true);
}

AnalyseRunner periodsKind(const QStringList& arguments, QString* error)
{
    analysis::PeriodsArguments a;
    if (!analysis::ParsePeriodsArguments(arguments, a, error))
        return {};
    return resultRunner(
        [a](store::DB_Operate& db, grid::GridModel& grid, const grid::TextMeasure& measure,
            QString* why) {
            auto result = analysis::CompareTradesByPeriod(grid, db, a.idList, a.options, measure);
            if (!result.ready && why)
                *why = QStringLiteral("the chosen products have no trade records");
            return result;
        },
        true);
}

AnalyseRunner buyersKind(const QStringList& arguments, QString* error)
{
    analysis::BuyersArguments a;
    if (!analysis::ParseBuyersArguments(arguments, a, error))
        return {};
    return resultRunner([a](store::DB_Operate& db, grid::GridModel& grid,
                            const grid::TextMeasure& measure, QString* why) {
        if (!analysis::PrepareCustomerSet(db, a.idList)) {
            if (why)
                *why = QStringLiteral("the buyers of the chosen products could not be gathered");
            return analysis::AnalysisResult();
        }
        return analysis::RunCustomerStatistics(grid, db, a.grouping, measure, a.order);
    });
}

AnalyseRunner cycleKind(const QStringList& arguments, QString* error)
{
    analysis::CycleArguments a;
    if (!analysis::ParseCycleArguments(arguments, a, error))
        return {};
    return resultRunner([a](store::DB_Operate& db, grid::GridModel& grid,
                            const grid::TextMeasure& measure, QString* why) {
        auto result
            = analysis::RunSalesCycleAnalysis(grid, db, a.idList, a.kind, a.measure, measure);
        if (!result.ready && why)
            *why = QStringLiteral("the sales cycle could not be built");
        return result;
    });
}

AnalyseRunner historyKind(const QStringList& arguments, QString* error)
{
    analysis::TrendOptions options;
    if (!analysis::ParseTrendArguments(arguments, options, error))
        return {};
    return [options](store::DB_Operate& db, grid::GridModel& grid, AnalyseChart& chart,
               QString* failure) {
        if (!analysis::RunPriceTrend(grid, db, options.ids, options.measure, chart.title, failure))
            return false;
        // Every product asked for has its column; one that is not stored is an error.
        if (grid.cols() - 1 < options.ids.size()) {
            if (failure)
                *failure = QStringLiteral("not every product ID is a stored product");
            return false;
        }
        return true;
    };
}

// Largest chart picture the command draws, per side.
constexpr int kMaxChartSide = 10000;

} // namespace

// The kinds of analysis the command runs. Each analysis adds its line here.
const std::vector<AnalyseKind>& analyseKinds()
{
    static const std::vector<AnalyseKind> kinds = {
        { QStringLiteral("products"), analysis::ProductStatsUsage(), productsKind },
        { QStringLiteral("totals"), analysis::TotalsUsage(), totalsKind },
        { QStringLiteral("periods"), analysis::PeriodsUsage(), periodsKind },
        { QStringLiteral("buyers"), analysis::BuyersUsage(), buyersKind },
        { QStringLiteral("cycle"), analysis::CycleUsage(), cycleKind },
        { QStringLiteral("history"), analysis::TrendUsage(), historyKind },
    };
    return kinds;
}

QString AnalyseUsage()
{
    QString text;
    for (const AnalyseKind& kind : analyseKinds()) {
        if (!text.isEmpty())
            text += u'\n';
        text += QStringLiteral("usage: quelmar --batch analyse ") + kind.name + u' ' + kind.usage
            + QStringLiteral(" --out FILE [--chart FILE.jpg|.png|.svg] [--size WxH] "
                             "[--rows FIRST-LAST] [--style lines|bars|panels|single]");
    }
    return text;
}

bool ParseAnalyseOutput(
    const QStringList& arguments, AnalyseOutput& output, QStringList& rest, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    static const QRegularExpression pair(QStringLiteral("^(\\d{1,9})[xX-](\\d{1,9})$"));
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const bool shared = word == QLatin1String("--out") || word == QLatin1String("--chart")
            || word == QLatin1String("--size") || word == QLatin1String("--rows")
            || word == QLatin1String("--style");
        if (!shared) {
            rest << word;
            continue;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return fail(word + QStringLiteral(" needs a value"));
        const QString value = arguments[++i];
        if (word == QLatin1String("--out")) {
            output.out = value;
        } else if (word == QLatin1String("--chart")) {
            output.chart = value;
        } else if (word == QLatin1String("--style")) {
            static const std::pair<const char*, AnalyseStyle> styles[]
                = { { "lines", AnalyseStyle::Lines }, { "bars", AnalyseStyle::Bars },
                      { "panels", AnalyseStyle::Panels }, { "single", AnalyseStyle::Single } };
            bool known = false;
            for (const auto& [name, style] : styles) {
                if (value == QLatin1String(name)) {
                    output.style = style;
                    known = true;
                }
            }
            if (!known)
                return fail(QStringLiteral("--style takes lines, bars, panels or single"));
        } else {
            const auto match = pair.match(value);
            const int a = match.hasMatch() ? match.captured(1).toInt() : 0;
            const int b = match.hasMatch() ? match.captured(2).toInt() : 0;
            if (word == QLatin1String("--size")) {
                if (a < 1 || b < 1 || a > kMaxChartSide || b > kMaxChartSide)
                    return fail(QStringLiteral("--size takes WIDTHxHEIGHT in pixels, each 1 to %1")
                                    .arg(kMaxChartSide));
                output.size = QSize(a, b);
            } else {
                if (a < 1 || b < a)
                    return fail(QStringLiteral("--rows takes FIRST-LAST, from 1, FIRST <= LAST"));
                output.firstRow = a;
                output.lastRow = b;
            }
        }
    }
    if (output.out.isEmpty())
        return fail(QStringLiteral("--out is required"));
    return true;
}

analysis::ChartOptions AnalyseChartOptions(AnalyseStyle style, const AnalyseChart& chart)
{
    using analysis::ChartMark;
    using analysis::ChartPanels;
    analysis::ChartOptions o;
    o.mark = chart.mark;
    o.panels = chart.panels ? ChartPanels::Auto : ChartPanels::One;
    switch (style) {
    case AnalyseStyle::Page:
        break;
    case AnalyseStyle::Lines:
        o.mark = ChartMark::Line;
        break;
    case AnalyseStyle::Bars:
        o.mark = ChartMark::Bar;
        break;
    case AnalyseStyle::Panels:
        o.panels = ChartPanels::Each;
        break;
    case AnalyseStyle::Single:
        o.mark = ChartMark::Line;
        o.panels = ChartPanels::One;
        break;
    }
    return o;
}

int RunAnalyseOutput(const grid::GridModel& grid, const AnalyseChart& shown,
    const AnalyseOutput& output, core::Feedback& feedback, QTextStream& err)
{
    QString error;
    if (!exports::WriteGridFile(grid, output.out, exports::kSheetName, feedback, &error)) {
        err << QStringLiteral("cannot write ") << output.out << QStringLiteral(": ") << error
            << Qt::endl;
        return core::kBatchFatal;
    }
    err << QStringLiteral("analyse: %1 rows written to ").arg(grid.dataRowCount()) << output.out
        << Qt::endl;
    if (output.chart.isEmpty())
        return core::kBatchOk;

    // The chart area the page would show, at the asked size, grabbed with its frame.
    analysis::ChartView chart;
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    chart.resize(output.size);
    chart.setGrid(&grid);
    chart.setOptions(AnalyseChartOptions(output.style, shown));
    chart.drawChart(shown.title, output.firstRow, output.lastRow);
    const exports::ChartImageFormat format = exports::ChartImageFormatOf(output.chart);
    QString path = output.chart;
    bool saved = false;
    if (format == exports::ChartImageFormat::Svg) {
        saved
            = exports::SaveSvg([&chart](QPainter& p, const QSize& size) { chart.render(p, size); },
                chart.size(), path, shown.title.section(u'\r', 0, 0), &error);
    } else if (format == exports::ChartImageFormat::Png) {
        QImage image(output.size, QImage::Format_RGB32);
        QPainter painter(&image);
        chart.render(painter, output.size);
        painter.end();
        saved = exports::SavePng(image, path, &error);
    } else {
        path = exports::JpegFileName(output.chart);
        saved = exports::SaveJpeg(chart.grab().toImage(), path, exports::kJpegQuality, &error);
    }
    if (!saved) {
        err << QStringLiteral("保存图片出错！") << QStringLiteral(" (") << path
            << QStringLiteral(": ") << error << QStringLiteral(")") << Qt::endl;
        return core::kBatchFatal;
    }
    err << QStringLiteral("analyse: chart %1x%2 written to ")
               .arg(output.size.width())
               .arg(output.size.height())
        << path << Qt::endl;
    return core::kBatchOk;
}

int RunAnalyseBatch(BatchContext& context, const QStringList& arguments)
{
    QTextStream err(stderr);
    const auto usage = [&err](const QString& problem) {
        if (!problem.isEmpty())
            err << problem << Qt::endl;
        err << AnalyseUsage() << Qt::endl;
        return core::kBatchUsage;
    };
    if (arguments.isEmpty())
        return usage(QStringLiteral("analyse needs a kind"));
    const AnalyseKind* kind = nullptr;
    for (const AnalyseKind& k : analyseKinds()) {
        if (k.name == arguments.first())
            kind = &k;
    }
    if (!kind)
        return usage(QStringLiteral("unknown analysis: ") + arguments.first());

    AnalyseOutput output;
    QStringList rest;
    QString error;
    if (!ParseAnalyseOutput(arguments.mid(1), output, rest, &error))
        return usage(error);
    const AnalyseRunner runner = kind->parse(rest, &error);
    if (!runner)
        return usage(error);

    // The connection keeps the database open for the whole run; failing to open it is the
    // one fatal error before any work.
    db::Connection conn;
    if (!context.db.OpenConnection(conn))
        return core::kBatchFatal;
    grid::GridModel grid;
    AnalyseChart chart;
    if (!runner(context.db, grid, chart, &error)) {
        err << kind->name << QStringLiteral(": ") << error << Qt::endl;
        return core::kBatchFatal;
    }
    return RunAnalyseOutput(grid, chart, output, context.feedback, err);
}

} // namespace quel::shell
