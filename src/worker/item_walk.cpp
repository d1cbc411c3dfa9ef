#include "worker/item_walk.h"

#include "core/worker_protocol.h"
#include "worker/item_page.h"
#include "worker/markers.h"

namespace quel::worker {

namespace m = markers;

ItemWalk::Action ItemWalk::failWith(const QString& reason)
{
    m_result.clear();
    m_failure = reason;
    return Action::Fail;
}

ItemWalk::Action ItemWalk::step(const QString& markup, bool takeAsIs)
{
    if (markup.contains(m::kNotViewable)) {
        m_result.clear();
        return Action::WriteEmpty;
    }
    const bool salesShown = markup.contains(m::kSalesTable) || markup.contains(m::kNoSales);
    if (!salesShown) {
        if (!takeAsIs)
            return Action::OpenSalesRecord;
        // A login page or a notice in its place: an item line without records would be
        // stored as an item that never sold.
        return failWith(QStringLiteral("成交记录没有显示（既无记录表，也无“暂无购买”提示）"));
    }

    QString badField;
    const bool firstPage = m_pagesDone == 0;
    const QString lines = BuildPageResult(markup, m_pagesDone, &badField);
    if (!badField.isEmpty())
        return failWith(
            QStringLiteral("“%1”的数值无法读取（非数字、无穷大或超出范围）").arg(badField));
    if (!firstPage)
        m_result += core::kResultLineBreak;
    m_result += lines;

    QStringList records = lines.split(core::kResultLineBreak);
    if (firstPage)
        records.removeFirst(); // the item line
    for (const QString& record : std::as_const(records))
        if (!record.isEmpty())
            m_records.insert(record);
    const qint64 announced = AnnouncedRecords(markup);
    if (announced >= 0 && (m_leastAnnounced < 0 || announced < m_leastAnnounced))
        m_leastAnnounced = announced;

    if (markup.contains(m::kActiveNextPage)) {
        if (m_pagesDone > 1)
            ReadPageInfo(markup, m_pagesDone, m_pageCount);
        if (m_pagesDone < m_pageCount || m_pagesDone <= 1)
            return Action::NextPage;
    }
    return end();
}

ItemWalk::Action ItemWalk::end()
{
    // Sales that arrive during the walk push records onto the next page, so more records
    // than announced is normal; fewer means pages or rows went missing.
    if (m_leastAnnounced >= 0 && m_records.size() < m_leastAnnounced)
        return failWith(QStringLiteral("成交记录不全（读到 %1 条，网页上共 %2 条）")
                            .arg(m_records.size())
                            .arg(m_leastAnnounced));
    return Action::Finish;
}

} // namespace quel::worker
