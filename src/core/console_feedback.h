// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/feedback.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>

namespace quel::core {

// The Feedback of runs without a window: messages and progress as lines on a text stream
// (standard error unless one is given), questions printed with their answer, which is
// always No. The indicator counts as closed (the user's cancel) once stopRequested says so,
// so that a long operation stops at its next step; without it the run is never cancelled.
class ConsoleFeedback : public Feedback
{
public:
    explicit ConsoleFeedback(std::function<bool()> stopRequested = {});
    // out must outlive this feedback.
    explicit ConsoleFeedback(QTextStream& out, std::function<bool()> stopRequested = {});
    ConsoleFeedback(const ConsoleFeedback&) = delete;
    ConsoleFeedback& operator=(const ConsoleFeedback&) = delete;

    void message(const QString& text) override;
    bool ask(const QString& text) override;
    void indicatorStart(const QString& title, long total, long position) override;
    void indicatorStep(long n, const QString& mode) override;
    void indicatorClose() override;
    bool isIndicatorOpen() const override;
    void processEvents() override;

    // Every message and question shown, for the summary and for tests.
    const QStringList& messages() const { return m_messages; }

private:
    void printLine(const QString& text);

    std::unique_ptr<QTextStream> m_ownStream;
    QTextStream& m_out;
    std::function<bool()> m_stopRequested;
    QString m_title;
    long m_total = 1;
    long m_position = 0;
    QStringList m_messages;
};

} // namespace quel::core
