#pragma once

#include "analysis/customer_stats.h"
#include "analysis/sales_cycle.h"
#include "analysis/trade_stats.h"

#include <QString>
#include <QStringList>

namespace quel::analysis {

// The command-line forms of the trade, customer and sales-cycle analyses. Every option is
// required; product lists are identifiers of 产品表.ID separated by commas ("5,12"), given
// to the analyses as the picker's "；"-separated tag. Each parser returns false with a
// message naming the fault.

struct TotalsArguments
{
    TotalsGrouping grouping = TotalsGrouping::Product;
    TotalsMeasure measure = TotalsMeasure::Amount;
};
// "--by product|shop --measure amount|quantity"
bool ParseTotalsArguments(const QStringList& arguments, TotalsArguments& out, QString* error);
QString TotalsUsage();

struct PeriodsArguments
{
    QString idList;
    PeriodComparison options;
};
// "--products IDS --unit day|week|month --measure amount|quantity|average
// --series product|shop"
bool ParsePeriodsArguments(const QStringList& arguments, PeriodsArguments& out, QString* error);
QString PeriodsUsage();

struct BuyersArguments
{
    QString idList;
    CustomerGrouping grouping = CustomerGrouping::Province;
    CustomerOrder order = CustomerOrder::Natural;
};
// "--products IDS --by province|region|credit|login [--order natural|count]"
bool ParseBuyersArguments(const QStringList& arguments, BuyersArguments& out, QString* error);
QString BuyersUsage();

struct CycleArguments
{
    QString idList;
    CycleKind kind = CycleKind::DaysOfMonth;
    CycleMeasure measure = CycleMeasure::Amount;
};
// "--products IDS --cycle month|week|day --measure amount|quantity"
bool ParseCycleArguments(const QStringList& arguments, CycleArguments& out, QString* error);
QString CycleUsage();

// "5,12" -> "5；12；". False for an empty list or an entry that is not a whole number.
bool ProductListArgument(const QString& value, QString& idList);

} // namespace quel::analysis
