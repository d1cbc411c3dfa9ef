#pragma once

#include "core/feedback.h"

#include <QStringList>
#include <deque>

namespace quel::test {

// Records what the code under test tells the user and answers its questions from a queue
// (No when the queue is empty).
class RecordingFeedback : public Feedback
{
public:
    void message(const QString& text) override { messages << text; }
    bool ask(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void indicatorStart(const QString& title, long total, long) override
    {
        titles << title;
        totals << total;
        open = true;
    }
    void indicatorStep(long n, const QString&) override { steps += n; }
    void indicatorClose() override { open = false; }
    bool isIndicatorOpen() const override { return open; }

    QStringList messages;
    QStringList questions;
    QStringList titles;
    QList<long> totals;
    std::deque<bool> answers;
    long steps = 0;
    bool open = false;
};

} // namespace quel::test
