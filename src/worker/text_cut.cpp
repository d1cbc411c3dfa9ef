#include "worker/text_cut.h"

namespace quel::worker {

QString CutAtMarker(QString& text, const QString& marker, bool fromStart)
{
    if (marker.isEmpty())
        return {};
    const qsizetype at = fromStart ? text.indexOf(marker) : text.lastIndexOf(marker);
    if (at < 0)
        return {};
    const QString before = text.left(at);
    const QString after = text.mid(at + marker.size());
    if (fromStart) {
        text = after;
        return before;
    }
    text = before;
    return after;
}

QString& RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement)
{
    if (open.isEmpty())
        return text;
    // One pass from left to right; a replacement that itself contains open would otherwise
    // never end.
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (true) {
        const qsizetype start = text.indexOf(open, pos);
        if (start < 0) {
            out += QStringView(text).mid(pos);
            break;
        }
        out += QStringView(text).mid(pos, start - pos);
        out += replacement;
        const qsizetype end = close.isEmpty() ? -1 : text.indexOf(close, start + 1);
        if (end < 0) {
            pos = text.size();
            break;
        }
        pos = end + close.size();
    }
    text = out;
    return text;
}

QString StripTags(QString text)
{
    RemoveBetween(text, QStringLiteral("<"), QStringLiteral(">"), QString());
    return text;
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace quel::worker
