// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

namespace quel::grid {
class GridModel;
} // namespace quel::grid
namespace quel::store {
class DB_Operate;
}

namespace quel::shell {

// A product row of a list grid: its 产品表 ID and shop.
struct ListedProduct
{
    qint64 id = 0;
    QString shop;
};

// The product rows the selection of a product or detail list covers (the current row when
// nothing more is selected); none outside the data rows or without an ID column.
QList<ListedProduct> SelectedProducts(const grid::GridModel& grid);

enum class WatchAction
{
    FollowProducts,
    FollowShops,
    UnfollowProducts,
};

// Follows or unfollows the products (or their shops, each once); returns how many entries of
// the watch list were added or removed, -1 when the database could not be opened.
int ApplyWatchAction(
    store::DB_Operate& db, const QList<ListedProduct>& products, WatchAction action);

// The hint line after an action: "已关注 2 个产品" and the like.
QString WatchActionHint(WatchAction action, int changed);

} // namespace quel::shell
