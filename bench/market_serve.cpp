// Item pages served per second by the demo marketplace on loopback: wrk when installed,
// otherwise a small keep-alive client of ours. The pipeline benchmarks need the server never
// to be their limit.

#include "market/market_server.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <httplib.h>
#include <regex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quel::market;

namespace {

constexpr int kItems = 600;
constexpr int kSeconds = 5;

std::vector<std::string> itemPaths(const Catalogue& catalogue)
{
    std::vector<std::string> paths;
    for (const Product& p : catalogue.products())
        paths.push_back("/item.htm?id=" + p.code + "&page_size=90");
    return paths;
}

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
            out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

// wrk over every item address in turn; returns requests per second, or a negative value when
// wrk is not there or did not report.
double withWrk(int port, const std::vector<std::string>& paths, int seconds)
{
    if (access("/usr/bin/wrk", X_OK) != 0)
        return -1;
    char scriptName[] = "/tmp/market_serve_XXXXXX";
    const int fd = mkstemp(scriptName);
    if (fd < 0)
        return -1;
    close(fd);
    {
        std::ofstream script(scriptName);
        script << "local paths = {\n";
        for (const std::string& p : paths)
            script << "  \"" << p << "\",\n";
        script << "}\nlocal i = 0\nrequest = function()\n  i = i % #paths + 1\n"
                  "  return wrk.format(\"GET\", paths[i])\nend\n";
    }
    const std::string out = run("/usr/bin/wrk -t1 -c8 -d" + std::to_string(seconds) + "s -s "
        + scriptName + " http://127.0.0.1:" + std::to_string(port) + "/ 2>&1");
    std::remove(scriptName);
    std::smatch m;
    if (std::regex_search(out, m, std::regex("Requests/sec:\\s+([0-9.]+)"))) {
        std::smatch errors;
        if (std::regex_search(out, errors, std::regex("Non-2xx or 3xx responses: ([0-9]+)")))
            std::fprintf(
                stderr, "market_serve: wrk saw %s error responses\n", errors[1].str().c_str());
        return std::stod(m[1]);
    }
    std::fprintf(stderr, "market_serve: wrk output not understood:\n%s\n", out.c_str());
    return -1;
}

double withOwnClient(int port, const std::vector<std::string>& paths, int seconds)
{
    std::atomic<long> done { 0 };
    std::atomic<bool> stop { false };
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            std::size_t i = static_cast<std::size_t>(c) * 97;
            while (!stop) {
                const auto res = client.Get(paths[i++ % paths.size()].c_str());
                if (res && res->status == 200)
                    ++done;
            }
        });
    }
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& t : clients)
        t.join();
    const double elapsed
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return static_cast<double>(done.load()) / elapsed;
}

} // namespace

int main()
{
    MarketOptions options = MarketOptions::forTests();
    options.products = kItems;
    MarketServer server(options);
    const int port = server.bind();
    if (port <= 0) {
        std::fprintf(stderr, "market_serve: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::thread serving([&] { server.serve(); });
    while (!server.isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    const std::vector<std::string> paths = itemPaths(server.catalogue());
    // First requests render and encode; the figure is for the cached pages that every later
    // run of a pipeline sees.
    {
        httplib::Client warm("127.0.0.1", port);
        warm.set_keep_alive(true);
        const auto started = std::chrono::steady_clock::now();
        std::size_t bytes = 0;
        for (const std::string& p : paths)
            if (const auto res = warm.Get(p.c_str()))
                bytes += res->body.size();
        const double ms
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                  .count();
        std::printf("first_render_ms_per_page: %.3f ms\n", ms / static_cast<double>(paths.size()));
        std::printf("item_page_kb: %.1f KB\n",
            static_cast<double>(bytes) / 1024.0 / static_cast<double>(paths.size()));
    }

    double rate = withWrk(port, paths, kSeconds);
    const char* generator = "wrk";
    if (rate < 0) {
        rate = withOwnClient(port, paths, kSeconds);
        generator = "own client";
    }
    // The workers' heavier pages: the first sales-record page (up to 90 rows) of each item.
    std::vector<std::string> salesPaths;
    for (const std::string& p : paths)
        salesPaths.push_back(p + "&tab=deal&bid_page=1");
    for (const std::string& p : salesPaths)
        httplib::Client("127.0.0.1", port).Get(p.c_str());
    double salesRate = withWrk(port, salesPaths, 3);
    if (salesRate < 0)
        salesRate = withOwnClient(port, salesPaths, 3);
    std::fflush(stdout);
    std::fprintf(stderr, "market_serve: load generator %s, %d item pages, %d s\n", generator,
        kItems, kSeconds);
    std::printf("pages_per_s: %.0f pages/s\n", rate);
    std::printf("sales_pages_per_s: %.0f pages/s\n", salesRate);
    server.stop();
    serving.join();
    return 0;
}
