#include "support/print_qstring.h"
#include "web/charset.h"
#include "web/parse_arena.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace quel::web;

TEST(Charset, LabelsHeadersAndMeta)
{
    EXPECT_EQ(CanonicalCharset(QStringLiteral(" GB2312 ")), QStringLiteral("GBK"));
    EXPECT_EQ(CanonicalCharset(QStringLiteral("\"utf8\"")), QStringLiteral("UTF-8"));
    EXPECT_EQ(CanonicalCharset(QStringLiteral("gb18030")), QStringLiteral("GB18030"));
    EXPECT_EQ(CanonicalCharset(QStringLiteral("no-such-charset")), QString());
    EXPECT_EQ(
        CharsetFromContentType(QStringLiteral("text/html;charset=\"gbk\"")), QStringLiteral("GBK"));
    EXPECT_EQ(CharsetFromContentType(QStringLiteral("text/html")), QString());
    EXPECT_EQ(CharsetFromMeta("<html><head><META HTTP-EQUIV=Content-Type "
                              "CONTENT=\"text/html; charset=gb2312\">"),
        QStringLiteral("GBK"));
    EXPECT_EQ(CharsetFromMeta("<meta charset='utf-8'/>"), QStringLiteral("UTF-8"));
    EXPECT_EQ(CharsetFromMeta("<meta name=keywords content=charset>"), QString());
    // Blanks around "=", an empty first value, a longer word and a tag that is not META.
    EXPECT_EQ(CharsetFromContentType(QStringLiteral("text/html; CHARSET = 'big5' ; x=y")),
        QStringLiteral("Big5"));
    EXPECT_EQ(
        CharsetFromContentType(QStringLiteral("charset=;charset=utf-8")), QStringLiteral("UTF-8"));
    EXPECT_EQ(CharsetFromMeta("<meta content=\"xcharset=big5\"><meta charset=gbk>"),
        QStringLiteral("GBK"));
    EXPECT_EQ(CharsetFromMeta("<metadata charset=big5><meta charset=utf-8"), QString());

    const QByteArray gbk = QByteArray::fromHex("c5b5bbf9d1c7"); // 诺基亚
    EXPECT_EQ(DetectCharset(gbk, QString()), QStringLiteral("GB18030"));
    EXPECT_EQ(DetectCharset(gbk, QStringLiteral("text/html; charset=gbk")), QStringLiteral("GBK"));
    EXPECT_EQ(DetectCharset(QByteArray("\xEF\xBB\xBF") + gbk, QStringLiteral("charset=gbk")),
        QStringLiteral("UTF-8"));
    EXPECT_EQ(DetectCharset(QStringLiteral("诺基亚").toUtf8(), QString()), QStringLiteral("UTF-8"));
    EXPECT_EQ(DecodeBytes(gbk, QStringLiteral("GBK")), QStringLiteral("诺基亚"));
}

TEST(Charset, FormEncodingAsBrowsersDo)
{
    EXPECT_EQ(FormUrlEncode(QStringLiteral("诺基亚 5200"), QStringLiteral("GBK")),
        QByteArray("%C5%B5%BB%F9%D1%C7+5200"));
    EXPECT_EQ(FormUrlEncode(QStringLiteral("诺基亚"), QStringLiteral("UTF-8")),
        QByteArray("%E8%AF%BA%E5%9F%BA%E4%BA%9A"));
    EXPECT_EQ(FormUrlEncode(QStringLiteral("a*b-c._d~e&f=g+h"), QStringLiteral("GBK")),
        QByteArray("a*b-c._d%7Ee%26f%3Dg%2Bh"));
    // A character the charset lacks goes as a numeric reference; line breaks as CR LF.
    EXPECT_EQ(
        FormUrlEncode(QStringLiteral("한"), QStringLiteral("GBK")), QByteArray("%26%2354620%3B"));
    EXPECT_EQ(FormUrlEncode(QStringLiteral("a\nb"), QStringLiteral("GBK")), QByteArray("a%0D%0Ab"));
}

TEST(ParseArena, AlignedDistinctMemoryReusedAfterReset)
{
    quel::web::ParseArena arena;
    std::vector<char*> pieces;
    for (std::size_t size : { 1, 15, 16, 17, 3000, 700000, 700000, 3 << 20, 5 }) {
        auto* p = static_cast<char*>(quel::web::ParseArena::allocate(&arena, size));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u) << size;
        std::memset(p, int(pieces.size()), size); // every byte is writable
        pieces.push_back(p);
    }
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
        EXPECT_NE(pieces[i], pieces[i + 1]);
    char* first = pieces.front();
    arena.reset();
    // The next parse starts in the memory the last one used.
    EXPECT_EQ(quel::web::ParseArena::allocate(&arena, 64), first);
}
