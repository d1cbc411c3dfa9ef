// Saves a picture of the main window at 1280x800 (for the README): quel_screenshot OUT.png
// The window is built over a fresh data folder, so it shows what a first start shows.
#include "shell/dialogs.h"
#include "shell/main_window.h"
#include "store/data_folder.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: quel_screenshot OUT.png\n");
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

    int status = 0;
    {
        quel::shell::MainWindow window(folder.path());
        window.startUp();
        window.resize(1280, 800);
        window.show();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        const QPixmap picture = window.grab();
        if (picture.isNull() || !picture.save(out, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", out.toLocal8Bit().constData());
            status = 1;
        } else {
            std::printf(
                "%s: %dx%d\n", out.toLocal8Bit().constData(), picture.width(), picture.height());
        }
        window.hide();
    }
    QDir::setCurrent(QDir::homePath());
    return status;
}
