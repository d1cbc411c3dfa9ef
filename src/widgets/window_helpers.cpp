#include "widgets/window_helpers.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace quel::shell {

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
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.left() + (area.width() - size.width()) / 2,
        area.top() + (area.height() - size.height()) / 2);
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

} // namespace quel::shell
