// Saves a picture of the main window at 1280x800 (for the README):
// quel_screenshot OUT.png [CHART.png]
// The window is built over a fresh data folder holding a few sample products. With a second
// name, the product statistics of those samples are run on the analysis page and the window
// is saved again showing their chart.
#include "core/feedback.h"
#include "shell/analysis_page.h"
#include "shell/main_window.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/db_operate.h"
#include "widgets/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void addSampleProducts(const QString& folder)
{
    quel::store::Catalogue catalogue(folder);
    catalogue.LoadCurrentDatabase();
    quel::SilentFeedback feedback;
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
    quel::shell::Dialogs::setHeadless(true);
    addSampleProducts(folder.path());

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
            // Product statistics by shop and product: price and 90-day sales.
            window.tabs()->setCurrentWidget(window.analysisPage());
            window.findChild<QAbstractButton*>(QStringLiteral("CK40_4"))->setChecked(true);
            window.runCommand(40);
            save(arguments.at(2));
        }
        window.hide();
    }
    QDir::setCurrent(QDir::homePath());
    return status;
}
