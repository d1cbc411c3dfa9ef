#pragma once

#include <QString>

namespace quel::download {

// Whether anything accepts a connection at the host and port of an http(s) address within
// timeoutMs. Only a refused, unresolvable or silent address counts as unreachable: a page
// that fails later is the jobs' business. False with the reason in why otherwise, and the
// same reason in the user's words in reason.
bool MarketAnswers(
    const QString& url, int timeoutMs, QString* why = nullptr, QString* reason = nullptr);

// The message of a download window whose marketplace does not answer: nothing was started.
QString MarketUnreachableMessage(const QString& url, const QString& reason);

} // namespace quel::download
