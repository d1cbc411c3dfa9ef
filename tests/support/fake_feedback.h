// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/feedback.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

namespace quel::test {

// Stands in for the user: records what the code under test tells them and shows them, and
// answers its questions, first from `answers` while it holds any, then with `answer`.
// The progress window is open from indicatorStart to indicatorClose; with AlwaysOpen it
// counts as open throughout, for code that only checks for the user's cancel. Setting
// `cancelled` (for example from onStep) is the user closing the window.
class FakeFeedback : public core::Feedback
{
public:
    enum Indicator
    {
        FollowsCalls,
        AlwaysOpen
    };

    explicit FakeFeedback(Indicator indicator = FollowsCalls)
        : m_alwaysOpen(indicator == AlwaysOpen)
    { }

    void message(const QString& text) override
    {
        messages << text;
        if (open)
            behindProgress << text;
    }
    bool ask(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return answer;
        const bool given = answers.front();
        answers.pop_front();
        return given;
    }
    void indicatorStart(const QString& title, long total, long position) override
    {
        events << QStringLiteral("start %1 %2 %3").arg(title).arg(total).arg(position);
        titles << title;
        totals << total;
        lastTotal = total;
        open = true;
    }
    void indicatorStep(long n, const QString& mode) override
    {
        events << QStringLiteral("step %1 %2").arg(n).arg(mode);
        stepped += n;
        ++steps;
        if (onStep)
            onStep(*this);
    }
    void indicatorClose() override
    {
        events << QStringLiteral("close");
        open = false;
    }
    bool isIndicatorOpen() const override { return (open || m_alwaysOpen) && !cancelled; }

    QStringList messages;
    QStringList behindProgress; // messages told while the progress window was open
    QStringList questions;
    std::deque<bool> answers;
    bool answer = false;

    QStringList titles;
    QList<long> totals;
    long lastTotal = 0;
    QStringList events; // "start TITLE TOTAL POSITION", "step N MODE", "close"
    long stepped = 0; // the steps' sum
    int steps = 0; // how many steps
    bool open = false;
    bool cancelled = false;
    std::function<void(FakeFeedback&)> onStep;

private:
    bool m_alwaysOpen;
};

} // namespace quel::test
