// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the watch list: the 变化 page, the follow items of the product
// lists' menu, and the notice after a watch run.
#include "exports/ui/pop_menu.h"
#include "grid/ui/grid_view.h"
#include "shell/analysis_page.h"
#include "shell/changes_page.h"
#include "shell/main_window.h"
#include "shell/watch_actions.h"
#include "views/ui/list_views.h"
#include "views/ui/product_chooser.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

namespace quel::shell {

namespace {

// How often the window looks for a watch run that another process (the timer's) ended.
constexpr int kWatchPollMs = 30000;
// The page of the analysis tab strip with the price trend, and its draw button.
constexpr int kTrendSubPage = 4;
constexpr int kDrawTrend = 46;

} // namespace

void MainWindow::installWatchPage()
{
    m_changes = new ChangesPage(m_db, m_tabs);
    // After 买家资讯, before the analysis.
    m_tabs->insertTab(m_tabs->indexOf(m_analysis), m_changes, QStringLiteral("变化"));
    connect(m_changes, &ChangesPage::productOpened, this, &MainWindow::openTrend);
    connect(m_changes, &ChangesPage::watchListChanged, this, [this] {
        fillList(0);
        fillList(1);
    });

    QMenu* menu = m_popMenu->gridMenu();
    menu->addSeparator();
    const struct
    {
        const char* name;
        const char* text;
        WatchAction action;
    } items[] = {
        { "mFollowProduct", "关注产品", WatchAction::FollowProducts },
        { "mFollowShop", "关注店铺", WatchAction::FollowShops },
        { "mUnfollowProduct", "取消关注产品", WatchAction::UnfollowProducts },
    };
    for (const auto& item : items) {
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setVisible(false);
        const WatchAction what = item.action;
        connect(action, &QAction::triggered, this, [this, what] {
            if (!m_menuGrid)
                return;
            const int changed = ApplyWatchAction(m_db, SelectedProducts(*m_menuGrid->grid()), what);
            if (changed < 0)
                return;
            for (int list = 0; list < 2; ++list) {
                if (m_listViews->grid(list) == m_menuGrid)
                    fillList(list);
            }
            m_changes->refresh();
            m_hint->setText(WatchActionHint(what, changed));
        });
        m_watchActions << action;
    }

    m_watchPoll = new QTimer(this);
    m_watchPoll->setInterval(kWatchPollMs);
    connect(m_watchPoll, &QTimer::timeout, this, &MainWindow::checkWatchRuns);
    m_watchPoll->start();
}

void MainWindow::prepareWatchMenu(grid::GridView* grid)
{
    const bool productList = grid == m_listViews->grid(0) || grid == m_listViews->grid(1);
    m_menuGrid = productList ? grid : nullptr;
    for (QAction* action : std::as_const(m_watchActions))
        action->setVisible(productList);
}

bool MainWindow::checkWatchRuns()
{
    if (m_shutDown || !m_changes)
        return false;
    const std::optional<store::WatchRun> run = m_changes->newerRun();
    if (!run || run->id == 0)
        return false;
    m_changes->refresh();
    m_watchNotice = QStringLiteral("关注运行完成：%1 项变化%2")
                        .arg(run->changes)
                        .arg(run->failed ? QStringLiteral("（部分未完成）") : QString());
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_tray) {
            m_tray = new QSystemTrayIcon(windowIcon(), this);
            m_tray->setToolTip(caption());
            connect(m_tray, &QSystemTrayIcon::messageClicked, this, [this] {
                m_tabs->setCurrentWidget(m_changes);
                showNormal();
                raise();
                activateWindow();
            });
        }
        m_tray->show();
        m_tray->showMessage(caption(), m_watchNotice, QSystemTrayIcon::Information);
    }
    return true;
}

void MainWindow::openTrend(qint64 productId, const QString& name)
{
    QLineEdit* box = m_analysis->trendProducts();
    // The product box's own form: entries ended by "；".
    box->setText(name + QStringLiteral("；"));
    views::setProductBoxTag(box, QString::number(productId) + QStringLiteral("；"));
    m_tabs->setCurrentWidget(m_analysis);
    m_analysis->tabs()->setCurrentIndex(kTrendSubPage);
    runCommand(kDrawTrend);
}

} // namespace quel::shell
