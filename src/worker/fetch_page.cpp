#include "worker/fetch_page.h"

#include "core/pause.h"
#include "core/text_cut.h"
#include "web/browser.h"
#include "web/document.h"

namespace quel::worker {

using core::StripTags;

void WaitForLocation(web::Browser& browser, const QString& url, int pauseMs, const bool* stopFlag)
{
    for (int round = 0; round <= 100; ++round) {
        const QString location = browser.locationUrl();
        core::Pause(pauseMs);
        if (location == url || (stopFlag && *stopFlag))
            return;
    }
}

void StartNavigation(web::Browser& browser, const QString& url, int pauseMs, const bool* stopFlag)
{
    browser.setSilent(true);
    browser.navigate(url);
    browser.setTag(kStartDown);
    WaitForLocation(browser, url, pauseMs, stopFlag);
}

bool IsPageReady(const web::Browser& browser)
{
    return browser.readyState().toLower() == u"complete" && browser.tag() == kDownFinished
        && !browser.busy();
}

QString FindElementAndClick(web::Browser& browser, const QString& text, bool click,
    const QString& tagName, const QString& matchMode)
{
    if (text.isEmpty())
        return {};
    const bool exact = matchMode == kMatchExact;
    // A click replaces the document; the list walked belongs to the old one, which the
    // browser keeps alive until its next navigation.
    const std::vector<web::Node*> elements = browser.document()->all();
    for (web::Node* element : elements) {
        if (!tagName.isEmpty() && element->tagName().compare(tagName, Qt::CaseInsensitive) != 0)
            continue;
        const QString shown = StripTags(element->innerHTML());
        if (exact ? shown != text : !shown.contains(text))
            continue;
        const QString target = element->href();
        browser.setTag(QString());
        if (click)
            element->click();
        browser.setTag(QString());
        return target;
    }
    return {};
}

bool PageLoadFailed(const web::Browser& browser)
{
    return !browser.errorString().isEmpty() || browser.httpStatus() >= 400;
}

} // namespace quel::worker
