#pragma once

#include <QStringList>

class QTextStream;

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

// "search KEYWORD [--nick NICK]": the product search without a window, on the market the
// program was started for. Progress lines go to err. Exit code 0 when the search ran,
// whatever it found; 2 for bad arguments; 1 when it could not run.
int RunSearchBatch(store::DB_Operate& db, const QString& dataFolder, const QStringList& arguments,
    QTextStream& err);

// The usage line of the command's arguments.
QString SearchBatchUsage();

} // namespace quel::search
