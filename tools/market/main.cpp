// quelmarket: the demo marketplace on 127.0.0.1. The first line on stdout names the port
// (scripts read its first number); one log line per request goes to stderr.

#include "market/market_options.h"
#include "market/market_server.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    using namespace quel::market;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseMarketArguments(args);
    if (parsed.showHelp) {
        std::fputs(marketUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quelmarket: %s\n%s", parsed.error.c_str(), marketUsage().c_str());
        return 2;
    }

    // Block the stop signals before any thread exists, so that only the waiter below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that goes away mid-response must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    // Large markets take seconds to generate; say what is happening meanwhile.
    std::fprintf(stderr, "quelmarket: generating %d items, %d buyers (seed %llu)\n",
        parsed.options.products, parsed.options.buyers,
        static_cast<unsigned long long>(parsed.options.seed));
    MarketServer server(parsed.options);
    const int port = server.bind();
    if (port <= 0) {
        std::fprintf(stderr, "quelmarket: cannot listen on 127.0.0.1:%d\n", parsed.options.port);
        return 1;
    }
    std::printf("quelmarket: port %d, http://127.0.0.1:%d (seed %llu, %d items, now %s)\n", port,
        port, static_cast<unsigned long long>(parsed.options.seed), parsed.options.products,
        formatDateTime(parsed.options.now).c_str());
    std::fflush(stdout);

    std::thread waiter([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::fprintf(stderr, "quelmarket: %s, stopping\n", signal == SIGINT ? "SIGINT" : "SIGTERM");
        server.stop();
    });
    const bool served = server.serve();
    if (waiter.joinable()) {
        // The loop may also end without a signal: wake the waiter so that it can be joined.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    }
    std::fprintf(stderr, "quelmarket: stopped\n");
    return served ? 0 : 1;
}
