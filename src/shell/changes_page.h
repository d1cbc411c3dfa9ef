// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/change_digest.h"
#include "store/watch_list.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace quel::store {
class DB_Operate;
}

namespace quel::shell {

// The changes of kind (one of the stored kinds; empty: all) among changes.
QList<store::Change> ChangesOfKind(const QList<store::Change>& changes, const QString& kind);

// The page "变化": the digest of a watch run (the latest unless another is picked) with a
// filter by kind, and the followed items with their since-dates and "取消关注".
class ChangesPage : public QWidget
{
    Q_OBJECT

public:
    ChangesPage(store::DB_Operate& db, QWidget* parent);

    QComboBox* runPicker() const { return m_runs; }
    QComboBox* kindFilter() const { return m_kinds; }
    QTableWidget* changeTable() const { return m_changes; }
    QTableWidget* watchTable() const { return m_watched; }
    QPushButton* unfollowButton() const { return m_unfollow; }
    // The stored search keywords that can be followed as categories, and the button.
    QComboBox* categoryPicker() const { return m_categories; }
    QPushButton* followCategoryButton() const { return m_followCategory; }

    // Reads the runs, the picked run's changes and the watch list again; the latest run is
    // picked when a new one came or none was picked.
    void refresh();
    // The ID of the latest run in the database (0 without one), as the last refresh saw it.
    qint64 latestRunId() const { return m_latestRunId; }
    // Whether the database holds a run newer than the one the page shows; nullopt when the
    // database cannot be read.
    std::optional<store::WatchRun> newerRun() const;

    // Stops following the selected rows of the watch table.
    void unfollowSelected();
    // Follows the keyword picked in the category picker.
    void followPickedCategory();

signals:
    // A change's row was double-clicked.
    void productOpened(qint64 productId, const QString& name);
    // The watch list changed here.
    void watchListChanged();

private:
    void showRun();
    void showChanges();
    void showWatched();

    store::DB_Operate& m_db;
    QComboBox* m_runs;
    QComboBox* m_kinds;
    QLabel* m_summary;
    QTableWidget* m_changes;
    QTableWidget* m_watched;
    QPushButton* m_unfollow;
    QComboBox* m_categories;
    QPushButton* m_followCategory;
    QList<store::WatchRun> m_runList;
    QList<store::Change> m_runChanges;
    QList<store::WatchItem> m_items;
    qint64 m_latestRunId = 0;
};

} // namespace quel::shell
