#pragma once

#include "core/exit_codes.h"
#include "worker/command_line.h"
#include "worker/item_walk.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

class QTimer;

namespace quel::web {
class Browser;
}

namespace quel::worker {

class Watchdog;

// How the process ends (the codes are the protocol's, shared with quelmar).
using ExitCode = core::WorkerExitCode;
using enum core::WorkerExitCode;

// How long the job's clocks run and how patient its page loads are. The tick is one second
// in service; tests shorten it (QUELFETCH_TICK_MS) and the load patience
// (QUELFETCH_IDLE_TIMEOUT_MS, QUELFETCH_RETRY_BASE_MS, QUELFETCH_RETRY_AFTER_CAP_MS).
struct JobTiming
{
    int tickMs = 1000;
    int idleTimeoutMs = 15000; // a response that sends nothing for this long is given up
    int retries = 2; // further attempts of a page load that failed for a passing reason
    int retryBaseMs = 1000; // the first backoff; each further one doubles
    int retryAfterCapMs = 30000; // the longest wait a server's Retry-After may ask for

    // The short timers (blank page, navigation start) and the location wait run at a tenth
    // of the tick.
    int shortMs() const { return tickMs >= 10 ? tickMs / 10 : 1; }

    // The settings from the environment variables above where they hold a number (positive,
    // or for the retry base not negative), else the defaults.
    static JobTiming fromEnvironment();
};

// Gives the browser the job's idle timeout and retry policy.
void ConfigureBrowser(web::Browser& browser, const JobTiming& timing);

// Patience of a job, counted in ticks.
inline constexpr int kReadyTicks = 20; // from here on a page is taken whatever its state
inline constexpr int kSalesRecordTicks = 200; // from here on the sales record is not awaited
// Clicks on the sales-record link whose page came without the record; then the job fails.
inline constexpr int kSalesRecordClicks = 3;
inline constexpr int kWatchdogTicks = 1200; // the job is abandoned without a result
// Page steps run on a page's arrival (besides the ticks) at most this often per job.
inline constexpr int kMaxLoadSteps = 500;

// One worker job from start to result file. Three timers drive it: the blank-page wait,
// the one navigation and the once-a-tick page step; a watchdog thread ends the process at
// the time limit. Besides its tick, the page step also runs as soon as a page has loaded,
// so a job is not slower than its pages. A job writes its result only when every page it
// needed has loaded whole; otherwise it ends without a file.
class FetchJob : public QObject
{
    Q_OBJECT

public:
    FetchJob(
        const Job& job, web::Browser& browser, JobTiming timing = {}, QObject* parent = nullptr);
    ~FetchJob() override;

    // Requests the blank start page and starts the waiting timers.
    void start();

    bool isFinished() const { return m_finished; }
    // How the process should end (meaningful once finished).
    int exitCode() const { return m_exitCode; }
    // The file the result went to ("" when none was written).
    const QString& writtenFile() const { return m_writtenFile; }

signals:
    // The job is over (result written, or none): the process may end with exitCode().
    void finished();

private:
    void onBlankReadyTick();
    void onSetUrlTick();
    void onDownSaveTick();
    void onPageLoaded();
    void pageStep(bool onLoad);
    void itemStep(bool onLoad);
    void nextPage();
    void endWalk(ItemWalk::Action action);
    void writeResult(const QString& text);
    void fail(int exitCode, const QString& reason);
    void finish();

    Job m_job;
    web::Browser& m_browser;
    JobTiming m_timing;
    QTimer* m_blankReady = nullptr;
    QTimer* m_setUrl = nullptr;
    QTimer* m_downSave = nullptr;
    std::unique_ptr<Watchdog> m_watchdog;
    ItemWalk m_walk;
    QSet<QString> m_visited; // sales pages extracted, by address without fragment
    QString m_writtenFile;
    qint32 m_saveTicks = 0;
    int m_exitCode = ExitDone;
    int m_loadSteps = 0;
    int m_salesRecordClicks = 0;
    bool m_navigating = false;
    bool m_writing = false;
    bool m_finished = false;
};

} // namespace quel::worker
