#include "worker/item_walk.h"

#include "worker/item_page.h"
#include "worker/markers.h"
#include "worker/result_format.h"

namespace quel::worker {

namespace m = markers;

ItemWalk::Action ItemWalk::step(const QString& markup, bool takeAsIs)
{
    if (markup.contains(m::kNotViewable)) {
        m_result.clear();
        return Action::WriteEmpty;
    }
    if (!takeAsIs && !markup.contains(m::kSalesTable) && !markup.contains(m::kNoSales))
        return Action::OpenSalesRecord;

    if (m_pagesDone > 0)
        m_result += kLineBreak;
    m_result += BuildPageResult(markup, m_pagesDone);

    if (markup.contains(m::kActiveNextPage)) {
        if (m_pagesDone > 1)
            ReadPageInfo(markup, m_pagesDone, m_pageCount);
        if (m_pagesDone < m_pageCount || m_pagesDone <= 1)
            return Action::NextPage;
    }
    return Action::Finish;
}

} // namespace quel::worker
