#include "web/desktop_open.h"

#include "web/address_check.h"

#include <QDesktopServices>
#include <QUrl>

namespace quel::web {

bool OpenInDefaultBrowser(const QString& address)
{
    if (!IsWebAddress(address))
        return false;
    return QDesktopServices::openUrl(QUrl(address.trimmed(), QUrl::StrictMode));
}

} // namespace quel::web
