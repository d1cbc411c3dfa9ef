#include "search/web_search_browser.h"

#include "core/feedback.h"
#include "web/browser.h"
#include "web/dom.h"
#include "web/page_loader.h"

#include <QEventLoop>
#include <QTimer>

namespace quel::search {

WebSearchBrowser::WebSearchBrowser(
    web::Browser& browser, const core::Feedback& feedback, int passMs)
    : m_browser(browser)
    , m_feedback(feedback)
    , m_passMs(passMs)
{ }

void WebSearchBrowser::navigateTo(const QString& address)
{
    web::NavigateTo(m_browser, address);
}

bool WebSearchBrowser::waitForPage(int budget, bool checkCancel, const QString& marker)
{
    return web::WaitForPage(budget, m_browser, checkCancel, marker, m_feedback, m_passMs);
}

QString WebSearchBrowser::bodyHtml()
{
    return web::GetBodyHtml(m_browser);
}

void WebSearchBrowser::clearTag()
{
    m_browser.setTag(QString());
}

bool WebSearchBrowser::setFormField(const QString& form, const QString& field, const QString& value)
{
    web::Node* formNode = m_browser.document()->form(form);
    web::Node* fieldNode = formNode ? formNode->field(field) : nullptr;
    if (!fieldNode)
        return false;
    fieldNode->setValue(value);
    return true;
}

bool WebSearchBrowser::clickFormButton(
    const QString& form, const QString& caption, const QString& type)
{
    web::Node* formNode = m_browser.document()->form(form);
    if (!formNode || caption.isEmpty())
        return false;
    // The button's href is empty, so look for it first to know whether there is one.
    bool found = false;
    for (const web::Node* control : formNode->formElements()) {
        if (control->type().toUpper() == type.toUpper()
            && (control->value() == caption || control->innerHTML() == caption)) {
            found = true;
            break;
        }
    }
    if (!found)
        return false;
    web::FindFormButton(formNode, caption, true, type);
    return true;
}

QString WebSearchBrowser::findElementAndClick(const QString& text, bool click, const QString& tag)
{
    return web::FindElementAndClick(m_browser, text, click, tag);
}

void WebSearchBrowser::pauseUntilChange(int ms)
{
    if (ms <= 0 || m_browser.busy() || m_browser.readyState() != QStringLiteral("complete"))
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_browser, &web::Browser::stateChanged, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

QString WebSearchBrowser::loadFailure() const
{
    return web::LoadFailureText(m_browser);
}

QString WebSearchBrowser::location() const
{
    return m_browser.locationUrl();
}

} // namespace quel::search
