#include "search/fixture_db.h"
#include "simplify/rule_store.h"

#include <gtest/gtest.h>

using namespace quel::simplify;
using quel::test::FixtureDb;

namespace {
QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

TEST(RuleStore, SaveRefusesEmptyAndExactDuplicatesOnly)
{
    FixtureDb f;
    auto& db = f.db();
    EXPECT_EQ(SaveNameRule(db, kReplacementTable, QString(), q("x"), std::nullopt),
        SaveRuleResult::EmptyMatch);
    EXPECT_EQ(
        SaveNameRule(db, kReplacementTable, q("诺基亚 5200"), q("诺基亚5200手机"), std::nullopt),
        SaveRuleResult::Saved);
    EXPECT_EQ(SaveNameRule(db, kReplacementTable, q("诺基亚 5200"), q("别的"), std::nullopt),
        SaveRuleResult::Duplicate);
    // The query ignores case, the comparison does not: ABC and abc are two rules.
    EXPECT_EQ(
        SaveNameRule(db, kReplacementTable, q("ABC"), q("1"), std::nullopt), SaveRuleResult::Saved);
    EXPECT_EQ(
        SaveNameRule(db, kReplacementTable, q("abc"), q("2"), std::nullopt), SaveRuleResult::Saved);
    // A quote in the match text is stored and still found as a duplicate.
    EXPECT_EQ(SaveNameRule(db, kReplacementTable, q("Levi's"), q("李维斯"), std::nullopt),
        SaveRuleResult::Saved);
    EXPECT_EQ(SaveNameRule(db, kReplacementTable, q("Levi's"), q("李维斯"), std::nullopt),
        SaveRuleResult::Duplicate);

    const NameRuleList rules = LoadNameRules(db, kReplacementTable);
    ASSERT_EQ(rules.size(), 4);
    EXPECT_EQ(rules[0].con, q("诺基亚 5200"));
    EXPECT_EQ(rules[1].con, q("ABC"));
    EXPECT_EQ(rules[2].con, q("abc"));
    EXPECT_EQ(rules[3].sim, q("李维斯"));
    EXPECT_TRUE(LoadNameRules(db, kSimplificationTable).isEmpty());
    EXPECT_TRUE(f.feedback.messages.isEmpty()) << f.feedback.messages.join('\n').toStdString();
}

TEST(RuleStore, ChangingARuleKeepsItsPlace)
{
    FixtureDb f;
    auto& db = f.db();
    ASSERT_EQ(
        SaveNameRule(db, kReplacementTable, q("a"), q("A"), std::nullopt), SaveRuleResult::Saved);
    ASSERT_EQ(
        SaveNameRule(db, kReplacementTable, q("b"), q("B"), std::nullopt), SaveRuleResult::Saved);
    const QStringList ids = f.rows(q("SELECT ID FROM 替换表 ORDER BY ID"));
    ASSERT_EQ(ids.size(), 2);
    const qint64 first = ids[0].toLongLong();
    // A rule is not its own duplicate, but may not take another rule's text.
    EXPECT_EQ(SaveNameRule(db, kReplacementTable, q("a"), q("AA"), first), SaveRuleResult::Saved);
    EXPECT_EQ(
        SaveNameRule(db, kReplacementTable, q("b"), q("X"), first), SaveRuleResult::Duplicate);
    EXPECT_EQ(SaveNameRule(db, kReplacementTable, q("c"), q("C"), first), SaveRuleResult::Saved);
    EXPECT_EQ(
        f.rows(q("SELECT Con,Sim FROM 替换表 ORDER BY ID")), (QStringList { q("c|C"), q("b|B") }));
    // Only the two rule tables are written.
    EXPECT_EQ(SaveNameRule(db, q("产品表"), q("x"), q("y"), std::nullopt), SaveRuleResult::Failed);
}

TEST(RuleStore, RederiveRewritesEveryShortName)
{
    FixtureDb f;
    auto& db = f.db();
    ASSERT_TRUE(
        f.exec(q("INSERT INTO 产品表(PCode,PName,P_Name) VALUES('1','诺基亚 N73 5200型','旧')")));
    ASSERT_TRUE(
        f.exec(q("INSERT INTO 产品表(PCode,PName,P_Name) VALUES('2','正品手机，黑色','旧')")));
    ASSERT_TRUE(f.exec(q("INSERT INTO 产品表(PCode,PName,P_Name) VALUES('3','Levi''s 501','旧')")));
    ASSERT_EQ(
        SaveNameRule(db, kReplacementTable, q("诺基亚 5200"), q("诺基亚5200手机"), std::nullopt),
        SaveRuleResult::Saved);
    ASSERT_TRUE(f.exec(q("INSERT INTO 简化表(Con,Sim) VALUES('正品','')")));

    EXPECT_EQ(RederiveAllShortNames(db), 3);
    EXPECT_EQ(f.rows(q("SELECT P_Name FROM 产品表 ORDER BY PCode")),
        (QStringList { q("诺基亚5200手机"), q("手机,黑色"), q("Levi's 501") }));
    EXPECT_EQ(f.feedback.titles, QStringList { q("正在简化商品名称……") });
    EXPECT_EQ(f.feedback.lastTotal, 3);
    EXPECT_EQ(f.feedback.stepped, 3);
    EXPECT_FALSE(f.feedback.open);
}
