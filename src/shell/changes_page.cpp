// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/changes_page.h"

#include "core/clock.h"
#include "core/number_form.h"
#include "db/connection.h"
#include "db/database.h"
#include "exports/digest_files.h"
#include "store/db_operate.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quel::shell {

namespace {

const char* const kKinds[] = { "", "price", "new", "gone", "sales", "new_shop" };

QString kindOfWatch(store::WatchKind kind)
{
    switch (kind) {
    case store::WatchKind::Product:
        return QStringLiteral("产品");
    case store::WatchKind::Shop:
        return QStringLiteral("店铺");
    case store::WatchKind::Category:
        return QStringLiteral("类别");
    }
    return {};
}

QTableWidgetItem* cell(const QString& text, bool number = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// A read-only table of whole rows whose text column takes the width the others leave.
QTableWidget* table(const QStringList& titles, int textColumn, const QString& name, QWidget* parent)
{
    auto* t = new QTableWidget(0, int(titles.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(titles);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setWordWrap(false);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    QHeaderView* header = t->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(textColumn, QHeaderView::Stretch);
    return t;
}

QString number(const std::optional<double>& v)
{
    return v ? core::NumberText(*v) : QString();
}

} // namespace

QList<store::Change> ChangesOfKind(const QList<store::Change>& changes, const QString& kind)
{
    if (kind.isEmpty())
        return changes;
    QList<store::Change> out;
    for (const store::Change& c : changes) {
        if (c.kind == kind)
            out << c;
    }
    return out;
}

ChangesPage::ChangesPage(store::DB_Operate& db, QWidget* parent)
    : QWidget(parent)
    , m_db(db)
{
    setObjectName(QStringLiteral("ChangesPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("关注运行："), this));
    m_runs = new QComboBox(this);
    m_runs->setObjectName(QStringLiteral("cmbWatchRun"));
    m_runs->setToolTip(QStringLiteral("选择要查看的关注运行（最新的在最上面）。"));
    m_runs->setMinimumContentsLength(24);
    bar->addWidget(m_runs);
    bar->addWidget(new QLabel(QStringLiteral("类型："), this));
    m_kinds = new QComboBox(this);
    m_kinds->setObjectName(QStringLiteral("cmbChangeKind"));
    for (const char* kind : kKinds) {
        const QString k = QString::fromLatin1(kind);
        m_kinds->addItem(k.isEmpty() ? QStringLiteral("全部") : exports::ChangeKindCaption(k), k);
    }
    bar->addWidget(m_kinds);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblChangeSummary"));
    bar->addWidget(m_summary, 1);
    layout->addLayout(bar);

    auto* split = new QSplitter(Qt::Vertical, this);
    m_changes = table({ QStringLiteral("类型"), QStringLiteral("产品ID"), QStringLiteral("店铺"),
                          QStringLiteral("产品名称"), QStringLiteral("原值"),
                          QStringLiteral("新值"), QStringLiteral("变化%") },
        3, QStringLiteral("tblChanges"), split);
    m_changes->setToolTip(QStringLiteral("双击一行查看该产品的价格走势。"));
    split->addWidget(m_changes);

    auto* lower = new QWidget(split);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    auto* lowerBar = new QHBoxLayout;
    lowerBar->addWidget(new QLabel(QStringLiteral("关注的产品、店铺和类别："), lower), 1);
    m_categories = new QComboBox(lower);
    m_categories->setObjectName(QStringLiteral("cmbFollowCategory"));
    m_categories->setToolTip(QStringLiteral("搜索过的关键词：关注后每次关注运行都会搜索它。"));
    m_categories->setMinimumContentsLength(12);
    lowerBar->addWidget(m_categories);
    m_followCategory = new QPushButton(QStringLiteral("关注类别"), lower);
    m_followCategory->setObjectName(QStringLiteral("cmdFollowCategory"));
    lowerBar->addWidget(m_followCategory);
    m_unfollow = new QPushButton(QStringLiteral("取消关注"), lower);
    m_unfollow->setObjectName(QStringLiteral("cmdUnfollow"));
    lowerBar->addWidget(m_unfollow);
    lowerLayout->addLayout(lowerBar);
    m_watched
        = table({ QStringLiteral("类型"), QStringLiteral("关注内容"), QStringLiteral("关注时间") },
            1, QStringLiteral("tblWatched"), lower);
    lowerLayout->addWidget(m_watched);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    connect(m_runs, &QComboBox::currentIndexChanged, this, [this] { showRun(); });
    connect(m_kinds, &QComboBox::currentIndexChanged, this, [this] { showChanges(); });
    connect(m_unfollow, &QPushButton::clicked, this, &ChangesPage::unfollowSelected);
    connect(m_followCategory, &QPushButton::clicked, this, &ChangesPage::followPickedCategory);
    connect(m_changes, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const QTableWidgetItem* id = m_changes->item(row, 1);
        const QTableWidgetItem* name = m_changes->item(row, 3);
        if (id && id->text().toLongLong() > 0)
            emit productOpened(id->text().toLongLong(), name ? name->text() : QString());
    });
}

std::optional<store::WatchRun> ChangesPage::newerRun() const
{
    db::Connection conn;
    if (!m_db.TryOpenConnection(conn, nullptr))
        return std::nullopt;
    const auto runs = store::WatchRuns(conn);
    if (!runs)
        return std::nullopt;
    if (runs->isEmpty() || runs->first().id == m_latestRunId)
        return store::WatchRun {};
    return runs->first();
}

void ChangesPage::refresh()
{
    db::Connection conn;
    m_runList.clear();
    m_items.clear();
    if (m_db.TryOpenConnection(conn, nullptr)) {
        m_runList = store::WatchRuns(conn).value_or(QList<store::WatchRun>());
        m_items = store::WatchedItems(conn).value_or(QList<store::WatchItem>());
        // The keywords not followed yet.
        QStringList keywords;
        if (db::Statement st = conn.database()->prepare(
                QStringLiteral("SELECT DISTINCT Con FROM 关键词 WHERE Con<>'' AND Con NOT IN "
                               "(SELECT Val FROM 关注表 WHERE Kind='category') ORDER BY Con"),
                nullptr)) {
            store::ForEachRow(st, nullptr, [&] { keywords << st.text(0); });
        }
        m_categories->clear();
        m_categories->addItems(keywords);
    }
    m_followCategory->setEnabled(m_categories->count() > 0);
    const qint64 latest = m_runList.isEmpty() ? 0 : m_runList.first().id;
    const qint64 picked = m_latestRunId == latest ? m_runs->currentData().toLongLong() : latest;
    m_latestRunId = latest;
    {
        const QSignalBlocker block(m_runs);
        m_runs->clear();
        for (const store::WatchRun& run : std::as_const(m_runList)) {
            m_runs->addItem(QStringLiteral("%1（%2 项变化%3）")
                                .arg(run.run.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                                .arg(run.changes)
                                .arg(run.failed ? QStringLiteral("，未完成") : QString()),
                run.id);
        }
        const int at = m_runs->findData(picked);
        m_runs->setCurrentIndex(at >= 0 ? at : 0);
    }
    showRun();
    showWatched();
}

void ChangesPage::showRun()
{
    m_runChanges.clear();
    const int index = m_runs->currentIndex();
    if (index >= 0 && index < m_runList.size()) {
        db::Connection conn;
        if (m_db.TryOpenConnection(conn, nullptr))
            m_runChanges = store::ChangesOfRun(conn, m_runList.at(index).run)
                               .value_or(QList<store::Change>());
    }
    showChanges();
}

void ChangesPage::showChanges()
{
    const QList<store::Change> shown
        = ChangesOfKind(m_runChanges, m_kinds->currentData().toString());
    m_changes->setRowCount(0);
    m_changes->setRowCount(int(shown.size()));
    for (int r = 0; r < shown.size(); ++r) {
        const store::Change& c = shown.at(r);
        m_changes->setItem(r, 0, cell(exports::ChangeKindCaption(c.kind)));
        m_changes->setItem(r, 1, cell(QString::number(c.productId), true));
        m_changes->setItem(r, 2, cell(c.shop));
        m_changes->setItem(r, 3, cell(c.name));
        m_changes->setItem(r, 4, cell(number(c.oldValue), true));
        m_changes->setItem(r, 5, cell(number(c.newValue), true));
        m_changes->setItem(r, 6, cell(number(c.percent), true));
    }
    if (m_runList.isEmpty())
        m_summary->setText(
            QStringLiteral("还没有关注运行：关注产品、店铺或类别后运行 quelmar --batch watch。"));
    else
        m_summary->setText(
            QStringLiteral("显示 %1 项，共 %2 项变化").arg(shown.size()).arg(m_runChanges.size()));
}

void ChangesPage::showWatched()
{
    m_watched->setRowCount(0);
    m_watched->setRowCount(int(m_items.size()));
    for (int r = 0; r < m_items.size(); ++r) {
        const store::WatchItem& item = m_items.at(r);
        m_watched->setItem(r, 0, cell(kindOfWatch(item.kind)));
        m_watched->setItem(r, 1,
            cell(item.kind == store::WatchKind::Product && item.label != item.value
                    ? QStringLiteral("%1（%2）").arg(item.label, item.value)
                    : item.label));
        m_watched->setItem(r, 2, cell(item.since.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    }
}

void ChangesPage::followPickedCategory()
{
    const QString keyword = m_categories->currentText();
    db::Connection conn;
    if (keyword.isEmpty() || !m_db.OpenConnection(conn))
        return;
    store::Follow(conn, store::WatchKind::Category, keyword, quel::core::Now());
    refresh();
    emit watchListChanged();
}

void ChangesPage::unfollowSelected()
{
    QList<int> rows;
    for (const QModelIndex& index : m_watched->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        return;
    db::Connection conn;
    if (!m_db.OpenConnection(conn))
        return;
    for (int row : std::as_const(rows)) {
        if (row >= 0 && row < m_items.size())
            store::Unfollow(conn, m_items.at(row).kind, m_items.at(row).value);
    }
    refresh();
    emit watchListChanged();
}

} // namespace quel::shell
