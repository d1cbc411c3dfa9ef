#include "web/charset.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

namespace quel::web {

namespace {

// The name the codec library decodes a canonical charset with: GBK pages are read as
// GB18030, its superset, so that no character of a real page is lost.
QByteArray DecoderName(const QString& charset)
{
    if (charset == u"GBK")
        return "GB18030";
    return charset.toLatin1();
}

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The value of the first "charset = value" in text (blanks around "=", an optional opening
// quote), up to a blank or one of stops; empty when there is none. With wordStart,
// "charset" must not continue a longer word.
QString CharsetParameter(QStringView text, QStringView stops, bool wordStart)
{
    const QStringView key(u"charset");
    for (qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(key, at + 1, Qt::CaseInsensitive)) {
        if (wordStart && at > 0 && IsWordChar(text[at - 1]))
            continue;
        qsizetype i = at + key.size();
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i >= text.size() || text[i] != u'=')
            continue;
        ++i;
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i < text.size() && (text[i] == u'"' || text[i] == u'\''))
            ++i;
        qsizetype end = i;
        while (end < text.size() && !text[end].isSpace() && !stops.contains(text[end]))
            ++end;
        if (end > i)
            return text.mid(i, end - i).toString();
    }
    return {};
}

bool IsValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes); // decode() converts only when assigned
    return !decoder.hasError();
}

} // namespace

QString CanonicalCharset(const QString& label)
{
    QString l = label.trimmed().toLower();
    if (l.size() >= 2 && (l.startsWith(QLatin1Char('"')) || l.startsWith(QLatin1Char('\''))))
        l = l.mid(1, l.size() - 2).trimmed();
    if (l.isEmpty())
        return {};
    if (l == u"utf-8" || l == u"utf8" || l == u"unicode-1-1-utf-8")
        return QStringLiteral("UTF-8");
    if (l == u"gbk" || l == u"gb2312" || l == u"x-gbk" || l == u"cp936" || l == u"ms936"
        || l == u"windows-936" || l == u"csgb2312" || l == u"chinese" || l == u"gb_2312-80"
        || l == u"iso-ir-58" || l == u"gb_2312" || l == u"x-gb2312")
        return QStringLiteral("GBK");
    if (l == u"gb18030")
        return QStringLiteral("GB18030");
    if (l == u"big5" || l == u"big5-hkscs" || l == u"x-x-big5")
        return QStringLiteral("Big5");
    if (l == u"iso-8859-1" || l == u"latin1" || l == u"us-ascii" || l == u"ascii")
        return QStringLiteral("windows-1252");
    QStringDecoder probe(l.toLatin1().constData());
    if (!probe.isValid())
        return {};
    return probe.name() ? QString::fromLatin1(probe.name()) : l;
}

QString CharsetFromContentType(const QString& contentType)
{
    return CanonicalCharset(CharsetParameter(contentType, u"\"';", false));
}

QString CharsetFromMeta(const QByteArray& bytes)
{
    // Declarations belong in the head; the first 4 KB hold it on every page we read.
    const QString head = QString::fromLatin1(bytes.left(4096));
    const QStringView view(head);
    for (qsizetype at = view.indexOf(u"<meta", 0, Qt::CaseInsensitive); at >= 0;
         at = view.indexOf(u"<meta", at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + 5;
        if (after < view.size() && IsWordChar(view[after]))
            continue; // <metadata> and the like
        const qsizetype end = view.indexOf(u'>', after);
        if (end < 0)
            break;
        const QString name
            = CanonicalCharset(CharsetParameter(view.mid(at, end - at + 1), u"\"';/>", true));
        if (!name.isEmpty())
            return name;
    }
    return {};
}

QString DetectCharset(const QByteArray& bytes, const QString& contentType)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("UTF-8");
    QString name = CharsetFromContentType(contentType);
    if (name.isEmpty())
        name = CharsetFromMeta(bytes);
    if (!name.isEmpty())
        return name;
    return IsValidUtf8(bytes) ? QStringLiteral("UTF-8") : QStringLiteral("GB18030");
}

QString DecodeBytes(const QByteArray& bytes, const QString& charset)
{
    QStringDecoder decoder(DecoderName(charset).constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}

QByteArray EncodeText(const QString& text, const QString& charset)
{
    QStringEncoder encoder(charset.toLatin1().constData());
    if (!encoder.isValid() || charset == u"UTF-8")
        return text.toUtf8();
    QByteArray whole = encoder.encode(text);
    if (!encoder.hasError())
        return whole;
    // Some character is not in the charset: encode piece by piece and send the missing
    // ones as numeric references, as browsers do.
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
        const QString piece = text.mid(i, pair ? 2 : 1);
        QStringEncoder one(charset.toLatin1().constData());
        const QByteArray bytes = one.encode(piece);
        if (one.hasError() || bytes.isEmpty())
            out += "&#" + QByteArray::number(piece.toUcs4().value(0)) + ';';
        else
            out += bytes;
        if (pair)
            ++i;
    }
    return out;
}

QByteArray FormUrlEncode(const QString& text, const QString& charset)
{
    // Line breaks in form data are CR LF, whatever the field held.
    QString normalised = text;
    normalised.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    normalised.replace(QLatin1Char('\n'), QLatin1StringView("\r\n"));
    const QByteArray bytes = EncodeText(normalised, charset);
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*'
            || c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace quel::web
