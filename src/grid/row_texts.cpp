#include "grid/row_texts.h"

#include <algorithm>

namespace quel::grid {

RowTexts::RowTexts(const QList<QString>& cells)
{
    // Exactly as long as its texts: appending cell by cell would leave the string up to
    // twice the size it needs, for every row of the grid.
    qsizetype chars = 0;
    int used = 0;
    for (qsizetype c = 0; c < cells.size(); ++c) {
        chars += cells[c].size();
        if (!cells[c].isEmpty())
            used = static_cast<int>(c) + 1;
    }
    m_text.reserve(chars);
    m_ends.reserve(static_cast<size_t>(used));
    for (int c = 0; c < used; ++c) {
        m_text.append(cells[c]);
        m_ends.push_back(m_text.size());
    }
}

QStringView RowTexts::at(int col) const
{
    if (col < 0 || col >= count())
        return {};
    const qsizetype start = col > 0 ? m_ends[static_cast<size_t>(col) - 1] : 0;
    return QStringView(m_text).mid(start, m_ends[static_cast<size_t>(col)] - start);
}

void RowTexts::set(int col, QStringView text)
{
    if (col < 0)
        return;
    // A text taken from this very row would move while the row is rewritten.
    const QChar* const begin = m_text.constData();
    if (!m_text.isEmpty() && text.data() >= begin && text.data() < begin + m_text.size()) {
        const QString copy = text.toString();
        set(col, copy);
        return;
    }
    if (col >= count()) {
        if (text.isEmpty())
            return;
        m_ends.resize(static_cast<size_t>(col), m_text.size());
        m_text.append(text);
        m_ends.push_back(m_text.size());
        return;
    }
    const size_t at = static_cast<size_t>(col);
    const qsizetype start = col > 0 ? m_ends[at - 1] : 0;
    const qsizetype length = m_ends[at] - start;
    m_text.replace(start, length, text.data(), text.size());
    const qsizetype grown = text.size() - length;
    for (size_t c = at; c < m_ends.size(); ++c)
        m_ends[c] += grown;
}

void RowTexts::truncate(int cols)
{
    cols = std::max(cols, 0);
    if (cols >= count())
        return;
    m_text.truncate(cols > 0 ? m_ends[static_cast<size_t>(cols) - 1] : 0);
    m_ends.resize(static_cast<size_t>(cols));
}

} // namespace quel::grid
