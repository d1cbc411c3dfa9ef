#pragma once

#include <QString>
#include <QStringList>

namespace quel::shell {

// quelmar [--data DIR] [--market URL] [--batch COMMAND ARGS...]
struct CommandLine
{
    QStringList options; // the program options, for the folder and market look-ups
    bool batch = false; // --batch given
    QStringList batchArguments; // everything after --batch
    bool help = false;
    QString error; // a Chinese message when the line cannot be used
};

// Parses the arguments without the program name.
CommandLine ParseCommandLine(const QStringList& arguments);

QString commandLineUsage();

} // namespace quel::shell
