// quelfetch: runs one page job from its command line, writes one result file and ends.
//   quelfetch JOB‖OUTPUT‖MODE      (the arguments are joined with blanks)
//   quelfetch --dump URL           prints the page's body markup as the parsers see it
// "--market URL" (or QUELMAR_MARKET) says where the marketplace is. QUELFETCH_TICK_MS
// shortens the one-second tick (tests run the watchdog's 1200 ticks in seconds);
// QUELFETCH_RATE and QUELFETCH_RATE_FILE share a request rate among the workers of a run.
// The exit code says how the job ended (see ExitCode): 0 only with a result file.

#include "core/exit_codes.h"
#include "web/browser.h"
#include "web/market.h"
#include "web/page_dump.h"
#include "web/rate_limit.h"
#include "worker/command_line.h"
#include "worker/fetch_job.h"
#include "worker/memory_limit.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// Removes "--market URL" / "--market=URL" once the market has been read from them.
QStringList withoutMarketOption(const QStringList& arguments)
{
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == u"--market") {
            ++i;
            continue;
        }
        if (arguments[i].startsWith(u"--market="))
            continue;
        rest << arguments[i];
    }
    return rest;
}

int dumpPage(const QString& url)
{
    QString error;
    const QString markup = quel::web::LoadBodyHtml(url, &error);
    std::fwrite(
        markup.toUtf8().constData(), 1, static_cast<size_t>(markup.toUtf8().size()), stdout);
    std::fflush(stdout);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return quel::core::ExitDumpFailed;
    }
    return quel::core::ExitDone;
}

} // namespace

int main(int argc, char* argv[])
{
    quel::worker::LimitAddressSpace();
    QCoreApplication app(argc, argv);
    const QStringList given = app.arguments().mid(1);

    QString error;
    if (!quel::web::ConfigureMarket(given, &error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return quel::core::ExitBadArguments;
    }
    const QStringList arguments = withoutMarketOption(given);
    if (arguments.value(0) == u"--dump") {
        if (arguments.size() != 2) {
            std::fprintf(stderr, "用法：quelfetch --dump 网址\n");
            return quel::core::ExitBadArguments;
        }
        return dumpPage(arguments[1]);
    }

    const quel::web::MarketAddresses& market = quel::web::Market();
    quel::worker::Job job;
    if (!quel::worker::ParseCommandLine(
            quel::worker::JoinArguments(arguments), market.itemBase, market.itemBase, job))
        return quel::core::ExitBadArguments; // nothing to do, no file written

    const quel::worker::JobTiming timing = quel::worker::JobTiming::fromEnvironment();
    quel::web::Browser browser;
    quel::worker::ConfigureBrowser(browser, timing);
    const std::unique_ptr<quel::web::SharedRateLimit> rate = quel::web::RateLimitFromEnvironment();
    if (rate)
        browser.setRequestGate([&rate] { return rate->reserve(); });
    quel::worker::FetchJob fetch(job, browser, timing);
    QObject::connect(
        &fetch, &quel::worker::FetchJob::finished, &app,
        [&app, &fetch] { app.exit(fetch.exitCode()); }, Qt::QueuedConnection);
    fetch.start();
    return app.exec();
}
