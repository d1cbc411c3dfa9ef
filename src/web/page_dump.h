#pragma once

#include <QString>

namespace quel::web {

// Loads one address in a fresh browser and returns its body markup in the serialised
// form: what every marker is written against. Needs a running QCoreApplication; returns
// within about timeoutMs. error receives the failure of a load that did not succeed
// (the markup of an error page is still returned).
QString LoadBodyHtml(const QString& address, QString* error = nullptr, int timeoutMs = 30000);

} // namespace quel::web
