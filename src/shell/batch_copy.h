#pragma once

#include <QString>
#include <QStringList>

namespace quel::shell {

struct BatchContext;

// Which way "--batch copy-to ADDRESS" / "--batch copy-from ADDRESS" copies: the current
// database into the server database at ADDRESS, or that server database into the current
// one.
enum class CopyDirection
{
    ToServer,
    FromServer
};

QString CopyBatchUsage();

// The whole command: 2 with the usage for a missing or malformed address, 1 when either
// database cannot be opened, the target already holds data, or the copy failed (nothing is
// kept then), 0 when every table was copied and its row count checked. Progress (rows
// copied of each table's total) and the outcome go to stderr.
int RunCopyBatch(BatchContext& context, const QStringList& arguments, CopyDirection direction);

} // namespace quel::shell
