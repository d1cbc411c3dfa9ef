#pragma once

#include <QString>

namespace quel::web {
class Browser;
}

// The worker's own page operations: its navigation waits for the location only, and its
// element search can match by containment.
namespace quel::worker {

inline const QString kStartDown = QStringLiteral("StartDown");
inline const QString kDownFinished = QStringLiteral("DownFinished");
// The match mode that asks for the exact text; any other mode matches by containment.
inline const QString kMatchExact = QStringLiteral("=");

// Waits up to 101 rounds of pauseMs until the browser reports the address as its location.
// Returns early when *stopFlag becomes true (the job has ended meanwhile).
void WaitForLocation(
    web::Browser& browser, const QString& url, int pauseMs, const bool* stopFlag = nullptr);

// Starts a silent navigation, sets the tag to "StartDown" and waits for the location.
void StartNavigation(
    web::Browser& browser, const QString& url, int pauseMs, const bool* stopFlag = nullptr);

// The page has loaded completely and its download-complete notification has arrived.
bool IsPageReady(const web::Browser& browser);

// Finds the first element (of tagName, any when empty) whose text, markup removed, equals
// text (matchMode "=") or contains it (any other mode). Empties the tag, clicks the element
// when asked, empties the tag again, and returns its link target; "" when none matched.
QString FindElementAndClick(web::Browser& browser, const QString& text, bool click,
    const QString& tagName, const QString& matchMode);

// The load that completed last failed: no connection, a timeout, an HTTP error status.
bool PageLoadFailed(const web::Browser& browser);

} // namespace quel::worker
