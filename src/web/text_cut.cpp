#include "web/text_cut.h"

namespace quel::web {

QString CutAtMarker(QString& text, const QString& marker, bool fromStart)
{
    if (marker.isEmpty())
        return {};
    if (fromStart) {
        const qsizetype at = text.indexOf(marker);
        if (at < 0)
            return {};
        QString before = text.left(at);
        text.remove(0, at + marker.size());
        return before;
    }
    const qsizetype at = text.lastIndexOf(marker);
    if (at < 0)
        return {};
    QString after = text.mid(at + marker.size());
    text.truncate(at);
    return after;
}

namespace {

// Whether open starts at position pos of (out + rest), where pos lies inside out.
bool OpenAtJunction(const QString& out, QStringView rest, qsizetype pos, const QString& open)
{
    const qsizetype inOut = out.size() - pos;
    if (inOut >= open.size())
        return QStringView(out).mid(pos, open.size()) == open;
    if (QStringView(out).mid(pos) != QStringView(open).left(inOut))
        return false;
    return rest.startsWith(QStringView(open).mid(inOut));
}

} // namespace

QString RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement)
{
    if (open.isEmpty() || !text.contains(open))
        return text;
    // One pass that builds the result: the same outcome as replacing the first span and
    // searching the new text again, without copying the text for every span. The search
    // resumes just before the replacement so that a span formed across it is still found.
    const bool replacementHasOpen = replacement.contains(open);
    QString out;
    out.reserve(text.size());
    const QStringView source(text);
    qsizetype pos = 0; // next unread character of text
    qsizetype searchFrom = 0; // first position of out that may begin an occurrence
    while (pos <= source.size()) {
        const QStringView rest = source.mid(pos);
        qsizetype start = -1; // position in out where open begins, or
        qsizetype openEnd = -1; // index in text just after open
        for (qsizetype j = searchFrom; j < out.size(); ++j) {
            if (OpenAtJunction(out, rest, j, open)) {
                start = j;
                openEnd = pos + open.size() - (out.size() - j);
                break;
            }
        }
        if (start < 0) {
            const qsizetype at = rest.indexOf(open);
            if (at < 0) {
                out += rest;
                break;
            }
            out += rest.left(at);
            start = out.size();
            openEnd = pos + at + open.size();
        }
        out.truncate(start);
        out += replacement;
        const qsizetype closeAt = close.isEmpty() ? openEnd : source.indexOf(close, openEnd);
        searchFrom = replacementHasOpen ? out.size() : qMax<qsizetype>(start - open.size() + 1, 0);
        if (closeAt < 0) {
            pos = source.size() + 1;
            break;
        }
        pos = closeAt + close.size();
    }
    text = out;
    return text;
}

QString StripTags(const QString& markup)
{
    QString copy = markup;
    return RemoveBetween(copy, QStringLiteral("<"), QStringLiteral(">"), QString());
}

} // namespace quel::web
