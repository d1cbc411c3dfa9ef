#include "download/market_probe.h"

#include <QTcpSocket>
#include <QUrl>

namespace quel::download {

bool MarketAnswers(const QString& url, int timeoutMs, QString* why, QString* reason)
{
    const QUrl address(url);
    if (!address.isValid() || address.host().isEmpty()) {
        if (why)
            *why = QStringLiteral("not an address: ") + url;
        if (reason)
            *reason = QStringLiteral("不是有效的网址");
        return false;
    }
    const int port = address.port(address.scheme() == QLatin1String("https") ? 443 : 80);
    QTcpSocket socket;
    socket.connectToHost(address.host(), quint16(port));
    if (socket.waitForConnected(timeoutMs)) {
        socket.disconnectFromHost();
        return true;
    }
    const bool timedOut = socket.error() == QAbstractSocket::SocketTimeoutError;
    if (why)
        *why = timedOut ? QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000)
                        : socket.errorString();
    if (reason) {
        switch (socket.error()) {
        case QAbstractSocket::ConnectionRefusedError:
            *reason = QStringLiteral("连接被拒绝");
            break;
        case QAbstractSocket::HostNotFoundError:
            *reason = QStringLiteral("找不到主机 ") + address.host();
            break;
        case QAbstractSocket::SocketTimeoutError:
            *reason = QStringLiteral("%1 秒内没有应答").arg(timeoutMs / 1000);
            break;
        default:
            *reason = QStringLiteral("无法连接（") + socket.errorString() + QStringLiteral("）");
            break;
        }
    }
    return false;
}

QString MarketUnreachableMessage(const QString& url, const QString& reason)
{
    return QStringLiteral("无法连接市场：") + url + QStringLiteral("\n原因：") + reason
        + QStringLiteral("\n没有开始下载，产品和买家都保持原样。请确认网络或市场地址后再试。");
}

} // namespace quel::download
