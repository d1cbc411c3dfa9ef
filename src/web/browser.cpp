#include "web/browser.h"

#include "web/page_loader.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <utility>

namespace quel::web {

namespace {

const QString kBlank = QStringLiteral("about:blank");
// A page larger than this is cut off: no marketplace page comes near it, and a broken
// server must not fill the memory.
constexpr qsizetype kMaxPageBytes = 8 * 1024 * 1024;

} // namespace

Browser::Browser(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_loadLimit(new QTimer(this))
    , m_document(std::make_unique<Document>())
    , m_arena(std::make_unique<ParseArena>())
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_loadLimit->setSingleShot(true);
    connect(m_loadLimit, &QTimer::timeout, this, &Browser::onLoadLimit);
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
    ++m_navigation;
    m_received.clear();
    m_receivedTooMuch = false;
    m_requestedAddress = shownAddress;
    m_location = shownAddress;
    m_busy = true;
    m_httpStatus = 0;
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
        QMetaObject::invokeMethod(
            this,
            [this, navigation, url] {
                if (navigation == m_navigation && m_busy)
                    complete({}, url, {});
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_requestTimeoutMs);
    request.setHeader(
        QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/5.0 (compatible; quelmar)"));
    if (!previousLocation.isEmpty() && previousLocation != kBlank)
        request.setRawHeader("Referer", QUrl(previousLocation).toEncoded());
    if (post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
            QStringLiteral("application/x-www-form-urlencoded"));
        m_reply = m_network->post(request, body);
    } else {
        m_reply = m_network->get(request);
    }
    connect(m_reply, &QNetworkReply::readyRead, this, &Browser::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Browser::onFinished);
    m_loadLimit->start(m_loadLimitMs);
}

void Browser::stop()
{
    if (m_reply) {
        m_errorString = QStringLiteral("已中止");
        onFinished();
    }
}

void Browser::onReadyRead()
{
    if (!m_reply)
        return;
    m_received += m_reply->readAll();
    if (m_received.size() > kMaxPageBytes) {
        m_received.truncate(kMaxPageBytes);
        m_receivedTooMuch = true;
        m_errorString = QStringLiteral("网页过大，已截断");
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

void Browser::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    if (!m_receivedTooMuch)
        m_received += reply->readAll();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_httpStatus = status.isValid() ? status.toInt() : 0;
    if (m_errorString.isEmpty() && reply->error() != QNetworkReply::NoError)
        m_errorString = reply->errorString();
    if (m_errorString.isEmpty() && m_httpStatus >= 400)
        m_errorString = QStringLiteral("HTTP %1").arg(m_httpStatus);
    const QUrl finalUrl = reply->url();
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    dropReply();
    const QByteArray body = std::exchange(m_received, {});
    complete(body, finalUrl, contentType);
}

void Browser::complete(const QByteArray& body, const QUrl& finalUrl, const QString& contentType)
{
    auto doc = Document::parseBytes(body, finalUrl, contentType, m_arena.get());
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
