// SPDX-License-Identifier: GPL-3.0-or-later
#include "market/test_server.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <gtest/gtest.h>

using quel::market::Fault;
using quel::market::MarketOptions;
using quel::market::ScriptedFault;
using quel::market::TestServer;
using quel::test::TempDir;

// Jobs against pages that arrive with HTTP 200 and look whole to the transport but are not
// what they claim: such a job writes no result, ends with its own exit code and says why;
// rewrites that keep every record give the clean result.
namespace {

constexpr int kExitBadPage = 6;

struct Outcome
{
    int exitCode = -1;
    bool written = false;
    QByteArray result;
    QByteArray stderrText;
};

class PageRewrites : public ::testing::Test
{
protected:
    void startMarket(std::vector<ScriptedFault> faults)
    {
        m_market.reset();
        MarketOptions o = MarketOptions::forTests();
        o.scriptedFaults = std::move(faults);
        m_market = std::make_unique<TestServer>(o);
        ASSERT_TRUE(m_market->isRunning());
    }

    Outcome run(const QString& job, const QString& mode = QStringLiteral("0"))
    {
        QFile::remove(m_dir.file("Temp_1.t"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUELMAR_MARKET", QString::fromStdString(m_market->baseUrl()));
        env.insert("QUELFETCH_TICK_MS", "50");
        env.insert("QUELFETCH_RETRY_BASE_MS", "10");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(quel::test::binDir() + "/quelfetch", { job + "‖./Temp_1.t‖" + mode });
        Outcome outcome;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the worker did not end: " << job.toStdString() << ": "
                          << process.errorString().toStdString();
        }
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.stderrText = process.readAllStandardError();
        outcome.written = QFile::exists(m_dir.file("Temp_1.t"));
        if (outcome.written)
            outcome.result = m_dir.read("Temp_1.t");
        return outcome;
    }

    QString code() const
    {
        return QString::fromStdString(m_market->fixtures().threePageSalesCode());
    }

    // A viewable item whose record fits on one page.
    QString onePageCode() const
    {
        for (const quel::market::Product& p : m_market->catalogue().products()) {
            const auto n = m_market->catalogue().sales(p.index)->size();
            if (p.viewable && !p.mall && p.price > 0 && n > 10 && n <= 90)
                return QString::fromStdString(p.code);
        }
        return {};
    }

    static QSet<QByteArray> lines(const QByteArray& result)
    {
        QSet<QByteArray> out;
        for (const QByteArray& line : result.split('\n'))
            out.insert(line.trimmed());
        return out;
    }

    void expectFailed(const Outcome& outcome, const char* reason)
    {
        EXPECT_EQ(outcome.exitCode, kExitBadPage);
        EXPECT_FALSE(outcome.written);
        EXPECT_TRUE(QString::fromLocal8Bit(outcome.stderrText).contains(QString::fromUtf8(reason)))
            << outcome.stderrText.toStdString();
    }

    std::unique_ptr<TestServer> m_market;
    TempDir m_dir;
};

} // namespace

TEST_F(PageRewrites, CutOrImpostorSalesPagesFailTheJob)
{
    startMarket({});
    const Outcome clean = run(code());
    ASSERT_EQ(clean.exitCode, 0);
    ASSERT_GT(clean.result.count("\r\n"), 180);

    struct Case
    {
        ScriptedFault fault;
        const char* reason;
    };
    const Case cases[] = {
        { { "bid_page=2", -1, Fault::CutClosed }, "网页不完整" },
        { { "bid_page=3", -1, Fault::LyingLength }, "网页不完整" },
        { { "page_size=90", 0, Fault::CutClosed }, "网页不完整" }, // the item page itself
        { { "tab=deal", -1, Fault::NoRecordTable }, "成交记录没有显示" },
        { { "bid_page=2", -1, Fault::SelfPager }, "下一页" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(quel::market::faultName(c.fault.fault));
        startMarket({ c.fault });
        expectFailed(run(code()), c.reason);
    }
}

TEST_F(PageRewrites, RecordsShiftedBetweenPagesOrAScriptedPagerKeepEveryRecord)
{
    startMarket({});
    const Outcome clean = run(code());
    const QString single = onePageCode();
    ASSERT_FALSE(single.isEmpty());
    const Outcome cleanSingle = run(single);
    ASSERT_EQ(cleanSingle.exitCode, 0);

    // From page 2 on every page begins one record earlier: the record that ended page 1 is
    // shown twice, every record is there.
    startMarket({ { "tab=deal", -1, Fault::ShiftedRows } });
    const Outcome shifted = run(code());
    EXPECT_EQ(shifted.exitCode, 0);
    EXPECT_EQ(shifted.result.count("\r\n"), clean.result.count("\r\n") + 1);
    EXPECT_EQ(lines(shifted.result), lines(clean.result));

    // A next-page link in a script, none on the page: the walk ends on the last page instead
    // of clicking the label until the watchdog.
    startMarket({ { "tab=deal", -1, Fault::ScriptPager } });
    EXPECT_EQ(run(code()).result, clean.result);
    const Outcome scripted = run(single);
    EXPECT_EQ(scripted.exitCode, 0);
    EXPECT_EQ(scripted.result, cleanSingle.result);
    EXPECT_LT(m_market->server().counters().requests, 20u);
}

TEST_F(PageRewrites, AProfileWithoutItsCardOrCutShortFailsTheJob)
{
    // Each market has a port of its own, and so its own addresses.
    const auto profile = [this] {
        return QString::fromStdString(m_market->profileUrl(m_market->fixtures().plainBuyerCode()));
    };
    startMarket({});
    ASSERT_EQ(run(profile(), "1").exitCode, 0);

    startMarket({ { "user_profile", -1, Fault::LoginWall } });
    expectFailed(run(profile(), "1"), "买家资料页没有资料");
    startMarket({ { "user_profile", -1, Fault::CutClosed } });
    expectFailed(run(profile(), "1"), "网页不完整");
    startMarket({ { "user_profile", -1, Fault::LyingLength } });
    expectFailed(run(profile(), "1"), "网页不完整");

    // The closed-account notice is an answer.
    startMarket({});
    const Outcome closed = run(
        QString::fromStdString(m_market->profileUrl(m_market->fixtures().bannedBuyerCode())), "1");
    EXPECT_EQ(closed.exitCode, 0);
    EXPECT_TRUE(closed.result.contains("-1"));
}
