#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quel::store {

// What a request for a new database came to. The store decides; the caller tells the user.
struct NewDatabaseOutcome
{
    enum class Kind
    {
        Created,
        Nothing, // an empty name or address: nothing was tried and nothing is to be said
        NameTaken, // another entry has the name
        Failed, // no free file, a name or address holding the separator, or no record written
        AddressProblem, // detail: what is wrong with the server address
        AddressListed, // detail: the entry that already holds the address
        Unreachable, // detail: why the server's database did not open
    };
    Kind kind = Kind::Failed;
    QString name; // the name as recorded (blanks trimmed)
    QString address; // the server address, for a server database
    QString detail;

    bool created() const { return kind == Kind::Created; }
};

// What a request to delete a catalogue entry came to.
enum class DeleteOutcome
{
    Deleted,
    NotDeleted, // no such entry, the user declined, or the catalogue could not be written
    DefaultRefused, // the default database is never deleted
    InUseRefused, // the first entry or the database this run works on
};

// The catalogue ./DB.txt of the data folder: pairs of database name and file path joined
// by "〗★〖", the current database first. A path may instead be a server address
// ("postgresql://user@host:port/dbname", never with a password), used as it is. Holds the
// program-wide current database (CurrentDatabaseFile and the name the main window shows).
// A missing, empty or malformed file stands for the default content "默认" + "〗★〖" +
// folder + "/DATA.mdb".
class Catalogue
{
public:
    static QString separator(); // "〗★〖"
    static QString defaultName(); // "默认"

    explicit Catalogue(const QString& folder);

    QString folder() const { return m_folder; }
    QString catalogueFile() const; // folder + "/DB.txt"
    // Whether DB.txt exists and holds at least one name and path.
    bool catalogueExists() const;

    // The file name in the data folder, or the server address of a server entry.
    QString currentDatabaseFile() const { return m_currentFile; }
    void setCurrentDatabaseFile(const QString& file) { m_currentFile = file; }
    // The database every operation opens: the run's database when one was given, a server
    // entry's address as it is, otherwise folder + "/" + currentDatabaseFile.
    QString currentDatabasePath() const;
    QString currentDatabaseName() const { return m_currentName; }

    // A database named on the command line (a file path, made absolute by the caller, or a
    // server address) that this run uses instead of the catalogue's first record, without
    // writing DB.txt. Its name is the catalogue's name for it, else the path itself.
    // Selecting a database from the catalogue ends it.
    void useDatabaseForRun(const QString& pathOrAddress);
    QString runDatabase() const { return m_runDatabase; }

    // The catalogue's fields (or the default ones).
    QStringList fields() const;
    // The names in file order (fields 0, 2, 4, ...).
    QStringList names() const;

    // Start-up: takes the current database from the catalogue's first record, or DATA.mdb.
    void LoadCurrentDatabase();
    bool IsCatalogueNameFree(const QString& name) const;
    // "DATA" + n + ".mdb" for the first n >= 1 whose file is not in the folder.
    QString NextDataFileName() const;
    // Appends a record; refuses (false) a server address that holds a password.
    bool AddCatalogueEntry(const QString& name, const QString& path);
    // Moves the named record first and makes it current; true when the current changed.
    bool SelectCatalogueEntry(const QString& name);
    // Removes the named record and its file; refuses the default and the one in use. A
    // server entry only leaves the catalogue, and only when confirmServerRemoval (asked
    // with the entry's name and address) says yes: nothing on the server is deleted.
    DeleteOutcome DeleteCatalogueEntry(const QString& name,
        const std::function<bool(const QString& name, const QString& address)>&
            confirmServerRemoval);

    // The new-database flow after the name was asked: checks the name, copies the template
    // Null_Data.mdb to the next free file and records it. The current database does not
    // change. The outcome says what the user is to be told.
    NewDatabaseOutcome NewDatabase(const QString& name);
    // The same for a database on a server: checks the name and the address (no password),
    // opens it (an empty database gets its tables there) and records it. The current
    // database does not change.
    NewDatabaseOutcome NewServerDatabase(const QString& name, const QString& address);

private:
    // Why a new entry cannot take the name (empty, or taken); nothing when it can.
    std::optional<NewDatabaseOutcome> refusedNewName(const QString& name) const;
    bool write(const QString& text);
    // What a record's path opens: its file in the data folder, or a server address as is.
    QString openedPath(const QString& storedPath) const;
    QString m_folder;
    QString m_currentFile = QStringLiteral("DATA.mdb");
    QString m_currentName;
    QString m_runDatabase;
};

// What CurrentDatabaseFile becomes for a stored path: its file name part, or a server
// address whole.
QString databaseOfPath(const QString& path);

// The file name part of a stored path (after the last "/" or "\").
QString fileNameOfPath(const QString& path);

} // namespace quel::store
