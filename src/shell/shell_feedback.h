#pragma once

#include "core/feedback.h"

#include <QPointer>
#include <QWidget>

namespace quel::widgets {
class Indicator;
} // namespace quel::widgets

namespace quel::shell {

// Feedback for the layers below the windows: message boxes through Dialogs, progress
// through the program's indicator.
class ShellFeedback : public core::Feedback
{
public:
    explicit ShellFeedback(QWidget* parent = nullptr);
    ShellFeedback(widgets::Indicator& indicator, QWidget* parent);

    void message(const QString& text) override;
    bool ask(const QString& text) override;
    void indicatorStart(const QString& title, long total, long position) override;
    void indicatorStep(long n, const QString& mode) override;
    void indicatorClose() override;
    bool isIndicatorOpen() const override;
    void processEvents() override;

private:
    widgets::Indicator& m_indicator;
    QPointer<QWidget> m_parent;
};

} // namespace quel::shell
