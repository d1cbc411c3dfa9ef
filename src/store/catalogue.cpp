#include "store/catalogue.h"

#include "core/text_cut.h"
#include "core/text_files.h"
#include "db/database.h"
#include "db_pg/server_address.h"
#include "store/database_pool.h"

#include <QFile>
#include <QFileInfo>

namespace quel::store {

using db_pg::IsServerAddress;
using db_pg::ServerAddressHoldsPassword;
using db_pg::ServerAddressProblem;

QString Catalogue::separator()
{
    return QStringLiteral("〗★〖");
}

QString Catalogue::defaultName()
{
    return QStringLiteral("默认");
}

QString fileNameOfPath(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(slash + 1);
}

Catalogue::Catalogue(const QString& folder)
    : m_folder(folder)
    , m_currentName(defaultName())
{ }

QString Catalogue::catalogueFile() const
{
    return m_folder + QStringLiteral("/DB.txt");
}

QString databaseOfPath(const QString& path)
{
    return IsServerAddress(path) ? path : fileNameOfPath(path);
}

QString Catalogue::currentDatabasePath() const
{
    if (!m_runDatabase.isEmpty())
        return m_runDatabase;
    if (IsServerAddress(m_currentFile))
        return m_currentFile;
    return m_folder + u'/' + m_currentFile;
}

QString Catalogue::openedPath(const QString& storedPath) const
{
    // Only the file name counts: the program reads its databases from the data folder,
    // even when the stored path names another folder.
    return IsServerAddress(storedPath) ? storedPath : m_folder + u'/' + fileNameOfPath(storedPath);
}

namespace {

// Whether two names of databases open the same one: equal addresses, or paths of one file.
bool sameDatabase(const QString& a, const QString& b)
{
    if (IsServerAddress(a) || IsServerAddress(b))
        return a == b;
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// The name and path fields of a catalogue text; empty when it holds no complete record.
QStringList splitCatalogue(const QString& text)
{
    QStringList fields = text.split(Catalogue::separator());
    // Editors end a file with a line break, and some leave blank lines: none of them is
    // part of a name or a path.
    for (QString& field : fields) {
        while (field.startsWith(u'\r') || field.startsWith(u'\n'))
            field.remove(0, 1);
        while (field.endsWith(u'\r') || field.endsWith(u'\n'))
            field.chop(1);
    }
    if (fields.size() < 2 || fields.at(1).trimmed().isEmpty())
        return {};
    // A name without its path at the end cannot be opened: it is left out.
    if (fields.size() % 2 != 0)
        fields.removeLast();
    return fields;
}

QStringList readCatalogue(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return splitCatalogue(quel::core::DecodeTextFile(in.readAll()));
}

} // namespace

bool Catalogue::catalogueExists() const
{
    return !readCatalogue(catalogueFile()).isEmpty();
}

QStringList Catalogue::fields() const
{
    QStringList fields = readCatalogue(catalogueFile());
    if (fields.isEmpty())
        fields = QStringList { defaultName(), m_folder + QStringLiteral("/DATA.mdb") };
    return fields;
}

QStringList Catalogue::names() const
{
    const QStringList all = fields();
    QStringList names;
    for (qsizetype i = 0; i + 1 < all.size(); i += 2)
        names << all.at(i);
    return names;
}

bool Catalogue::write(const QString& text)
{
    return quel::core::WriteFileAtomic(text, catalogueFile()) == 1;
}

void Catalogue::LoadCurrentDatabase()
{
    const QStringList stored = readCatalogue(catalogueFile());
    if (stored.isEmpty()) {
        m_currentFile = QStringLiteral("DATA.mdb");
        m_currentName = defaultName();
    } else {
        m_currentFile = databaseOfPath(stored.at(1));
        m_currentName = stored.at(0);
    }
    // The run's own database keeps its place over the catalogue's first record.
    if (!m_runDatabase.isEmpty())
        useDatabaseForRun(m_runDatabase);
}

void Catalogue::useDatabaseForRun(const QString& pathOrAddress)
{
    m_runDatabase = pathOrAddress;
    m_currentName = pathOrAddress;
    const QStringList all = fields();
    for (qsizetype i = 0; i + 1 < all.size(); i += 2) {
        if (sameDatabase(openedPath(all.at(i + 1)), pathOrAddress)) {
            m_currentName = all.at(i);
            return;
        }
    }
}

bool Catalogue::IsCatalogueNameFree(const QString& name) const
{
    return !names().contains(name, Qt::CaseSensitive);
}

QString Catalogue::NextDataFileName() const
{
    for (int n = 1; n <= 999999; ++n) {
        const QString file = QStringLiteral("DATA%1.mdb").arg(n);
        if (!QFileInfo::exists(m_folder + u'/' + file))
            return file;
    }
    return {};
}

bool Catalogue::AddCatalogueEntry(const QString& name, const QString& path)
{
    if (IsServerAddress(path) && ServerAddressHoldsPassword(path))
        return false;
    return write(fields().join(separator()) + separator() + name + separator() + path);
}

bool Catalogue::SelectCatalogueEntry(const QString& rawName)
{
    const QString name = core::TrimBlanks(rawName);
    const QStringList stored = readCatalogue(catalogueFile());
    if (name.isEmpty() || stored.isEmpty())
        return false;
    QStringList rest;
    QString path;
    bool found = false;
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2) {
        if (stored.at(i) == name && !found) {
            if (i == 0) {
                // Already current: the file stays untouched. A run on another database
                // goes back to it.
                if (m_runDatabase.isEmpty())
                    return false;
                m_runDatabase.clear();
                m_currentFile = databaseOfPath(stored.at(1));
                m_currentName = name;
                return true;
            }
            path = stored.at(i + 1);
            found = true;
        } else {
            rest << stored.at(i) << stored.at(i + 1);
        }
    }
    if (!found)
        return false;
    if (!write((QStringList { name, path } + rest).join(separator())))
        return false;
    m_runDatabase.clear();
    m_currentFile = databaseOfPath(path);
    m_currentName = name;
    return true;
}

DeleteOutcome Catalogue::DeleteCatalogueEntry(const QString& rawName,
    const std::function<bool(const QString& name, const QString& address)>& confirmServerRemoval)
{
    const QString name = core::TrimBlanks(rawName);
    if (name.isEmpty())
        return DeleteOutcome::NotDeleted;
    if (name == defaultName())
        return DeleteOutcome::DefaultRefused;
    const QStringList stored = readCatalogue(catalogueFile());
    if (stored.isEmpty())
        return DeleteOutcome::NotDeleted;
    const QString inUse = currentDatabasePath();
    QStringList rest;
    QString doomed;
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2) {
        if (stored.at(i) == name) {
            const QString opened = openedPath(stored.at(i + 1));
            // The first record, or the database this run was started on.
            if (i == 0 || sameDatabase(opened, inUse))
                return DeleteOutcome::InUseRefused;
            doomed = opened;
        } else {
            rest << stored.at(i) << stored.at(i + 1);
        }
    }
    if (doomed.isEmpty())
        return DeleteOutcome::NotDeleted;
    if (IsServerAddress(doomed)) {
        if (!confirmServerRemoval || !confirmServerRemoval(name, doomed))
            return DeleteOutcome::NotDeleted;
        if (!write(rest.join(separator())))
            return DeleteOutcome::NotDeleted;
        DatabasePool::shared().release(doomed);
        return DeleteOutcome::Deleted;
    }
    if (!write(rest.join(separator())))
        return DeleteOutcome::NotDeleted;
    DatabasePool::shared().close(doomed);
    QFile::remove(doomed);
    for (const char* suffix : { "-wal", "-shm", "-journal" })
        QFile::remove(doomed + QLatin1String(suffix));
    return DeleteOutcome::Deleted;
}

std::optional<NewDatabaseOutcome> Catalogue::refusedNewName(const QString& name) const
{
    if (name.isEmpty())
        return NewDatabaseOutcome { NewDatabaseOutcome::Kind::Nothing, name, {}, {} };
    if (!IsCatalogueNameFree(name))
        return NewDatabaseOutcome { NewDatabaseOutcome::Kind::NameTaken, name, {}, {} };
    return std::nullopt;
}

NewDatabaseOutcome Catalogue::NewDatabase(const QString& rawName)
{
    using Kind = NewDatabaseOutcome::Kind;
    const QString name = core::TrimBlanks(rawName);
    if (std::optional<NewDatabaseOutcome> refused = refusedNewName(name))
        return *refused;
    const NewDatabaseOutcome failed { Kind::Failed, name, {}, {} };
    // A name holding the separator would split into two records.
    const QString file = NextDataFileName();
    if (name.contains(separator()) || file.isEmpty())
        return failed;
    const QString path = m_folder + u'/' + file;
    QFile::copy(m_folder + QStringLiteral("/Null_Data.mdb"), path);
    if (!QFileInfo::exists(path))
        return failed;
    if (!AddCatalogueEntry(name, path)) {
        QFile::remove(path);
        return failed;
    }
    return NewDatabaseOutcome { Kind::Created, name, {}, {} };
}

NewDatabaseOutcome Catalogue::NewServerDatabase(const QString& rawName, const QString& rawAddress)
{
    using Kind = NewDatabaseOutcome::Kind;
    const QString name = core::TrimBlanks(rawName);
    const QString address = rawAddress.trimmed();
    if (std::optional<NewDatabaseOutcome> refused = refusedNewName(name))
        return *refused;
    const auto outcome = [&name, &address](Kind kind, const QString& detail = QString()) {
        return NewDatabaseOutcome { kind, name, address, detail };
    };
    if (address.isEmpty())
        return outcome(Kind::Nothing);
    if (const QString problem = ServerAddressProblem(address); !problem.isEmpty())
        return outcome(Kind::AddressProblem, problem);
    // Either text holding the separator would split into extra records.
    if (name.contains(separator()) || address.contains(separator()))
        return outcome(Kind::Failed);
    const QStringList stored = fields();
    for (qsizetype i = 1; i < stored.size(); i += 2) {
        if (stored.at(i) == address)
            return outcome(Kind::AddressListed, stored.at(i - 1));
    }
    QString error;
    if (!DatabasePool::shared().acquire(address, &error))
        return outcome(Kind::Unreachable, error);
    if (!AddCatalogueEntry(name, address))
        return outcome(Kind::Failed);
    return outcome(Kind::Created);
}

} // namespace quel::store
