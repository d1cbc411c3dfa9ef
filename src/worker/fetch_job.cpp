#include "worker/fetch_job.h"

#include "core/text_files.h"
#include "web/browser.h"
#include "web/page_loader.h"
#include "worker/buyer_profile.h"
#include "worker/fetch_page.h"
#include "worker/markers.h"
#include "worker/watchdog.h"

#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstring>

namespace quel::worker {

namespace {

const QString kBlankPage = QStringLiteral("about:blank");

QTimer* makeTimer(QObject* parent, int intervalMs)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(intervalMs);
    return timer;
}

} // namespace

JobTiming JobTiming::fromEnvironment()
{
    const auto read = [](const char* name, int& setting, int least) {
        bool ok = false;
        const int value = qEnvironmentVariableIntValue(name, &ok);
        if (ok && value >= least)
            setting = value;
    };
    JobTiming timing;
    read("QUELFETCH_TICK_MS", timing.tickMs, 1);
    read("QUELFETCH_IDLE_TIMEOUT_MS", timing.idleTimeoutMs, 1);
    read("QUELFETCH_RETRY_BASE_MS", timing.retryBaseMs, 0);
    read("QUELFETCH_RETRY_AFTER_CAP_MS", timing.retryAfterCapMs, 0);
    return timing;
}

void ConfigureBrowser(web::Browser& browser, const JobTiming& timing)
{
    browser.setRequestTimeout(timing.idleTimeoutMs);
    web::RetryPolicy retry;
    retry.retries = timing.retries;
    retry.baseDelayMs = timing.retryBaseMs;
    retry.maxRetryAfterMs = timing.retryAfterCapMs;
    browser.setRetryPolicy(retry);
}

FetchJob::FetchJob(const Job& job, web::Browser& browser, JobTiming timing, QObject* parent)
    : QObject(parent)
    , m_job(job)
    , m_browser(browser)
    , m_timing(timing)
    , m_blankReady(makeTimer(this, timing.shortMs()))
    , m_setUrl(makeTimer(this, timing.shortMs()))
    , m_downSave(makeTimer(this, timing.tickMs))
{
    connect(m_blankReady, &QTimer::timeout, this, &FetchJob::onBlankReadyTick);
    connect(m_setUrl, &QTimer::timeout, this, &FetchJob::onSetUrlTick);
    connect(m_downSave, &QTimer::timeout, this, &FetchJob::onDownSaveTick);
    // Queued: the step may click and so replace the document while the browser is still
    // telling the page's listeners about it.
    connect(&m_browser, &web::Browser::downloadComplete, this, &FetchJob::onPageLoaded,
        Qt::QueuedConnection);
}

FetchJob::~FetchJob() = default;

void FetchJob::start()
{
    m_watchdog = std::make_unique<Watchdog>(
        std::chrono::milliseconds(qint64(kWatchdogTicks) * m_timing.tickMs), ExitTimedOut);
    m_browser.navigate(kBlankPage);
    m_blankReady->start();
}

void FetchJob::onBlankReadyTick()
{
    if (!m_blankReady->isActive())
        return;
    if (m_browser.locationUrl() != kBlankPage || m_browser.readyState().toLower() != u"complete")
        return;
    m_blankReady->stop();
    m_setUrl->start();
    m_downSave->start();
    onSetUrlTick(); // no need to wait for the timer's first interval
}

void FetchJob::onSetUrlTick()
{
    if (m_finished || m_job.url.isEmpty()) {
        finish();
        return;
    }
    if (m_navigating)
        return; // a tick that fires while the location wait pumps events
    m_navigating = true;
    m_setUrl->stop();
    StartNavigation(m_browser, m_job.url, m_timing.shortMs(), &m_finished);
}

void FetchJob::onPageLoaded()
{
    if (m_blankReady->isActive()) {
        onBlankReadyTick();
        return;
    }
    // Process the page at once instead of on the next tick; the tick count is untouched.
    if (!m_downSave->isActive() || m_writing || m_finished || !IsPageReady(m_browser))
        return;
    // A server that keeps answering with pages that ask for another click must not be
    // hammered: past this many, pages wait for the tick as they always did.
    if (m_loadSteps >= kMaxLoadSteps)
        return;
    ++m_loadSteps;
    pageStep(true);
}

void FetchJob::onDownSaveTick()
{
    if (m_finished || m_job.url.isEmpty()) {
        finish();
        return;
    }
    if (m_writing)
        return;
    ++m_saveTicks;
    if (!IsPageReady(m_browser) && m_saveTicks < kReadyTicks)
        return;
    pageStep(false);
}

void FetchJob::pageStep(bool onLoad)
{
    // A page still loading (its retries included) is awaited also past the ready limit: its
    // own timeouts and the watchdog bound the wait, and taking it half loaded loses records.
    if (m_browser.busy())
        return;
    if (m_job.mode != ItemJob && m_job.mode != BuyerJob)
        return; // other modes extract nothing; the watchdog ends them
    if (PageLoadFailed(m_browser)) {
        // An item page that says the item cannot be viewed is an answer, whatever its status.
        const bool notViewable = m_job.mode == ItemJob && !m_browser.loadIncomplete()
            && web::GetBodyHtml(m_browser).contains(markers::kNotViewable);
        if (notViewable)
            writeResult(QString());
        else
            fail(ExitPageFailed, m_browser.errorString());
        return;
    }
    // The transport may see a whole answer where the page was cut: closed early without a
    // length, or under a length that lies.
    if (!m_browser.pageClosed()) {
        fail(ExitBadPage, QStringLiteral("网页不完整（没有结尾）"));
        return;
    }
    switch (m_job.mode) {
    case ItemJob:
        itemStep(onLoad);
        break;
    default: {
        const QString markup = web::GetBodyHtml(m_browser);
        // A login wall or a "busy" page is no profile: stored, it would read as a buyer from
        // nowhere and never be asked for again.
        if (!markup.contains(markers::kNameCardId) && !markup.contains(markers::kBanned)) {
            fail(ExitBadPage, QStringLiteral("买家资料页没有资料（既无名片，也无查封通告）"));
            return;
        }
        writeResult(ParseBuyerProfile(markup));
        break;
    }
    }
}

void FetchJob::itemStep(bool onLoad)
{
    const bool takeAsIs = m_saveTicks >= kSalesRecordTicks;
    const ItemWalk::Action action = m_walk.step(web::GetBodyHtml(m_browser), takeAsIs);
    switch (action) {
    case ItemWalk::Action::OpenSalesRecord:
        // The page our own click loaded still shows no sales record: try again on the
        // tick, not in a tight loop of reloads.
        if (onLoad && m_salesRecordClicks > 0)
            break;
        if (m_salesRecordClicks >= kSalesRecordClicks) {
            fail(ExitBadPage,
                QStringLiteral("成交记录没有显示（点击“成交记录”%1 次后）")
                    .arg(m_salesRecordClicks));
            break;
        }
        ++m_salesRecordClicks;
        FindElementAndClick(m_browser, markers::kSalesRecordLink, true, QStringLiteral("A"),
            QStringLiteral("like"));
        break;
    case ItemWalk::Action::NextPage:
        nextPage();
        break;
    default:
        endWalk(action);
        break;
    }
}

void FetchJob::nextPage()
{
    const QUrl here = QUrl(m_browser.locationUrl()).adjusted(QUrl::RemoveFragment);
    m_visited.insert(here.toString(QUrl::FullyEncoded));
    const QString target
        = FindElementAndClick(m_browser, markers::kNextPageText, false, QString(), kMatchExact);
    if (target.isEmpty()) {
        // Only the label, or a link text in a script: there is no further page.
        endWalk(m_walk.end());
        return;
    }
    const QUrl next = here.resolved(QUrl(target)).adjusted(QUrl::RemoveFragment);
    if (m_visited.contains(next.toString(QUrl::FullyEncoded))) {
        fail(ExitBadPage, QStringLiteral("“下一页”指向已读过的网页：%1").arg(target));
        return;
    }
    FindElementAndClick(m_browser, markers::kNextPageText, true, QString(), kMatchExact);
}

void FetchJob::endWalk(ItemWalk::Action action)
{
    switch (action) {
    case ItemWalk::Action::WriteEmpty:
        writeResult(QString());
        break;
    case ItemWalk::Action::Finish:
        writeResult(m_walk.result());
        break;
    case ItemWalk::Action::Fail:
        fail(ExitBadPage, m_walk.failure());
        break;
    default:
        break;
    }
}

void FetchJob::writeResult(const QString& text)
{
    if (m_writing || m_finished)
        return;
    m_writing = true;
    int error = 0;
    m_writtenFile = core::SaveTextFile(text, m_job.outputFile, m_timing.tickMs, &error);
    m_writing = false;
    m_job.url.clear();
    if (m_writtenFile.isEmpty()) {
        m_exitCode = ExitNotWritten;
        const QString line
            = QStringLiteral("quelfetch: %1: %2\n")
                  .arg(m_job.outputFile, QString::fromLocal8Bit(std::strerror(error)));
        std::fputs(line.toLocal8Bit().constData(), stderr);
    }
    finish();
}

void FetchJob::fail(int exitCode, const QString& reason)
{
    if (m_writing || m_finished)
        return;
    // Whatever was gathered stays unwritten: a partial record imported as complete would
    // never be repaired, while a job without a result is simply run again.
    const QString line = QStringLiteral("quelfetch: %1: %2\n").arg(m_browser.locationUrl(), reason);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    m_exitCode = exitCode;
    m_job.url.clear();
    finish();
}

void FetchJob::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_blankReady->stop();
    m_setUrl->stop();
    m_downSave->stop();
    m_browser.stop();
    emit finished();
}

} // namespace quel::worker
