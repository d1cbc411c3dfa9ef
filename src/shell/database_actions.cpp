// The file menu's database items: clear, compact, new, select and delete.
#include "core/text_cut.h"
#include "shell/database_messages.h"
#include "shell/main_window.h"
#include "shell/select_db_window.h"
#include "widgets/dialogs.h"
#include "widgets/window_helpers.h"

namespace quel::shell {

namespace {

// Says what a catalogue request came to, when there is something to say.
void tell(core::Feedback& feedback, const QString& text)
{
    if (!text.isEmpty())
        feedback.message(text);
}

} // namespace

QString newDatabaseKindQuestion()
{
    return QStringLiteral("新建服务器上的数据库（PostgreSQL，供多人或多台电脑共用）吗？\n"
                          "选“否”在本机新建数据库文件。");
}

void MainWindow::clearDatabaseAsked()
{
    const QString question = QStringLiteral(
        "您正在使用清空数据库操作，一旦此命令执行，所有交易数据和产品资讯都将被删除，"
        "无法恢复！！！\n您确定要继续删除操作？");
    if (!widgets::Dialogs::ask(this, question))
        return;
    ClearDB();
    m_db.CompactCurrentDatabase();
}

void MainWindow::compactDatabase()
{
    m_db.CompactCurrentDatabase();
}

void MainWindow::newDatabase()
{
    // A file on this computer is the usual choice and the answer 否; a team shares one
    // database on a server. Cancelling the name box that follows ends either.
    const bool onServer = widgets::Dialogs::ask(this, newDatabaseKindQuestion());
    const std::optional<QString> answer
        = widgets::Dialogs::inputText(this, QStringLiteral("请输入数据库名称："));
    if (!answer)
        return;
    const QString name = core::TrimBlanks(*answer);
    if (name.isEmpty())
        return;
    if (!onServer) {
        tell(m_feedback, NewDatabaseMessage(m_catalogue.NewDatabase(name)));
        return;
    }
    const std::optional<QString> address = widgets::Dialogs::inputText(this,
        QStringLiteral("请输入服务器数据库的地址（postgresql://用户@主机:端口/数据库名）。\n"
                       "密码不写在地址中，请放在 ~/.pgpass 文件或环境变量 PGPASSWORD 里。"),
        QStringLiteral("postgresql://"));
    if (!address || address->trimmed().isEmpty())
        return;
    tell(m_feedback, NewDatabaseMessage(m_catalogue.NewServerDatabase(name, *address)));
}

QString MainWindow::chooseDatabaseName()
{
    auto* window = new SelectDbWindow(m_catalogue.names(), m_selectedDatabaseName, this);
    window->show();
    widgets::WaitWhileWindowOpen(SelectDbWindow::caption());
    return m_selectedDatabaseName;
}

void MainWindow::selectDatabase()
{
    if (!m_catalogue.catalogueExists()) {
        widgets::Dialogs::message(this, QStringLiteral("没有可选择的其他数据库！"));
        return;
    }
    const QString name = chooseDatabaseName();
    if (name.isEmpty())
        return;
    if (m_catalogue.SelectCatalogueEntry(name))
        showDatabaseName(m_catalogue.currentDatabaseName());
    refreshLists();
}

void MainWindow::deleteDatabase()
{
    if (!m_catalogue.catalogueExists()) {
        widgets::Dialogs::message(this, QStringLiteral("没有可删除的其他数据库！"));
        return;
    }
    const QString name = chooseDatabaseName();
    if (name.isEmpty())
        return;
    const auto confirm = [this](const QString& entry, const QString& address) {
        return m_feedback.ask(ServerRemovalQuestion(entry, address));
    };
    tell(m_feedback, DeleteDatabaseMessage(m_catalogue.DeleteCatalogueEntry(name, confirm)));
}

} // namespace quel::shell
