#pragma once

#include <QString>

namespace quel {
class Feedback;
}

namespace quel::store {

// The system's temporary folder, ending in "/"; empty when it cannot be found.
QString TempDirectory();

// Compacts the database file at path into TempDirectory()/temp.mdb (same key) and copies
// it back; with makeBackup the previous file is first copied to TempDirectory()/backup.mdb.
// Shows its progress and failure messages through feedback. True when compacted.
bool CompactDatabaseFile(
    const QString& path, const QString& password, bool makeBackup, Feedback& feedback);

} // namespace quel::store
