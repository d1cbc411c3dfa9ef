#pragma once

#include "widgets/indicator_state.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;

namespace quel::widgets {

class IndicatorBar;

// The progress window "Dovrel进度指示器": title, blue bar, percentage, and in "pages"
// mode the time and count texts. Closing it is the user's cancel button.
class IndicatorWindow : public QWidget
{
    Q_OBJECT

public:
    explicit IndicatorWindow(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void apply(const IndicatorUpdate& update);
    void clearTimes();
    void setPercent(const QString& text);
    // Clears the bar, then draws it to this share of the box width.
    void resetBar(double fraction);
    // Widens the bar; it never shrinks between two starts.
    void drawBar(double fraction);

private:
    QLabel* m_title;
    IndicatorBar* m_bar;
    QLabel* m_percent;
    QLabel* m_time;
    QLabel* m_count;
};

// The one progress indicator of the program; operations open it with a title and a total,
// step it, and check isOpen() to notice that the user closed it. Steps after a close only
// update the state.
class Indicator
{
public:
    using Clock = std::function<QDateTime()>;
    explicit Indicator(Clock clock = {});
    ~Indicator();
    Indicator(const Indicator&) = delete;
    Indicator& operator=(const Indicator&) = delete;

    void start(const QString& title, long total, long position);
    void step(long n, const QString& mode);
    void close();
    bool isOpen() const;

    const IndicatorState& state() const { return m_state; }
    // The open window, or null.
    IndicatorWindow* window() const { return m_window; }

    // The program's indicator (created on first use; needs the application object).
    static Indicator& program();

private:
    QDateTime now() const;

    Clock m_clock;
    IndicatorState m_state;
    QPointer<IndicatorWindow> m_window;
};

// The operations under the names every part of the program uses, on the program's indicator.
void IndicatorStart(const QString& title, long total, long position);
void IndicatorStep(long n, const QString& mode);
void IndicatorClose();
bool IsIndicatorOpen();

} // namespace quel::widgets
