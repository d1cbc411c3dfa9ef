#pragma once

#include <QByteArray>
#include <QString>

namespace quel::web {

// Page charsets. Names are canonical: "UTF-8", "GBK", "GB18030", "Big5", or whatever other
// name the codec library knows. "gb2312" and its aliases count as GBK, as browsers do.

// The charset label from a Content-Type value ("text/html; charset=gbk" gives "GBK");
// empty when there is none or it is unknown.
QString CharsetFromContentType(const QString& contentType);
// The charset declared by a <meta charset> or http-equiv Content-Type in the first bytes.
QString CharsetFromMeta(const QByteArray& bytes);
// Header, else meta, else UTF-8 when the bytes are valid UTF-8 (or carry its byte-order
// mark), else GB18030.
QString DetectCharset(const QByteArray& bytes, const QString& contentType);
// Canonical name of a label; empty when the codec library does not know it.
QString CanonicalCharset(const QString& label);

// Decodes with the named charset; undecodable bytes become U+FFFD.
QString DecodeBytes(const QByteArray& bytes, const QString& charset);
// Encodes with the named charset; a character the charset lacks is sent as &#N;, as
// browsers do for form data.
QByteArray EncodeText(const QString& text, const QString& charset);

// application/x-www-form-urlencoded encoding of one name or value in the charset:
// letters, digits and *-._ stay, blank becomes +, every other byte %XX.
QByteArray FormUrlEncode(const QString& text, const QString& charset);

} // namespace quel::web
