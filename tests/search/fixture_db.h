#pragma once

#include "core/feedback.h"
#include "store/catalogue.h"
#include "store/database.h"
#include "store/db_operate.h"
#include "store/schema.h"
#include "support/temp_dir.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace quel::test {

// Records what the code under test shows; the progress window can be closed from a test.
class CapturingFeedback : public Feedback
{
public:
    void message(const QString& text) override
    {
        messages.append(text);
        if (open)
            behindProgress.append(text);
    }
    bool ask(const QString& text) override
    {
        questions.append(text);
        return answer;
    }
    void indicatorStart(const QString& title, long total, long) override
    {
        open = true;
        titles.append(title);
        lastTotal = total;
    }
    void indicatorStep(long n, const QString&) override
    {
        stepped += n;
        ++steps;
        if (onStep)
            onStep(*this);
    }
    void indicatorClose() override { open = false; }
    bool isIndicatorOpen() const override { return open && !cancelled; }

    QStringList messages;
    QStringList behindProgress; // messages told while the progress window was open
    QStringList questions;
    QStringList titles;
    bool answer = true;
    bool open = false;
    bool cancelled = false;
    long lastTotal = 0;
    long stepped = 0;
    int steps = 0;
    std::function<void(CapturingFeedback&)> onStep;
};

// A fresh encrypted database DATA.mdb with the schema, in its own data folder.
class FixtureDb
{
public:
    FixtureDb()
    {
        QString error;
        EXPECT_TRUE(store::writeTemplate(m_dir.file(QStringLiteral("DATA.mdb")), &error))
            << error.toStdString();
        m_catalogue = std::make_unique<store::Catalogue>(m_dir.path());
        m_catalogue->LoadCurrentDatabase();
        m_db = std::make_unique<store::DB_Operate>(*m_catalogue, feedback);
    }
    ~FixtureDb() { store::DatabasePool::shared().releaseAll(); }

    store::DB_Operate& db() { return *m_db; }
    QString folder() const { return m_dir.path(); }

    bool exec(const QString& sql) { return m_db->ExecuteSql(sql); }

    // Every row of a statement, each row's fields joined by "|".
    QStringList rows(const QString& sql)
    {
        QStringList out;
        store::Connection conn;
        store::Recordset rs;
        if (!m_db->OpenRecordset(conn, rs, sql))
            return { QStringLiteral("<error>") };
        for (; !rs.eof(); rs.moveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields.append(rs.value(i).toString());
            out.append(fields.join(QLatin1Char('|')));
        }
        m_db->CloseRecordset(conn, rs);
        return out;
    }

    CapturingFeedback feedback;

private:
    TempDir m_dir;
    std::unique_ptr<store::Catalogue> m_catalogue;
    std::unique_ptr<store::DB_Operate> m_db;
};

} // namespace quel::test
