#pragma once

#include <QList>
#include <QString>

namespace quel::simplify {

// One row of 替换表 or 简化表: Con is what to look for, Sim what to give.
struct NameRule
{
    QString con;
    QString sim;
};

using NameRuleList = QList<NameRule>;

// The two tables the rules live in.
inline const QString kReplacementTable = QStringLiteral("替换表");
inline const QString kSimplificationTable = QStringLiteral("简化表");

// Step 1: every rule whose match words all occur in the name (case-sensitive) gives the
// name its Sim; later rules are tested against what earlier ones produced.
QString ApplyReplacementRules(const NameRuleList& rules, const QString& name);

// Step 2: full-width commas become ",", then every occurrence of each rule's Con is
// replaced by its Sim, rule by rule.
QString ApplySimplificationRules(const NameRuleList& rules, const QString& name);

// Both loaded rule lists; the short name of a title is step 2 of step 1.
struct NameRuleSet
{
    NameRuleList replacement;
    NameRuleList simplification;

    QString shortName(const QString& title) const
    {
        return ApplySimplificationRules(simplification, ApplyReplacementRules(replacement, title));
    }
};

} // namespace quel::simplify
