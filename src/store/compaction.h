#pragma once

#include <QString>

namespace quel::core {
class Feedback;
}

namespace quel::store {

// The system's temporary folder, ending in "/"; empty when it cannot be found.
QString TempDirectory();

// Compacts the database file at path into TempDirectory()/temp.mdb (same key) and copies
// it back; with makeBackup the previous file is first copied to TempDirectory()/backup.mdb.
// Shows its progress and failure messages through feedback. True when compacted.
// A server address is handed to CompactServerDatabase.
bool CompactDatabaseFile(
    const QString& path, const QString& password, bool makeBackup, core::Feedback& feedback);

// Tidies a database on a server with VACUUM ANALYZE through the process's handle, with the
// same progress window and failure message as a file; the server keeps its own data safe,
// so no backup copy is written. True when done.
bool CompactServerDatabase(const QString& address, core::Feedback& feedback);

} // namespace quel::store
