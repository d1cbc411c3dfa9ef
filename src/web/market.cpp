#include "web/market.h"

#include <QUrl>

namespace quel::web {

namespace {

MarketAddresses& Current()
{
    static MarketAddresses market = PublicMarket();
    return market;
}

// Scheme, host and port of an address; empty unless it is http or https with a host.
QString BaseOf(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    QUrl base;
    base.setScheme(scheme);
    base.setHost(url.host());
    base.setPort(url.port());
    return base.toString(QUrl::FullyEncoded);
}

} // namespace

QString MarketAddresses::searchPage() const
{
    return searchBase + QStringLiteral("/browse/ad_search.htm");
}

QString MarketAddresses::itemPagePrefix() const
{
    return itemBase + QStringLiteral("/item.htm?id=");
}

QString MarketAddresses::memberPagePrefix() const
{
    return memberBase + QStringLiteral("/member/user_profile.php?user_id=");
}

QString MarketAddresses::shopIntroPage() const
{
    return itemBase + QStringLiteral("/shop/xshop/shop_intro.htm");
}

MarketAddresses PublicMarket()
{
    MarketAddresses m;
    m.searchBase = QStringLiteral("http://search1.taobao.com");
    m.itemBase = QStringLiteral("http://item.taobao.com");
    m.memberBase = QStringLiteral("http://member1.taobao.com");
    m.mallPrefix = QStringLiteral("http://mall.taobao.com/");
    return m;
}

MarketAddresses MarketAt(const QString& address)
{
    const QString base = BaseOf(address);
    MarketAddresses m;
    if (base.isEmpty())
        return m;
    m.searchBase = base;
    m.itemBase = base;
    m.memberBase = base;
    m.mallPrefix = base + QStringLiteral("/mall/");
    return m;
}

const MarketAddresses& Market()
{
    return Current();
}

void SetMarket(const MarketAddresses& market)
{
    Current() = market;
}

bool ConfigureMarket(const QStringList& arguments, QString* error)
{
    QString given;
    bool fromArguments = false;
    // The program name may or may not lead the list; it is never an option.
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == u"--market") {
            fromArguments = true;
            given = i + 1 < arguments.size() ? arguments[i + 1] : QString();
            break;
        }
        if (arg.startsWith(u"--market=")) {
            fromArguments = true;
            given = arg.mid(9);
            break;
        }
    }
    if (!fromArguments)
        given = qEnvironmentVariable("QUELMAR_MARKET");
    if (!fromArguments && given.trimmed().isEmpty())
        return true;
    const MarketAddresses market = MarketAt(given);
    if (market.itemBase.isEmpty()) {
        if (error)
            *error = QStringLiteral("市场网址无效：") + given;
        return false;
    }
    SetMarket(market);
    return true;
}

QString ItemPageUrl(const QString& code)
{
    if (code.isEmpty())
        return {};
    return Market().itemPagePrefix() + code.section(QLatin1Char('-'), 0, 0);
}

QString BuyerPageUrl(const QString& code)
{
    return Market().memberPagePrefix() + code;
}

} // namespace quel::web
