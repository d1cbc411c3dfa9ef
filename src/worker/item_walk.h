#pragma once

#include <QSet>
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
        Fail, // the pages are not what they claim: write nothing, failure() says why
    };

    // One look at a page that loaded whole. takeAsIs: extract the page whether its sales
    // record is open or not (the job's patience is used up).
    Action step(const QString& markup, bool takeAsIs);
    // Ends the walk on the page last extracted (its next-page element leads nowhere):
    // Finish, or Fail when the records fall short of what the pages announced.
    Action end();

    const QString& result() const { return m_result; }
    const QString& failure() const { return m_failure; }
    qint32 pagesDone() const { return m_pagesDone; }
    // Distinct records read so far; a record that two pages show counts once.
    qsizetype distinctRecords() const { return m_records.size(); }

private:
    Action failWith(const QString& reason);

    QString m_result;
    QString m_failure;
    QSet<QString> m_records;
    qint64 m_leastAnnounced = -1; // the smallest count a pager announced, -1 before any
    qint32 m_pagesDone = 0;
    qint32 m_pageCount = 0;
};

} // namespace quel::worker
