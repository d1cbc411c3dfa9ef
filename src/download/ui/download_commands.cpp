#include "download/ui/download_commands.h"

#include "core/feedback.h"
#include "download/market_probe.h"
#include "download/ui/download_window.h"
#include "store/db_operate.h"
#include "web/market.h"

namespace quel::download {

namespace {

// A refused connection answers at once; a silent host is given this long.
constexpr int kMarketProbeMs = 5000;

} // namespace

bool CheckMarketAnswers(DownloadKind kind, core::Feedback& feedback)
{
    const web::MarketAddresses& market = web::Market();
    const QString base = kind == DownloadKind::Details ? market.itemBase : market.memberBase;
    QString reason;
    if (MarketAnswers(base, kMarketProbeMs, nullptr, &reason))
        return true;
    feedback.message(MarketUnreachableMessage(base, reason));
    return false;
}

DownloadWindow* ShowDownloadWindow(DownloadKind kind, const QString& condition,
    store::DB_Operate& db, core::Feedback& feedback, QWidget* parent)
{
    if (DownloadWindow::current())
        return DownloadWindow::open(kind, db::Connection(), condition, feedback, parent);
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return nullptr;
    return DownloadWindow::open(kind, std::move(conn), condition, feedback, parent,
        [kind](core::Feedback& told) { return CheckMarketAnswers(kind, told); });
}

} // namespace quel::download
