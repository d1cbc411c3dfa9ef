// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/change_digest.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace quel::exports {

// The Chinese caption of a change kind ("price" -> "调价"), for the page and the HTML file.
QString ChangeKindCaption(const QString& kind);

// The digest as CSV: UTF-8 with a byte-order mark, the heading
// kind,product_id,shop,name,old,new,change_pct, one line per change, CR LF.
QByteArray DigestCsv(const QList<store::Change>& changes);
// The digest as one self-contained HTML page (no scripts, no outside files).
QByteArray DigestHtml(const QList<store::Change>& changes, const QDateTime& run, double threshold);

// Writes the digest to path: CSV for a ".csv" name, HTML for ".html" or ".htm"; any other
// name is refused. The file appears whole or not at all.
bool WriteDigestFile(const QString& path, const QList<store::Change>& changes, const QDateTime& run,
    double threshold, QString* error);

} // namespace quel::exports
