#include "simplify/name_rules.h"

namespace quel::simplify {

QString ApplyReplacementRules(const NameRuleList& rules, const QString& name)
{
    QString current = name;
    for (const NameRule& rule : rules) {
        QString match = rule.con;
        // Rules typed before values were quoted on the way in may hold doubled quotes.
        match.replace(QStringLiteral("''"), QStringLiteral("'"));
        match.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        bool all = true;
        // Two blanks in a row give an empty word, which asks for nothing.
        for (const QString& word : match.split(QLatin1Char(' '))) {
            if (!word.isEmpty() && !current.contains(word, Qt::CaseSensitive)) {
                all = false;
                break;
            }
        }
        if (all)
            current = rule.sim;
    }
    return current;
}

QString ApplySimplificationRules(const NameRuleList& rules, const QString& name)
{
    QString current = name;
    current.replace(QStringLiteral("，"), QStringLiteral(","));
    for (const NameRule& rule : rules) {
        // An empty Con would insert Sim between every character; it means nothing to look for.
        if (rule.con.isEmpty())
            continue;
        if (current.contains(rule.con, Qt::CaseSensitive))
            current.replace(rule.con, rule.sim, Qt::CaseSensitive);
    }
    return current;
}

} // namespace quel::simplify
