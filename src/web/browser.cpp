#include "web/browser.h"

#include "web/page_loader.h"

#include <QDateTime>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace quel::web {

namespace {

const QString kBlank = QStringLiteral("about:blank");

// Answers that a later attempt may get right: the server is overloaded or asks us to slow
// down.
bool IsPassingStatus(int status)
{
    return status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

QString TooLargeText()
{
    return QStringLiteral("网页过大（超过 %1 MB）").arg(kMaxPageBytes >> 20);
}

// The reply's error stands for an HTTP error status (its error page arrived whole), not a
// failed transfer.
bool IsStatusError(QNetworkReply::NetworkError error)
{
    return error >= QNetworkReply::ContentAccessDenied;
}

// The closing tag within the page's last bytes, in any letter case (a script or comment
// after it is allowed).
bool HoldsClosingTag(const QByteArray& body)
{
    constexpr qsizetype kTail = 4096;
    const QByteArray tail = body.right(kTail).toLower();
    return tail.contains("</html");
}

} // namespace

Browser::Browser(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_loadLimit(new QTimer(this))
    , m_sendTimer(new QTimer(this))
    , m_document(std::make_unique<Document>())
    , m_arena(std::make_unique<ParseArena>())
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_loadLimit->setSingleShot(true);
    connect(m_loadLimit, &QTimer::timeout, this, &Browser::onLoadLimit);
    m_sendTimer->setSingleShot(true);
    // A server that said when to come back turns away a request that comes early.
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    connect(m_sendTimer, &QTimer::timeout, this, [this] {
        // After a backoff the request still waits for its rate slot.
        if (std::exchange(m_backingOff, false))
            sendWhenAllowed();
        else
            send();
    });
    m_document->setBrowser(this);
    connect(this, &Browser::downloadComplete, this, [this] {
        if (m_marksDownloadFinished)
            MarkDownloadFinished(*this);
    });
}

Browser::~Browser()
{
    dropReply();
}

void Browser::setTag(const QString& tag)
{
    if (tag == m_tag)
        return;
    m_tag = tag;
    emit stateChanged();
}

void Browser::dropReply()
{
    m_loadLimit->stop();
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void Browser::beginNavigation(const QString& shownAddress)
{
    dropReply();
    m_sendTimer->stop();
    m_backingOff = false;
    ++m_navigation;
    m_received.clear();
    m_receivedTooMuch = false;
    m_requestedAddress = shownAddress;
    m_location = shownAddress;
    m_busy = true;
    m_httpStatus = 0;
    m_networkError = 0;
    m_attempts = 0;
    m_loadIncomplete = false;
    m_pageClosed = false;
    m_stopping = false;
    m_errorString.clear();
    m_previous = std::move(m_document);
    m_document = std::make_unique<Document>();
    m_document->setBrowser(this);
    m_document->setReadyState(QStringLiteral("loading"));
    emit stateChanged();
}

void Browser::navigate(const QString& address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.compare(kBlank, Qt::CaseInsensitive) == 0) {
        beginNavigation(kBlank);
        // The blank page completes on the next turn of the event loop, as a real load would.
        const quint64 navigation = m_navigation;
        QMetaObject::invokeMethod(
            this, [this, navigation] { completeBlank(navigation); }, Qt::QueuedConnection);
        return;
    }
    const QUrl url = QUrl::fromUserInput(trimmed);
    start(url, false, {}, address);
}

void Browser::submit(const QUrl& action, bool post, const QByteArray& formData)
{
    QUrl url = action;
    url.setFragment(QString());
    if (!post) {
        url.setQuery(QString::fromLatin1(formData), QUrl::StrictMode);
        start(url, false, {}, url.toString(QUrl::FullyEncoded));
        return;
    }
    start(url, true, formData, url.toString(QUrl::FullyEncoded));
}

void Browser::start(const QUrl& url, bool post, const QByteArray& body, const QString& shownAddress)
{
    const QString previousLocation = m_location;
    beginNavigation(shownAddress);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        // Not a web address: the load fails at once, with an empty page.
        const quint64 navigation = m_navigation;
        m_errorString = QStringLiteral("不支持的网址：") + shownAddress;
        m_loadIncomplete = true;
        QMetaObject::invokeMethod(
            this,
            [this, navigation, url] {
                if (navigation == m_navigation && m_busy)
                    complete({}, url, {});
            },
            Qt::QueuedConnection);
        return;
    }
    m_request.url = url;
    m_request.post = post;
    m_request.body = body;
    m_request.referer.clear();
    if (!previousLocation.isEmpty() && previousLocation != kBlank)
        m_request.referer = QUrl(previousLocation).toEncoded();
    sendWhenAllowed();
}

void Browser::sendWhenAllowed()
{
    const qint64 wait = m_requestGate ? m_requestGate() : 0;
    if (wait > 0)
        m_sendTimer->start(int(std::min<qint64>(wait, 24 * 3600 * 1000)));
    else
        send();
}

void Browser::send()
{
    QNetworkRequest request(m_request.url);
    request.setTransferTimeout(m_requestTimeoutMs);
    request.setHeader(
        QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/5.0 (compatible; quelmar)"));
    if (!m_request.referer.isEmpty())
        request.setRawHeader("Referer", m_request.referer);
    ++m_attempts;
    if (m_request.post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
            QStringLiteral("application/x-www-form-urlencoded"));
        m_reply = m_network->post(request, m_request.body);
    } else {
        m_reply = m_network->get(request);
    }
    connect(m_reply, &QNetworkReply::readyRead, this, &Browser::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Browser::onFinished);
    m_loadLimit->start(m_loadLimitMs);
}

void Browser::stop()
{
    if (m_reply || m_sendTimer->isActive()) {
        m_errorString = QStringLiteral("已中止");
        m_loadIncomplete = true;
        m_stopping = true;
        if (m_reply) {
            onFinished();
        } else {
            m_sendTimer->stop();
            m_backingOff = false;
            complete({}, m_request.url, {});
        }
    }
}

void Browser::onReadyRead()
{
    if (!m_reply)
        return;
    const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    m_received += m_reply->readAll();
    if (m_received.size() > kMaxPageBytes || announced > kMaxPageBytes) {
        // Not a page of the marketplace: drop it rather than spend memory on parsing it.
        m_received.clear();
        m_receivedTooMuch = true;
        m_errorString = TooLargeText();
        onFinished();
    }
}

void Browser::onLoadLimit()
{
    if (!m_reply)
        return;
    m_errorString = QStringLiteral("网页下载超时");
    onFinished();
}

int Browser::retryDelayMs(const QNetworkReply& reply) const
{
    const int base = std::max(m_retryPolicy.baseDelayMs, 0);
    const QByteArray retryAfter = reply.rawHeader("Retry-After").trimmed();
    if (!retryAfter.isEmpty()) {
        // Seconds, or the HTTP date from which on the server will answer again.
        bool seconds = false;
        qint64 ms = retryAfter.toLongLong(&seconds) * 1000;
        if (!seconds) {
            const QDateTime at
                = QDateTime::fromString(QString::fromLatin1(retryAfter), Qt::RFC2822Date);
            ms = at.isValid() ? QDateTime::currentDateTimeUtc().msecsTo(at) : -1;
        }
        if (ms >= 0)
            return int(std::min<qint64>(ms, std::max(m_retryPolicy.maxRetryAfterMs, 0)));
    }
    const int doubling = std::min(m_attempts - 1, 16);
    const qint64 backoff = qint64(base) << doubling;
    const int jitter = base > 0 ? int(QRandomGenerator::global()->bounded(base + 1)) : 0;
    return int(std::min<qint64>(backoff + jitter, std::max(m_retryPolicy.maxRetryAfterMs, base)));
}

void Browser::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    if (!m_receivedTooMuch && reply->isOpen())
        m_received += reply->readAll();
    if (m_received.size() > kMaxPageBytes) {
        m_received.clear();
        m_receivedTooMuch = true;
        m_errorString = TooLargeText();
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int httpStatus = status.isValid() ? status.toInt() : 0;
    QString error = m_errorString;
    bool incomplete = m_receivedTooMuch || !error.isEmpty();
    if (error.isEmpty() && reply->error() != QNetworkReply::NoError) {
        error = reply->errorString();
        incomplete = httpStatus < 400 || !IsStatusError(reply->error());
    }
    // A body shorter than its announced length is cut short even when the transport did not
    // notice (compressed bodies are announced in their compressed length).
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (!incomplete && announced > m_received.size()
        && reply->rawHeader("Content-Encoding").isEmpty()) {
        error = QStringLiteral("网页不完整（%1 / %2 字节）").arg(m_received.size()).arg(announced);
        incomplete = true;
    }
    if (error.isEmpty() && httpStatus >= 400)
        error = QStringLiteral("HTTP %1").arg(httpStatus);

    const bool passing = !m_stopping && !m_receivedTooMuch
        && (IsPassingStatus(httpStatus) || (incomplete && httpStatus < 400));
    if (passing && m_attempts <= m_retryPolicy.retries) {
        const int delay = retryDelayMs(*reply);
        dropReply();
        m_received.clear();
        m_errorString.clear();
        // The page stays "loading" through the backoff and the wait for a rate slot.
        m_backingOff = true;
        m_sendTimer->start(delay);
        return;
    }

    m_httpStatus = httpStatus;
    m_networkError = int(reply->error());
    m_errorString = error;
    m_loadIncomplete = incomplete;
    const QUrl finalUrl = reply->url();
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    dropReply();
    const QByteArray body = std::exchange(m_received, {});
    complete(body, finalUrl, contentType);
}

void Browser::complete(const QByteArray& body, const QUrl& finalUrl, const QString& contentType)
{
    m_pageClosed = HoldsClosingTag(body);
    auto doc = Document::parseBytes(body, finalUrl, contentType, m_arena.get());
    if (doc->refused()) {
        m_errorString = QStringLiteral("网页元素嵌套过深");
        m_loadIncomplete = true;
    }
    doc->setBrowser(this);
    doc->setReadyState(QStringLiteral("complete"));
    m_document = std::move(doc);
    // Keep the address as given unless a redirect led elsewhere.
    if (finalUrl.isValid() && finalUrl != QUrl::fromUserInput(m_requestedAddress.trimmed()))
        m_location = finalUrl.toString(QUrl::FullyEncoded);
    m_busy = false;
    const quint64 navigation = m_navigation;
    emit stateChanged();
    if (navigation != m_navigation)
        return; // a handler has already started the next navigation
    emit downloadComplete();
    if (navigation != m_navigation)
        return;
    emit documentComplete(m_location);
}

void Browser::completeBlank(quint64 navigation)
{
    if (navigation != m_navigation || !m_busy)
        return;
    auto doc = Document::parse(QString(), QUrl(kBlank));
    doc->setBrowser(this);
    m_document = std::move(doc);
    m_busy = false;
    emit stateChanged();
    if (navigation != m_navigation)
        return;
    emit downloadComplete();
    if (navigation != m_navigation)
        return;
    emit documentComplete(m_location);
}

} // namespace quel::web
