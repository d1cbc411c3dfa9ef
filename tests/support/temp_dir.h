#pragma once

#include <QString>
#include <QTemporaryDir>

namespace quel::test {

// A fresh folder for one test, removed when the object goes out of scope.
class TempDir
{
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    // Absolute path of a file inside the folder.
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes raw bytes to a file inside the folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Folder of the built programs (build/bin), from QUELMAR_BIN set by CTest.
QString binDir();
// Folder of the fixed test pages and files (tests/data).
QString testDataDir();

} // namespace quel::test
