// A list of values served from memory and read as a table: what statements see of it,
// while it is served, after, and when its holder goes while a statement still reads.
#include "db/database.h"
#include "support/store_fixture.h"

#include <string>
#include <vector>

namespace quel::test {

class ServedValuesTest : public StoreTest
{
protected:
    QStringList column(const QString& sql)
    {
        QStringList out;
        for (const auto& row : rows(sql))
            out << row.front().toString();
        return out;
    }
    const QString m_all = QStringLiteral("SELECT v FROM ") + QLatin1String(db::kValueTable);
};
// Only the embedded engine reads a table from the program's memory.
INSTANTIATE_TEST_SUITE_P(
    Engines, ServedValuesTest, ::testing::Values(Engine::File), ::quel::test::engineName);

TEST_P(ServedValuesTest, StatementsReadTheListInItsOrderWhileItIsServed)
{
    ASSERT_TRUE(m_db->canServeValues());
    EXPECT_EQ(column(m_all), QStringList {}) << "nothing served yet";
    {
        db::ServedValues served(*m_db, { "b", "", "买家A", "a" });
        EXPECT_EQ(column(m_all), (QStringList { "b", "", "买家A", "a" }));
        EXPECT_EQ(column(m_all), (QStringList { "b", "", "买家A", "a" })) << "read again";
    }
    EXPECT_EQ(column(m_all), QStringList {}) << "no longer served";

    // A join looks each value up without letter case, as the program's text columns
    // compare; other characters stay as they are.
    exec(QStringLiteral("CREATE TABLE 名单 (ID COUNTER, Code STRING)"));
    for (const char* code : { "Ann", "BOB", "Ä", "carl" })
        exec(QStringLiteral("INSERT INTO 名单(Code) VALUES('%1')").arg(QString::fromUtf8(code)));
    db::ServedValues served(*m_db, { "ann", "bob", "ä", "dora" });
    EXPECT_EQ(column(QStringLiteral("SELECT 名单.Code FROM %1,名单 WHERE 名单.Code=%1.v")
                         .arg(QLatin1String(db::kValueTable))),
        (QStringList { "Ann", "BOB" }));
}

TEST_P(ServedValuesTest, AStatementKeepsReadingAListWhoseHolderWentAway)
{
    auto served = std::make_unique<db::ServedValues>(
        *m_db, std::vector<std::string> { "first", "second", "third" });
    db::Statement stmt = m_db->prepareNative(m_all);
    ASSERT_TRUE(stmt);
    ASSERT_EQ(stmt.step(), db::StepResult::Row);
    EXPECT_EQ(stmt.text(0), "first");
    served.reset();
    QStringList rest;
    while (stmt.step() == db::StepResult::Row)
        rest << stmt.text(0);
    EXPECT_EQ(rest, (QStringList { "second", "third" }));
    stmt = db::Statement();
    EXPECT_EQ(column(m_all), QStringList {});
}

} // namespace quel::test
