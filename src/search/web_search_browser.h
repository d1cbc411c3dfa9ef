#pragma once

#include "search/search_browser.h"

namespace quel::core {
class Feedback;
}
namespace quel::web {
class Browser;
}

namespace quel::search {

// The search's browser operations on one engine browser object. Waits check the progress
// window of the given feedback.
class WebSearchBrowser : public SearchBrowser
{
public:
    WebSearchBrowser(web::Browser& browser, const core::Feedback& feedback, int passMs = 1000);

    void navigateTo(const QString& address) override;
    bool waitForPage(int budget, bool checkCancel, const QString& marker) override;
    QString bodyHtml() override;
    void clearTag() override;
    bool setFormField(const QString& form, const QString& field, const QString& value) override;
    bool clickFormButton(const QString& form, const QString& caption, const QString& type) override;
    QString findElementAndClick(const QString& text, bool click, const QString& tag) override;
    void pauseUntilChange(int ms) override;
    QString loadFailure() const override;
    QString location() const override;

    web::Browser& browser() const { return m_browser; }

private:
    web::Browser& m_browser;
    const core::Feedback& m_feedback;
    int m_passMs;
};

} // namespace quel::search
