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

// Messages and progress of batch runs as lines on stderr; questions are answered No. The
// indicator counts as closed (the user's cancel) once SIGINT or SIGTERM has arrived, so a
// long operation stops at its next step.
class ConsoleFeedback : public core::Feedback
{
public:
    void message(const QString& text) override;
    bool ask(const QString& text) override;
    void indicatorStart(const QString& title, long total, long position) override;
    void indicatorStep(long n, const QString& mode) override;
    void indicatorClose() override;
    bool isIndicatorOpen() const override;
    void processEvents() override;

    // Every message shown, for the summary and for tests.
    const QStringList& messages() const { return m_messages; }

private:
    QString m_title;
    long m_total = 1;
    long m_position = 0;
    QStringList m_messages;
};

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
