// The menu bar of the main window: every item, caption and action of the menus.
#include "shell/main_window.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

namespace quel::shell {

QAction* MainWindow::addMenuItem(QMenu* menu, const char* name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto addMenu = [bar](const char* name, const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    QMenu* file = addMenu("m_File", QStringLiteral("文件"));
    connect(addMenuItem(file, "M_ClearDB", QStringLiteral("清空数据库")), &QAction::triggered, this,
        &MainWindow::clearDatabaseAsked);
    connect(addMenuItem(file, "M_CompDB", QStringLiteral("压缩数据库")), &QAction::triggered, this,
        &MainWindow::compactDatabase);
    file->addSeparator();
    connect(addMenuItem(file, "M_NewDB", QStringLiteral("新建数据库")), &QAction::triggered, this,
        &MainWindow::newDatabase);
    connect(addMenuItem(file, "M_SelDB", QStringLiteral("选择数据库")), &QAction::triggered, this,
        &MainWindow::selectDatabase);
    connect(addMenuItem(file, "M_DelDB", QStringLiteral("删除数据库")), &QAction::triggered, this,
        &MainWindow::deleteDatabase);
    file->addSeparator();
    connect(addMenuItem(file, "M_Exit", QStringLiteral("退      出")), &QAction::triggered, this,
        &MainWindow::close);

    // The download items do what their buttons do, with the buttons' pictures.
    QMenu* down = addMenu("M_Down", QStringLiteral("下载"));
    const struct
    {
        const char* name;
        const char* text;
        int command;
    } downloads[] = {
        { "M_DownByKey", "按关键词下载产品", 0 },
        { "M_DownDetail", "下载未下载过产品", 13 },
        { "M_RedownDetail", "更新所有产品详情", 10 },
        { "M_DownCustomer", "下载新客户资讯", 31 },
        { "M_RedownCustomer", "更新客户资讯", 32 },
    };
    for (const auto& item : downloads) {
        const int command = item.command;
        QAction* action = addMenuItem(down, item.name, QString::fromUtf8(item.text));
        if (const CommandEntry* entry = findCommandEntry(command))
            action->setIcon(views::actionIcon(entry->action));
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    }

    QMenu* settings = addMenu("m_Set", QStringLiteral("设置"));
    connect(addMenuItem(settings, "m_Replace", QStringLiteral("产品替换设置")), &QAction::triggered,
        this, [this] { m_commands.runMenuAction(QStringLiteral("m_Replace")); });

    QMenu* help = addMenu("M_Help", QStringLiteral("帮助"));
    // The help page is the last of the tab strip.
    const auto helpPage = [this] { m_tabs->setCurrentIndex(m_tabs->count() - 1); };
    connect(addMenuItem(help, "M_UserHelp", QStringLiteral("使用说明")), &QAction::triggered, this,
        helpPage);
    connect(
        addMenuItem(help, "M_About", QStringLiteral("关于")), &QAction::triggered, this, [this] {
            widgets::Dialogs::message(this, caption() + QStringLiteral("\n网店市场调研工具。"));
        });
    for (const char* name : { "M_QQHelp1", "M_QQHelp2" }) {
        const QString text = QStringLiteral("QQ在线帮助") + QString::fromLatin1(name).right(1);
        connect(addMenuItem(help, name, text), &QAction::triggered, this, helpPage);
    }
}

} // namespace quel::shell
