#include "shell/batch_analyse.h"

#include "analysis/analysis_arguments.h"
#include "analysis/chart_view.h"
#include "analysis/price_trend.h"
#include "analysis/product_stats.h"
#include "export/chart_image.h"
#include "export/grid_export.h"
#include "grid/grid_model.h"
#include "grid/text_measure.h"
#include "shell/batch.h"
#include "store/db_operate.h"

#include <QFont>
#include <QRegularExpression>
#include <QTextStream>

namespace quel::shell {

namespace {

AnalyseRunner productsKind(const QStringList& arguments, QString* error)
{
    analysis::ProductStatsOptions options;
    if (!analysis::ParseProductStatsArguments(arguments, options, error))
        return {};
    return [options](store::DB_Operate& db, views::GridModel& grid, QString& title, QString*) {
        const views::FontTextMeasure measure { QFont() };
        title = analysis::RunProductStatistics(grid, db, options, measure);
        return true;
    };
}

// A trade, customer or cycle analysis bound to its arguments: it fills the grid or says
// why it has nothing to show.
AnalyseRunner resultRunner(std::function<analysis::AnalysisResult(
        store::DB_Operate&, views::GridModel&, const views::TextMeasure&, QString* error)>
        run)
{
    return [run](store::DB_Operate& db, views::GridModel& grid, QString& title, QString* error) {
        const views::FontTextMeasure measure { QFont() };
        const analysis::AnalysisResult result = run(db, grid, measure, error);
        title = result.title;
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
    return resultRunner([a](store::DB_Operate& db, views::GridModel& grid,
                            const views::TextMeasure& measure, QString* why) {
        auto result = analysis::CompareTradeTotals(grid, db, a.grouping, a.measure, measure);
        if (!result.ready && why)
            *why = QStringLiteral("the totals could not be built");
        return result;
    });
}

AnalyseRunner periodsKind(const QStringList& arguments, QString* error)
{
    analysis::PeriodsArguments a;
    if (!analysis::ParsePeriodsArguments(arguments, a, error))
        return {};
    return resultRunner([a](store::DB_Operate& db, views::GridModel& grid,
                            const views::TextMeasure& measure, QString* why) {
        auto result = analysis::CompareTradesByPeriod(grid, db, a.idList, a.options, measure);
        if (!result.ready && why)
            *why = QStringLiteral("the chosen products have no trade records");
        return result;
    });
}

AnalyseRunner buyersKind(const QStringList& arguments, QString* error)
{
    analysis::BuyersArguments a;
    if (!analysis::ParseBuyersArguments(arguments, a, error))
        return {};
    return resultRunner([a](store::DB_Operate& db, views::GridModel& grid,
                            const views::TextMeasure& measure, QString* why) {
        if (!analysis::PrepareCustomerSet(db, a.idList)) {
            if (why)
                *why = QStringLiteral("the buyers of the chosen products could not be gathered");
            return analysis::AnalysisResult();
        }
        return analysis::RunCustomerStatistics(grid, db, a.grouping, measure);
    });
}

AnalyseRunner cycleKind(const QStringList& arguments, QString* error)
{
    analysis::CycleArguments a;
    if (!analysis::ParseCycleArguments(arguments, a, error))
        return {};
    return resultRunner([a](store::DB_Operate& db, views::GridModel& grid,
                            const views::TextMeasure& measure, QString* why) {
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
    return
        [options](store::DB_Operate& db, views::GridModel& grid, QString& title, QString* failure) {
            if (!analysis::RunPriceTrend(grid, db, options.ids, options.measure, title, failure))
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
            + QStringLiteral(" --out FILE [--chart FILE.jpg] [--size WxH] [--rows FIRST-LAST]");
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
            || word == QLatin1String("--size") || word == QLatin1String("--rows");
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

int RunAnalyseOutput(const views::GridModel& grid, const QString& title,
    const AnalyseOutput& output, Feedback& feedback, QTextStream& err)
{
    QString error;
    if (!exports::WriteGridFile(grid, output.out, exports::kSheetName, feedback, &error)) {
        err << QStringLiteral("cannot write ") << output.out << QStringLiteral(": ") << error
            << Qt::endl;
        return 1;
    }
    err << QStringLiteral("analyse: %1 rows written to ").arg(grid.dataRowCount()) << output.out
        << Qt::endl;
    if (output.chart.isEmpty())
        return 0;

    // The chart area the page would show, at the asked size, grabbed with its frame.
    analysis::ChartView chart;
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    chart.resize(output.size);
    chart.setGrid(&grid);
    chart.drawChart(title, output.firstRow, output.lastRow);
    const QString path = exports::JpegFileName(output.chart);
    if (!exports::SaveJpeg(chart.grab().toImage(), path, exports::kJpegQuality, &error)) {
        err << QStringLiteral("保存图片出错！") << QStringLiteral(" (") << path
            << QStringLiteral(": ") << error << QStringLiteral(")") << Qt::endl;
        return 1;
    }
    err << QStringLiteral("analyse: chart %1x%2 written to ")
               .arg(output.size.width())
               .arg(output.size.height())
        << path << Qt::endl;
    return 0;
}

int RunAnalyseBatch(BatchContext& context, const QStringList& arguments)
{
    QTextStream err(stderr);
    const auto usage = [&err](const QString& problem) {
        if (!problem.isEmpty())
            err << problem << Qt::endl;
        err << AnalyseUsage() << Qt::endl;
        return 2;
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
    store::Connection conn;
    if (!context.db.OpenConnection(conn))
        return 1;
    views::GridModel grid;
    QString title;
    if (!runner(context.db, grid, title, &error)) {
        err << kind->name << QStringLiteral(": ") << error << Qt::endl;
        return 1;
    }
    return RunAnalyseOutput(grid, title, output, context.feedback, err);
}

} // namespace quel::shell
