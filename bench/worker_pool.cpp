// Runs pools of quelfetch workers over item jobs against the demo marketplace on loopback.
//   bench_worker_pool [--jobs N]      (500 jobs per pool size by default)
// Prints jobs and pages per second for 1, 4 and 10 workers at a time, the median time from
// starting a worker to its first request, and the peak resident size of a worker.

#include "market/test_server.h"
#include "process_memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

QString workerProgram()
{
    const QString bin = qEnvironmentVariable("QUELMAR_BIN");
    return (bin.isEmpty() ? QCoreApplication::applicationDirPath() + "/../bin" : bin)
        + "/quelfetch";
}

// Viewable shop items whose sales record fills three pages of 90 rows.
std::vector<std::string> threePageItems(const quel::market::Catalogue& catalogue)
{
    std::vector<std::string> codes;
    for (const quel::market::Product& product : catalogue.products()) {
        if (!product.viewable || product.mall)
            continue;
        const int records = catalogue.figures(product.index).records;
        if (records > 180 && records <= 270)
            codes.push_back(product.code);
    }
    return codes;
}

struct PoolResult
{
    double seconds = 0;
    int failed = 0;
};

// Keeps `width` workers running until every job has run; event driven like the program's
// own download windows.
PoolResult runPool(
    int width, const std::vector<std::string>& jobs, const QString& market, const QString& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUELMAR_MARKET", market);
    size_t next = 0;
    int running = 0;
    int failed = 0;
    QEventLoop loop;
    std::function<void()> startMore;
    startMore = [&] {
        while (running < width && next < jobs.size()) {
            const size_t row = next++;
            auto* process = new QProcess(&loop);
            process->setProcessEnvironment(env);
            process->setWorkingDirectory(folder);
            const QString output = QString("./Temp_%1.t").arg(row);
            QObject::connect(process, &QProcess::finished, &loop, [&, process, output] {
                const QString path = folder + "/" + output.mid(2);
                if (QFile(path).size() <= 0)
                    ++failed;
                QFile::remove(path);
                process->deleteLater();
                --running;
                if (running == 0 && next >= jobs.size())
                    loop.quit();
                else
                    startMore();
            });
            ++running;
            process->start(
                workerProgram(), { QString::fromStdString(jobs[row]) + "‖" + output + "‖0" });
        }
    };
    QElapsedTimer clock;
    clock.start();
    startMore();
    if (running > 0)
        loop.exec();
    return { clock.elapsed() / 1000.0, failed };
}

struct StartFigures
{
    double medianMs = 0;
    double peakRssMb = 0;
};

// Start-to-first-request of single workers started one after another, and the largest
// peak resident size any of them reached (read while it runs: the fork before exec would
// count the parent's pages).
StartFigures measureSingleWorkers(
    quel::market::TestServer& market, const std::string& code, const QString& folder)
{
    long peakKb = 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUELMAR_MARKET", QString::fromStdString(market.baseUrl()));
    std::vector<double> samples;
    for (int i = 0; i < 25; ++i) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder);
        const auto before = market.server().counters().requests;
        const auto t0 = std::chrono::steady_clock::now();
        process.start(workerProgram(), { QString::fromStdString(code) + "‖./Temp_s.t‖0" });
        while (market.server().counters().requests == before
            && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        samples.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        const qint64 pid = process.processId();
        QElapsedTimer running;
        running.start();
        while (!process.waitForFinished(1) && running.elapsed() < 30000)
            peakKb = std::max(peakKb, quel::bench::peakResidentKb(pid));
    }
    std::sort(samples.begin(), samples.end());
    return { samples[samples.size() / 2], peakKb / 1024.0 };
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int jobCount = 500;
    const QStringList arguments = app.arguments();
    if (const qsizetype at = arguments.indexOf("--jobs"); at > 0 && at + 1 < arguments.size())
        jobCount = std::max(1, arguments[at + 1].toInt());

    quel::market::TestServer market;
    if (!market.isRunning()) {
        std::fprintf(stderr, "the demo marketplace did not start\n");
        return 1;
    }
    const std::vector<std::string> items = threePageItems(market.catalogue());
    if (items.empty()) {
        std::fprintf(stderr, "no item with three sales pages\n");
        return 1;
    }
    std::vector<std::string> jobs;
    for (int i = 0; i < jobCount; ++i)
        jobs.push_back(items[static_cast<size_t>(i) % items.size()]);

    QTemporaryDir folder;
    const QString base = QString::fromStdString(market.baseUrl());
    std::printf("three_page_items: %zu items\n", items.size());
    for (int width : { 1, 4, 10 }) {
        const auto before = market.server().counters().requests;
        const PoolResult result = runPool(width, jobs, base, folder.path());
        const auto pages = market.server().counters().requests - before;
        std::printf("jobs_per_s_%d: %.1f jobs/s\n", width, jobs.size() / result.seconds);
        std::printf("pages_per_s_%d: %.1f pages/s\n", width, pages / result.seconds);
        if (result.failed > 0)
            std::printf("failed_jobs_%d: %d jobs\n", width, result.failed);
        std::fflush(stdout);
    }
    const StartFigures single = measureSingleWorkers(market, items.front(), folder.path());
    std::printf("median_start_to_first_request: %.1f ms\n", single.medianMs);
    std::printf("worker_peak_rss: %.1f MB\n", single.peakRssMb);
    return 0;
}
