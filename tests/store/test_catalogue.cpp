// The catalogue DB.txt, new/select/delete database, compaction and the data folder.
#include "store/catalogue.h"
#include "store/compaction.h"
#include "store/data_folder.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/store_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace quel;
using namespace quel::store;
using namespace quel::db;
using quel::test::FakeFeedback;
using quel::test::TempDir;

namespace {

const QString kSep = QStringLiteral("〗★〖");
using Kind = NewDatabaseOutcome::Kind;
// No file entry asks before it goes.
const auto noConfirm = [](const QString&, const QString&) { return false; };

class CatalogueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(writeTemplate(m_dir.file(QStringLiteral("Null_Data.mdb")), &error))
            << error.toStdString();
    }
    void TearDown() override { DatabasePool::shared().releaseAll(); }

    void writeCatalogue(const QStringList& fields)
    {
        m_dir.write(QStringLiteral("DB.txt"), fields.join(kSep).toUtf8());
    }
    QStringList catalogueFields() const
    {
        return QString::fromUtf8(m_dir.read(QStringLiteral("DB.txt"))).split(kSep);
    }
    QString path(const QString& file) const { return m_dir.file(file); }
    void touch(const QString& file) { m_dir.write(file, "x"); }

    TempDir m_dir;
    Catalogue m_catalogue { m_dir.path() };
    FakeFeedback m_feedback;
};

} // namespace

TEST_F(CatalogueTest, WithoutACatalogueTheDefaultDatabaseIsUsed)
{
    m_catalogue.LoadCurrentDatabase();
    EXPECT_EQ(m_catalogue.currentDatabaseFile(), QStringLiteral("DATA.mdb"));
    EXPECT_EQ(m_catalogue.currentDatabaseName(), QStringLiteral("默认"));
    EXPECT_EQ(m_catalogue.currentDatabasePath(), path(QStringLiteral("DATA.mdb")));
    EXPECT_EQ(m_catalogue.names(), QStringList { QStringLiteral("默认") });
    EXPECT_FALSE(m_catalogue.IsCatalogueNameFree(QStringLiteral("默认")));
    EXPECT_FALSE(m_catalogue.SelectCatalogueEntry(QStringLiteral("默认")));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("DB.txt"))));

    // The first new database writes the default record first and the new one second.
    const NewDatabaseOutcome created = m_catalogue.NewDatabase(QStringLiteral("  服装  "));
    EXPECT_EQ(created.kind, Kind::Created);
    EXPECT_EQ(created.name, QStringLiteral("服装"));
    EXPECT_EQ(catalogueFields(),
        (QStringList { QStringLiteral("默认"), path(QStringLiteral("DATA.mdb")),
            QStringLiteral("服装"), path(QStringLiteral("DATA1.mdb")) }));
    EXPECT_EQ(QString::fromUtf8(m_dir.read(QStringLiteral("DB.txt"))).count(kSep), 3);
    EXPECT_FALSE(
        m_dir.read(QStringLiteral("DB.txt")).startsWith("\xEF\xBB\xBF")); // no byte-order mark
    EXPECT_EQ(m_catalogue.currentDatabaseFile(), QStringLiteral("DATA.mdb")); // current unchanged
    QString error;
    EXPECT_TRUE(OpenDatabase(
        path(QStringLiteral("DATA1.mdb")), QString::fromLatin1(kDatabasePassword), &error));
}

TEST_F(CatalogueTest, EmptyOrMalformedCatalogueCountsAsMissing)
{
    for (const QByteArray& content :
        { QByteArray(), QByteArray("默认"), QByteArray("\xff\xfe garbage") }) {
        m_dir.write(QStringLiteral("DB.txt"), content);
        Catalogue catalogue(m_dir.path());
        catalogue.LoadCurrentDatabase();
        EXPECT_EQ(catalogue.currentDatabaseFile(), QStringLiteral("DATA.mdb"));
        EXPECT_FALSE(catalogue.catalogueExists());
        EXPECT_EQ(catalogue.names(), QStringList { QStringLiteral("默认") });
    }
}

TEST_F(CatalogueTest, LineBreaksAndBlankLinesAroundTheRecordsAreIgnored)
{
    // What an editor leaves: a final line break, blank lines before and between records.
    touch(QStringLiteral("DATA1.mdb"));
    m_dir.write(QStringLiteral("DB.txt"),
        (QStringLiteral("\r\n服装") + kSep + path(QStringLiteral("DATA1.mdb")) + "\n\n" + kSep
            + QStringLiteral("默认") + kSep + path(QStringLiteral("DATA.mdb")) + "\r\n\r\n")
            .toUtf8());
    Catalogue catalogue(m_dir.path());
    catalogue.LoadCurrentDatabase();
    EXPECT_EQ(catalogue.currentDatabaseFile(), QStringLiteral("DATA1.mdb"));
    EXPECT_EQ(catalogue.currentDatabasePath(), path(QStringLiteral("DATA1.mdb")));
    EXPECT_EQ(catalogue.names(), (QStringList { QStringLiteral("服装"), QStringLiteral("默认") }));
    // The next change writes the catalogue back without them.
    EXPECT_TRUE(catalogue.SelectCatalogueEntry(QStringLiteral("默认")));
    EXPECT_EQ(catalogueFields(),
        (QStringList { QStringLiteral("默认"), path(QStringLiteral("DATA.mdb")),
            QStringLiteral("服装"), path(QStringLiteral("DATA1.mdb")) }));
}

TEST_F(CatalogueTest, NewDatabaseNamesAndFiles)
{
    touch(QStringLiteral("DATA1.mdb"));
    touch(QStringLiteral("DATA2.mdb"));
    touch(QStringLiteral("DATA4.mdb"));
    EXPECT_EQ(m_catalogue.NextDataFileName(), QStringLiteral("DATA3.mdb"));

    writeCatalogue({ QStringLiteral("默认"), path(QStringLiteral("DATA.mdb")),
        QStringLiteral("Shoes"), path(QStringLiteral("DATA1.mdb")) });
    EXPECT_EQ(m_catalogue.NewDatabase(QStringLiteral("Shoes")).kind, Kind::NameTaken);
    EXPECT_TRUE(m_catalogue.IsCatalogueNameFree(QStringLiteral("shoes"))); // exact comparison
    EXPECT_TRUE(m_catalogue.NewDatabase(QStringLiteral("shoes")).created());
    EXPECT_EQ(catalogueFields().mid(4),
        (QStringList { QStringLiteral("shoes"), path(QStringLiteral("DATA3.mdb")) }));
    EXPECT_EQ(m_catalogue.NewDatabase(QStringLiteral("   ")).kind, Kind::Nothing); // silently

    // Without a template nothing is recorded.
    QFile::remove(path(QStringLiteral("Null_Data.mdb")));
    EXPECT_EQ(m_catalogue.NewDatabase(QStringLiteral("hats")).kind, Kind::Failed);
    EXPECT_EQ(catalogueFields().size(), 6);
    EXPECT_EQ(m_catalogue.NewDatabase(QStringLiteral("a〗★〖b")).kind, Kind::Failed);
}

TEST_F(CatalogueTest, NamesLoseOnlyTheirBlanks)
{
    // Tabs and the ideographic space belong to the name; only blanks go.
    const QString name = QStringLiteral("\t鞋\u3000");
    EXPECT_TRUE(
        m_catalogue.NewDatabase(QStringLiteral(" ") + name + QStringLiteral("  ")).created());
    EXPECT_EQ(catalogueFields().value(2), name);
    EXPECT_FALSE(m_catalogue.SelectCatalogueEntry(QStringLiteral("鞋")));
    EXPECT_TRUE(m_catalogue.SelectCatalogueEntry(QStringLiteral("  ") + name));
    EXPECT_EQ(m_catalogue.currentDatabaseName(), name);
    EXPECT_EQ(m_catalogue.DeleteCatalogueEntry(name + QStringLiteral(" "), noConfirm),
        DeleteOutcome::InUseRefused);
}

TEST_F(CatalogueTest, SelectMovesTheRecordFirst)
{
    const QStringList three { QStringLiteral("默认"), path(QStringLiteral("DATA.mdb")),
        QStringLiteral("二"), QStringLiteral("C:\\old\\DATA1.mdb"), QStringLiteral("三"),
        path(QStringLiteral("DATA2.mdb")) };
    writeCatalogue(three);
    const QByteArray before = m_dir.read(QStringLiteral("DB.txt"));
    EXPECT_FALSE(m_catalogue.SelectCatalogueEntry(QStringLiteral("默认"))); // already current
    EXPECT_EQ(m_dir.read(QStringLiteral("DB.txt")), before);
    EXPECT_FALSE(m_catalogue.SelectCatalogueEntry(QStringLiteral("无此库")));
    EXPECT_EQ(m_dir.read(QStringLiteral("DB.txt")), before);

    EXPECT_TRUE(m_catalogue.SelectCatalogueEntry(QStringLiteral(" 三 ")));
    EXPECT_EQ(catalogueFields(),
        (QStringList { three[4], three[5], three[0], three[1], three[2], three[3] }));
    EXPECT_EQ(m_catalogue.currentDatabaseFile(), QStringLiteral("DATA2.mdb"));
    EXPECT_EQ(m_catalogue.currentDatabaseName(), QStringLiteral("三"));

    // A Windows path from an older catalogue opens by its file name in the data folder.
    EXPECT_TRUE(m_catalogue.SelectCatalogueEntry(QStringLiteral("二")));
    EXPECT_EQ(m_catalogue.currentDatabaseFile(), QStringLiteral("DATA1.mdb"));
    // A record named 默认 that is not first can be selected.
    EXPECT_TRUE(m_catalogue.SelectCatalogueEntry(QStringLiteral("默认")));
    Catalogue reloaded(m_dir.path());
    reloaded.LoadCurrentDatabase();
    EXPECT_EQ(reloaded.currentDatabaseFile(), QStringLiteral("DATA.mdb"));
    EXPECT_EQ(reloaded.names(),
        (QStringList { QStringLiteral("默认"), QStringLiteral("二"), QStringLiteral("三") }));
}

TEST_F(CatalogueTest, DeleteRefusesDefaultAndCurrentAndRemovesOthers)
{
    touch(QStringLiteral("DATA1.mdb"));
    touch(QStringLiteral("DATA2.mdb"));
    const QStringList fields { QStringLiteral("一"), path(QStringLiteral("DATA1.mdb")),
        QStringLiteral("默认"), path(QStringLiteral("DATA.mdb")), QStringLiteral("二"),
        path(QStringLiteral("DATA2.mdb")), QStringLiteral("三"),
        path(QStringLiteral("DATA3.mdb")) };
    writeCatalogue(fields);
    EXPECT_EQ(m_catalogue.DeleteCatalogueEntry(QStringLiteral("默认"), noConfirm),
        DeleteOutcome::DefaultRefused);
    EXPECT_EQ(m_catalogue.DeleteCatalogueEntry(QStringLiteral("一"), noConfirm),
        DeleteOutcome::InUseRefused);
    EXPECT_EQ(catalogueFields(), fields);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("DATA1.mdb"))));

    EXPECT_EQ(
        m_catalogue.DeleteCatalogueEntry(QStringLiteral("二"), noConfirm), DeleteOutcome::Deleted);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("DATA2.mdb"))));
    // A database whose file is already gone just loses its record.
    EXPECT_EQ(
        m_catalogue.DeleteCatalogueEntry(QStringLiteral("三"), noConfirm), DeleteOutcome::Deleted);
    EXPECT_EQ(catalogueFields(), fields.mid(0, 4));
    EXPECT_EQ(m_catalogue.DeleteCatalogueEntry(QStringLiteral("三"), noConfirm),
        DeleteOutcome::NotDeleted);
}

TEST_F(CatalogueTest, CompactionMessagesAndBackup)
{
    const QByteArray oldTemp = qgetenv("TMPDIR");
    QDir(m_dir.path()).mkdir(QStringLiteral("tmp"));
    qputenv("TMPDIR", path(QStringLiteral("tmp")).toUtf8());
    FakeFeedback feedback;
    EXPECT_FALSE(CompactDatabaseFile(
        path(QStringLiteral("none.mdb")), QString::fromLatin1(kDatabasePassword), true, feedback));
    EXPECT_EQ(feedback.messages, QStringList { QStringLiteral("没有找到要压缩的数据库文件！") });
    EXPECT_TRUE(feedback.events.isEmpty());

    // A file that is not a database (or has another key) fails and stays as it was.
    const QString junk = m_dir.write(QStringLiteral("junk.mdb"), QByteArray(8192, 'j'));
    feedback.messages.clear();
    EXPECT_FALSE(CompactDatabaseFile(junk, QString::fromLatin1(kDatabasePassword), true, feedback));
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].startsWith(QStringLiteral("数据库压缩失败（")));
    EXPECT_TRUE(feedback.messages[0].endsWith(QStringLiteral("）！")));
    EXPECT_FALSE(feedback.open);
    EXPECT_EQ(m_dir.read(QStringLiteral("junk.mdb")), QByteArray(8192, 'j'));
    EXPECT_FALSE(QFileInfo::exists(TempDirectory() + QStringLiteral("temp.mdb")));
    EXPECT_EQ(TempDirectory(), path(QStringLiteral("tmp/")));
    qputenv("TMPDIR", oldTemp);
}

TEST(DataFolder, ResolvesInTheDocumentedOrder)
{
    TempDir dir;
    const QString exe = dir.path();
    EXPECT_EQ(resolveDataFolder({ QStringLiteral("quelmar"), QStringLiteral("--data"),
                                    dir.file(QStringLiteral("d")) },
                  QStringLiteral("/home/x"), exe),
        dir.file(QStringLiteral("d")));
    EXPECT_EQ(resolveDataFolder(
                  { QStringLiteral("--data=") + dir.file(QStringLiteral("e")) }, QString(), exe),
        dir.file(QStringLiteral("e")));
    EXPECT_EQ(resolveDataFolder({ QStringLiteral("quelmar") }, dir.file(QStringLiteral("h")), exe),
        dir.file(QStringLiteral("h")));
    EXPECT_EQ(resolveDataFolder({ QStringLiteral("quelmar") }, QString(), exe),
        QFileInfo(exe).absoluteFilePath());
    EXPECT_EQ(resolveDataFolder({}, QString(), QStringLiteral("/nonexistent/quelmar-bin")),
        QDir::homePath() + QStringLiteral("/.local/share/quelmar"));

    // An installed program (its template in ../share/quelmar) keeps its data in the user's
    // folder even where its own folder is writable.
    TempDir prefix;
    const QString bin = prefix.file(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(prefix.file(QStringLiteral("share/quelmar"))));
    prefix.write(QStringLiteral("share/quelmar/Null_Data.mdb"), "template");
    EXPECT_EQ(resolveDataFolder({}, QString(), bin),
        QDir::homePath() + QStringLiteral("/.local/share/quelmar"));
    EXPECT_EQ(shippedTemplatePath(bin), prefix.file(QStringLiteral("share/quelmar/Null_Data.mdb")));
    EXPECT_EQ(resolveDataFolder({}, QString(), exe), QFileInfo(exe).absoluteFilePath());
}

TEST(DataFolder, FirstStartInstallsTemplateAndDefaultDatabase)
{
    TempDir program;
    TempDir data;
    QString error;
    ASSERT_TRUE(writeTemplate(program.file(QStringLiteral("Null_Data.mdb")), &error));
    const QString folder = data.file(QStringLiteral("new/home"));
    ASSERT_TRUE(initialiseDataFolder(folder, program.path(), &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/Null_Data.mdb")));
    auto db = OpenDatabase(
        folder + QStringLiteral("/DATA.mdb"), QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(db) << error.toStdString();
    for (const QString& table : permanentTables())
        EXPECT_TRUE(db->tableColumns(table)) << table.toStdString();
    db->execute(QStringLiteral("INSERT INTO 关键词(Con) VALUES('kept')"));
    db.reset();

    // A second start keeps what is there.
    ASSERT_TRUE(initialiseDataFolder(folder, program.path(), &error));
    db = OpenDatabase(
        folder + QStringLiteral("/DATA.mdb"), QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(db);
    Recordset rs;
    ASSERT_TRUE(rs.open(db, QStringLiteral("SELECT * FROM 关键词"), &error));
    EXPECT_EQ(rs.recordCount(), 1);

    // With a catalogue, a missing DATA.mdb is not recreated; without a shipped template one is
    // written.
    TempDir other;
    other.write(QStringLiteral("DB.txt"),
        (QStringLiteral("甲") + kSep + other.file(QStringLiteral("DATA1.mdb"))).toUtf8());
    ASSERT_TRUE(initialiseDataFolder(other.path(), data.file(QStringLiteral("nowhere")), &error))
        << error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(other.file(QStringLiteral("Null_Data.mdb"))));
    EXPECT_FALSE(QFileInfo::exists(other.file(QStringLiteral("DATA.mdb"))));

    // An installed program's template comes from ../share/quelmar.
    TempDir prefix;
    const QString shipped = prefix.file(QStringLiteral("share/quelmar/Null_Data.mdb"));
    ASSERT_TRUE(QDir().mkpath(prefix.file(QStringLiteral("share/quelmar"))));
    ASSERT_TRUE(QDir().mkpath(prefix.file(QStringLiteral("bin"))));
    ASSERT_TRUE(writeTemplate(shipped, &error));
    TempDir user;
    ASSERT_TRUE(initialiseDataFolder(user.path(), prefix.file(QStringLiteral("bin")), &error))
        << error.toStdString();
    EXPECT_EQ(user.read(QStringLiteral("Null_Data.mdb")),
        prefix.read(QStringLiteral("share/quelmar/Null_Data.mdb")));

    const QString blocker = data.write(QStringLiteral("file"), "x");
    EXPECT_FALSE(initialiseDataFolder(blocker + QStringLiteral("/sub"), program.path(), &error));
    EXPECT_FALSE(error.isEmpty());
}
