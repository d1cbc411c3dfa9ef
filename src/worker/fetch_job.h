#pragma once

#include "worker/command_line.h"
#include "worker/item_walk.h"

#include <QObject>
#include <QString>

class QTimer;

namespace quel::web {
class Browser;
}

namespace quel::worker {

// How long the job's clocks run. The tick is one second in service; tests shorten it.
struct JobTiming
{
    int tickMs = 1000;

    // The short timers (blank page, navigation start) and the location wait run at a tenth
    // of the tick.
    int shortMs() const { return tickMs >= 10 ? tickMs / 10 : 1; }

    // The tick from QUELFETCH_TICK_MS when set to a positive number, else one second.
    static JobTiming fromEnvironment();
};

// Patience of a job, counted in ticks.
inline constexpr int kReadyTicks = 20; // from here on a page is taken whatever its state
inline constexpr int kSalesRecordTicks = 200; // from here on the sales record is not awaited
inline constexpr int kWatchdogTicks = 1200; // the job ends with an empty result
// Page steps run on a page's arrival (besides the ticks) at most this often per job.
inline constexpr int kMaxLoadSteps = 500;

// One worker job from start to result file. Four timers drive it: the blank-page wait,
// the one navigation, the once-a-tick page step and the watchdog. Besides its tick, the
// page step also runs as soon as a page has loaded, so a job is not slower than its pages.
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
    // The file the result went to ("" when none was written).
    const QString& writtenFile() const { return m_writtenFile; }

signals:
    // The job is over (result written, or no file could be written): the process may end.
    void finished();

private:
    void onBlankReadyTick();
    void onSetUrlTick();
    void onDownSaveTick();
    void onWatchdogTick();
    void onPageLoaded();
    void pageStep(bool onLoad);
    void itemStep(bool onLoad);
    void writeResult(const QString& text);
    void finish();

    Job m_job;
    web::Browser& m_browser;
    JobTiming m_timing;
    QTimer* m_blankReady = nullptr;
    QTimer* m_setUrl = nullptr;
    QTimer* m_downSave = nullptr;
    QTimer* m_watchdog = nullptr;
    ItemWalk m_walk;
    QString m_writtenFile;
    qint16 m_watchdogTicks = 0;
    qint32 m_saveTicks = 0;
    int m_loadSteps = 0;
    int m_salesRecordClicks = 0;
    bool m_navigating = false;
    bool m_writing = false;
    bool m_finished = false;
};

} // namespace quel::worker
