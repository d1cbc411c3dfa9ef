#include "download/ui/download_window.h"
#include "download_test_db.h"
#include "grid/grid_model.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

using namespace quel::download;
using quel::test::FakeFeedback;
using quel::test::TestDb;

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test_download_window";
    static char* argv[] = { name, nullptr };
    // Never destroyed: widgets' statics must not outlive it at exit.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// What the grid showed when the run ended: per data row its state text and colour name.
struct GridSnapshot
{
    QStringList states;
    QStringList colours;
    QStringList titles;
    QString percent;
};

bool waitUntilClosed(QPointer<DownloadWindow>& window, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (window && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !window;
}

struct WindowFixture
{
    TestDb db;
    FakeFeedback feedback { FakeFeedback::AlwaysOpen };

    WindowFixture()
    {
        app();
        qputenv("QUELFETCH_PROGRAM", QUEL_FAKE_WORKER);
        QDir::setCurrent(db.dir.path());
    }

    GridSnapshot runToEnd(DownloadKind kind, const QString& condition)
    {
        GridSnapshot snap;
        QPointer<DownloadWindow> window = DownloadWindow::open(kind, db.conn, condition, feedback);
        EXPECT_TRUE(window);
        if (!window)
            return snap;
        QObject::connect(
            &window->session(), &DownloadSession::finished, [&snap, w = window.data()] {
                quel::grid::GridModel& g = w->grid();
                for (int c = 0; c < g.cols(); ++c)
                    snap.titles << g.title(c);
                for (int r = g.fixedRows(); r < g.rows(); ++r) {
                    snap.states << g.text(r, 4);
                    snap.colours << g.cellBackground(r, 4).name();
                }
                snap.percent = w->findChild<QLabel*>(QStringLiteral("LPercent"))->text();
            });
        EXPECT_TRUE(waitUntilClosed(window, 20000)) << "the window did not close itself";
        return snap;
    }
};

} // namespace

TEST(DownloadWindow, ProductDownRunsItsListAndClosesItself)
{
    WindowFixture f;
    const qint64 a = f.db.addProduct(QStringLiteral("item:2"));
    const qint64 dead = f.db.addProduct(QStringLiteral("die"));
    f.db.addProduct(QStringLiteral("item:1"));
    const qint64 done = f.db.addProduct(QStringLiteral("item:3"));
    f.db.exec(QStringLiteral("UPDATE 产品表 SET Style='旧' WHERE ID=") + QString::number(done));

    const GridSnapshot snap = f.runToEnd(
        DownloadKind::Details, DownloadSession::conditionFor(DownloadKind::Details, false));
    EXPECT_EQ(snap.titles, (QStringList { "ID", "产品编号", "序号", "产品", "下载状态" }));
    // Only the three never-downloaded products are listed; the dead worker's row is red.
    EXPECT_EQ(snap.states, (QStringList { "2", "2", "2" }));
    EXPECT_EQ(snap.colours, (QStringList { "#bbbbbb", "#ff0000", "#bbbbbb" }));
    EXPECT_EQ(snap.percent, QStringLiteral("100%"));
    EXPECT_EQ(f.db.count(QStringLiteral("交易表")), 3);
    EXPECT_EQ(f.db.rows(QStringLiteral("SELECT Style FROM 产品表 WHERE ID=") + QString::number(a))
                  .front()
                  .value("Style"),
        QStringLiteral("全新"));
    EXPECT_EQ(
        f.db.rows(QStringLiteral("SELECT Style FROM 产品表 WHERE ID=") + QString::number(dead))
            .front()
            .value("Style"),
        QString());
    EXPECT_TRUE(
        QDir(f.db.dir.path()).entryList({ QStringLiteral("Temp_*") }, QDir::Files).isEmpty());
}

TEST(DownloadWindow, BuyerDownWritesProfilesOrSaysThereIsNone)
{
    WindowFixture f;
    // Nobody to profile: the message, and the window goes away on its first tick.
    const GridSnapshot none = f.runToEnd(DownloadKind::Buyers, QString());
    EXPECT_TRUE(none.states.isEmpty());
    EXPECT_EQ(f.feedback.messages, QStringList { QStringLiteral("没有需要下载资讯的客户！") });

    f.db.addProduct(QStringLiteral("item:2"));
    f.db.exec(QStringLiteral("DROP TABLE TEMP_Customer"));
    f.runToEnd(DownloadKind::Details, QString());
    const GridSnapshot snap = f.runToEnd(
        DownloadKind::Buyers, DownloadSession::conditionFor(DownloadKind::Buyers, false));
    EXPECT_EQ(snap.titles, (QStringList { "ID", "买家编号", "序号", "买家", "下载状态" }));
    EXPECT_EQ(snap.colours, (QStringList { "#bbbbbb", "#bbbbbb" }));
    const auto customers = f.db.rows(QStringLiteral("SELECT * FROM 客户表 ORDER BY BCode"));
    ASSERT_EQ(customers.size(), 2u);
    EXPECT_EQ(customers[0].value("BName").toString(), QStringLiteral("名b2-1"));
    EXPECT_EQ(customers[0].value("rDat").toDateTime().date(), QDate(2008, 3, 5));
}

TEST(DownloadWindow, OnlyOneDownloadWindowAtATime)
{
    WindowFixture f;
    f.db.addProduct(QStringLiteral("late:1500:x"));
    QPointer<DownloadWindow> first
        = DownloadWindow::open(DownloadKind::Details, f.db.conn, QString(), f.feedback);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("产品资讯详情下载"));
    EXPECT_EQ(first->findChild<QLabel*>(QStringLiteral("LMax"))->text(), QStringLiteral("10"));
    first->findChild<QScrollBar*>(QStringLiteral("HMax"))->setValue(4);
    EXPECT_EQ(first->findChild<QLabel*>(QStringLiteral("LMax"))->text(), QStringLiteral("4"));
    EXPECT_EQ(first->session().pool().maxWorkers(), 4);
    // The rate setting starts at no limit each time and reaches the running pool.
    auto* rate = first->findChild<QDoubleSpinBox*>(QStringLiteral("RateLimit"));
    ASSERT_TRUE(rate);
    EXPECT_EQ(rate->value(), 0.0);
    EXPECT_EQ(rate->text(), QStringLiteral("不限"));
    EXPECT_EQ(first->session().pool().rateLimit(), 0.0);
    rate->setValue(2.5);
    EXPECT_EQ(first->session().pool().rateLimit(), 2.5);

    DownloadWindow* second
        = DownloadWindow::open(DownloadKind::Buyers, f.db.conn, QString(), f.feedback);
    EXPECT_EQ(second, first.data());
    EXPECT_EQ(f.feedback.messages.size(), 1);
    first->close();
    EXPECT_TRUE(waitUntilClosed(first, 5000));
    EXPECT_EQ(DownloadWindow::current(), nullptr);
}

TEST(DownloadWindow, TheStartCheckCanRefuseAndTheGridFollowsTheRun)
{
    WindowFixture f;
    // No jobs: nothing to ask; a refusal with jobs: no window and no job tried.
    int asked = 0;
    const auto refuse = [&asked](quel::core::Feedback&) {
        ++asked;
        return false;
    };
    QPointer<DownloadWindow> empty = DownloadWindow::open(
        DownloadKind::Details, f.db.conn, QString(), f.feedback, nullptr, refuse);
    EXPECT_EQ(asked, 0);
    waitUntilClosed(empty, 5000);
    for (int i = 1; i <= 60; ++i)
        f.db.addProduct(QStringLiteral("item:%1").arg(i % 3 + 1));
    EXPECT_EQ(DownloadWindow::open(
                  DownloadKind::Details, f.db.conn, QString(), f.feedback, nullptr, refuse),
        nullptr);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(DownloadWindow::current(), nullptr);
    EXPECT_EQ(f.db.count(QStringLiteral("产品表 WHERE Style=''")), 60);

    // Allowed: a short window over 60 rows scrolls down with the workers.
    int lastScroll = 0;
    QPointer<DownloadWindow> window = DownloadWindow::open(DownloadKind::Details, f.db.conn,
        QString(), f.feedback, nullptr, [](quel::core::Feedback&) { return true; });
    ASSERT_TRUE(window);
    window->resize(600, 260);
    auto* bar = window->findChild<QAbstractScrollArea*>(QStringLiteral("MSF"))->verticalScrollBar();
    QObject::connect(bar, &QScrollBar::valueChanged, [&lastScroll](int v) { lastScroll = v; });
    EXPECT_TRUE(waitUntilClosed(window, 30000));
    EXPECT_GT(lastScroll, 0) << "the grid stayed at its top";
    EXPECT_EQ(f.db.count(QStringLiteral("产品表 WHERE Style=''")), 0);
}
