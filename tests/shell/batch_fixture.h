// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/feedback.h"
#include "db/database.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/temp_dir.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>
#include <utility>

namespace quel::test {

// A data folder made from the built template and filled by SQL, and the built program run
// on it with "--batch".
class BatchFolderTest : public ::testing::Test
{
protected:
    // Prepares the folder and runs each statement (Jet SQL) on its database.
    void fill(std::initializer_list<const char*> statements)
    {
        QString error;
        ASSERT_TRUE(store::initialiseDataFolder(m_dir.path(), binDir(), &error))
            << error.toStdString();
        store::Catalogue catalogue(m_dir.path());
        catalogue.LoadCurrentDatabase();
        core::SilentFeedback feedback;
        store::DB_Operate db(catalogue, feedback);
        for (const char* sql : statements)
            ASSERT_TRUE(db.ExecuteSql(QString::fromUtf8(sql))) << sql;
        store::DatabasePool::shared().releaseAll();
    }

    // The exit code and standard error of "quelmar --data FOLDER --batch ARGUMENTS".
    std::pair<int, QString> runBatch(const QStringList& arguments)
    {
        QProcess process;
        process.start(
            binDir() + "/quelmar", QStringList { "--data", m_dir.path(), "--batch" } + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return { process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()) };
    }

    TempDir m_dir;
};

} // namespace quel::test
