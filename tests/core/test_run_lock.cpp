// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run_lock.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using quel::core::RunLock;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(RunLock, OneHolderAtATimeNamedInTheFileAndGoneWithIt)
{
    quel::test::TempDir dir;
    const QString path = dir.path() + QStringLiteral("/DATA.mdb.lock");
    {
        RunLock first(path);
        ASSERT_EQ(first.tryLock(), RunLock::Outcome::Held);
        EXPECT_EQ(contents(path).trimmed().toLongLong(), getpid());

        RunLock second(path);
        EXPECT_EQ(second.tryLock(), RunLock::Outcome::Busy);
        EXPECT_EQ(second.holderPid(), getpid());
        EXPECT_FALSE(second.isHeld());
    }
    EXPECT_FALSE(QFileInfo::exists(path)) << "let go, the file goes";
    RunLock again(path);
    EXPECT_EQ(again.tryLock(), RunLock::Outcome::Held);
}

TEST(RunLock, AFileLeftBehindOrKilledHolderNeverBlocks)
{
    quel::test::TempDir dir;
    const QString path = dir.path() + QStringLiteral("/DATA.mdb.lock");
    // An empty file, as a process killed between making it and writing itself leaves.
    {
        QFile left(path);
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    }
    {
        RunLock lock(path);
        EXPECT_EQ(lock.tryLock(), RunLock::Outcome::Held);
    }
    // A holder killed outright: its lock goes with its process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RunLock lock(path);
        if (lock.tryLock() == RunLock::Outcome::Held)
            raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(QFileInfo::exists(path)) << "a killed holder cannot tidy up";
    RunLock next(path);
    EXPECT_EQ(next.tryLock(), RunLock::Outcome::Held);
}

TEST(RunLock, AFolderThatCannotHoldTheFileFails)
{
    RunLock lock(QStringLiteral("/nonexistent-folder/DATA.mdb.lock"));
    EXPECT_EQ(lock.tryLock(), RunLock::Outcome::Failed);
    EXPECT_FALSE(lock.errorText().isEmpty());
}
