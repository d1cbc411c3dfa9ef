// The trade analyses alone: bench_analysis_trades [TRADES [FOLDER]].
#include "analysis_trades.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    return runTradeAnalysisBench(app.arguments().mid(1), out);
}
