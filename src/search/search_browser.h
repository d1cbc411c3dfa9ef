#pragma once

#include <QString>

namespace quel::search {

// What the product search does with its browser object: the page toolkit's operations on
// the one browser it drives, plus showing it over the main window while it runs.
class SearchBrowser
{
public:
    virtual ~SearchBrowser() = default;

    // NavigateTo: through about:blank to the address.
    virtual void navigateTo(const QString& address) = 0;
    // WaitForPage: false only when checkCancel is set and the progress window was closed.
    virtual bool waitForPage(int budget, bool checkCancel, const QString& marker) = 0;
    // The body markup as the engine serialises it (GetBodyHtml).
    virtual QString bodyHtml() = 0;
    // Empties the completion tag before a navigation that is to be observed.
    virtual void clearTag() = 0;
    // Sets a field of a named form; false when the page has no such form or field.
    virtual bool setFormField(const QString& form, const QString& field, const QString& value) = 0;
    // FindFormButton with click: false when the form or the button is missing.
    virtual bool clickFormButton(const QString& form, const QString& caption, const QString& type)
        = 0;
    // FindElementAndClick: the link target of the first element with that text and tag.
    virtual QString findElementAndClick(const QString& text, bool click, const QString& tag) = 0;
    // Waits until the page's state changes (a navigation starts or ends) or about ms pass.
    virtual void pauseUntilChange(int ms) = 0;

    // Why the last page did not load, in the user's words; empty when it loaded.
    virtual QString loadFailure() const { return {}; }
    // The address of the page in the browser.
    virtual QString location() const { return {}; }

    // PlaceBrowser / HideBrowser: what loads is shown over the main window while the search
    // runs. Nothing to show without a window.
    virtual void place() { }
    virtual void hide() { }
};

} // namespace quel::search
