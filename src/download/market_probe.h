#pragma once

#include <QString>

namespace quel::download {

// Whether anything accepts a connection at the host and port of an http(s) address within
// timeoutMs. Only a refused, unresolvable or silent address counts as unreachable: a page
// that fails later is the jobs' business. False with the reason in why otherwise.
bool MarketAnswers(const QString& url, int timeoutMs, QString* why = nullptr);

} // namespace quel::download
