#pragma once

#include "download/download_session.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QDoubleSpinBox;
class QLabel;
class QScrollBar;

namespace quel::core {
class Feedback;
}
namespace quel::grid {
class GridModel;
class GridView;
} // namespace quel::grid

namespace quel::download {

// The two download windows: ProductDown ("产品资讯详情下载") over products and BuyerDown
// ("买家资讯下载") over buyers. The grid lists the jobs with their state, the scroll bar
// sets the pool size and the spin box the requests per second all workers together may make
// (0: no limit; the window's own setting, not kept); the window closes itself when every row is
// harvested, and closing it early ends its workers and drops their files.
class DownloadWindow : public QWidget
{
    Q_OBJECT
public:
    // Asked, once the job list is read and holds jobs, whether the run may start; false
    // when it told the user why not.
    using StartCheck = std::function<bool(core::Feedback& feedback)>;

    // Opens the window of a kind on the given connection and row filter, unless a download
    // window is already open (both share the worker file names), which is raised instead
    // and returned. Null, after a message, when the job list cannot be read or the start
    // check refuses.
    static DownloadWindow* open(DownloadKind kind, db::Connection conn, const QString& condition,
        core::Feedback& feedback, QWidget* parent = nullptr, const StartCheck& check = {});
    // The open download window, if any.
    static DownloadWindow* current();

    DownloadWindow(DownloadKind kind, db::Connection conn, QWidget* parent = nullptr);
    ~DownloadWindow() override;

    // Lists the jobs; false when they cannot be read.
    bool prepare(const QString& condition, core::Feedback& feedback);
    // Starts the pool (the window's load-time timers).
    void startDownload();

    DownloadSession& session() { return m_session; }
    grid::GridModel& grid() { return *m_grid; }

signals:
    // The window has gone, every row harvested or closed early, with what the run achieved
    // (its failed rows go with it, so whoever opened it keeps the count in view).
    void ended(const quel::download::DownloadTotals& totals);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildUi();
    void fillGrid();
    void showRow(int index);
    void fitTitleColumn();
    void openRowPage(int gridRow);

    DownloadSession m_session;
    grid::GridModel* m_grid = nullptr;
    grid::GridView* m_view = nullptr;
    QScrollBar* m_maxWorkers = nullptr;
    QLabel* m_maxLabel = nullptr;
    QDoubleSpinBox* m_rate = nullptr;
    QLabel* m_percent = nullptr;
    bool m_ended = false;
    bool m_followRun = true;
};

} // namespace quel::download
