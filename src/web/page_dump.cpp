#include "web/page_dump.h"

#include "web/browser.h"
#include "web/page_loader.h"

#include <QEventLoop>
#include <QTimer>

namespace quel::web {

QString LoadBodyHtml(const QString& address, QString* error, int timeoutMs)
{
    Browser browser;
    browser.setRequestTimeout(timeoutMs);
    browser.setLoadTimeLimit(timeoutMs);
    NavigateTo(browser, address);
    if (browser.busy()) {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&browser, &Browser::downloadComplete, &loop, &QEventLoop::quit);
        guard.start(timeoutMs + 1000);
        loop.exec();
    }
    if (error) {
        *error = browser.busy() ? QStringLiteral("网页下载超时") : browser.errorString();
    }
    return GetBodyHtml(browser);
}

} // namespace quel::web
