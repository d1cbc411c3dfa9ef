#include "core/worker_protocol.h"
#include "market/civil_time.h"
#include "market/pages.h"
#include "market/test_server.h"
#include "page_fixtures.h"
#include "support/temp_dir.h"
#include "worker/buyer_profile.h"
#include "worker/number_text.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace quel::worker;
using quel::test::TempDir;

// Whole result files of jobs against the demo marketplace, compared with what its catalogue
// says the pages show.
namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

// How a text stands in the serialised markup the parsers read.
QString asMarkup(const std::string& s)
{
    return text(s).replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

QString money(double value)
{
    return NumberText(LeadingNumber(text(quel::market::money(value))));
}

class MarketJobs : public ::testing::Test
{
protected:
    // The market goes in through QUELMAR_MARKET, or with byOption through "--market URL".
    QByteArray run(const QString& job, const QString& mode, bool byOption = false)
    {
        QFile::remove(m_dir.file("Temp_1.t"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QUELMAR_MARKET");
        if (!byOption)
            env.insert("QUELMAR_MARKET", text(m_market.baseUrl()));
        env.remove("QUELFETCH_TICK_MS");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        QStringList arguments { job + "‖./Temp_1.t‖" + mode };
        if (byOption)
            arguments = QStringList { "--market", text(m_market.baseUrl()) } + arguments;
        process.start(quel::test::binDir() + "/quelfetch", arguments);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the worker did not end: " << job.toStdString();
        }
        EXPECT_TRUE(QFile::exists(m_dir.file("Temp_1.t"))) << job.toStdString();
        return m_dir.read("Temp_1.t");
    }

    const quel::market::Product& product(const std::string& code)
    {
        const quel::market::Product* p = m_market.catalogue().findProduct(code);
        EXPECT_NE(p, nullptr) << code;
        return *p;
    }

    QString itemLine(const quel::market::Product& p)
    {
        const quel::market::ItemFigures f = m_market.catalogue().figures(p.index);
        return QStringList { QString::number(f.soldThisPeriod), QString::number(f.sold30Days),
            QString::number(f.reviews), text(p.itemType), QString::number(f.views),
            QString::number(f.favourites), money(p.price) }
            .join(quel::core::kResultFieldSeparator);
    }

    QString profileLine(const std::string& code)
    {
        const quel::market::Buyer& b = *m_market.catalogue().findBuyer(code);
        if (b.banned)
            return BannedAccountLine();
        QString province;
        QString region;
        SplitLocation(text(b.location).remove(' '), province, region);
        if (province.isEmpty()) {
            province = "未知";
            region = "未知";
        }
        const auto lastLogin
            = m_market.catalogue().now() - b.lastLoginDaysAgo * quel::market::kSecondsPerDay;
        return QStringList { asMarkup(b.nick).remove(' '),
            b.sellerCredit >= 0 ? QString::number(b.sellerCredit) : QString(),
            QString::number(b.buyerCredit), province, region,
            b.registered ? text(quel::market::formatDate(b.registered)) : "",
            text(quel::market::formatDate(lastLogin)) }
            .join(quel::core::kResultFieldSeparator);
    }

    quel::market::TestServer m_market;
    TempDir m_dir;
};

} // namespace

TEST_F(MarketJobs, ThreeSalesPagesGiveTheItemLineAndEveryRecordInPageOrder)
{
    const std::string code = m_market.fixtures().threePageSalesCode();
    ASSERT_FALSE(code.empty());
    const quel::market::Product& p = product(code);
    QStringList lines { itemLine(p) };
    for (const quel::market::Sale& sale : *m_market.catalogue().sales(p.index)) {
        const bool anonymous = sale.buyer < 0;
        const quel::market::Buyer* buyer
            = anonymous ? nullptr : &m_market.catalogue().buyers()[static_cast<size_t>(sale.buyer)];
        lines << QStringList { money(sale.price), QString::number(sale.quantity),
            text(quel::market::formatDateTime(sale.time)),
            anonymous ? QString() : text(buyer->code),
            anonymous ? QString("匿名买家") : asMarkup(buyer->nick).trimmed() }
                     .join(quel::core::kResultFieldSeparator);
    }
    ASSERT_GT(lines.size(), 181);
    EXPECT_EQ(run(text(code), "0"), lines.join(quel::core::kResultLineBreak).toUtf8());
}

TEST_F(MarketJobs, RareItems)
{
    const quel::market::Fixtures fixtures = m_market.fixtures();
    EXPECT_EQ(run(text(fixtures.notViewableCode()), "0"), QByteArray());
    EXPECT_EQ(
        run(text(fixtures.noSalesCode()), "0"), itemLine(product(fixtures.noSalesCode())).toUtf8());
    // A two-piece code loads the auction page; its first line is the item line.
    const QByteArray twoPiece = run(text(fixtures.twoPartCode()), "0");
    EXPECT_TRUE(twoPiece.startsWith(itemLine(product(fixtures.twoPartCode())).toUtf8()));
    // The market given as an option, ahead of the job, is the one the worker asks.
    EXPECT_EQ(run(text(fixtures.noSalesCode()), "0", true),
        itemLine(product(fixtures.noSalesCode())).toUtf8());
}

TEST_F(MarketJobs, BuyerProfiles)
{
    const quel::market::Fixtures fixtures = m_market.fixtures();
    for (const std::string& code : { fixtures.bannedBuyerCode(), fixtures.missingFieldsBuyerCode(),
             fixtures.plainBuyerCode() }) {
        SCOPED_TRACE(code);
        EXPECT_EQ(run(text(m_market.profileUrl(code)), "1"), profileLine(code).toUtf8());
    }
}
