#pragma once

#include <QString>
#include <QStringList>

namespace quel {
class Feedback;
}

namespace quel::store {

// The catalogue ./DB.txt of the data folder: pairs of database name and file path joined
// by "〗★〖", the current database first. Holds the program-wide current database
// (CurrentDatabaseFile and the name the main window shows). A missing, empty or malformed
// file stands for the default content "默认" + "〗★〖" + folder + "/DATA.mdb".
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

    QString currentDatabaseFile() const { return m_currentFile; }
    void setCurrentDatabaseFile(const QString& file) { m_currentFile = file; }
    QString currentDatabasePath() const; // folder + "/" + currentDatabaseFile
    QString currentDatabaseName() const { return m_currentName; }

    // The catalogue's fields (or the default ones).
    QStringList fields() const;
    // The names in file order (fields 0, 2, 4, ...).
    QStringList names() const;

    // Start-up: takes the current database from the catalogue's first record, or DATA.mdb.
    void LoadCurrentDatabase();
    bool IsCatalogueNameFree(const QString& name) const;
    // "DATA" + n + ".mdb" for the first n >= 1 whose file is not in the folder.
    QString NextDataFileName() const;
    bool AddCatalogueEntry(const QString& name, const QString& path);
    // Moves the named record first and makes it current; true when the current changed.
    bool SelectCatalogueEntry(const QString& name);
    // Removes the named record and its file; refuses the default and the current one.
    bool DeleteCatalogueEntry(const QString& name, Feedback& feedback);

    // The new-database flow after the name was asked: checks the name, copies the template
    // Null_Data.mdb to the next free file and records it, with the messages. The current
    // database does not change. True when created.
    bool NewDatabase(const QString& name, Feedback& feedback);

private:
    bool write(const QString& text);
    QString m_folder;
    QString m_currentFile = QStringLiteral("DATA.mdb");
    QString m_currentName;
};

// The file name part of a stored path (after the last "/" or "\").
QString fileNameOfPath(const QString& path);

} // namespace quel::store
