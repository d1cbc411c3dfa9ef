#pragma once

#include "core/feedback.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "support/temp_dir.h"

#include <QStringList>
#include <gtest/gtest.h>

// Readable QString and QStringList values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{' << list.join(QStringLiteral(" | ")).toStdString() << '}';
}

namespace quel::test {

// Records what the store shows the user.
class CapturingFeedback : public Feedback
{
public:
    void message(const QString& text) override { messages << text; }
    bool ask(const QString& text) override
    {
        questions << text;
        return answer;
    }
    void indicatorStart(const QString& title, long total, long position) override
    {
        events << QStringLiteral("start %1 %2 %3").arg(title).arg(total).arg(position);
        open = true;
    }
    void indicatorStep(long n, const QString& mode) override
    {
        events << QStringLiteral("step %1 %2").arg(n).arg(mode);
    }
    void indicatorClose() override
    {
        events << QStringLiteral("close");
        open = false;
    }
    bool isIndicatorOpen() const override { return open; }

    QStringList messages;
    QStringList questions;
    QStringList events;
    bool answer = false;
    bool open = false;
};

// An encrypted database with the permanent tables, in a fresh folder.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        m_path = m_dir.file(QStringLiteral("DATA.mdb"));
        m_db = store::Database::open(
            m_path, QString::fromLatin1(store::kDatabasePassword), &error, true);
        ASSERT_TRUE(m_db) << error.toStdString();
        ASSERT_TRUE(store::createSchema(*m_db, &error)) << error.toStdString();
    }
    void TearDown() override
    {
        m_db.reset();
        store::DatabasePool::shared().releaseAll();
    }

    void exec(const QString& sql)
    {
        QString error;
        ASSERT_TRUE(m_db->execute(sql, &error)) << sql.toStdString() << ": " << error.toStdString();
    }

    // All rows of a query, each value as the recordset gives it.
    std::vector<std::vector<QVariant>> rows(const QString& sql)
    {
        store::Recordset rs;
        QString error;
        std::vector<std::vector<QVariant>> out;
        EXPECT_TRUE(rs.open(m_db, sql, &error)) << sql.toStdString() << ": " << error.toStdString();
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            std::vector<QVariant> row;
            for (int i = 0; i < rs.fieldCount(); ++i)
                row.push_back(rs.value(i));
            out.push_back(row);
        }
        return out;
    }

    QVariant scalar(const QString& sql)
    {
        const auto all = rows(sql);
        return all.empty() || all.front().empty() ? QVariant() : all.front().front();
    }

    TempDir m_dir;
    QString m_path;
    std::shared_ptr<store::Database> m_db;
};

} // namespace quel::test
