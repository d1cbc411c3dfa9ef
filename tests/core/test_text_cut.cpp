#include "core/text_cut.h"
#include "support/print_qstring.h"

#include <gtest/gtest.h>
#include <random>

using namespace quel::core;

TEST(CutAtMarker, ForwardAndBackwardCuts)
{
    QString text = QStringLiteral("a|b|c");
    EXPECT_EQ(CutAtMarker(text, QStringLiteral("|"), true), QStringLiteral("a"));
    EXPECT_EQ(text, QStringLiteral("b|c"));

    text = QStringLiteral("a|b|c");
    EXPECT_EQ(CutAtMarker(text, QStringLiteral("|"), false), QStringLiteral("c"));
    EXPECT_EQ(text, QStringLiteral("a|b"));

    // Walking through a page: skip to an anchor, then take up to the next one.
    QString page = QStringLiteral("<A href=\"x\">item.htm?id=123\" title=t");
    CutAtMarker(page, QStringLiteral("item.htm?id="), true);
    EXPECT_EQ(CutAtMarker(page, QStringLiteral("\""), true), QStringLiteral("123"));
    EXPECT_EQ(page, QStringLiteral(" title=t"));

    // Marker at the very start: empty part before it, but the text still moves on.
    text = QStringLiteral("<EM>12");
    EXPECT_EQ(CutAtMarker(text, QStringLiteral("<EM>"), true), QString());
    EXPECT_EQ(text, QStringLiteral("12"));
}

TEST(CutAtMarker, MissingOrEmptyMarkerLeavesTextAlone)
{
    QString text = QStringLiteral("共190条 2/3");
    EXPECT_EQ(CutAtMarker(text, QStringLiteral("下一页"), true), QString());
    EXPECT_EQ(CutAtMarker(text, QStringLiteral("下一页"), false), QString());
    EXPECT_EQ(CutAtMarker(text, QString(), true), QString());
    EXPECT_EQ(text, QStringLiteral("共190条 2/3"));
}

TEST(RemoveBetween, SpansTagsAndUnclosedOpen)
{
    QString link = QStringLiteral("<A href=\"/list?page=2\"><SPAN>下一页</SPAN></A>");
    EXPECT_EQ(RemoveBetween(link, QStringLiteral("<"), QStringLiteral(">"), QString()),
        QStringLiteral("下一页"));
    EXPECT_EQ(link, QStringLiteral("下一页"));

    QString scripts = QStringLiteral("a<SCRIPT>x</SCRIPT>b<SCRIPT>y</SCRIPT>c");
    EXPECT_EQ(
        RemoveBetween(scripts, QStringLiteral("<SCRIPT"), QStringLiteral("</SCRIPT>"), QString()),
        QStringLiteral("abc"));

    QString unclosed = QStringLiteral("keep<SCRIPT>never closed</SPAN>");
    EXPECT_EQ(RemoveBetween(unclosed, QStringLiteral("<SCRIPT"), QStringLiteral("</SCRIPT>"),
                  QStringLiteral("|")),
        QStringLiteral("keep|"));

    QString spans = QStringLiteral("<SPAN>a</SPAN >b</SPAN\r\n>c");
    EXPECT_EQ(RemoveBetween(spans, QStringLiteral("</SPAN"), QStringLiteral(">"), QString()),
        QStringLiteral("<SPAN>abc"));

    QString none = QStringLiteral("plain");
    EXPECT_EQ(RemoveBetween(none, QStringLiteral("<"), QStringLiteral(">"), QString()),
        QStringLiteral("plain"));
}

TEST(RemoveBetween, SearchesAgainAcrossTheJoinLikeARescan)
{
    // Removing "<<a>" leaves "b>" whose "b" joins nothing: one pass is the same as a rescan.
    QString nested = QStringLiteral("<<a>b>");
    EXPECT_EQ(RemoveBetween(nested, QStringLiteral("<"), QStringLiteral(">"), QString()),
        QStringLiteral("b>"));
    // An opener that only forms once a span is gone is still found.
    QString joined = QStringLiteral("xaab1]b2]y");
    EXPECT_EQ(RemoveBetween(joined, QStringLiteral("ab"), QStringLiteral("]"), QString()),
        QStringLiteral("xy"));
    QString viaReplacement = QStringLiteral("za(1)");
    EXPECT_EQ(RemoveBetween(viaReplacement, QStringLiteral("zb"), QStringLiteral(")"), QString()),
        QStringLiteral("za(1)"));
    QString formed = QStringLiteral("z(1)b)");
    EXPECT_EQ(RemoveBetween(formed, QStringLiteral("("), QStringLiteral(")"), QStringLiteral("z")),
        QStringLiteral("zzb)"));
}

namespace {

// The rule as written: replace the first span, then search the new text from its start.
QString RemoveBetweenByRescan(
    QString text, const QString& open, const QString& close, const QString& replacement)
{
    for (;;) {
        const qsizetype at = text.indexOf(open);
        if (at < 0)
            return text;
        const qsizetype closeAt = text.indexOf(close, at + open.size());
        const qsizetype end = closeAt < 0 ? text.size() : closeAt + close.size();
        text.replace(at, end - at, replacement);
    }
}

QString RandomText(std::mt19937& rng, const QString& alphabet, int maxLength)
{
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
    QString text;
    for (int n = length(rng); n > 0; --n)
        text += alphabet[pick(rng)];
    return text;
}

} // namespace

TEST(RemoveBetween, SamePlacesAsRescanningAfterEachSpan)
{
    std::mt19937 rng(20261207);
    const QString alphabet = QStringLiteral("ab<>/");
    for (int round = 0; round < 20000; ++round) {
        const QString text = RandomText(rng, alphabet, 14);
        const QString open = RandomText(rng, alphabet, 3);
        const QString close = RandomText(rng, alphabet, 2);
        const QString replacement = RandomText(rng, alphabet, 2);
        if (open.isEmpty() || replacement.contains(open))
            continue;
        QString fast = text;
        RemoveBetween(fast, open, close, replacement);
        ASSERT_EQ(fast, RemoveBetweenByRescan(text, open, close, replacement))
            << text.toStdString() << " open=" << open.toStdString()
            << " close=" << close.toStdString() << " rep=" << replacement.toStdString();
    }
}

TEST(RemoveBetween, ReplacementHoldingTheOpenerDoesNotLoop)
{
    QString text = QStringLiteral("a<b>c<d>e");
    EXPECT_EQ(RemoveBetween(text, QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("<")),
        QStringLiteral("a<c<e"));
    QString empty = QStringLiteral("abc");
    EXPECT_EQ(RemoveBetween(empty, QString(), QStringLiteral(">"), QStringLiteral("x")),
        QStringLiteral("abc"));
}

TEST(SkipPast, MovesPastTheFirstMarkerOnly)
{
    QString text = QStringLiteral("a>b>c");
    EXPECT_TRUE(SkipPast(text, QStringLiteral(">")));
    EXPECT_EQ(text, QStringLiteral("b>c"));
    EXPECT_FALSE(SkipPast(text, QStringLiteral("<")));
    EXPECT_FALSE(SkipPast(text, QString()));
    EXPECT_EQ(text, QStringLiteral("b>c"));
}

TEST(TrimBlanks, OnlyPlainBlanksAtTheEnds)
{
    // Ideographic blanks, tabs and line breaks are page text, not padding.
    EXPECT_EQ(TrimBlanks(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("\t\u3000a\n ")), QStringLiteral("\t\u3000a\n"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(StripTags(QStringLiteral(" <B>x</B> ")), QStringLiteral(" x "));
}
