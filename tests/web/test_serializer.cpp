#include "support/print_qstring.h"
#include "web/document.h"

#include <gtest/gtest.h>

using namespace quel::web;

namespace {

QString Body(const QString& html)
{
    return Document::parse(html, QUrl(QStringLiteral("http://market.test/dir/page.htm")))
        ->bodyHtml();
}

QString Body(const char* html)
{
    return Body(QString::fromUtf8(html));
}

} // namespace

TEST(Serializer, ImpliedElementsAndUnclosedTags)
{
    EXPECT_EQ(Body("<p>one<p>two"), QStringLiteral("<P>one</P><P>two</P>"));
    EXPECT_EQ(Body("<ul><li>a<li>b</ul>"), QStringLiteral("<UL><LI>a</LI><LI>b</LI></UL>"));
    EXPECT_EQ(Body("<table summary=买家出价记录><tr><th>买家</th></tr><tr><td>x</td></table>"),
        QStringLiteral("<TABLE summary=买家出价记录><TBODY><TR><TH>买家</TH></TR>"
                       "<TR><TD>x</TD></TR></TBODY></TABLE>"));
    EXPECT_EQ(Body("<div><span>a</div>b"), QStringLiteral("<DIV><SPAN>a</SPAN></DIV>b"));

    auto doc = Document::parse(QStringLiteral("<title>t</title><p>x"));
    ASSERT_GE(doc->all().size(), 5u);
    EXPECT_EQ(doc->all()[0]->tagName(), QStringLiteral("HTML"));
    EXPECT_EQ(doc->all()[1]->tagName(), QStringLiteral("HEAD"));
    EXPECT_EQ(doc->all()[2]->tagName(), QStringLiteral("TITLE"));
    EXPECT_EQ(doc->all()[3]->tagName(), QStringLiteral("BODY"));
    EXPECT_EQ(doc->all()[4]->tagName(), QStringLiteral("P"));
    EXPECT_EQ(doc->documentElement()->outerHTML(),
        QStringLiteral("<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><P>x</P></BODY></HTML>"));
}

TEST(Serializer, AttributeQuoting)
{
    EXPECT_EQ(Body("<li CLASS=\"list-item\" Id='J_Str.Price_2'>x</li>"),
        QStringLiteral("<LI class=list-item id=J_Str.Price_2>x</LI>"));
    EXPECT_EQ(Body("<a href=\"http://host/item.htm?id=7&amp;x=1\" title=\"诺基亚 5200\">n</a>"),
        QStringLiteral("<A href=\"http://host/item.htm?id=7&amp;x=1\" "
                       "title=\"诺基亚 5200\">n</A>"));
    // CJK values stay bare; empty values, blanks, quotes and other ASCII need quotes.
    EXPECT_EQ(Body("<input name=Submit value=\"\" alt='say \"hi\"' title=诺基亚 data-a=a/b "
                   "data-b=\"a:b\" checked>"),
        QStringLiteral("<INPUT name=Submit value=\"\" alt=\"say &quot;hi&quot;\" "
                       "title=诺基亚 data-a=\"a/b\" data-b=\"a:b\" checked=\"\">"));
    // Less-than and greater-than inside values are left as they are.
    EXPECT_EQ(Body("<div title=\"a<b>\">x</div>"), QStringLiteral("<DIV title=\"a<b>\">x</DIV>"));
}

TEST(Serializer, TextEntitiesAndLineBreaks)
{
    EXPECT_EQ(Body("a &amp; b &lt;c&gt; d&nbsp;e &quot;f&quot; &#25163;&copy;"),
        QStringLiteral("a &amp; b &lt;c&gt; d&nbsp;e \"f\" 手©"));
    EXPECT_EQ(Body("<div>a\nb\r\nc\rd</div>\n<div>e</div>"),
        QStringLiteral("<DIV>a\r\nb\r\nc\r\nd</DIV>\r\n<DIV>e</DIV>"));
    EXPECT_EQ(Body("<span>本期售出：</span><em>12</em>&nbsp;件"),
        QStringLiteral("<SPAN>本期售出：</SPAN><EM>12</EM>&nbsp;件"));
}

TEST(Serializer, ScriptStyleVoidAndComments)
{
    EXPECT_EQ(Body("<p>x</p><script>if (a < b && c > d) {\n x = \"&amp;\";\n}</script>"),
        QStringLiteral("<P>x</P><SCRIPT>if (a < b && c > d) {\r\n x = \"&amp;\";\r\n}</SCRIPT>"));
    EXPECT_EQ(Body("<p>x</p><style>a > b { color: red }\n</style>"),
        QStringLiteral("<P>x</P><STYLE>a > b { color: red }\r\n</STYLE>"));
    EXPECT_EQ(Body("a<br>b<br/><img src=a.gif><hr><wbr>c"),
        QStringLiteral("a<BR>b<BR><IMG src=a.gif><HR><WBR>c"));
    EXPECT_EQ(
        Body("<body><!-- note -->x<!--a\nb-->"), QStringLiteral("<!-- note -->x<!--a\r\nb-->"));
    EXPECT_EQ(Body("<textarea>a &amp; <b></textarea>"),
        QStringLiteral("<TEXTAREA>a &amp; &lt;b&gt;</TEXTAREA>"));
}

TEST(Serializer, MarkersOfTheMarketPages)
{
    // The anchors the search and the worker cut at, as the pages produce them.
    const QString page = Body("<div class=\"page-info\">共190条 2/3</div>\n"
                              "<a href=\"/list?page=3\"><span>下一页</span></a>"
                              "<div class=\"ErrorMsg\">对不起，暂时不提供查看该宝贝的信息</div>"
                              "<strong id=\"J_StrPrice\">12.00</strong>"
                              "<input type=\"submit\" value=\"  搜 索  \" name=\"Submit\">");
    EXPECT_TRUE(page.contains(QStringLiteral("class=page-info>共190条 2/3<")));
    EXPECT_TRUE(page.contains(QStringLiteral("<SPAN>下一页</SPAN></A>")));
    EXPECT_TRUE(
        page.contains(QStringLiteral("class=ErrorMsg>对不起，暂时不提供查看该宝贝的信息<")));
    EXPECT_TRUE(page.contains(QStringLiteral("id=J_StrPrice>")));
    EXPECT_TRUE(page.contains(QStringLiteral("name=Submit>")));
}

TEST(DocumentModel, LinksFormsAndFields)
{
    auto doc = Document::parse(
        QStringLiteral(
            "<a id=rel href=\"../item.htm?id=7\">r</a><a id=abs href=\"http://other.test/\">a</a>"
            "<a id=none>n</a><div id=d>d</div>"
            "<form name=mainform action=\"/browse/search.htm\">"
            "<input name=q value=\"old\"><input type=checkbox name=c value=1 checked>"
            "<select name=s><option value=1>one<option value=2 selected>two</select>"
            "<textarea name=t>x</textarea><input type=submit name=Submit value=\"  搜 索  \">"
            "</form>"),
        QUrl(QStringLiteral("http://market.test/dir/page.htm")));
    auto byId = [&](const char* id) -> Node* {
        for (Node* n : doc->all()) {
            if (n->id() == QLatin1String(id))
                return n;
        }
        return nullptr;
    };
    EXPECT_EQ(byId("rel")->href(), QStringLiteral("http://market.test/item.htm?id=7"));
    EXPECT_EQ(byId("abs")->href(), QStringLiteral("http://other.test/"));
    EXPECT_EQ(byId("none")->href(), QString());
    EXPECT_EQ(byId("d")->href(), QString());

    Node* form = doc->form(QStringLiteral("mainform"));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(doc->form(QStringLiteral("other")), nullptr);
    ASSERT_NE(form->field(QStringLiteral("q")), nullptr);
    EXPECT_EQ(form->field(QStringLiteral("nick")), nullptr);
    EXPECT_EQ(form->field(QStringLiteral("q"))->value(), QStringLiteral("old"));
    form->field(QStringLiteral("q"))->setValue(QStringLiteral("诺基亚 5200"));
    EXPECT_EQ(form->field(QStringLiteral("q"))->value(), QStringLiteral("诺基亚 5200"));
    EXPECT_TRUE(doc->bodyHtml().contains(QStringLiteral("value=\"诺基亚 5200\"")));
    EXPECT_EQ(form->field(QStringLiteral("s"))->value(), QStringLiteral("2"));
    EXPECT_EQ(form->field(QStringLiteral("s"))->type(), QStringLiteral("select-one"));
    form->field(QStringLiteral("t"))->setValue(QStringLiteral("y"));
    EXPECT_EQ(form->field(QStringLiteral("t"))->value(), QStringLiteral("y"));

    const auto elements = form->formElements();
    ASSERT_EQ(elements.size(), 5u);
    EXPECT_EQ(elements[1]->type(), QStringLiteral("checkbox"));
    EXPECT_EQ(elements[4]->type(), QStringLiteral("submit"));
    EXPECT_EQ(elements[4]->value(), QStringLiteral("  搜 索  "));
}

TEST(DocumentModel, LinkQueriesGoInThePageCharset)
{
    const QString link = QStringLiteral("<base href=\"http://market.test/browse/\">"
                                        "<a href=\"search.htm?q=诺基亚 x&p=2#top\">n</a>");
    auto gbk
        = Document::parse(link, QUrl(QStringLiteral("http://other.test/")), QStringLiteral("GBK"));
    EXPECT_EQ(gbk->all().back()->href(),
        QStringLiteral("http://market.test/browse/search.htm?q=%C5%B5%BB%F9%D1%C7%20x&p=2#top"));
    auto utf8 = Document::parse(link, QUrl(QStringLiteral("http://other.test/")));
    EXPECT_EQ(utf8->all().back()->href(),
        QStringLiteral("http://market.test/browse/search.htm?q=%E8%AF%BA%E5%9F%BA%E4%BA%9A%20x"
                       "&p=2#top"));
}

TEST(DocumentModel, FormInsideTableKeepsItsControls)
{
    // The parser moves the form out of the table and leaves it empty; the controls after its
    // start tag still belong to it.
    auto doc = Document::parse(QStringLiteral(
        "<table><form name=f action=/x><tr><td><input name=a value=1>"
        "<input type=submit value=go></td></tr></form></table><input name=outside>"));
    Node* form = doc->form(QStringLiteral("f"));
    ASSERT_NE(form, nullptr);
    const auto elements = form->formElements();
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[0]->name(), QStringLiteral("a"));
    EXPECT_NE(form->field(QStringLiteral("a")), nullptr);
    EXPECT_EQ(form->field(QStringLiteral("outside")), nullptr);
}

TEST(DocumentModel, EmptyAndBrokenInput)
{
    Document empty;
    EXPECT_EQ(empty.bodyHtml(), QString());
    EXPECT_EQ(empty.readyState(), QStringLiteral("uninitialized"));
    EXPECT_TRUE(empty.all().empty());

    EXPECT_EQ(Body(""), QString());
    EXPECT_EQ(Body("<div <<>>< </"), Body(QString::fromUtf8("<div <<>>< </")));
    // Undecodable bytes become U+FFFD instead of stopping the parse.
    auto doc = Document::parseBytes(
        QByteArray("<p>a\xff\xfe b</p>"), {}, QStringLiteral("text/html; charset=utf-8"));
    EXPECT_EQ(doc->bodyHtml(), QStringLiteral("<P>a\uFFFD\uFFFD b</P>"));
}

TEST(DocumentModel, DeepNestingStaysWithinTheStack)
{
    const int depth = 3000;
    const QString page = QStringLiteral("<div>").repeated(depth) + QStringLiteral("x");
    auto doc = Document::parse(page);
    EXPECT_EQ(doc->all().size(), size_t(depth + 3));
    const QString body = doc->bodyHtml();
    EXPECT_EQ(body.count(QStringLiteral("<DIV>")), depth);
    EXPECT_EQ(body.count(QStringLiteral("</DIV>")), depth);
    EXPECT_EQ(doc->body()->textContent(), QStringLiteral("x"));
}
