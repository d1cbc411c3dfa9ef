#include "widgets/window_helpers.h"

#include "widgets/window_placement.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace quel::widgets {

bool IsWindowOpen(const QString& caption)
{
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget* window : windows) {
        if (window->isVisible() && window->windowTitle() == caption)
            return true;
    }
    return false;
}

void WaitWhileWindowOpen(const QString& caption)
{
    if (!IsWindowOpen(caption) || QCoreApplication::closingDown())
        return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, &caption] {
        if (!IsWindowOpen(caption))
            loop.quit();
    });
    // Quitting the program must not leave this loop waiting for a window nobody shows.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
}

void CenterWindow(QWidget* window)
{
    if (!window)
        return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame counts, also before the window manager has drawn it; a window larger than
    // the work area starts at its top left corner rather than above or left of it.
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window->size().grownBy(WindowFrameMargins(window)));
    frame.moveCenter(area.center());
    window->move(FitFrameIntoArea(frame, area).topLeft());
}

void MakeTopmost(QWidget* window)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const bool wasVisible = window->isVisible();
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Changing window flags hides the window; bring it back where it was.
    if (wasVisible) {
        window->setGeometry(geometry);
        window->show();
    }
}

} // namespace quel::widgets
