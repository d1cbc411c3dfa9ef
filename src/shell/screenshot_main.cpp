// Saves a picture of the main window at 1280x800 (for the README):
// quel_screenshot OUT.png [CHART.png [TRADES.png BUYERS.png CYCLE.png TREND.png [OVERVIEW.png]]]
// The window is built over a fresh data folder holding a few sample products with their
// trades, buyers and price history. With a second name, the product statistics of those
// samples are run on the analysis page and the window is saved again at 1366x768 showing
// their chart; the further names get the other analysis pages and the market overview.
#include "analysis/customer_stats.h"
#include "analysis/ui/overview_page.h"
#include "core/feedback.h"
#include "shell/analysis_page.h"
#include "shell/main_window.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/db_operate.h"
#include "views/ui/product_chooser.h"
#include "widgets/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void addSampleProducts(const QString& folder)
{
    quel::store::Catalogue catalogue(folder);
    catalogue.LoadCurrentDatabase();
    quel::core::SilentFeedback feedback;
    quel::store::DB_Operate db(catalogue, feedback);
    const struct
    {
        const char* name;
        const char* shop;
        const char* addr;
        double price;
        double fee;
        int sold;
    } samples[] = {
        { "诺基亚 5200 滑盖音乐手机", "数码小铺", "广东 深圳", 899, 10, 132 },
        { "诺基亚 5200 原装正品 行货", "手机之家", "上海", 925, 0, 87 },
        { "三星 E258 直板手机", "通讯城", "北京", 560, 12, 45 },
        { "摩托罗拉 V3 经典刀锋", "数码小铺", "广东 深圳", 780, 10, 64 },
        { "诺基亚 N73 智能手机", "星星数码", "浙江 杭州", 1650, 15, 210 },
        { "索尼爱立信 W200c 音乐手机", "手机之家", "上海", 699, 0, 38 },
        { "诺基亚 6300 商务直板", "通讯城", "北京", 1180, 12, 156 },
        { "三星 D908 双模手机", "星星数码", "浙江 杭州", 1320, 15, 22 },
    };
    int code = 1001;
    for (const auto& sample : samples) {
        db.ExecuteSql(QStringLiteral("INSERT INTO 产品表 (KWord, PCode, P_Name, PName, SName, Dat, "
                                     "Addr, Price, MFee, Num1, Num9) VALUES ('手机', '%1', %2, "
                                     "%2, %3, '2026-12-7', %4, %5, %6, %7, %8)")
                          .arg(code++)
                          .arg(quel::store::Quote(QString::fromUtf8(sample.name)),
                              quel::store::Quote(QString::fromUtf8(sample.shop)),
                              quel::store::Quote(QString::fromUtf8(sample.addr)))
                          .arg(sample.price)
                          .arg(sample.fee)
                          .arg(sample.sold)
                          .arg(sample.sold * 3));
    }
}

// Two months of trades of the sample products, their buyers' profiles and a month of price
// observations: enough for every analysis page to show something to read.
void addSampleTrades(const QString& folder)
{
    quel::store::Catalogue catalogue(folder);
    catalogue.LoadCurrentDatabase();
    quel::core::SilentFeedback feedback;
    quel::store::DB_Operate db(catalogue, feedback);
    static const char* const provinces[]
        = { "广东", "浙江", "上海", "北京", "江苏", "四川", "湖北", "山东" };
    const QDate newest(2026, 12, 7);
    for (int b = 0; b < 120; ++b) {
        const QString province = QString::fromUtf8(provinces[(b * 7) % 8]);
        const int level = (b * b) % 11;
        // Most logged in lately, a few long ago.
        const int daysBack = (b % 9 == 0) ? 100 + b * 3 : (b * 13) % 40;
        db.ExecuteSql(QStringLiteral("INSERT INTO 客户表(BCode,BName,Prov,Regi,BLevel,lDat) "
                                     "VALUES('c%1','买家%1','%2','%2区',%3,#%4#)")
                          .arg(b)
                          .arg(province)
                          .arg(level)
                          .arg(newest.addDays(-daysBack).toString(QStringLiteral("yyyy-M-d"))));
    }
    for (int pid = 1; pid <= 8; ++pid) {
        for (int t = 0; t < 40 + pid * 6; ++t) {
            const QDate day = newest.addDays(-((t * 17 + pid * 5) % 63));
            const int hour = (9 + t * 5 + pid) % 24;
            const int price = 560 + pid * 120 - (t % 7) * 10;
            db.ExecuteSql(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) "
                                         "VALUES(%1,'c%2','买家%2',#%3 %4:%5#,%6,%7)")
                              .arg(pid)
                              .arg((t * 11 + pid * 3) % 120)
                              .arg(day.toString(QStringLiteral("yyyy-M-d")))
                              .arg(hour, 2, 10, QLatin1Char('0'))
                              .arg((t * 7) % 60, 2, 10, QLatin1Char('0'))
                              .arg(price)
                              .arg(1 + t % 3));
        }
        for (int d = 0; d < 30; d += 3) {
            db.ExecuteSql(QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(%1,#%2#,%3)")
                              .arg(pid)
                              .arg(newest.addDays(d - 30).toString(QStringLiteral("yyyy-M-d")))
                              .arg(560 + pid * 120 - (d * pid) % 90));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: quel_screenshot OUT.png [CHART.png]\n");
        return 2;
    }
    const QString out = arguments.at(1);

    // Chinese captions need a CJK face whatever the platform's default is.
    for (const QString& family : { QStringLiteral("Noto Sans CJK SC"),
             QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei") }) {
        if (QFontDatabase::families().contains(family)) {
            QFont font(family);
            font.setPointSize(10);
            QApplication::setFont(font);
            break;
        }
    }

    QTemporaryDir folder;
    QString error;
    if (!folder.isValid()
        || !quel::store::initialiseDataFolder(
            folder.path(), QCoreApplication::applicationDirPath(), &error)) {
        std::fprintf(stderr, "cannot prepare a data folder: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    QDir::setCurrent(folder.path());
    quel::widgets::Dialogs::setHeadless(true);
    addSampleProducts(folder.path());
    addSampleTrades(folder.path());

    int status = 0;
    {
        quel::shell::MainWindow window(folder.path());
        window.startUp();
        window.resize(1280, 800);
        window.show();
        const auto save = [&window, &status](const QString& path) {
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents();
            const QPixmap picture = window.grab();
            if (picture.isNull() || !picture.save(path, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
                status = 1;
            } else {
                std::printf("%s: %dx%d\n", path.toLocal8Bit().constData(), picture.width(),
                    picture.height());
            }
        };
        save(out);
        if (arguments.size() > 2) {
            // Product statistics by shop and product: price and 90-day sales, on the screen
            // the program is tried on.
            window.resize(1366, 768);
            window.tabs()->setCurrentWidget(window.analysisPage());
            window.findChild<QAbstractButton*>(QStringLiteral("CK40_4"))->setChecked(true);
            window.runCommand(40);
            save(arguments.at(2));
        }
        quel::shell::AnalysisPage* analysis = window.analysisPage();
        const auto choose = [&window](const QString& box, const QString& names) {
            QLineEdit* edit = window.textBox(box);
            edit->setText(names);
            quel::views::setProductBoxTag(edit, QStringLiteral("1；5；7；"));
        };
        const auto click
            = [&window](const QString& name) { window.findChild<QAbstractButton*>(name)->click(); };
        const QString names = QStringLiteral("诺基亚 5200；诺基亚 N73；诺基亚 6300；");
        if (arguments.size() > 3) {
            // The average price of three products by week, gaps where a week had no trade.
            analysis->tabs()->setCurrentIndex(1);
            choose(QStringLiteral("tPName2"), names);
            click(QStringLiteral("OP41_6"));
            click(QStringLiteral("OP41_4"));
            save(arguments.at(3));
        }
        if (arguments.size() > 4) {
            // Their buyers by credit level.
            analysis->tabs()->setCurrentIndex(2);
            choose(QStringLiteral("tPName3"), names);
            quel::analysis::PrepareCustomerSet(window.db(), QStringLiteral("1；5；7；"));
            click(QStringLiteral("Op42_2"));
            save(arguments.at(4));
        }
        if (arguments.size() > 5) {
            // Their sales over the hours of the day.
            analysis->tabs()->setCurrentIndex(3);
            choose(QStringLiteral("tPName4"), names);
            click(QStringLiteral("Op43_1"));
            window.runCommand(44);
            save(arguments.at(5));
        }
        if (arguments.size() > 6) {
            analysis->tabs()->setCurrentIndex(4);
            QLineEdit* box = analysis->trendProducts();
            box->setText(names);
            quel::views::setProductBoxTag(box, QStringLiteral("1；5；7；"));
            click(QStringLiteral("OP45_0"));
            save(arguments.at(6));
        }
        if (arguments.size() > 7) {
            // The whole market of the samples' category, their item pages counted as fetched.
            window.db().ExecuteSql(QStringLiteral("UPDATE 产品表 SET Style='1'"));
            analysis->tabs()->setCurrentIndex(5);
            quel::analysis::OverviewPage* page = analysis->overviewPage();
            page->categoryBox()->setCurrentIndex(
                page->categoryBox()->findText(QStringLiteral("手机")));
            page->runButton()->click();
            save(arguments.at(7));
        }
        window.hide();
    }
    QDir::setCurrent(QDir::homePath());
    return status;
}
