#pragma once

#include <QString>

namespace quel::core {
class Feedback;
}

namespace quel::web {

class Browser;
class Node;

inline constexpr QStringView kDownFinished = u"DownFinished";

// Silent navigation through "about:blank", so the location changes even when the same
// address is loaded twice; each step waits up to 1000 event passes for the location.
void NavigateTo(Browser& browser, const QString& address);

// Waits for the browser's page in three stages (ready state "complete", not busy, tag
// "DownFinished"), each for at most budget passes of passMs. A pass ends early when the
// page's state changes. After each pass: with checkCancel, a closed progress window
// (feedback.isIndicatorOpen() false) returns false; a non-empty marker found in the body
// markup returns true. Otherwise true once the stages are done, also when budgets ran out.
bool WaitForPage(int budget, Browser& browser, bool checkCancel, const QString& marker,
    const core::Feedback& feedback, int passMs = 1000);
// Without cancellation.
bool WaitForPage(int budget, Browser& browser, const QString& marker, int passMs = 1000);

// Why the browser's last load did not bring its page, in the user's words: no connection
// (with the transport's reason), timed out, or the HTTP status. Empty when it loaded.
QString LoadFailureText(const Browser& browser);

// Sets the tag to "DownFinished" unless the location is "about:blank" or "http:///".
void MarkDownloadFinished(Browser& browser);

// The body markup in the serialised form; empty without a body.
QString GetBodyHtml(const Browser& browser);
// The marker occurs in GetBodyHtml (exact, case-sensitive).
bool PageContains(const QString& marker, const Browser& browser);

enum class MatchMode
{
    Exact,
    Contains
};

// Walks the document's elements in order and takes the first whose upper-cased tag name
// equals tagName (any tag when tagName is empty) and whose inner markup, stripped of all
// tags, equals (or with Contains, contains) text. Reads its href, empties the tag, clicks
// it when asked, and returns the href (empty when nothing matched or text is empty).
QString FindElementAndClick(Browser& browser, const QString& text, bool click,
    const QString& tagName, MatchMode mode = MatchMode::Exact);

// Walks a form's controls and takes the first whose upper-cased type equals type and
// whose value or inner markup equals caption; clicks it when asked; returns its href
// (empty for buttons, so found tells whether there was one).
QString FindFormButton(
    Node* form, const QString& caption, bool click, const QString& type, bool* found = nullptr);

} // namespace quel::web
