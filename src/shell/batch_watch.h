// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quel::shell {

struct BatchContext;

// "follow|unfollow product|shop|category VALUE": 0 when done (also for a value already
// followed, or not followed), 1 for a value that is not stored or a database that cannot be
// opened, 2 for bad arguments.
int RunFollowBatch(BatchContext& context, const QStringList& arguments, bool follow);
QString FollowBatchUsage();

// Options of "watch [--threshold PCT] [--workers N] [--rate N] [--out FILE]".
struct WatchOptions
{
    double threshold = 5;
    int workers = 0;
    double rate = 0;
    QString out;
};

// Reads the words after "watch"; nullopt with a message in error for bad ones.
std::optional<WatchOptions> ParseWatchArguments(const QStringList& words, QString* error);
QString WatchBatchUsage();

// The watch run: every followed category's and shop's search, the details of the followed
// products, of every product of a followed shop and of every product new since the last run,
// then the digest of what changed, printed and stored (and written to --out). 0 when all of
// it succeeded, 3 when some search or job failed (the digest then holds what was reached),
// 1 when the database cannot be opened or the digest cannot be stored, 2 for bad arguments.
int RunWatchBatch(BatchContext& context, const QStringList& arguments);

} // namespace quel::shell
