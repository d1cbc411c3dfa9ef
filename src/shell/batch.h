#pragma once

#include "core/feedback.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace quel::store {
class Catalogue;
class DB_Operate;
} // namespace quel::store

namespace quel::shell {

// What a batch command works on: the data folder (the current folder), its catalogue with
// the current database, the database operations, and the console feedback.
struct BatchContext
{
    QString dataFolder;
    store::Catalogue& catalogue;
    store::DB_Operate& db;
    core::Feedback& feedback;
};

// One "quelmar --batch NAME ARGS..." command. run returns the process's exit code.
struct BatchCommand
{
    QString name;
    QString usage; // the arguments after the name, for the usage text
    std::function<int(BatchContext& context, const QStringList& arguments)> run;
};

// Every batch command of the program (the table lives in batch.cpp).
const std::vector<BatchCommand>& batchCommands();

// The usage text listing the batch commands.
QString batchUsage();

// Runs arguments[0] with the rest as its arguments. Unknown or missing names print the
// usage and give exit code 2. Whatever the command did, its work tables ("TEMP_") are
// dropped before returning, so the next run starts from the stored data; after SIGINT or
// SIGTERM the exit code is 128 + the signal's number.
int RunBatch(const QStringList& arguments, BatchContext& context);

} // namespace quel::shell
