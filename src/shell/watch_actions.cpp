// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/watch_actions.h"

#include "core/clock.h"
#include "db/connection.h"
#include "grid/grid_model.h"
#include "store/db_operate.h"
#include "store/watch_list.h"

#include <QSet>
#include <algorithm>

namespace quel::shell {

QList<ListedProduct> SelectedProducts(const grid::GridModel& grid)
{
    QList<ListedProduct> out;
    const int idCol = grid.columnOfField(QStringLiteral("ID"));
    const int shopCol = grid.columnOfField(QStringLiteral("SName"));
    if (idCol < 0 || !grid.hasDataRows())
        return out;
    const int first = std::max(grid.fixedRows(), std::min(grid.currentRow(), grid.selectionRow()));
    const int last = std::min(grid.rows() - 1, std::max(grid.currentRow(), grid.selectionRow()));
    for (int r = first; r <= last; ++r) {
        bool ok = false;
        const qint64 id = grid.text(r, idCol).toLongLong(&ok);
        if (!ok || id <= 0)
            continue;
        out << ListedProduct { id, shopCol >= 0 ? grid.text(r, shopCol) : QString() };
    }
    return out;
}

int ApplyWatchAction(
    store::DB_Operate& db, const QList<ListedProduct>& products, WatchAction action)
{
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return -1;
    int changed = 0;
    QSet<QString> shops;
    const QDateTime now = quel::core::Now();
    for (const ListedProduct& p : products) {
        store::FollowOutcome outcome = store::FollowOutcome::Failed;
        switch (action) {
        case WatchAction::FollowProducts:
            outcome = store::Follow(conn, store::WatchKind::Product, QString::number(p.id), now);
            break;
        case WatchAction::FollowShops:
            if (p.shop.trimmed().isEmpty() || shops.contains(p.shop))
                continue;
            shops.insert(p.shop);
            outcome = store::Follow(conn, store::WatchKind::Shop, p.shop, now);
            break;
        case WatchAction::UnfollowProducts:
            outcome = store::Unfollow(conn, store::WatchKind::Product, QString::number(p.id));
            break;
        }
        if (outcome == store::FollowOutcome::Added || outcome == store::FollowOutcome::Removed)
            ++changed;
    }
    return changed;
}

QString WatchActionHint(WatchAction action, int changed)
{
    switch (action) {
    case WatchAction::FollowProducts:
        return QStringLiteral("已关注 %1 个产品").arg(changed);
    case WatchAction::FollowShops:
        return QStringLiteral("已关注 %1 个店铺").arg(changed);
    case WatchAction::UnfollowProducts:
        return QStringLiteral("已取消关注 %1 个产品").arg(changed);
    }
    return {};
}

} // namespace quel::shell
