#include "web/search/text_cut.h"

namespace quel::search {

QString CutAtMarker(QString& text, const QString& marker, bool fromStart)
{
    if (marker.isEmpty())
        return {};
    const qsizetype at = fromStart ? text.indexOf(marker) : text.lastIndexOf(marker);
    if (at < 0)
        return {};
    if (fromStart) {
        QString before = text.left(at);
        text.remove(0, at + marker.size());
        return before;
    }
    QString after = text.mid(at + marker.size());
    text.truncate(at);
    return after;
}

QString& RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement)
{
    if (open.isEmpty())
        return text;
    // Continue after each replacement so a replacement holding the open text cannot loop.
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = text.indexOf(open, from);
        if (start < 0)
            break;
        const qsizetype end = close.isEmpty() ? -1 : text.indexOf(close, start + 1);
        const qsizetype length = end < 0 ? text.size() - start : end + close.size() - start;
        text.replace(start, length, replacement);
        from = start + replacement.size();
    }
    return text;
}

} // namespace quel::search
