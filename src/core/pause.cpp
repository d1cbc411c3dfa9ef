#include "core/pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace quel::core {

void Pause(int n)
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (n <= 0)
        return;
    // A nested loop quit by a timer: the thread waits for events instead of spinning.
    QEventLoop loop;
    QTimer::singleShot(n, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}

} // namespace quel::core
