#include "include_rules.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace quel::layers;

namespace {

QStringList Described(const QList<IncludeFault>& faults)
{
    QStringList out;
    for (const auto& fault : faults)
        out << Describe(fault);
    return out;
}

// The table the build wrote, read once for all cases.
class Layers : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QString error;
        if (auto read = LoadLayerTable(QUEL_LAYER_TABLE, &error))
            table = new LayerTable(*read);
        else
            loadError = error;
        widgetHeaders = WidgetHeaders(QUEL_QT_WIDGETS_DIR, QUEL_QT_GUI_DIR);
    }
    static void TearDownTestSuite()
    {
        delete table;
        table = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(table, nullptr) << loadError.toStdString();
        ASSERT_TRUE(widgetHeaders.contains("QWidget"))
            << "no Qt Widgets headers in " << QUEL_QT_WIDGETS_DIR;
        ASSERT_FALSE(widgetHeaders.contains("qaction.h")); // QAction is Qt Gui's
    }

    QList<IncludeFault> check(const QString& file, const QString& text) const
    {
        return CheckIncludes(*table, widgetHeaders, file, text);
    }

    static inline LayerTable* table = nullptr;
    static inline QString loadError;
    static inline QStringList widgetHeaders;
};

} // namespace

TEST_F(Layers, EveryIncludeUnderSrcAndToolsPointsDown)
{
    int files = 0;
    const auto faults = CheckTree(*table, widgetHeaders, QUEL_SOURCE_DIR, &files);
    EXPECT_GT(files, 100) << "the source tree was not found under " << QUEL_SOURCE_DIR;
    EXPECT_TRUE(faults.isEmpty()) << Described(faults).join('\n').toStdString();
}

TEST_F(Layers, TheTableKeepsFeaturesApartAndWidgetsInTheirFolders)
{
    const QStringList faults = CheckTableRules(*table);
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
    for (const QString feature : { "search", "download", "analysis", "exports" })
        EXPECT_TRUE(table->rows.value(feature).feature) << feature.toStdString();

    // The rules themselves, on a table that breaks them.
    QString error;
    const auto bad = ReadLayerTable("core:\nsearch: core [feature]\n"
                                    "download: core search [feature]\n"
                                    "grid: core [widgets]\ngrid/ui: core grid [widgets]\n",
        &error);
    ASSERT_TRUE(bad) << error.toStdString();
    const QStringList badFaults = CheckTableRules(*bad);
    ASSERT_EQ(badFaults.size(), 2) << badFaults.join('\n').toStdString();
    EXPECT_EQ(badFaults[0], "feature download uses feature search");
    EXPECT_TRUE(badFaults[1].startsWith("grid may use widgets"));
}

TEST_F(Layers, TheReadmePictureAgreesWithTheTable)
{
    QFile readme(QString(QUEL_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const QStringList faults = CheckLayoutPicture(*table, text);
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();

    // A picture that puts views beside store, and leaves shell out, is caught.
    const QString wrong = "## Layout\n\n```\ncore      Qt Core only\nstore  views  web\n"
                          "                 descriptions are indented\n```\n";
    const auto small = ReadLayerTable("core:\nstore: core\nviews: core store\nweb: core\n"
                                      "views/ui: core views store [widgets]\nshell: views\n"
                                      "market: [tools]\n",
        nullptr);
    ASSERT_TRUE(small);
    EXPECT_EQ(CheckLayoutPicture(*small, wrong),
        QStringList({ "the README picture does not show shell",
            "views uses store, which the "
            "README picture does not show above it",
            "views/ui uses store, which the README picture does not show above it" }));
}

TEST_F(Layers, UpwardAndSidewaysIncludesAreNamedWithFileAndLine)
{
    const QString text = "#include \"views/lists.h\"\n"
                         "#include \"grid/grid_model.h\"\n"
                         "#include <QString>\n"
                         "  #  include \"shell/main_window.h\"\n"
                         "#include \"download/download_window.h\"\n"
                         "#include \"local.h\"\n"
                         "#include \"simplify/name_rules.h\"\n";
    const auto faults = check("src/simplify/ui/name_simp.cpp", text);
    ASSERT_EQ(faults.size(), 3) << Described(faults).join('\n').toStdString();
    EXPECT_EQ(faults[0].line, 1); // views sits beside simplify, not below it
    EXPECT_EQ(faults[1].line, 4);
    EXPECT_EQ(faults[1].included, "shell/main_window.h");
    EXPECT_EQ(faults[2].line, 5);
    EXPECT_TRUE(Describe(faults[1]).startsWith("src/simplify/ui/name_simp.cpp:4: "));
}

TEST_F(Layers, FeaturesUseLowerLayersButNotEachOther)
{
    const QString lower = "#include \"views/lists.h\"\n#include \"simplify/name_rules.h\"\n"
                          "#include \"core/feedback.h\"\n#include \"store/database.h\"\n";
    for (const QString feature : { "search", "download", "analysis", "exports" }) {
        for (const QString part : { "", "ui/" }) {
            const QString file = "src/" + feature + "/" + part + "x.cpp";
            for (const QString other : { "search", "download", "analysis", "exports", "shell" }) {
                const auto faults = check(file, "#include \"" + other + "/y.h\"\n");
                EXPECT_EQ(faults.size(), other == feature ? 0 : 1)
                    << file.toStdString() << " -> " << other.toStdString();
            }
        }
    }
    EXPECT_TRUE(check("src/analysis/x.cpp", lower.section('\n', 0, 0)).isEmpty());
    EXPECT_TRUE(check("src/search/x.cpp", lower.section('\n', 1, 1)).isEmpty());
    EXPECT_TRUE(check("src/shell/x.cpp", "#include \"exports/ui/y.h\"\n").isEmpty());
}

TEST_F(Layers, WindowCodeStaysInUiFolders)
{
    // A model may not reach for its folder's windows; the windows may use the model.
    EXPECT_EQ(check("src/grid/grid_model.cpp", "#include \"grid/ui/grid_view.h\"\n").size(), 1);
    EXPECT_TRUE(check("src/grid/ui/grid_view.cpp", "#include \"grid/grid_ops.h\"\n").isEmpty());
    EXPECT_EQ(check("src/analysis/chart_data.cpp", "#include \"widgets/dialogs.h\"\n").size(), 1);

    // A fake source with Qt Widgets includes, as a model file and as a window file.
    const QString fake = "#include <QColor>\n"
                         "#include <QWidget>\n"
                         "#include <QPainter>\n"
                         "#include <QtWidgets/QLabel>\n"
                         "#  include <QMessageBox>\n"
                         "#include <qpushbutton.h>\n"
                         "#include <QtWidgets>\n"
                         "#include <QtGui/QImage>\n";
    const auto faults = check("src/exports/report.cpp", fake);
    ASSERT_EQ(faults.size(), 5) << Described(faults).join('\n').toStdString();
    EXPECT_EQ(faults[0].line, 2);
    EXPECT_EQ(faults[0].included, "QWidget");
    EXPECT_EQ(faults[1].included, "QtWidgets/QLabel");
    EXPECT_EQ(faults[2].line, 5);
    EXPECT_EQ(faults[3].included, "qpushbutton.h");
    EXPECT_EQ(faults[4].line, 7);
    EXPECT_TRUE(Describe(faults[0]).contains("Qt Widgets"));
    for (const QString allowed :
        { "src/exports/ui/pop_menu.cpp", "src/widgets/dialogs.cpp", "src/shell/main_window.cpp" })
        EXPECT_TRUE(check(allowed, fake).isEmpty()) << allowed.toStdString();
    for (const QString narrow : { "src/worker/main.cpp", "tools/market/pages.cpp",
             "src/core/clock.cpp", "src/views/lists.cpp", "src/grid/grid_ops.cpp" })
        EXPECT_EQ(check(narrow, fake).size(), 5) << narrow.toStdString();
}

TEST_F(Layers, WorkerCoreAndToolsStayNarrow)
{
    EXPECT_TRUE(check("src/worker/x.cpp", "#include \"web/browser.h\"\n").isEmpty());
    EXPECT_EQ(check("src/worker/x.cpp", "#include \"store/database.h\"\n").size(), 1);
    EXPECT_EQ(check("src/core/x.cpp", "#include \"web/market.h\"\n").size(), 1);
    EXPECT_EQ(check("src/store/x.cpp", "#include \"web/market.h\"\n").size(), 1);
    EXPECT_EQ(check("src/web/x.cpp", "#include \"widgets/dialogs.h\"\n").size(), 1);
    EXPECT_TRUE(check("tools/market/x.cpp", "#include \"market/y.h\"\n").isEmpty());
    EXPECT_EQ(check("tools/market/x.cpp", "#include \"store/y.h\"\n").size(), 1);
}

TEST_F(Layers, AFolderOutsideTheTableIsReported)
{
    const auto faults = check("src/reports/x.cpp", "#include \"core/feedback.h\"\n");
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].why.contains("reports"));
    EXPECT_EQ(FolderOf("src/views/lists.cpp"), "views");
    EXPECT_EQ(FolderOf("src/views/ui/list_views.cpp"), "views/ui");
    EXPECT_EQ(FolderOf("tools/market/pages.cpp"), "market");
    EXPECT_EQ(FolderOf("README.md"), "");
    EXPECT_EQ(IncludedFolder("grid/ui/grid_view.h"), "grid/ui");
    EXPECT_EQ(IncludedFolder("grid/grid_ops.h"), "grid");
    EXPECT_EQ(IncludedFolder("local.h"), "");

    QString error;
    EXPECT_FALSE(ReadLayerTable("core:\nstore core\n", &error));
    EXPECT_TRUE(error.contains("line 2")) << error.toStdString();
    EXPECT_FALSE(ReadLayerTable("# nothing\n", &error));
}
