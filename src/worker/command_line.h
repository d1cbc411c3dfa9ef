#pragma once

#include <QString>
#include <QStringList>

// The worker's job, as the main program passes it (core/worker_protocol.h).
namespace quel::worker {

enum JobMode : qint16
{
    ItemJob = 0,
    BuyerJob = 1
};

struct Job
{
    QString url; // the page to load
    QString outputFile; // the result file, as given
    QString code; // an item job's product code
    qint16 mode = ItemJob;
};

// The job run when the command line is empty: a buyer-style parse of a fixed shop page.
inline const QString kTestJobPath = QStringLiteral("/shop/xshop/shop_intro.htm");
inline const QString kTestJobOutput = QStringLiteral("./tt.T");

// The argument string: the arguments joined with blanks, blanks trimmed at both ends.
QString JoinArguments(const QStringList& arguments);

// The item page of a product code ("" for an empty code). A code "a-b" is an auction page
// of xid a and item b; anything else an item id. itemBase is scheme and host, no "/".
QString MakeItemUrl(const QString& code, const QString& itemBase);

// Fills the job from the argument string; true when both the page and the output file are
// known. testPageBase is the host of the built-in test job's page.
bool ParseCommandLine(
    const QString& commandLine, const QString& itemBase, const QString& testPageBase, Job& job);

} // namespace quel::worker
