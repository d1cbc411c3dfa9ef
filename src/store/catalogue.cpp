#include "store/catalogue.h"

#include "core/feedback.h"
#include "core/text_cut.h"
#include "core/text_files.h"
#include "store/database.h"

#include <QFile>
#include <QFileInfo>

namespace quel::store {

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

QString Catalogue::currentDatabasePath() const
{
    return m_folder + u'/' + m_currentFile;
}

namespace {

// The name and path fields of a catalogue text; empty when it holds no complete record.
QStringList splitCatalogue(const QString& text)
{
    QStringList fields = text.split(Catalogue::separator());
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
    return splitCatalogue(quel::web::DecodeTextFile(in.readAll()));
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
    return quel::web::WriteFileAtomic(text, catalogueFile()) == 1;
}

void Catalogue::LoadCurrentDatabase()
{
    const QStringList stored = readCatalogue(catalogueFile());
    if (stored.isEmpty()) {
        m_currentFile = QStringLiteral("DATA.mdb");
        m_currentName = defaultName();
        return;
    }
    m_currentFile = fileNameOfPath(stored.at(1));
    m_currentName = stored.at(0);
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
    return write(fields().join(separator()) + separator() + name + separator() + path);
}

bool Catalogue::SelectCatalogueEntry(const QString& rawName)
{
    const QString name = web::TrimBlanks(rawName);
    const QStringList stored = readCatalogue(catalogueFile());
    if (name.isEmpty() || stored.isEmpty())
        return false;
    QStringList rest;
    QString path;
    bool found = false;
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2) {
        if (stored.at(i) == name && !found) {
            if (i == 0)
                return false; // already current: the file stays untouched
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
    m_currentFile = fileNameOfPath(path);
    m_currentName = name;
    return true;
}

bool Catalogue::DeleteCatalogueEntry(const QString& rawName, Feedback& feedback)
{
    const QString name = web::TrimBlanks(rawName);
    if (name.isEmpty())
        return false;
    if (name == defaultName()) {
        feedback.message(QStringLiteral("默认数据库不允许删除！"));
        return false;
    }
    const QStringList stored = readCatalogue(catalogueFile());
    if (stored.isEmpty())
        return false;
    QStringList rest;
    QString doomed;
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2) {
        if (stored.at(i) == name) {
            if (i == 0) {
                feedback.message(QStringLiteral("当前正在操作的数据不允许删除！"));
                return false;
            }
            // The file this record opens: its name in the data folder, which is where the
            // program reads it, even when the stored path names another folder.
            doomed = m_folder + u'/' + fileNameOfPath(stored.at(i + 1));
        } else {
            rest << stored.at(i) << stored.at(i + 1);
        }
    }
    if (doomed.isEmpty())
        return false;
    if (!write(rest.join(separator())))
        return false;
    DatabasePool::shared().close(doomed);
    QFile::remove(doomed);
    for (const char* suffix : { "-wal", "-shm", "-journal" })
        QFile::remove(doomed + QLatin1String(suffix));
    return true;
}

bool Catalogue::NewDatabase(const QString& rawName, Feedback& feedback)
{
    const QString name = web::TrimBlanks(rawName);
    if (name.isEmpty())
        return false;
    if (!IsCatalogueNameFree(name)) {
        feedback.message(
            QStringLiteral("数据库（") + name + QStringLiteral("）已存在，请起其他名称！"));
        return false;
    }
    const QString failed = QStringLiteral("数据库‘") + name + QStringLiteral("’新建失败！");
    // A name holding the separator would split into two records.
    const QString file = NextDataFileName();
    if (name.contains(separator()) || file.isEmpty()) {
        feedback.message(failed);
        return false;
    }
    const QString path = m_folder + u'/' + file;
    QFile::copy(m_folder + QStringLiteral("/Null_Data.mdb"), path);
    if (!QFileInfo::exists(path)) {
        feedback.message(failed);
        return false;
    }
    if (!AddCatalogueEntry(name, path)) {
        QFile::remove(path);
        feedback.message(failed);
        return false;
    }
    feedback.message(QStringLiteral("数据库‘") + name + QStringLiteral("’新建成功！"));
    return true;
}

} // namespace quel::store
