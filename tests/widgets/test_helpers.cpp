#include "support/app_fixture.h"
#include "widgets/value_helpers.h"
#include "widgets/window_helpers.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

using namespace quel::widgets;

namespace {
QDateTime at(int y, int m, int d, int h = 0, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
} // namespace

TEST(ArrayHelpers, IndexOfTextSkipsElementZero)
{
    EXPECT_EQ(IndexOfText("a", { "a" }), -1);
    EXPECT_EQ(IndexOfText("a", { "a", "b", "a" }), 2);
    EXPECT_EQ(IndexOfText("b", { "", "b", "b" }), 1);
    EXPECT_EQ(IndexOfText("B", { "", "b" }), -1);
    EXPECT_EQ(IndexOfText("a", {}), -1);
}

TEST(ArrayHelpers, IndexOfValueSearchesFromZero)
{
    EXPECT_EQ(IndexOfValue(5, { 5, 6, 5 }), 0);
    EXPECT_EQ(IndexOfValue(6, { 5, 6, 5 }), 1);
    EXPECT_EQ(IndexOfValue(7, { 5, 6 }), -1);
    EXPECT_EQ(IndexOfValue(7, {}), -1);
}

TEST(ClampToRange, NumbersInEitherBoundOrder)
{
    QVariant v = 50;
    ClampToRange(v, 40, 1);
    EXPECT_EQ(v.toInt(), 40);
    v = 0;
    ClampToRange(v, 40, 1);
    EXPECT_EQ(v.toInt(), 1);
    v = 7;
    ClampToRange(v, 1, 40);
    EXPECT_EQ(v.toInt(), 7);
    v = 2.75;
    ClampToRange(v, 0.5, 2.5);
    EXPECT_DOUBLE_EQ(v.toDouble(), 2.5);
    v = -1.0;
    ClampToRange(v, QVariant("3"), QVariant("1.5"));
    EXPECT_DOUBLE_EQ(v.toDouble(), 1.5);
}

TEST(ClampToRange, OtherTypesUnchanged)
{
    QVariant text = QString("50");
    ClampToRange(text, 40, 1);
    EXPECT_EQ(text.toString(), "50");
    QVariant empty;
    ClampToRange(empty, 40, 1);
    EXPECT_FALSE(empty.isValid());
}

TEST(ClampToRange, DatesAgainstDateBounds)
{
    QVariant d = at(2030, 1, 1);
    ClampToRange(d, QString("2026-12-31"), QString("2026-1-1"));
    EXPECT_EQ(d.toDateTime(), at(2026, 12, 31));
    QVariant day = QDate(2020, 5, 5);
    ClampToRange(day, QDate(2026, 1, 1), QDate(2026, 2, 1));
    EXPECT_EQ(day.toDate(), QDate(2026, 1, 1));
    EXPECT_EQ(day.typeId(), QMetaType::QDate);
}

TEST(ClampRowRange, IntoDataRows)
{
    QString start = "0", end = "99";
    ClampRowRange(12, 2, start, end);
    EXPECT_EQ(start, "1");
    EXPECT_EQ(end, "10");

    start = "8";
    end = "3";
    ClampRowRange(12, 2, start, end);
    EXPECT_EQ(start, "8");
    EXPECT_EQ(end, "3");

    start = "abc";
    end = "";
    ClampRowRange(12, 2, start, end);
    EXPECT_EQ(start, "1");
    EXPECT_EQ(end, "1");
}

TEST(WindowHelpers, WaitAndOpenByCaption)
{
    quel::test::app();
    EXPECT_FALSE(IsWindowOpen("等候窗口"));
    QElapsedTimer timer;
    timer.start();
    WaitWhileWindowOpen("等候窗口");
    EXPECT_LT(timer.elapsed(), 1000);

    QWidget window;
    window.setWindowTitle("等候窗口");
    window.show();
    EXPECT_TRUE(IsWindowOpen("等候窗口"));
    EXPECT_FALSE(IsWindowOpen("等候"));
    QTimer::singleShot(100, &window, &QWidget::close);
    WaitWhileWindowOpen("等候窗口");
    EXPECT_FALSE(IsWindowOpen("等候窗口"));

    QLineEdit a("0"), b("99");
    ClampRowRange(12, 2, &a, &b);
    EXPECT_EQ(a.text(), "1");
    EXPECT_EQ(b.text(), "10");

    MakeTopmost(&window);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}
