#pragma once

#include <QString>

namespace quel::core {

// What the layers below the windows tell the user and how they show progress.
// The shell implements it with message boxes and the progress window; tests capture it.
// Long operations take a Feedback& so that the data, web and import code stays free of widgets.
class Feedback
{
public:
    virtual ~Feedback() = default;

    // A message box with only an OK button.
    virtual void message(const QString& text) = 0;
    // A yes/no question; true for 是.
    virtual bool ask(const QString& text) = 0;

    // The progress window: start (a negative position keeps the current one), step by n
    // in a mode ("pages", or a new title), close, and whether the user has closed it.
    virtual void indicatorStart(const QString& title, long total, long position) = 0;
    virtual void indicatorStep(long n, const QString& mode) = 0;
    virtual void indicatorClose() = 0;
    virtual bool isIndicatorOpen() const = 0;

    // Lets pending events run (a DoEvents); a no-op where there is no loop.
    virtual void processEvents() { }
};

// A Feedback that shows nothing: messages are dropped, questions answered No, progress
// ignored (and never cancelled). For batch code paths and tests that do not care.
class SilentFeedback : public Feedback
{
public:
    void message(const QString&) override { }
    bool ask(const QString&) override { return false; }
    void indicatorStart(const QString&, long, long) override { }
    void indicatorStep(long, const QString&) override { }
    void indicatorClose() override { }
    bool isIndicatorOpen() const override { return true; }
};

} // namespace quel::core
