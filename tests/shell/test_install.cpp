// The installed program: `cmake --install` into a temporary root, then the installed quelmar
// runs a batch search against the installed demo marketplace, keeping its data in the
// user's own folder as it does when started from the desktop menu.
#include "db/database.h"
#include "db/recordset.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

using quel::test::TempDir;

namespace {

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Runs a program to its end; its exit code, or -1 when it did not end in time.
int run(QProcess& process, const QString& program, const QStringList& arguments, int timeoutMs)
{
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

TEST(Installation, InstalledProgramsRunWithTheirDataInTheUsersFolder)
{
    int argc = 1;
    char name[] = "test_shell_install";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    TempDir root;
    QProcess install;
    QProcessEnvironment installEnv = QProcessEnvironment::systemEnvironment();
    installEnv.insert("DESTDIR", root.path());
    install.setProcessEnvironment(installEnv);
    ASSERT_EQ(run(install, QUEL_CMAKE_COMMAND, { "--install", QUEL_BUILD_DIR, "--prefix", "/usr" },
                  120000),
        0)
        << install.readAllStandardError().toStdString();

    const QString usr = root.path() + "/usr";
    for (const char* program : { "quelmar", "quelfetch", "quelmarket" })
        EXPECT_TRUE(QFileInfo(usr + "/bin/" + program).isExecutable()) << program;
    EXPECT_TRUE(QFileInfo::exists(usr + "/share/quelmar/Null_Data.mdb"));
    const QString entry = readText(usr + "/share/applications/quelmar.desktop");
    for (const char* line : { "Type=Application", "Name=quelmar", "Name[zh_CN]=市场分析",
             "Exec=quelmar", "Icon=quelmar", "Categories=Office;" })
        EXPECT_TRUE(entry.contains(QString::fromUtf8(line) + "\n")) << line;
    EXPECT_EQ(QImage(usr + "/share/icons/hicolor/48x48/apps/quelmar.png").size(), QSize(48, 48));
    EXPECT_EQ(
        QImage(usr + "/share/icons/hicolor/256x256/apps/quelmar.png").size(), QSize(256, 256));
    // What software centres list, naming the menu entry above, and the licence terms.
    const QString metainfo = usr + "/share/metainfo/org.quelmar.quelmar.metainfo.xml";
    EXPECT_TRUE(readText(metainfo).contains("<launchable type=\"desktop-id\">quelmar.desktop<"));
    EXPECT_TRUE(readText(usr + "/share/doc/quelmar/copyright").contains("License: GPL-3+"));
    if (!QStandardPaths::findExecutable("appstreamcli").isEmpty()) {
        QProcess validate;
        validate.start("appstreamcli", { "validate", "--no-net", metainfo });
        ASSERT_TRUE(validate.waitForFinished(60000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }

    // The daily watch run's user units: installed, pointing at the installed program, not
    // enabled (no link in a .wants folder), and accepted by systemd where it can check them.
    const QString units = usr + "/lib/systemd/user/";
    const QString service = readText(units + "quelmar-watch.service");
    const QString timer = readText(units + "quelmar-watch.timer");
    EXPECT_TRUE(service.contains("\nExecStart=quelmar --batch watch")) << service.toStdString();
    EXPECT_TRUE(service.contains("\nType=oneshot\n"));
    EXPECT_TRUE(timer.contains("\nPersistent=true\n")) << timer.toStdString();
    EXPECT_TRUE(timer.contains("\nOnCalendar=")) << "daily";
    EXPECT_FALSE(QFileInfo::exists(units + "timers.target.wants"));
    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (!analyze.isEmpty()) {
        // Checked with the program as placed under the temporary root, since systemd would
        // look for it on its search path.
        TempDir check;
        QFile::copy(units + "quelmar-watch.timer", check.file("quelmar-watch.timer"));
        QFile out(check.file("quelmar-watch.service"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QString(service)
                      .replace("\nExecStart=quelmar ", "\nExecStart=" + usr + "/bin/quelmar ")
                      .toUtf8());
        out.close();
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        EXPECT_EQ(run(verify, analyze,
                      { "verify", check.file("quelmar-watch.timer"),
                          check.file("quelmar-watch.service") },
                      60000),
            0)
            << verify.readAll().toStdString();
    }

    // The installed demo marketplace.
    QProcess market;
    market.start(usr + "/bin/quelmarket", { "--port", "0", "--seed", "1", "--quiet" });
    ASSERT_TRUE(market.waitForStarted(10000));
    QString banner;
    while (!banner.contains('\n') && market.waitForReadyRead(60000))
        banner += QString::fromUtf8(market.readAllStandardOutput());
    const auto port = QRegularExpression("http://127\\.0\\.0\\.1:(\\d+)").match(banner);
    ASSERT_TRUE(port.hasMatch()) << banner.toStdString();

    // Started as from the menu: no data folder given, so the user's own one is used.
    const QString home = root.path() + "/home";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.remove("QUELMAR_HOME");
    env.remove("QUELMAR_MARKET");
    env.remove("QUELFETCH_PROGRAM");
    QProcess quelmar;
    quelmar.setProcessEnvironment(env);
    const int code = run(quelmar, usr + "/bin/quelmar",
        { "--market", "http://127.0.0.1:" + port.captured(1), "--batch", "search",
            QString::fromUtf8("诺基亚 5200") },
        120000);
    market.terminate();
    market.waitForFinished(5000);
    EXPECT_EQ(code, 0) << quelmar.readAllStandardError().toStdString();

    const QString data = home + "/.local/share/quelmar";
    EXPECT_FALSE(QFileInfo::exists(usr + "/bin/DATA.mdb")) << "data beside the installed program";
    QString error;
    auto db = quel::store::OpenDatabase(
        data + "/DATA.mdb", QString::fromLatin1(quel::store::kDatabasePassword), &error);
    ASSERT_TRUE(db) << error.toStdString();
    quel::db::Recordset rs;
    ASSERT_TRUE(rs.open(db, "SELECT COUNT(*) AS n FROM 产品表", &error)) << error.toStdString();
    // The keyword lists 100 items; mall and unpriced ones are not stored.
    EXPECT_GT(rs.field("n").toLongLong(), 80);
    EXPECT_LE(rs.field("n").toLongLong(), 100);
}
