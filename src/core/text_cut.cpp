#include "core/text_cut.h"

namespace quel::core {

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

bool SkipPast(QString& text, const QString& marker)
{
    const qsizetype at = marker.isEmpty() ? -1 : text.indexOf(marker);
    if (at < 0)
        return false;
    text.remove(0, at + marker.size());
    return true;
}

namespace {

// Whether open occurs at position at of (out + rest[pos...]).
bool OccursAt(
    const QString& out, const QString& rest, qsizetype pos, qsizetype at, const QString& open)
{
    const qsizetype total = out.size() + rest.size() - pos;
    if (at + open.size() > total)
        return false;
    for (qsizetype i = 0; i < open.size(); ++i) {
        const qsizetype k = at + i;
        const QChar c = k < out.size() ? out[k] : rest[pos + k - out.size()];
        if (c != open[i])
            return false;
    }
    return true;
}

} // namespace

QString RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement)
{
    if (open.isEmpty() || !text.contains(open))
        return text;
    // Builds the result in one pass instead of copying the whole text for every span. After
    // each replacement the search resumes a little before it, so that an opener formed
    // across the join is found just as a search from the start of the new text would.
    const bool replacementHasOpen = replacement.contains(open);
    QString rest = text; // unread text from pos on
    qsizetype pos = 0;
    QString out;
    out.reserve(text.size());
    qsizetype searchFrom = 0; // first position of out where an opener may still begin
    for (;;) {
        for (qsizetype j = searchFrom; j < out.size(); ++j) {
            if (OccursAt(out, rest, pos, j, open)) {
                // Rare: give the tail of out back to the unread text and go on from there.
                rest = out.mid(j) + rest.mid(pos);
                pos = 0;
                out.truncate(j);
                break;
            }
        }
        const qsizetype at = rest.indexOf(open, pos);
        if (at < 0) {
            out += QStringView(rest).mid(pos);
            break;
        }
        out += QStringView(rest).mid(pos, at - pos);
        const qsizetype start = out.size();
        const qsizetype openEnd = at + open.size();
        const qsizetype closeAt = close.isEmpty() ? openEnd : rest.indexOf(close, openEnd);
        out += replacement;
        searchFrom = replacementHasOpen ? out.size() : qMax<qsizetype>(start - open.size() + 1, 0);
        pos = closeAt < 0 ? rest.size() : closeAt + close.size();
    }
    text = out;
    return text;
}

QString StripTags(const QString& markup)
{
    QString copy = markup;
    return RemoveBetween(copy, QStringLiteral("<"), QStringLiteral(">"), QString());
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

} // namespace quel::core
