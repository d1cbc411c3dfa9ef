#include "web/page_loader.h"

#include "core/feedback.h"
#include "core/text_cut.h"
#include "web/browser.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkReply>
#include <QTimer>

namespace quel::web {

namespace {

constexpr int kNavigationPasses = 1000;

void WaitForLocation(Browser& browser, const QString& address)
{
    for (int pass = 0; pass < kNavigationPasses; ++pass) {
        if (browser.locationUrl() == address)
            return;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    }
}

// One wait pass: about passMs of event processing, cut short when the page's state changes.
void WaitPass(Browser& browser, int passMs)
{
    if (!QCoreApplication::instance())
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&browser, &Browser::stateChanged, &loop, &QEventLoop::quit);
    QObject::connect(&browser, &QObject::destroyed, &loop, &QEventLoop::quit);
    timer.start(qMax(passMs, 0));
    loop.exec();
}

bool MatchesTag(const Node* element, const QString& upperTag)
{
    return upperTag.isEmpty() || element->tagName() == upperTag;
}

} // namespace

void NavigateTo(Browser& browser, const QString& address)
{
    browser.setSilent(true);
    browser.navigate(QStringLiteral("about:blank"));
    WaitForLocation(browser, QStringLiteral("about:blank"));
    browser.navigate(address);
    WaitForLocation(browser, address);
}

bool WaitForPage(int budget, Browser& browser, bool checkCancel, const QString& marker,
    const core::Feedback& feedback, int passMs)
{
    for (int stage = 1; stage <= 3; ++stage) {
        auto waiting = [&] {
            switch (stage) {
            case 1:
                return browser.readyState().toLower() != u"complete";
            case 2:
                return browser.busy();
            default:
                return browser.tag() != kDownFinished;
            }
        };
        for (int counter = 0; counter < budget && waiting(); ++counter) {
            WaitPass(browser, passMs);
            if (checkCancel && !feedback.isIndicatorOpen())
                return false;
            if (!marker.isEmpty() && PageContains(marker, browser))
                return true;
        }
    }
    return true;
}

bool WaitForPage(int budget, Browser& browser, const QString& marker, int passMs)
{
    const core::SilentFeedback never;
    return WaitForPage(budget, browser, false, marker, never, passMs);
}

void MarkDownloadFinished(Browser& browser)
{
    const QString location = browser.locationUrl();
    if (location != u"about:blank" && location != u"http:///")
        browser.setTag(kDownFinished.toString());
}

QString GetBodyHtml(const Browser& browser)
{
    return browser.document()->bodyHtml();
}

bool PageContains(const QString& marker, const Browser& browser)
{
    return GetBodyHtml(browser).contains(marker);
}

QString FindElementAndClick(
    Browser& browser, const QString& text, bool click, const QString& tagName, MatchMode mode)
{
    if (text.isEmpty())
        return {};
    const QString upperTag = tagName.toUpper();
    // A copy of the list: a click replaces the document (the old one stays alive).
    const std::vector<Node*> all = browser.document()->all();
    for (Node* element : all) {
        if (!MatchesTag(element, upperTag))
            continue;
        const QString visible = core::StripTags(element->innerHTML());
        const bool match = mode == MatchMode::Exact ? visible == text : visible.contains(text);
        if (!match)
            continue;
        const QString href = element->href();
        browser.setTag(QString());
        if (click)
            element->click();
        return href;
    }
    return {};
}

QString FindFormButton(
    Node* form, const QString& caption, bool click, const QString& type, bool* found)
{
    if (found)
        *found = false;
    if (caption.isEmpty() || !form)
        return {};
    const QString upperType = type.toUpper();
    for (Node* element : form->formElements()) {
        if (element->type().toUpper() != upperType)
            continue;
        if (element->value() != caption && element->innerHTML() != caption)
            continue;
        const QString href = element->href();
        if (found)
            *found = true;
        if (click)
            element->click();
        return href;
    }
    return {};
}

QString LoadFailureText(const Browser& browser)
{
    const int status = browser.httpStatus();
    if (status >= 400)
        return QStringLiteral("HTTP 状态 %1").arg(status);
    if (!browser.loadIncomplete())
        return {};
    switch (QNetworkReply::NetworkError(browser.networkError())) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("无法连接（连接被拒绝）");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("无法连接（找不到主机）");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("超时（服务器没有应答）");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("连接被服务器中断");
    case QNetworkReply::OperationCanceledError:
        // The browser's own time limit cancels the request.
        if (browser.errorString() == QStringLiteral("网页下载超时"))
            return QStringLiteral("超时（网页下载超时）");
        break;
    default:
        break;
    }
    const QString error = browser.errorString();
    return error.isEmpty() ? QStringLiteral("网页没有完整下载") : error;
}

} // namespace quel::web
