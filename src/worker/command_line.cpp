#include "worker/command_line.h"

#include "core/text_cut.h"
#include "core/worker_protocol.h"
#include "worker/number_text.h"

#include <QUrl>
#include <limits>

namespace quel::worker {

using core::TrimBlanks;

QString JoinArguments(const QStringList& arguments)
{
    return TrimBlanks(arguments.join(u' '));
}

QString MakeItemUrl(const QString& code, const QString& itemBase)
{
    if (code.isEmpty())
        return {};
    // Codes come from result pages; encoding keeps a stray "&" or "#" from changing the query.
    const auto piece
        = [](const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    const QStringList pieces = code.split(u'-');
    if (pieces.size() >= 2) {
        return itemBase + QStringLiteral("/auction/item_detail.htm?xid=") + piece(pieces[0])
            + QStringLiteral("&item_num_id=") + piece(pieces[1]) + QStringLiteral("&page_size=90");
    }
    return itemBase + QStringLiteral("/item.htm?id=") + piece(code)
        + QStringLiteral("&page_size=90");
}

bool ParseCommandLine(
    const QString& commandLine, const QString& itemBase, const QString& testPageBase, Job& job)
{
    job = Job {};
    QString line = TrimBlanks(commandLine);
    if (line.isEmpty()) {
        line = testPageBase + kTestJobPath + core::kJobFieldSeparator + kTestJobOutput
            + core::kJobFieldSeparator + QString::number(BuyerJob);
    }
    const QStringList fields = line.split(core::kJobFieldSeparator);
    job.url = fields.value(0);
    job.outputFile = fields.value(1);
    if (fields.size() > 2) {
        const double mode = LeadingNumber(fields[2]);
        const qint32 rounded = RoundToInt32(mode);
        // A mode outside the 16-bit range is no known mode: it extracts nothing.
        const bool fits = rounded >= std::numeric_limits<qint16>::min()
            && rounded <= std::numeric_limits<qint16>::max() && (rounded != 0 || qAbs(mode) < 1.0);
        job.mode = fits ? static_cast<qint16>(rounded) : qint16(-1);
    }
    if (job.mode == ItemJob) {
        job.code = job.url;
        job.url = MakeItemUrl(job.code, itemBase);
    }
    return !job.url.isEmpty() && !job.outputFile.isEmpty();
}

} // namespace quel::worker
