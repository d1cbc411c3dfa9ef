#include "simplify/name_rules.h"

#include <gtest/gtest.h>

using namespace quel::simplify;

namespace {
QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

TEST(ReplacementRules, ChainAppliesLaterRulesToEarlierResults)
{
    const NameRuleList rules { { q("诺基亚 5200"), q("诺基亚5200手机") },
        { q("手机"), q("手机类") } };
    EXPECT_EQ(ApplyReplacementRules(rules, q("诺基亚5200 黑色")), q("手机类"));
    // Only the first rule on its own.
    EXPECT_EQ(ApplyReplacementRules({ rules[0] }, q("诺基亚5200 黑色")), q("诺基亚5200手机"));
}

TEST(ReplacementRules, AllWordsMustOccurButNotAdjacent)
{
    const NameRuleList rules { { q("诺基亚 5200"), q("诺基亚5200手机") } };
    EXPECT_EQ(ApplyReplacementRules(rules, q("诺基亚 N73 5200型")), q("诺基亚5200手机"));
    EXPECT_EQ(ApplyReplacementRules(rules, q("诺基亚N73")), q("诺基亚N73"));
}

TEST(ReplacementRules, CaseSensitiveEmptyWordsAndQuotes)
{
    EXPECT_EQ(ApplyReplacementRules({ { q("nokia"), q("N") } }, q("Nokia 6300")), q("Nokia 6300"));
    // Two blanks give an empty word, which is ignored.
    EXPECT_EQ(ApplyReplacementRules({ { q("a  b"), q("AB") } }, q("xaxbx")), q("AB"));
    // A blank match text has no words and matches every name.
    EXPECT_EQ(ApplyReplacementRules({ { q("  "), q("全部") } }, q("任意")), q("全部"));
    // Doubled quotes in a stored match text stand for one.
    EXPECT_EQ(
        ApplyReplacementRules({ { q("Levi''s"), q("李维斯") } }, q("Levi's 501")), q("李维斯"));
    EXPECT_EQ(ApplyReplacementRules({}, q("原样")), q("原样"));
}

TEST(SimplificationRules, CommasAndReplacements)
{
    EXPECT_EQ(ApplySimplificationRules({}, q("手机，黑色")), q("手机,黑色"));
    EXPECT_EQ(ApplySimplificationRules({ { q("正品"), q("") } }, q("正品手机正品")), q("手机"));
    // Rules run in order, each on what the one before left.
    const NameRuleList chain { { q("ab"), q("c") }, { q("cc"), q("d") } };
    EXPECT_EQ(ApplySimplificationRules(chain, q("abab")), q("d"));
    EXPECT_EQ(ApplySimplificationRules({ { q("Abc"), q("x") } }, q("abc")), q("abc"));
    // An empty Con changes nothing.
    EXPECT_EQ(ApplySimplificationRules({ { q(""), q("x") } }, q("abc")), q("abc"));
}

TEST(ShortName, ReplacementFirstThenSimplification)
{
    NameRuleSet set;
    set.replacement = { { q("诺基亚 5200"), q("诺基亚5200手机，正品") } };
    set.simplification = { { q("正品"), q("") } };
    EXPECT_EQ(set.shortName(q("诺基亚 5200 黑色")), q("诺基亚5200手机,"));
}
