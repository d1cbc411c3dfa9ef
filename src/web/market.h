#pragma once

#include <QString>
#include <QStringList>

namespace quel::web {

// Where the marketplace lives. One base (scheme, host, port) serves the search page, the
// item pages and the member pages of a demo or test market; the public hosts otherwise.
struct MarketAddresses
{
    QString searchBase; // e.g. "http://127.0.0.1:8080", no trailing "/"
    QString itemBase;
    QString memberBase;
    QString mallPrefix; // ends in "/"; items whose markup holds it are mall items

    // "/browse/ad_search.htm" on the search host.
    QString searchPage() const;
    // Item base + "/item.htm?id=".
    QString itemPagePrefix() const;
    // Member base + "/member/user_profile.php?user_id=".
    QString memberPagePrefix() const;
    // The worker's built-in test page: "/shop/xshop/shop_intro.htm" on the item host.
    QString shopIntroPage() const;
};

MarketAddresses PublicMarket();
// A market at one base address; the mall prefix is base + "/mall/". Empty addresses when
// base is not an http or https address with a host.
MarketAddresses MarketAt(const QString& base);

// The program-wide market, set once at start. Public hosts until set.
const MarketAddresses& Market();
void SetMarket(const MarketAddresses& market);

// Reads "--market URL" (or "--market=URL") from the arguments, else QUELMAR_MARKET, and
// sets the market. Returns false with a Chinese message in error when the given address is
// not usable (the market is then left as it was).
bool ConfigureMarket(const QStringList& arguments, QString* error = nullptr);

// The item page of a product code: the part before the first "-" after the item prefix;
// empty for an empty code.
QString ItemPageUrl(const QString& code);
// The member profile page of a buyer code.
QString BuyerPageUrl(const QString& code);

} // namespace quel::web
