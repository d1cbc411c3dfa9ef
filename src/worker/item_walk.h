#pragma once

#include <QString>

// The walk of a mode-0 job over an item page and the pages of its sales record: given the
// page now loaded it says what to do next, and gathers the result text.
namespace quel::worker {

class ItemWalk
{
public:
    enum class Action
    {
        WriteEmpty, // the item cannot be viewed: write an empty result and end
        OpenSalesRecord, // click the link that opens the sales record, then look again
        NextPage, // click the next-page element, then look again
        Finish, // write result() and end
    };

    // One look at a page that loaded whole. takeAsIs: extract the page whether its sales
    // record is open or not (the job's patience is used up).
    Action step(const QString& markup, bool takeAsIs);

    const QString& result() const { return m_result; }
    qint32 pagesDone() const { return m_pagesDone; }

private:
    QString m_result;
    qint32 m_pagesDone = 0;
    qint32 m_pageCount = 0;
};

} // namespace quel::worker
