#include "download/market_probe.h"

#include <QTcpSocket>
#include <QUrl>

namespace quel::download {

bool MarketAnswers(const QString& url, int timeoutMs, QString* why)
{
    const QUrl address(url);
    if (!address.isValid() || address.host().isEmpty()) {
        if (why)
            *why = QStringLiteral("not an address: ") + url;
        return false;
    }
    const int port = address.port(address.scheme() == QLatin1String("https") ? 443 : 80);
    QTcpSocket socket;
    socket.connectToHost(address.host(), quint16(port));
    if (socket.waitForConnected(timeoutMs)) {
        socket.disconnectFromHost();
        return true;
    }
    if (why)
        *why = socket.error() == QAbstractSocket::SocketTimeoutError
            ? QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000)
            : socket.errorString();
    return false;
}

} // namespace quel::download
