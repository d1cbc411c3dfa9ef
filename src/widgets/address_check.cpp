#include "widgets/address_check.h"

#include <QUrl>

namespace quel::widgets {

bool IsWebAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

} // namespace quel::widgets
