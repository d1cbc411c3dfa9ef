#include "market/test_server.h"
#include "support/temp_dir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using quel::market::Fault;
using quel::market::MarketOptions;
using quel::market::ScriptedFault;
using quel::market::TestServer;
using quel::test::TempDir;

// Item jobs against the demo marketplace when its pages fail: a job either writes every
// record or nothing, and failures that pass are ridden out politely.
namespace {

constexpr int kExitPageFailed = 3;

struct Outcome
{
    int exitCode = -1;
    bool written = false;
    QByteArray result;
    qint64 ms = 0;
};

class FaultyMarket : public ::testing::Test
{
protected:
    void startMarket(
        std::vector<ScriptedFault> faults, int retryAfterSeconds = 1, double rateLimit = 0)
    {
        MarketOptions o = MarketOptions::forTests();
        o.scriptedFaults = std::move(faults);
        o.retryAfterSeconds = retryAfterSeconds;
        o.rateLimit = rateLimit;
        o.stallMs = 5000;
        m_market = std::make_unique<TestServer>(o);
        m_market->server().setLogSink([this](std::string_view line) {
            std::lock_guard lock(m_logMutex);
            m_requestTimes.push_back(m_clock.elapsed());
            m_log.emplace_back(line);
        });
        m_clock.start();
        ASSERT_TRUE(m_market->isRunning());
        m_code = QString::fromStdString(m_market->fixtures().threePageSalesCode());
    }

    void start(QProcess& process, const QString& output, const QStringList& settings)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUELMAR_MARKET", QString::fromStdString(m_market->baseUrl()));
        env.remove("QUELFETCH_TICK_MS");
        env.insert("QUELFETCH_RETRY_BASE_MS", "10");
        env.insert("QUELFETCH_IDLE_TIMEOUT_MS", "300");
        for (const QString& setting : settings)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(quel::test::binDir() + "/quelfetch", { m_code + "‖./" + output + "‖0" });
    }

    Outcome finish(QProcess& process, const QString& output, const QElapsedTimer& clock)
    {
        Outcome outcome;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the worker did not end";
        }
        outcome.ms = clock.elapsed();
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.written = QFile::exists(m_dir.file(output));
        if (outcome.written)
            outcome.result = m_dir.read(output);
        return outcome;
    }

    Outcome run(const QStringList& settings = {})
    {
        QElapsedTimer clock;
        clock.start();
        QProcess process;
        start(process, "Temp_1.t", settings);
        return finish(process, "Temp_1.t", clock);
    }

    std::unique_ptr<TestServer> m_market;
    TempDir m_dir;
    QString m_code;
    QElapsedTimer m_clock;
    std::mutex m_logMutex;
    std::vector<qint64> m_requestTimes;
    std::vector<std::string> m_log;
};

} // namespace

TEST_F(FaultyMarket, ACutShortOrStalledLaterSalesPageLeavesNoResult)
{
    for (const Fault fault : { Fault::Truncated, Fault::Stalled, Fault::Dropped }) {
        SCOPED_TRACE(quel::market::faultName(fault));
        // Every attempt at the second record page fails; the first page loaded fine.
        startMarket({ { "bid_page=2", -1, fault } });
        const Outcome outcome = run();
        EXPECT_EQ(outcome.exitCode, kExitPageFailed);
        EXPECT_FALSE(outcome.written);
        // Three attempts; Qt itself resends a GET once when a reused connection is dropped.
        const auto attempts = m_market->server().counters().faults[static_cast<size_t>(fault)];
        EXPECT_GE(attempts, 3u);
        EXPECT_LE(attempts, 6u);
    }
}

TEST_F(FaultyMarket, PassingFailuresAreRetriedToTheCompleteResult)
{
    startMarket({});
    const QByteArray complete = run().result;
    ASSERT_GT(complete.count("\r\n"), 180);
    QFile::remove(m_dir.file("Temp_1.t"));

    // One 503 on the second record page, one cut-short first record page.
    startMarket({ { "bid_page=2", 0, Fault::Unavailable }, { "bid_page=1", 0, Fault::Truncated } });
    Outcome outcome = run();
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.result, complete);
    QFile::remove(m_dir.file("Temp_1.t"));

    // The server's Retry-After is waited for, and an unreasonable one only up to the cap.
    startMarket({ { "bid_page=2", 0, Fault::Unavailable } }, 1);
    outcome = run();
    EXPECT_EQ(outcome.result, complete);
    EXPECT_GE(outcome.ms, 950); // whole-process time; the wait itself is one second
    QFile::remove(m_dir.file("Temp_1.t"));

    startMarket({ { "bid_page=2", 0, Fault::Unavailable } }, 3600);
    outcome = run({ "QUELFETCH_RETRY_AFTER_CAP_MS=700" });
    EXPECT_EQ(outcome.result, complete);
    EXPECT_GE(outcome.ms, 700);
    EXPECT_LT(outcome.ms, 10000);
}

TEST_F(FaultyMarket, WorkersOfARunShareOneRequestRate)
{
    // The market turns away more than 5 requests a second; the two workers together keep to 4.
    startMarket({}, 1, 5);
    const QStringList settings
        = { "QUELFETCH_RATE=4", "QUELFETCH_RATE_FILE=" + m_dir.file("rate.slot") };
    QElapsedTimer clock;
    clock.start();
    QProcess first;
    QProcess second;
    start(first, "Temp_1.t", settings);
    start(second, "Temp_2.t", settings);
    const Outcome a = finish(first, "Temp_1.t", clock);
    const Outcome b = finish(second, "Temp_2.t", clock);
    EXPECT_EQ(a.exitCode, 0);
    EXPECT_EQ(b.exitCode, 0);
    EXPECT_EQ(a.result, b.result);
    EXPECT_GT(a.result.count("\r\n"), 180);
    EXPECT_EQ(m_market->server().counters().rateLimited, 0u);

    std::lock_guard lock(m_logMutex);
    std::vector<qint64> times = m_requestTimes;
    std::sort(times.begin(), times.end());
    ASSERT_GE(times.size(), 8u);
    // A quarter of a second per request, whichever worker made them. Measured over the whole
    // run: a worker that a busy machine wakes late shortens one gap and lengthens the next.
    const qint64 span = times.back() - times.front();
    EXPECT_GE(span, qint64(times.size() - 1) * 200) << span << " ms for " << times.size();
}
