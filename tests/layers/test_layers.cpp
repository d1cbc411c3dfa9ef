#include "include_rules.h"

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

} // namespace

TEST(Layers, EveryIncludeUnderSrcAndToolsPointsDown)
{
    int files = 0;
    const auto faults = CheckTree(QUEL_SOURCE_DIR, &files);
    EXPECT_GT(files, 100) << "the source tree was not found under " << QUEL_SOURCE_DIR;
    EXPECT_TRUE(faults.isEmpty()) << Described(faults).join('\n').toStdString();
}

TEST(Layers, UpwardAndSidewaysIncludesAreNamedWithFileAndLine)
{
    const QString text = "#include \"views/lists.h\"\n"
                         "#include \"grid/grid_model.h\"\n"
                         "#include <QString>\n"
                         "  #  include \"shell/main_window.h\"\n"
                         "#include \"download/download_window.h\"\n"
                         "#include \"local.h\"\n"
                         "#include \"simplify/name_rules.h\"\n";
    const auto faults = CheckIncludes("src/simplify/name_simp.cpp", text);
    ASSERT_EQ(faults.size(), 3) << Described(faults).join('\n').toStdString();
    EXPECT_EQ(faults[0].line, 1); // views sits beside simplify, not below it
    EXPECT_EQ(faults[1].line, 4);
    EXPECT_EQ(faults[1].included, "shell/main_window.h");
    EXPECT_EQ(faults[2].line, 5);
    EXPECT_TRUE(Describe(faults[1]).startsWith("src/simplify/name_simp.cpp:4: "));
}

TEST(Layers, FeaturesUseLowerLayersButNotEachOther)
{
    const QString lower = "#include \"views/list_views.h\"\n#include \"simplify/name_simp.h\"\n"
                          "#include \"widgets/dialogs.h\"\n#include \"core/feedback.h\"\n";
    for (const QString feature : { "search", "download", "analysis", "exports" }) {
        const QString file = "src/" + feature + "/x.cpp";
        EXPECT_TRUE(CheckIncludes(file, lower).isEmpty()) << feature.toStdString();
        for (const QString other : { "search", "download", "analysis", "exports", "shell" }) {
            const auto faults = CheckIncludes(file, "#include \"" + other + "/y.h\"\n");
            EXPECT_EQ(faults.size(), other == feature ? 0 : 1)
                << feature.toStdString() << " -> " << other.toStdString();
        }
    }
    EXPECT_TRUE(CheckIncludes("src/shell/x.cpp", "#include \"exports/y.h\"\n").isEmpty());
}

TEST(Layers, WorkerCoreAndToolsStayNarrow)
{
    EXPECT_TRUE(CheckIncludes("src/worker/x.cpp", "#include \"web/browser.h\"\n").isEmpty());
    EXPECT_EQ(CheckIncludes("src/worker/x.cpp", "#include \"store/database.h\"\n").size(), 1);
    EXPECT_EQ(CheckIncludes("src/core/x.cpp", "#include \"web/market.h\"\n").size(), 1);
    EXPECT_EQ(CheckIncludes("src/store/x.cpp", "#include \"web/market.h\"\n").size(), 1);
    EXPECT_EQ(CheckIncludes("src/web/x.cpp", "#include \"widgets/dialogs.h\"\n").size(), 1);
    EXPECT_TRUE(CheckIncludes("tools/market/x.cpp", "#include \"market/y.h\"\n").isEmpty());
    EXPECT_EQ(CheckIncludes("tools/market/x.cpp", "#include \"store/y.h\"\n").size(), 1);
}

TEST(Layers, AFolderOutsideTheTableIsReported)
{
    const auto faults = CheckIncludes("src/reports/x.cpp", "#include \"core/feedback.h\"\n");
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].why.contains("reports"));
    EXPECT_EQ(FolderOf("src/views/lists.cpp"), "views");
    EXPECT_EQ(FolderOf("tools/market/pages.cpp"), "market");
    EXPECT_EQ(FolderOf("README.md"), "");
}
