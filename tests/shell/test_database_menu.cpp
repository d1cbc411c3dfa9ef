#include "core/settings_store.h"
#include "shell/database_messages.h"
#include "shell/maintenance.h"
#include "shell/select_db_window.h"
#include "shell_fixture.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QDir>
#include <QLabel>

using namespace quel;
using quel::test::ShellTest;

namespace {
using Answer = widgets::Dialogs::Answer;
const QString kClearQuestion
    = "您正在使用清空数据库操作，一旦此命令执行，所有交易数据和产品资讯都将被删除，无法恢复！！！\n"
      "您确定要继续删除操作？";
} // namespace

class ClearDatabaseTest : public ShellTest
{
protected:
    void fill()
    {
        exec("INSERT INTO 产品表 (PCode, P_Name) VALUES ('1', '甲')");
        exec("INSERT INTO 交易表 (PID, BCode) VALUES (1, 'b')");
        exec("INSERT INTO 价格历史 (PID, Dat, Price) VALUES (1, #2026-12-7#, 9)");
        exec("INSERT INTO 客户表 (BCode) VALUES ('b')");
        exec("INSERT INTO 关键词 (Cls, Con) VALUES (1, 'k')");
        exec("INSERT INTO 简化表 (Con, Sim) VALUES ('x', 'y')");
        exec("INSERT INTO 替换表 (Con, Sim) VALUES ('Levi''s', 'L')");
        exec("INSERT INTO 替换表 (Con, Sim) VALUES ('b', 'c')");
        exec("CREATE TABLE TEMP_统计 (a LONG)");
    }
};

TEST_F(ClearDatabaseTest, YesKeepsOnlyReplacementRules)
{
    fill();
    bool gridsEmptied = false;
    window().listHooks().clearGrids = [&gridsEmptied] { gridsEmptied = true; };
    widgets::Dialogs::setNextAnswer(Answer::Yes);
    trigger("M_ClearDB");
    EXPECT_EQ(widgets::Dialogs::takeShownTexts().value(0), kClearQuestion);
    for (const char* table : { "产品表", "交易表", "价格历史", "客户表", "关键词", "简化表" })
        EXPECT_EQ(count(table), 0) << table;
    EXPECT_EQ(count("替换表"), 2);
    EXPECT_FALSE(window().db().TableExists("TEMP_统计"));
    EXPECT_TRUE(gridsEmptied);
    EXPECT_FALSE(window().feedback().isIndicatorOpen());
}

TEST_F(ClearDatabaseTest, AnythingButYesChangesNothing)
{
    fill();
    widgets::Dialogs::setNextAnswer(Answer::No);
    trigger("M_ClearDB");
    // Headless with nothing queued is answered No as well.
    trigger("M_ClearDB");
    for (const char* table : { "产品表", "交易表", "价格历史", "客户表", "关键词", "简化表" })
        EXPECT_EQ(count(table), 1) << table;
    EXPECT_TRUE(window().db().TableExists("TEMP_统计"));
}

class ShutdownTest : public ShellTest
{
protected:
    void leaveWorkerFiles()
    {
        m_dir.write("Temp_1.t", "x");
        m_dir.write("Temp_12.t.TMP", "y");
        m_dir.write("Templates.txt", "keep");
        m_dir.write("Temp_none", "keep: no dot");
        exec("CREATE TABLE TEMP_A (a LONG)");
        exec("CREATE TABLE TEMP_B (a LONG)");
    }
    void expectCleanedUp()
    {
        EXPECT_FALSE(QFile::exists(file("Temp_1.t")));
        EXPECT_FALSE(QFile::exists(file("Temp_12.t.TMP")));
        EXPECT_TRUE(QFile::exists(file("Templates.txt")));
        EXPECT_TRUE(QFile::exists(file("Temp_none")));
        store::DB_Operate& db = window().db();
        EXPECT_FALSE(db.TableExists("TEMP_A"));
        EXPECT_FALSE(db.TableExists("TEMP_B"));
        EXPECT_TRUE(db.TableExists("产品表"));
        EXPECT_EQ(core::ReadUserSetting(
                      "Software\\Microsoft\\Internet Explorer\\Main", "Display Inline Images"),
            "yes");
    }
};

TEST_F(ShutdownTest, CloseBoxRemovesWorkerFilesAndWorkTables)
{
    leaveWorkerFiles();
    window().show();
    // Other windows go with the main window.
    QWidget other;
    other.setWindowTitle("其他窗口");
    other.show();
    window().close();
    expectCleanedUp();
    EXPECT_FALSE(other.isVisible());
}

TEST_F(ShutdownTest, ExitItemEndsInTheSameShutdown)
{
    leaveWorkerFiles();
    window().show();
    trigger("M_Exit");
    EXPECT_FALSE(window().isVisible());
    expectCleanedUp();
}

TEST_F(ShutdownTest, NothingLeftOverIsNoError)
{
    EXPECT_EQ(shell::RemoveWorkerFiles(folder()), 0);
    EXPECT_EQ(shell::RemoveWorkerFiles(folder() + "/missing"), 0);
    window().close();
    EXPECT_TRUE(QFile::exists(file("DATA.mdb")));
}

TEST(DatabaseMessages, EveryOutcomeHasItsText)
{
    using Kind = store::NewDatabaseOutcome::Kind;
    const QString address = QStringLiteral("postgresql://ana@h/team");
    const auto text = [&address](Kind kind, const QString& detail = QString()) {
        return shell::NewDatabaseMessage({ kind, QStringLiteral("团队"), address, detail });
    };
    EXPECT_EQ(text(Kind::Created), "数据库‘团队’新建成功！");
    EXPECT_EQ(text(Kind::Nothing), QString());
    EXPECT_EQ(text(Kind::NameTaken), "数据库（团队）已存在，请起其他名称！");
    EXPECT_EQ(text(Kind::Failed), "数据库‘团队’新建失败！");
    EXPECT_EQ(text(Kind::AddressProblem, "地址不对"), "数据库‘团队’新建失败！\n地址不对");
    EXPECT_EQ(text(Kind::AddressListed, "甲"),
        "数据库‘团队’新建失败！\n这个服务器数据库已在列表中（‘甲’）。");
    EXPECT_EQ(text(Kind::Unreachable, "超时"),
        "数据库‘团队’新建失败！\n无法连接服务器上的数据库：postgresql://ana@h/team（超时）");

    EXPECT_EQ(shell::DeleteDatabaseMessage(store::DeleteOutcome::DefaultRefused),
        "默认数据库不允许删除！");
    EXPECT_EQ(shell::DeleteDatabaseMessage(store::DeleteOutcome::InUseRefused),
        "当前正在操作的数据不允许删除！");
    EXPECT_EQ(shell::DeleteDatabaseMessage(store::DeleteOutcome::Deleted), QString());
    EXPECT_EQ(shell::DeleteDatabaseMessage(store::DeleteOutcome::NotDeleted), QString());
    const QString question = shell::ServerRemovalQuestion(QStringLiteral("团队"), address);
    EXPECT_TRUE(question.startsWith("数据库‘团队’在服务器上（postgresql://ana@h/team）。"));
    EXPECT_TRUE(question.contains("服务器上的数据库和数据都不会被删除"));
}

using CatalogueMenuTest = ShellTest;

TEST_F(CatalogueMenuTest, NewDatabaseIsRecordedAfterTheDefault)
{
    widgets::Dialogs::setNextText(QString("  甲库 "));
    trigger("M_NewDB");
    EXPECT_TRUE(QFile::exists(file("DATA1.mdb")));
    EXPECT_EQ(catalogue(),
        QStringList({ "默认", folder() + "/DATA.mdb", "甲库", folder() + "/DATA1.mdb" }));
    EXPECT_TRUE(widgets::Dialogs::takeShownTexts().contains("数据库‘甲库’新建成功！"));
    // The current database does not change.
    EXPECT_EQ(window().catalogue().currentDatabaseFile(), "DATA.mdb");
    EXPECT_EQ(window().databaseLabel()->text(), "默认");

    widgets::Dialogs::setNextText(QString("甲库"));
    trigger("M_NewDB");
    EXPECT_TRUE(
        widgets::Dialogs::takeShownTexts().contains("数据库（甲库）已存在，请起其他名称！"));
    EXPECT_FALSE(QFile::exists(file("DATA2.mdb")));

    // Blank answers and cancel end silently.
    widgets::Dialogs::setNextText(QString("   "));
    trigger("M_NewDB");
    widgets::Dialogs::setNextText(std::nullopt);
    trigger("M_NewDB");
    const QString kind = shell::newDatabaseKindQuestion();
    EXPECT_EQ(widgets::Dialogs::takeShownTexts(),
        QStringList({ kind, "请输入数据库名称：", kind, "请输入数据库名称：" }));
    EXPECT_EQ(catalogue().size(), 4);
}

TEST_F(CatalogueMenuTest, NewServerDatabaseAsksForTheAddressAndRecordsNoFailure)
{
    const auto newServer = [this](const QString& name, const std::optional<QString>& address) {
        widgets::Dialogs::setNextAnswer(widgets::Dialogs::Answer::Yes);
        widgets::Dialogs::setNextText(name);
        widgets::Dialogs::setNextText(address);
        trigger("M_NewDB");
        return widgets::Dialogs::takeShownTexts();
    };
    // A password in the address is refused with where it belongs instead.
    QStringList shown = newServer("团队", QString("postgresql://ana:pw@127.0.0.1:1/team"));
    ASSERT_EQ(shown.size(), 4);
    EXPECT_TRUE(shown[2].contains("postgresql://")) << shown[2].toStdString();
    EXPECT_TRUE(shown[3].startsWith("数据库‘团队’新建失败！")) << shown[3].toStdString();
    EXPECT_TRUE(shown[3].contains("~/.pgpass"));

    // A server that does not answer is named with the reason.
    shown = newServer("团队", QString("postgresql://ana@127.0.0.1:1/team"));
    ASSERT_EQ(shown.size(), 4);
    EXPECT_TRUE(shown[3].contains("无法连接服务器上的数据库：postgresql://ana@127.0.0.1:1/team"))
        << shown[3].toStdString();

    // Cancelling the address box ends silently.
    EXPECT_EQ(newServer("团队", std::nullopt).size(), 3);
    EXPECT_FALSE(QFile::exists(file("DB.txt")));
    EXPECT_FALSE(QFile::exists(file("DATA1.mdb")));
    EXPECT_EQ(window().catalogue().currentDatabaseFile(), "DATA.mdb");
}

TEST_F(CatalogueMenuTest, SelectMovesTheChoiceFirstAndRefreshes)
{
    for (const char* name : { "甲", "乙" }) {
        widgets::Dialogs::setNextText(QString::fromUtf8(name));
        trigger("M_NewDB");
    }
    exec("INSERT INTO 产品表 (PCode) VALUES ('only in the default')");
    std::vector<int> filled;
    window().listHooks().fill = [&filled](int list) { filled.push_back(list); };

    QStringList offered;
    answerSelectDb("乙", &offered);
    trigger("M_SelDB");
    EXPECT_EQ(offered, QStringList({ "默认", "甲", "乙" }));
    EXPECT_EQ(catalogue(),
        QStringList({ "乙", folder() + "/DATA2.mdb", "默认", folder() + "/DATA.mdb", "甲",
            folder() + "/DATA1.mdb" }));
    EXPECT_EQ(window().catalogue().currentDatabaseFile(), "DATA2.mdb");
    EXPECT_EQ(window().databaseLabel()->text(), "乙");
    EXPECT_EQ(filled, (std::vector<int> { 0, 1, 2, 3 }));
    EXPECT_EQ(count("产品表"), 0);

    // Cancel and the close box change nothing.
    filled.clear();
    answerSelectDb(QString());
    trigger("M_SelDB");
    EXPECT_EQ(catalogue().first(), "乙");
    EXPECT_TRUE(filled.empty());

    // A restart remembers the choice.
    m_window.reset();
    EXPECT_EQ(window().databaseLabel()->text(), "乙");
    EXPECT_EQ(window().catalogue().currentDatabaseFile(), "DATA2.mdb");
}

TEST_F(CatalogueMenuTest, SelectAndDeleteNeedACatalogue)
{
    trigger("M_SelDB");
    trigger("M_DelDB");
    EXPECT_EQ(widgets::Dialogs::takeShownTexts(),
        QStringList({ "没有可选择的其他数据库！", "没有可删除的其他数据库！" }));
}

TEST_F(CatalogueMenuTest, DeleteRefusesTheCurrentAndTheDefault)
{
    for (const char* name : { "甲", "乙" }) {
        widgets::Dialogs::setNextText(QString::fromUtf8(name));
        trigger("M_NewDB");
    }
    answerSelectDb("甲");
    trigger("M_SelDB");
    widgets::Dialogs::takeShownTexts();
    const QStringList before = catalogue();

    answerSelectDb("甲");
    trigger("M_DelDB");
    EXPECT_TRUE(widgets::Dialogs::takeShownTexts().contains("当前正在操作的数据不允许删除！"));
    answerSelectDb("默认");
    trigger("M_DelDB");
    EXPECT_TRUE(widgets::Dialogs::takeShownTexts().contains("默认数据库不允许删除！"));
    answerSelectDb(QString());
    trigger("M_DelDB");
    EXPECT_EQ(catalogue(), before);
    EXPECT_TRUE(QFile::exists(file("DATA1.mdb")));

    answerSelectDb("乙");
    trigger("M_DelDB");
    EXPECT_FALSE(QFile::exists(file("DATA2.mdb")));
    EXPECT_EQ(catalogue(),
        QStringList({ "甲", folder() + "/DATA1.mdb", "默认", folder() + "/DATA.mdb" }));
}

TEST_F(CatalogueMenuTest, CompactionKeepsTheData)
{
    exec("INSERT INTO 产品表 (PCode) VALUES ('7')");
    trigger("M_CompDB");
    EXPECT_EQ(count("产品表"), 1);
    EXPECT_FALSE(window().feedback().isIndicatorOpen());
}

TEST_F(CatalogueMenuTest, SelectWindowOffersOnlyListedNamesAndCloseBoxCancels)
{
    QString chosen = "old";
    auto* dialog = new shell::SelectDbWindow({ "唯一" }, chosen);
    EXPECT_EQ(dialog->windowTitle(), "请选择数据库名称");
    auto* names = dialog->findChild<QComboBox*>("CB");
    EXPECT_FALSE(names->isEditable());
    EXPECT_EQ(names->count(), 1);
    EXPECT_EQ(names->currentText(), "唯一");
    EXPECT_TRUE(chosen.isEmpty());
    dialog->show();
    QTimer::singleShot(0, dialog, &QWidget::close);
    widgets::WaitWhileWindowOpen("请选择数据库名称");
    EXPECT_TRUE(chosen.isEmpty());

    // A record named 默认 that is not first can be selected.
    widgets::Dialogs::setNextText(QString("乙"));
    trigger("M_NewDB");
    answerSelectDb("乙");
    trigger("M_SelDB");
    answerSelectDb("默认");
    trigger("M_SelDB");
    EXPECT_EQ(catalogue().first(), "默认");
    EXPECT_EQ(window().databaseLabel()->text(), "默认");
}
