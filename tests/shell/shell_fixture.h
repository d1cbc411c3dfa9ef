#pragma once

#include "core/feedback.h"
#include "db/database.h"
#include "shell/main_window.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"
#include "widgets/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace quel::test {

inline QWidget* visibleWindow(const QString& caption)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == caption)
            return w;
    }
    return nullptr;
}

// Answers the next window with this caption once it shows: types the texts into its
// combo boxes in order and presses the button. Gives up after two seconds.
inline void answerWindow(const QString& caption, const QStringList& texts, const char* button)
{
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* window = visibleWindow(caption);
        if (!window) {
            if (++*tries > 200) {
                ADD_FAILURE() << "no window " << caption.toStdString();
                timer->deleteLater();
                timer->stop();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        const auto boxes = window->findChildren<QComboBox*>();
        for (int i = 0; i < texts.size() && i < boxes.size(); ++i)
            boxes[i]->setEditText(texts[i]);
        window->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
    timer->start(10);
}

// A data folder prepared as at a first start, and helpers to drive the real main window
// with every dialog answered through the test hooks.
class ShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app();
        // The settings file of the inline-image value goes to this test's folder.
        qputenv("XDG_CONFIG_HOME", m_dir.file("config").toUtf8());
        widgets::Dialogs::resetTestState();
        widgets::Dialogs::setHeadless(true);
        QString error;
        ASSERT_TRUE(store::initialiseDataFolder(folder(), binDir(), &error)) << error.toStdString();
    }
    void TearDown() override
    {
        m_window.reset();
        store::DatabasePool::shared().releaseAll();
        widgets::Dialogs::resetTestState();
    }

    QString folder() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.file(name); }

    shell::MainWindow& window()
    {
        if (!m_window) {
            m_window = std::make_unique<shell::MainWindow>(folder());
            m_window->startUp();
        }
        return *m_window;
    }

    void writeCatalogue(const QStringList& fields)
    {
        m_dir.write("DB.txt", fields.join(store::Catalogue::separator()).toUtf8());
    }
    QStringList catalogue() const
    {
        return QString::fromUtf8(m_dir.read("DB.txt")).split(store::Catalogue::separator());
    }

    // Runs SQL on the window's current database.
    void exec(const QString& sql)
    {
        ASSERT_TRUE(window().db().ExecuteSql(sql)) << sql.toStdString();
    }
    long count(const QString& table)
    {
        db::Connection conn;
        db::Recordset rs;
        if (!window().db().OpenRecordset(conn, rs, "SELECT COUNT(*) AS n FROM " + table))
            return -1;
        return rs.field("n").toLongLong();
    }

    void trigger(const char* menuItem)
    {
        auto* action = window().findChild<QAction*>(menuItem);
        ASSERT_NE(action, nullptr) << menuItem;
        action->trigger();
    }

    // Answers the next SelectDB window: picks name and confirms, or cancels when empty.
    // Gives up (closing the window) after two seconds so that no test can hang.
    static void answerSelectDb(const QString& name, QStringList* offered = nullptr)
    {
        auto tries = std::make_shared<int>(0);
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [name, offered, tries, poll] {
            QWidget* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "SelectDB" && w->isVisible())
                    dialog = w;
            }
            if (!dialog) {
                if (++*tries < 200)
                    QTimer::singleShot(10, *poll);
                return;
            }
            auto* names = dialog->findChild<QComboBox*>("CB");
            if (offered) {
                offered->clear();
                for (int i = 0; i < names->count(); ++i)
                    *offered << names->itemText(i);
            }
            if (name.isEmpty()) {
                dialog->findChild<QAbstractButton*>("Com_1")->click();
                return;
            }
            const int index = names->findText(name);
            if (index < 0) {
                dialog->close();
                return;
            }
            names->setCurrentIndex(index);
            dialog->findChild<QAbstractButton*>("Com_0")->click();
        };
        QTimer::singleShot(0, *poll);
    }

    TempDir m_dir;
    std::unique_ptr<shell::MainWindow> m_window;
};

} // namespace quel::test
