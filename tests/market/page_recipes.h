#pragma once

// The readers' recipes, step by step as the search, the worker and the profile reader cut
// the serialised markup, so that the tests see the pages as those readers will.

#include <QString>
#include <QStringList>

namespace quel::market::test {

double leadingNumber(const QString& text);

struct ListItem
{
    bool mall = false;
    QString code, name, shopCode, shopName, place;
    double price = 0, postage = 0, discount = 0;
    int recentlySold = 0;
};
// Page count from the page-info text ("<SPAN class=page-info>" ... "/" N).
int readPageCount(const QString& markup);
// The item parts of a result page after the page preparation (empty: no items).
QStringList listItemParts(const QString& markup);
ListItem parseListItem(const QString& part, const QString& mallPrefix);

struct ItemFields
{
    double price = 0;
    int soldThisPeriod = 0, sold30Days = 0, reviews = 0, views = 0, favourites = 0;
    QString itemType;
};
ItemFields parseItemFields(const QString& markup);

struct SalesRow
{
    double price = 0;
    double quantity = 0;
    QString time, rateId, buyer;
};
QList<SalesRow> parseSalesTable(const QString& markup);
// "共N条 c/p": false without a next-page label.
bool readPageInfo(const QString& markup, int& current, int& count);

struct Profile
{
    QString name, sellerCredit, buyerCredit, location, registered, lastLogin;
};
Profile parseProfile(const QString& markup);

} // namespace quel::market::test
