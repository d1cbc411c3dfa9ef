#include "worker/buyer_profile.h"

#include "core/provinces.h"
#include "core/text_cut.h"
#include "core/worker_protocol.h"
#include "worker/markers.h"

namespace quel::worker {

using core::CutAtMarker;
using core::SkipPast;
using core::StripTags;
using core::TrimBlanks;

namespace m = markers;

namespace {

const QString kBannedRegion = QStringLiteral("查封");
const QString kUnknownRegion = QStringLiteral("未知");
// "Never" in the system's short date form.
const QString kNeverDate = QStringLiteral("1900-1-1");

// The text of the link that ends at the next "</A>": the part after the last ">" before it.
QString linkText(QString& work)
{
    const QString before = CutAtMarker(work, m::kLinkEnd, true);
    const qsizetype gt = before.lastIndexOf(m::kTagClose);
    return gt < 0 ? before : before.mid(gt + 1);
}

// The text up to the next "<", trimmed.
QString textUpToTag(QString& work)
{
    return TrimBlanks(CutAtMarker(work, m::kTagOpen, true));
}

} // namespace

void SplitLocation(const QString& location, QString& province, QString& region)
{
    province = location;
    region.clear();
    for (const QString& entry : core::ProvinceTable()) {
        if (location.startsWith(entry)) {
            province = entry;
            region = location.mid(entry.size());
            break;
        }
    }
    if (region.isEmpty() && !province.isEmpty())
        region = province;
}

QString BannedAccountLine()
{
    return QStringList { QString(), QStringLiteral("-1"), QStringLiteral("-1"), kBannedRegion,
        kBannedRegion, kNeverDate, kNeverDate }
        .join(core::kResultFieldSeparator);
}

QString ParseBuyerProfile(const QString& markup)
{
    if (markup.contains(m::kBanned))
        return BannedAccountLine();

    // One working text, cut from the front step by step; a missing marker leaves it as it
    // is, so the next step searches the same text again.
    QString work = markup;
    CutAtMarker(work, m::kNameCard, true);
    work.remove(u' ');
    work.replace(m::kNbsp, QStringLiteral(" "));
    work.remove(core::kResultLineBreak);
    CutAtMarker(work, m::kInfoCard, true);

    const QString name = TrimBlanks(StripTags(CutAtMarker(work, m::kBasicInfo, true)));

    // A field whose label is missing stays empty: reading on from wherever the text stands
    // would hand it the next field's value (the buyer credit as seller credit, the
    // registration date as location).
    QString sellerCredit;
    if (SkipPast(work, m::kSellerCredit))
        sellerCredit = linkText(work);
    QString buyerCredit;
    if (SkipPast(work, m::kBuyerCredit))
        buyerCredit = linkText(work);

    QString location;
    if (SkipPast(work, m::kLocation)) {
        SkipPast(work, m::kFullWidthColon);
        location = textUpToTag(work);
    }
    QString province;
    QString region;
    SplitLocation(location, province, region);

    QString registered;
    if (SkipPast(work, m::kRegistered))
        registered = textUpToTag(work);
    QString lastLogin;
    if (SkipPast(work, m::kLastLogin))
        lastLogin = textUpToTag(work);

    if (province.isEmpty() && region.isEmpty()) {
        province = kUnknownRegion;
        region = kUnknownRegion;
    }
    return QStringList { name, sellerCredit, buyerCredit, province, region, registered, lastLogin }
        .join(core::kResultFieldSeparator);
}

} // namespace quel::worker
