#include "analysis/analysis_arguments.h"

#include <QMap>
#include <utility>
#include <vector>

namespace quel::analysis {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// Reads "--name value" pairs; every name must be one of `names` and given once, and all
// of them must be there.
bool readOptions(const QStringList& arguments, const QStringList& names,
    QMap<QString, QString>& values, QString* error)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (!option.startsWith(QLatin1String("--")) || !names.contains(option.mid(2)))
            return fail(error, QStringLiteral("unknown option: ") + option);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return fail(error, option + QStringLiteral(" needs a value"));
        if (values.contains(option.mid(2)))
            return fail(error, option + QStringLiteral(" is given twice"));
        values.insert(option.mid(2), arguments[++i]);
    }
    for (const QString& name : names) {
        if (!values.contains(name))
            return fail(error, QStringLiteral("--") + name + QStringLiteral(" is required"));
    }
    return true;
}

// The value of option `name` among the choices; false with a message naming the choices.
template <typename T>
bool choose(const QMap<QString, QString>& values, const QString& name,
    const std::vector<std::pair<const char*, T>>& choices, T& out, QString* error)
{
    const QString value = values.value(name);
    QStringList known;
    for (const auto& [word, choice] : choices) {
        if (value == QLatin1String(word)) {
            out = choice;
            return true;
        }
        known << QString::fromLatin1(word);
    }
    return fail(error, QStringLiteral("--%1 takes %2, not %3").arg(name, known.join(u'|'), value));
}

bool productsOption(const QMap<QString, QString>& values, QString& idList, QString* error)
{
    if (ProductListArgument(values.value(QStringLiteral("products")), idList))
        return true;
    return fail(error,
        QStringLiteral("--products takes product identifiers separated by commas, e.g. 5,12"));
}

const std::vector<std::pair<const char*, TotalsGrouping>> kTotalsGroupings {
    { "product", TotalsGrouping::Product }, { "shop", TotalsGrouping::Shop }
};
const std::vector<std::pair<const char*, TotalsMeasure>> kTotalsMeasures {
    { "amount", TotalsMeasure::Amount }, { "quantity", TotalsMeasure::Quantity }
};
const std::vector<std::pair<const char*, PeriodUnit>> kUnits { { "day", PeriodUnit::Day },
    { "week", PeriodUnit::Week }, { "month", PeriodUnit::Month } };
const std::vector<std::pair<const char*, TradeMeasure>> kTradeMeasures { { "amount",
                                                                             TradeMeasure::Amount },
    { "quantity", TradeMeasure::Quantity }, { "average", TradeMeasure::Average } };
const std::vector<std::pair<const char*, TradeSeries>> kSeries {
    { "product", TradeSeries::Product }, { "shop", TradeSeries::Shop }
};
const std::vector<std::pair<const char*, CustomerGrouping>> kCustomerGroupings {
    { "province", CustomerGrouping::Province }, { "region", CustomerGrouping::Region },
    { "credit", CustomerGrouping::Credit }, { "login", CustomerGrouping::Activity }
};
const std::vector<std::pair<const char*, CustomerOrder>> kCustomerOrders {
    { "natural", CustomerOrder::Natural }, { "count", CustomerOrder::Count }
};
const std::vector<std::pair<const char*, CycleKind>> kCycles { { "month", CycleKind::DaysOfMonth },
    { "week", CycleKind::DaysOfWeek }, { "day", CycleKind::HoursOfDay } };
const std::vector<std::pair<const char*, CycleMeasure>> kCycleMeasures {
    { "amount", CycleMeasure::Amount }, { "quantity", CycleMeasure::Quantity }
};

} // namespace

bool ProductListArgument(const QString& value, QString& idList)
{
    QString list;
    const QStringList entries = value.split(u',');
    for (const QString& entry : entries) {
        const QString id = entry.trimmed();
        bool digits = !id.isEmpty();
        for (QChar c : id)
            digits = digits && c >= u'0' && c <= u'9';
        if (!digits)
            return false;
        list += id + QStringLiteral("；");
    }
    idList = list;
    return true;
}

bool ParseTotalsArguments(const QStringList& arguments, TotalsArguments& out, QString* error)
{
    QMap<QString, QString> values;
    return readOptions(
               arguments, { QStringLiteral("by"), QStringLiteral("measure") }, values, error)
        && choose(values, QStringLiteral("by"), kTotalsGroupings, out.grouping, error)
        && choose(values, QStringLiteral("measure"), kTotalsMeasures, out.measure, error);
}

QString TotalsUsage()
{
    return QStringLiteral("--by product|shop --measure amount|quantity");
}

bool ParsePeriodsArguments(const QStringList& arguments, PeriodsArguments& out, QString* error)
{
    QMap<QString, QString> values;
    return readOptions(arguments,
               { QStringLiteral("products"), QStringLiteral("unit"), QStringLiteral("measure"),
                   QStringLiteral("series") },
               values, error)
        && productsOption(values, out.idList, error)
        && choose(values, QStringLiteral("unit"), kUnits, out.options.unit, error)
        && choose(values, QStringLiteral("measure"), kTradeMeasures, out.options.measure, error)
        && choose(values, QStringLiteral("series"), kSeries, out.options.series, error);
}

QString PeriodsUsage()
{
    return QStringLiteral("--products IDS --unit day|week|month --measure "
                          "amount|quantity|average --series product|shop");
}

bool ParseBuyersArguments(const QStringList& arguments, BuyersArguments& out, QString* error)
{
    // The order may be left out: the page's own order then.
    QStringList required = arguments;
    QMap<QString, QString> order;
    const qsizetype at = required.indexOf(QStringLiteral("--order"));
    if (at >= 0) {
        if (!readOptions(required.mid(at, 2), { QStringLiteral("order") }, order, error))
            return false;
        required.remove(at, 2);
        if (!choose(order, QStringLiteral("order"), kCustomerOrders, out.order, error))
            return false;
    }
    QMap<QString, QString> values;
    return readOptions(
               required, { QStringLiteral("products"), QStringLiteral("by") }, values, error)
        && productsOption(values, out.idList, error)
        && choose(values, QStringLiteral("by"), kCustomerGroupings, out.grouping, error);
}

QString BuyersUsage()
{
    return QStringLiteral(
        "--products IDS --by province|region|credit|login [--order natural|count]");
}

bool ParseCycleArguments(const QStringList& arguments, CycleArguments& out, QString* error)
{
    QMap<QString, QString> values;
    return readOptions(arguments,
               { QStringLiteral("products"), QStringLiteral("cycle"), QStringLiteral("measure") },
               values, error)
        && productsOption(values, out.idList, error)
        && choose(values, QStringLiteral("cycle"), kCycles, out.kind, error)
        && choose(values, QStringLiteral("measure"), kCycleMeasures, out.measure, error);
}

QString CycleUsage()
{
    return QStringLiteral("--products IDS --cycle month|week|day --measure amount|quantity");
}

} // namespace quel::analysis
