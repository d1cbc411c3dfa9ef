#pragma once

#include <QString>
#include <QStringList>

namespace quel::shell {

// quelmar [--data DIR] [--market URL] [--db DATABASE] [--batch COMMAND ARGS...]
struct CommandLine
{
    QStringList options; // the program options, for the folder and market look-ups
    // --db: the database file (as given, relative to the current folder) or server address
    // this run uses instead of the catalogue's current one; empty when not given.
    QString database;
    bool batch = false; // --batch given
    QStringList batchArguments; // everything after --batch
    bool help = false;
    QString error; // a Chinese message when the line cannot be used
};

// Parses the arguments without the program name.
CommandLine ParseCommandLine(const QStringList& arguments);

QString commandLineUsage();

} // namespace quel::shell
