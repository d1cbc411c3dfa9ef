#include "core/feedback.h"
#include "core/pause.h"
#include "core/text_files.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quel::core;
using quel::test::FakeFeedback;
using quel::test::TempDir;

namespace {

const QString kSep = QStringLiteral("〗★〖");

} // namespace

TEST(WriteFileAtomic, WritesUtf8WithoutBomAndKeepsLineBreaks)
{
    TempDir dir;
    const QString path = dir.file("Temp_1.t");
    const QString text = QStringLiteral("诺基亚") + kSep + QStringLiteral("12.5\r\n3‖x");
    ASSERT_EQ(WriteFileAtomic(text, path), 1);
    EXPECT_EQ(dir.read("Temp_1.t"), text.toUtf8());
    EXPECT_FALSE(QFileInfo::exists(path + ".TMP"));
}

TEST(WriteFileAtomic, ReplacesOldFileAndStaleTemporary)
{
    TempDir dir;
    const QString path = dir.write("DB.txt", "old");
    dir.write("DB.txt.TMP", "stale half-written");
    ASSERT_EQ(WriteFileAtomic(QStringLiteral("new"), path), 1);
    EXPECT_EQ(dir.read("DB.txt"), QByteArray("new"));
    EXPECT_FALSE(QFileInfo::exists(path + ".TMP"));
}

TEST(WriteFileAtomic, FailureKeepsTheOldFile)
{
    TempDir dir;
    const QString path = dir.write("DB.txt", "DATA.mdb");
    // A folder under the temporary name cannot be removed as a file nor written.
    ASSERT_TRUE(QDir(dir.path()).mkpath("DB.txt.TMP/inner"));
    EXPECT_EQ(WriteFileAtomic(QStringLiteral("lost?"), path), -1);
    EXPECT_EQ(dir.read("DB.txt"), QByteArray("DATA.mdb"));
    EXPECT_EQ(WriteFileAtomic(QStringLiteral("x"), dir.file("missing/dir/f.t")), -1);
}

TEST(SaveTextFile, ElevenFailedAttemptsMoveToPathPlusOne)
{
    TempDir dir;
    const QString path = dir.file("Temp_3.t");
    // The temporary name of the first path is blocked, that of path + "1" is free.
    ASSERT_TRUE(QDir(dir.path()).mkpath("Temp_3.t.TMP/inner"));
    EXPECT_EQ(SaveTextFile(QStringLiteral("abc"), path, 0), path + "1");
    EXPECT_EQ(dir.read("Temp_3.t1"), QByteArray("abc"));
    EXPECT_FALSE(QFileInfo::exists(path));

    ASSERT_TRUE(QDir(dir.path()).mkpath("Temp_4.t.TMP/inner"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("Temp_4.t1.TMP/inner"));
    EXPECT_EQ(SaveTextFile(QStringLiteral("abc"), dir.file("Temp_4.t"), 0), dir.file("Temp_4.t11"));

    EXPECT_EQ(SaveTextFile(QStringLiteral("abc"), dir.file("no/such/dir/x"), 0), QString());
}

TEST(ReadResultFile, ZeroLengthFileGivesEmptyAndStays)
{
    TempDir dir;
    FakeFeedback fb { FakeFeedback::AlwaysOpen };
    const QString path = dir.write("Temp_2.t", "");
    EXPECT_EQ(ReadResultFile(path, true, fb, 0), QString());
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(fb.messages.isEmpty());
}

TEST(ReadResultFile, ReadsAndDeletesOrKeeps)
{
    TempDir dir;
    FakeFeedback fb { FakeFeedback::AlwaysOpen };
    const QString text = QStringLiteral("DATA1.mdb") + kSep + QStringLiteral("库\r\n");
    const QString path = dir.write("DB.txt", text.toUtf8());
    EXPECT_EQ(ReadResultFile(path, false, fb, 0), text);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(ReadResultFile(path, true, fb, 0), text);
    EXPECT_FALSE(QFileInfo::exists(path));

    // A byte-order mark from a hand-edited file and older GB18030 files are read as text.
    dir.write("bom.txt", QByteArray("\xEF\xBB\xBF") + "DATA.mdb");
    EXPECT_EQ(ReadResultFile(dir.file("bom.txt"), false, fb, 0), QStringLiteral("DATA.mdb"));
    dir.write("gbk.txt", QByteArray::fromHex("c5b5bbf9d1c7"));
    EXPECT_EQ(ReadResultFile(dir.file("gbk.txt"), false, fb, 0), QStringLiteral("诺基亚"));
    EXPECT_TRUE(fb.messages.isEmpty());
}

TEST(ReadResultFile, MissingFileReportsAfterHundredTries)
{
    TempDir dir;
    FakeFeedback fb { FakeFeedback::AlwaysOpen };
    const QString path = dir.file("Temp_9.t");
    EXPECT_EQ(ReadResultFile(path, true, fb, 0), QString());
    ASSERT_EQ(fb.messages.size(), 1);
    EXPECT_EQ(fb.messages[0], QStringLiteral("无法打开下载文档：\r\n") + path);
}

TEST(ReadResultFile, WaitsForAFileThatAppearsLater)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    TempDir dir;
    FakeFeedback fb { FakeFeedback::AlwaysOpen };
    const QString path = dir.file("Temp_5.t");
    QTimer::singleShot(50, [&] { WriteFileAtomic(QStringLiteral("late"), path); });
    EXPECT_EQ(ReadResultFile(path, true, fb, 10), QStringLiteral("late"));
    EXPECT_TRUE(fb.messages.isEmpty());
}

TEST(Pause, KeepsTheEventLoopRunning)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    QElapsedTimer timer;
    timer.start();
    Pause(100);
    EXPECT_TRUE(fired);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_LT(timer.elapsed(), 2000);
    timer.restart();
    Pause(0);
    Pause(-5);
    EXPECT_LT(timer.elapsed(), 50);
}
