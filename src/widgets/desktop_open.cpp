#include "widgets/desktop_open.h"

#include "widgets/address_check.h"

#include <QDesktopServices>
#include <QUrl>

namespace quel::widgets {

bool OpenInDefaultBrowser(const QString& address)
{
    if (!IsWebAddress(address))
        return false;
    return QDesktopServices::openUrl(QUrl(address.trimmed(), QUrl::StrictMode));
}

} // namespace quel::widgets
