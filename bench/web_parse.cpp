// Parses and serialises a generated item page of about 300 KB in GBK with a 90-row sales
// table, the way the worker reads every page it loads, and a bare gumbo parse of the same
// page already in UTF-8: the ratio is what the page engine adds around the parser.
#include "web/document.h"
#include "web/parse_arena.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdio>
#include <ctime>
#include <gumbo.h>

namespace {

QByteArray ItemPage()
{
    QString html = QStringLiteral(
        "<!DOCTYPE html><html><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=gbk\"><title>诺基亚 5200 原装正品</title>"
        "<style>.detail { color: #333 } td > span { font-weight: bold }</style>"
        "<script>var g_config = { itemId: 7, price: \"12.00\" };\nif (a < b && c) {}</script>"
        "</head><body><div id=\"page\"><div class=\"detail\">"
        "<h3>诺基亚 5200 原装正品 &amp; 全国联保</h3>"
        "<ul class=\"other-attr\"><li><span>本期售出：</span><em>37</em>件</li>"
        "<li><span>30天售出：</span><em>120</em>件</li><li><span>宝贝类型：</span>全新</li>"
        "<li>浏览次数：<em>5321</em></li><li>收藏人气：<em>88</em></li></ul>"
        "<strong id=\"J_StrPrice\">12.00</strong>"
        "<a href=\"#reviews\">35</a>人评价)</div>\n");
    // Description blocks make up the bulk of a real item page.
    for (int i = 0; html.size() < 230000; ++i) {
        html += QStringLiteral("<div class=\"desc-block\"><p style=\"margin:0 auto;width:750px\">"
                               "<img src=\"http://img.market.test/bao/%1.jpg\" alt=\"细节图\">"
                               "<span>原装正品，支持验货&nbsp;全国联保，七天无理由退换。</span>"
                               "<br>型号：5200 颜色：黑色 &lt;限量&gt;</p></div>\n")
                    .arg(i);
    }
    html += QStringLiteral(
        "<table class=\"table-deal-record\" summary=\"买家出价记录\"><tr><th>买家</th>"
        "<th>宝贝名称</th><th>出价</th><th>购买数量</th><th>成交时间</th><th>状态</th></tr>\n");
    for (int row = 0; row < 90; ++row) {
        html += QStringLiteral(
            "<tr><td class=\"tb-buyer\"><a href=\"http://rate.market.test/user-rate-"
            "%1abc.htm\" target=\"_blank\">买家%1号 <img src=\"/img/level_3.gif\"></a></td>"
            "<td>诺基亚 5200 原装正品</td><td><em>12.00</em></td><td>%2</td>"
            "<td>2010年4月%3日 9点05分07秒</td><td>成交</td></tr>\n")
                    .arg(row)
                    .arg(row % 3 + 1)
                    .arg(row % 28 + 1);
    }
    html += QStringLiteral("</table><div class=\"page-info\">共190条 1/3</div>"
                           "<a href=\"?page=2\"><span>下一页</span></a></div></body></html>\n");
    QStringEncoder gbk("GBK");
    return gbk.encode(html);
}

} // namespace

int main()
{
    const QByteArray page = ItemPage();
    const QString contentType = QStringLiteral("text/html; charset=gbk");
    // One arena for every parse, as a browser keeps one for the pages it loads.
    quel::web::ParseArena arena;
    qsizetype check = 0;
    for (int i = 0; i < 5; ++i)
        check += quel::web::Document::parseBytes(page, {}, contentType, &arena)->bodyHtml().size();
    const int rounds = 60;
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < rounds; ++i)
        check += quel::web::Document::parseBytes(page, {}, contentType, &arena)->bodyHtml().size();
    const double ms = double(timer.nsecsElapsed()) / 1e6 / rounds;
    // Processor time as well: on a shared machine the wall time includes waiting for a core.
    const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC / rounds;
    // The two halves apart: parsing (decode, gumbo, tree) and writing the body markup.
    auto doc = quel::web::Document::parseBytes(page, {}, contentType, &arena);
    const std::clock_t serialiseStart = std::clock();
    for (int i = 0; i < rounds; ++i)
        check += doc->bodyHtml().size();
    const double serialiseMs
        = double(std::clock() - serialiseStart) * 1000.0 / CLOCKS_PER_SEC / rounds;

    // The parser alone: the same page decoded to UTF-8 beforehand, parsed and freed.
    QStringDecoder fromGbk("GBK");
    const QByteArray utf8 = QString(fromGbk.decode(page)).toUtf8();
    auto bareParse = [&utf8] {
        GumboOutput* output = gumbo_parse_with_options(
            &kGumboDefaultOptions, utf8.constData(), static_cast<size_t>(utf8.size()));
        const bool ok = output->root != nullptr;
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        return ok;
    };
    for (int i = 0; i < 5; ++i)
        check += bareParse() ? 1 : 0;
    QElapsedTimer bareTimer;
    bareTimer.start();
    const std::clock_t bareStart = std::clock();
    for (int i = 0; i < rounds; ++i)
        check += bareParse() ? 1 : 0;
    const double bareMs = double(bareTimer.nsecsElapsed()) / 1e6 / rounds;
    const double bareCpuMs = double(std::clock() - bareStart) * 1000.0 / CLOCKS_PER_SEC / rounds;

    std::printf("page_kb: %.0f KB\n", double(page.size()) / 1024.0);
    std::printf("mb_per_s: %.1f MB/s\n", double(page.size()) / (1024.0 * 1024.0) / (ms / 1000.0));
    std::printf("ms_per_page: %.2f ms\n", ms);
    std::printf("cpu_ms_per_page: %.2f ms\n", cpuMs);
    std::printf("cpu_ms_serialise: %.2f ms\n", serialiseMs);
    std::printf("bare_gumbo_ms_per_page: %.2f ms\n", bareMs);
    std::printf("bare_gumbo_cpu_ms_per_page: %.2f ms\n", bareCpuMs);
    // Processor times, which waiting for a shared core does not inflate.
    std::printf("web_parse_ratio: %.2f x\n", bareCpuMs > 0 ? cpuMs / bareCpuMs : 0.0);
    return check > 0 ? 0 : 1;
}
