#include "store/compaction.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db_pg/server_address.h"
#include "db_sqlite/sqlite_database.h"
#include "store/database_key.h"
#include "store/database_pool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace quel::store {

using db::Database;
using db_pg::IsServerAddress;

QString TempDirectory()
{
    const QString temp = QDir::tempPath();
    if (temp.isEmpty() || !QFileInfo(temp).isDir())
        return {};
    return temp.endsWith(u'/') ? temp : temp + u'/';
}

namespace {

struct CompactionError
{
    QString description;
    int number = 0;
};

QString quoteLiteral(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

// Writes an encrypted copy of the open database into target, same key, rebuilt without
// free pages.
std::optional<CompactionError> compactInto(
    Database& db, const QString& target, const QString& password)
{
    QString error;
    const QString attach = QStringLiteral("ATTACH DATABASE %1 AS quel_compact KEY %2")
                               .arg(quoteLiteral(target), quoteLiteral(password));
    if (!db.executeNative(attach, &error))
        return CompactionError { error, db.lastErrorCode() };
    // The copy is written with the current page size, whatever the file had.
    if (!db.executeNative(QStringLiteral("PRAGMA quel_compact.cipher_page_size = %1")
                              .arg(db_sqlite::kCipherPageBytes),
            &error)) {
        const int code = db.lastErrorCode();
        db.executeNative(QStringLiteral("DETACH DATABASE quel_compact"));
        return CompactionError { error, code };
    }
    const bool exported
        = db.executeNative(QStringLiteral("SELECT sqlcipher_export('quel_compact')"), &error);
    const int code = db.lastErrorCode();
    db.executeNative(QStringLiteral("DETACH DATABASE quel_compact"));
    if (!exported)
        return CompactionError { error, code };
    // The copy must open with the key before it replaces anything.
    if (!OpenDatabase(target, password, &error))
        return CompactionError { error, 26 };
    return std::nullopt;
}

void removeSideFiles(const QString& path)
{
    for (const char* suffix : { "-wal", "-shm", "-journal" })
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

namespace {

bool compactionFailed(core::Feedback& feedback, const CompactionError& error)
{
    feedback.indicatorClose();
    feedback.message(QStringLiteral("数据库压缩失败（") + error.description
        + QString::number(error.number) + QStringLiteral("）！"));
    return false;
}

} // namespace

bool CompactServerDatabase(const QString& address, core::Feedback& feedback)
{
    auto fail = [&](const CompactionError& error) { return compactionFailed(feedback, error); };
    feedback.indicatorStart(QStringLiteral("开始压缩数据库……"), 3, 0);
    QString error;
    std::shared_ptr<Database> db = DatabasePool::shared().acquire(address, &error);
    if (!db)
        return fail({ error, 26 });
    feedback.indicatorStep(1, QStringLiteral("pages"));
    // Frees the space of deleted rows for reuse and renews the planner's statistics, the
    // server's counterpart of rebuilding the file.
    if (!db->executeNative(QStringLiteral("VACUUM ANALYZE"), &error))
        return fail({ error, db->lastErrorCode() });
    feedback.indicatorStep(1, QStringLiteral("pages"));
    feedback.indicatorClose();
    return true;
}

bool CompactDatabaseFile(
    const QString& path, const QString& password, bool makeBackup, core::Feedback& feedback)
{
    if (IsServerAddress(path))
        return CompactServerDatabase(path, feedback);
    if (!QFileInfo(path).isFile()) {
        feedback.message(QStringLiteral("没有找到要压缩的数据库文件！"));
        return false;
    }
    auto fail = [&](const CompactionError& error) { return compactionFailed(feedback, error); };
    feedback.indicatorStart(QStringLiteral("开始压缩数据库……"), 3, 0);
    const QString tempDir = TempDirectory();
    if (tempDir.isEmpty())
        return fail({ QStringLiteral("找不到临时文件夹"), 76 });
    // The process's own handle does the work, so no second handle keeps a log open on the
    // file; every change is folded into the file before it is copied.
    QString error;
    std::shared_ptr<Database> db = password == QLatin1String(kDatabasePassword)
        ? DatabasePool::shared().acquire(path, &error)
        : OpenDatabase(path, password, &error);
    if (!db)
        return fail({ error, 26 });
    if (!db->executeNative(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), &error))
        return fail({ error, db->lastErrorCode() });

    if (makeBackup) {
        const QString backup = tempDir + QStringLiteral("backup.mdb");
        QFile::remove(backup);
        QFile source(path);
        if (!source.copy(backup))
            return fail({ source.errorString(), static_cast<int>(source.error()) });
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));

    const QString temp = tempDir + QStringLiteral("temp.mdb");
    QFile::remove(temp);
    if (const auto failure = compactInto(*db, temp, password)) {
        QFile::remove(temp);
        return fail(*failure);
    }
    feedback.indicatorStep(1, QStringLiteral("pages"));

    // Copied next to the database and renamed over it, so the file is never missing or
    // half written (deleting it first would risk both).
    const QString staged = path + QStringLiteral(".TMP");
    QFile::remove(staged);
    QFile compacted(temp);
    if (!compacted.copy(staged)) {
        QFile::remove(staged);
        QFile::remove(temp);
        return fail({ compacted.errorString(), static_cast<int>(compacted.error()) });
    }
    // Everyone's handle on the old file closes; the next use opens the compacted one.
    db->close();
    db.reset();
    DatabasePool::shared().close(path);
    removeSideFiles(path);
    std::error_code ec;
    std::filesystem::rename(staged.toStdString(), path.toStdString(), ec);
    if (ec) {
        QFile::remove(staged);
        QFile::remove(temp);
        return fail({ QString::fromStdString(ec.message()), ec.value() });
    }
    QFile::remove(temp);
    feedback.indicatorClose();
    return true;
}

} // namespace quel::store
