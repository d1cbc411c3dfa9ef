#include "core/clock.h"
#include "core/console_feedback.h"
#include "core/exit_codes.h"
#include "core/heap_pages.h"
#include "db_pg/server_address.h"
#include "shell/batch.h"
#include "shell/command_line.h"
#include "shell/interrupt_watcher.h"
#include "shell/main_window.h"
#include "shell/qt_translations.h"
#include "store/catalogue.h"
#include "store/data_folder.h"
#include "store/db_operate.h"
#include "views/action_icons.h"
#include "web/market.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

// Batch runs and start-up errors speak on stderr; the window program shows a message box.
int fail(bool batch, const QString& text, int code)
{
    if (batch)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    else
        quel::widgets::Dialogs::message(nullptr, text);
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    quel::core::StartWithHugeHeapPages(argv);
    quel::core::ReadTimeZoneOnce();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const quel::shell::CommandLine line = quel::shell::ParseCommandLine(arguments);

    // Usage and command-line mistakes are answered on the terminal, before any screen is needed.
    if (line.help) {
        std::fprintf(stdout, "%s\n%s\n", quel::shell::commandLineUsage().toLocal8Bit().constData(),
            quel::shell::batchUsage().toLocal8Bit().constData());
        return quel::core::kBatchOk;
    }
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "%s\n%s\n", line.error.toLocal8Bit().constData(),
            quel::shell::commandLineUsage().toLocal8Bit().constData());
        return quel::core::kBatchUsage;
    }

    // Batch commands need no screen.
    if (line.batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("quelmar"));
    QApplication::setApplicationName(QStringLiteral("quelmar"));

    QString error;
    if (!quel::web::ConfigureMarket(line.options, &error))
        return fail(line.batch, error, quel::core::kBatchUsage);

    // A database file named with --db is found from where the program was started, before
    // the data folder becomes the current one.
    QString runDatabase = line.database;
    if (!runDatabase.isEmpty() && !quel::db_pg::IsServerAddress(runDatabase))
        runDatabase = QFileInfo(runDatabase).absoluteFilePath();

    const QString folder = quel::store::resolveDataFolder(line.options);
    if (!quel::store::initialiseDataFolder(folder, QCoreApplication::applicationDirPath(), &error))
        return fail(line.batch, error, quel::core::kBatchFatal);
    // The catalogue, the databases and the worker files are all found relative to it.
    QDir::setCurrent(folder);

    // SIGINT and SIGTERM end the run in order: workers ended, imports kept, work tables
    // dropped; the exit code then tells which signal it was.
    quel::shell::InterruptWatcher interrupt;

    if (line.batch) {
        // A modal box would wait for ever with no one to answer it.
        quel::widgets::Dialogs::setConsole(true);
        quel::store::Catalogue catalogue(folder);
        if (!runDatabase.isEmpty())
            catalogue.useDatabaseForRun(runDatabase);
        catalogue.LoadCurrentDatabase();
        quel::core::ConsoleFeedback feedback(&quel::shell::InterruptWatcher::stopRequested);
        quel::store::DB_Operate db(catalogue, feedback);
        quel::shell::BatchContext context { folder, catalogue, db, feedback };
        return quel::shell::RunBatch(line.batchArguments, context);
    }

    // The standard dialogs speak Chinese like the rest of the program.
    quel::shell::InstallQtTranslations(app);
    // The desktop menu entry quelmar.desktop names this program and its picture.
    QGuiApplication::setDesktopFileName(QStringLiteral("quelmar"));
    QApplication::setWindowIcon(quel::views::programIcon());
    quel::shell::MainWindow window(folder);
    if (!runDatabase.isEmpty())
        window.catalogue().useDatabaseForRun(runDatabase);
    // The window's own shutdown ends the download windows' workers and drops the work tables.
    QObject::connect(&interrupt, &quel::shell::InterruptWatcher::interrupted, &window,
        [&window] { window.close(); });
    window.startUp();
    window.show();
    const int code = app.exec();
    return quel::shell::InterruptWatcher::signalNumber() != 0
        ? quel::shell::InterruptWatcher::exitCode()
        : code;
}
