#pragma once

#include "web/document.h"
#include "web/parse_arena.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace quel::web {

// How a browser retries a load that failed for a passing reason: HTTP 429, 500, 502, 503 or
// 504, no answer, a dropped or cut-short body, a timeout.
struct RetryPolicy
{
    int retries = 0; // further attempts after the first
    // Backoff before retry n (from 0): baseDelayMs * 2^n plus up to baseDelayMs of jitter,
    // unless the answer's Retry-After asks for another wait, which is kept within
    // maxRetryAfterMs.
    int baseDelayMs = 1000;
    int maxRetryAfterMs = 30000;
};

// A page larger than this is not taken: no marketplace page comes near it (the largest
// demo page is well under 1 MB), and parsing costs dozens of times the page's size.
inline constexpr qsizetype kMaxPageBytes = 4 * 1024 * 1024;

// The browser object that both programs load pages in: HTTP/HTTPS through QtNetwork
// (redirects, gzip, a cookie jar of its own, request timeouts), HTML through gumbo, no
// scripts. A navigation loads asynchronously: ready state "loading" and busy until the
// body has arrived and been parsed, then "complete", not busy, the location is the final
// address, and downloadComplete() fires. A failed load (refused, timed out, HTTP status
// >= 400, cut short) completes the same way with whatever body arrived, once the retries
// that its retry policy allows are spent.
class Browser : public QObject
{
    Q_OBJECT

public:
    explicit Browser(QObject* parent = nullptr);
    ~Browser() override;

    // Starts loading the address ("about:blank" gives an empty page). The location becomes
    // the address at once, the document an empty one that is "loading". A navigation still
    // running is abandoned.
    void navigate(const QString& address);
    // Submits data as a form does (GET puts the data in the address's query).
    void submit(const QUrl& action, bool post, const QByteArray& formData);
    // Abandons the running navigation; the page completes with what arrived.
    void stop();

    QString locationUrl() const { return m_location; }
    bool busy() const { return m_busy; }
    // The document's ready state ("uninitialized", "loading", "complete").
    QString readyState() const { return m_document->readyState(); }
    // Never null. The previous page's document stays valid until the next navigation, so an
    // element that starts a navigation by a click is not destroyed under its caller.
    Document* document() const { return m_document.get(); }

    // No dialogs are ever shown; the flag is kept for callers that set it.
    bool silent() const { return m_silent; }
    void setSilent(bool silent) { m_silent = silent; }

    // Free text through which callers see a completed download ("DownFinished").
    QString tag() const { return m_tag; }
    void setTag(const QString& tag);

    // Whether a completed download of a real page sets the tag (MarkDownloadFinished);
    // on by default, as every browser of the system does it.
    bool marksDownloadFinished() const { return m_marksDownloadFinished; }
    void setMarksDownloadFinished(bool on) { m_marksDownloadFinished = on; }

    // Time without any data after which a request is abandoned, and the longest one request
    // may take (each retry has its own); both in milliseconds.
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }
    int requestTimeout() const { return m_requestTimeoutMs; }
    void setLoadTimeLimit(int ms) { m_loadLimitMs = ms; }

    void setRetryPolicy(const RetryPolicy& policy) { m_retryPolicy = policy; }
    const RetryPolicy& retryPolicy() const { return m_retryPolicy; }
    // Asked before every request (retries too) how many milliseconds it must wait, so that
    // a rate limit is kept; none by default.
    void setRequestGate(std::function<qint64()> gate) { m_requestGate = std::move(gate); }

    // Outcome of the last completed load: HTTP status (0 without a response) and a
    // description of the failure (empty when it loaded).
    int httpStatus() const { return m_httpStatus; }
    QString errorString() const { return m_errorString; }
    // The last load did not bring its whole page: no answer, a dropped, cut-short or stalled
    // body, a page too large or nested too deep. An HTTP error status with its complete
    // error page is not incomplete.
    bool loadIncomplete() const { return m_loadIncomplete; }
    // The last page's bytes hold its closing </html> tag: a body that the server cut and
    // closed, or sent under a Content-Length that lies, ends without it although the
    // transport saw nothing wrong.
    bool pageClosed() const { return m_pageClosed; }
    // The transport's error of the last completed load (a QNetworkReply::NetworkError; 0 when
    // the transport reported none).
    int networkError() const { return m_networkError; }
    // Requests the last navigation sent (1 without retries).
    int attempts() const { return m_attempts; }

    QNetworkAccessManager* network() const { return m_network; }

signals:
    // The page has arrived (or failed) and its document is complete.
    void downloadComplete();
    void documentComplete(const QString& url);
    // Ready state, busy, location or tag changed: lets waits return early.
    void stateChanged();

private:
    void start(const QUrl& url, bool post, const QByteArray& body, const QString& shownAddress);
    void beginNavigation(const QString& shownAddress);
    void sendWhenAllowed();
    void send();
    void onReadyRead();
    void onFinished();
    int retryDelayMs(const QNetworkReply& reply) const;
    void onLoadLimit();
    void complete(const QByteArray& body, const QUrl& finalUrl, const QString& contentType);
    void completeBlank(quint64 navigation);
    void dropReply();

    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;
    QTimer* m_loadLimit = nullptr;
    QTimer* m_sendTimer = nullptr; // a request waiting for its rate slot or backoff
    struct Request
    {
        QUrl url;
        bool post = false;
        QByteArray body;
        QByteArray referer;
    } m_request;
    RetryPolicy m_retryPolicy;
    std::function<qint64()> m_requestGate;
    QByteArray m_received;
    bool m_receivedTooMuch = false;
    std::unique_ptr<Document> m_document;
    std::unique_ptr<ParseArena> m_arena; // reused by every parse of this browser
    std::unique_ptr<Document> m_previous;
    QString m_location;
    QString m_requestedAddress;
    QString m_tag;
    QString m_errorString;
    quint64 m_navigation = 0;
    int m_httpStatus = 0;
    int m_networkError = 0;
    int m_attempts = 0;
    bool m_loadIncomplete = false;
    bool m_pageClosed = false;
    bool m_stopping = false;
    bool m_backingOff = false;
    int m_requestTimeoutMs = 30000;
    int m_loadLimitMs = 120000;
    bool m_busy = false;
    bool m_silent = false;
    bool m_marksDownloadFinished = true;
};

} // namespace quel::web
