#include "market/pages.h"

#include "market/gbk.h"

#include <algorithm>
#include <cstdio>

namespace quel::market {
namespace {

constexpr const char* kMarketName = "演示集市";

std::string num(long long v)
{
    return std::to_string(v);
}

// The first keyword word that occurs verbatim in the title, for the highlight span.
std::string firstVerbatimWord(std::string_view title, std::string_view keyword)
{
    std::size_t i = 0;
    while (i < keyword.size()) {
        while (i < keyword.size() && keyword[i] == ' ')
            ++i;
        std::size_t j = keyword.find(' ', i);
        if (j == std::string_view::npos)
            j = keyword.size();
        const std::string_view word = keyword.substr(i, j - i);
        if (!word.empty() && title.find(word) != std::string_view::npos)
            return std::string(word);
        i = j;
    }
    return {};
}

} // namespace

std::string escapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string escapeAttribute(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"')
            out += "&quot;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

std::string money(double value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    return buf;
}

PageRenderer::PageRenderer(const Catalogue& catalogue, std::string base, Fault rewrite)
    : m_catalogue(catalogue)
    , m_base(std::move(base))
    , m_rewrite(rewrite)
{ }

std::string PageRenderer::document(std::string_view title, std::string_view body) const
{
    std::string out;
    out.reserve(body.size() + 512);
    out += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\n<title>";
    out += escapeText(title);
    out += " - ";
    out += kMarketName;
    out += "</title>\n<style>body{font-size:12px} .H{color:#c00}</style>\n</head>\n<body>\n";
    out += header();
    out += body;
    out += "<div class=\"footer\">";
    out += kMarketName;
    out += " 仅供演示</div>\n</body>\n</html>\n";
    return out;
}

std::string PageRenderer::header() const
{
    return "<div class=\"site-nav\"><a href=\"" + m_base + "/\">" + kMarketName
        + "首页</a> | <a href=\"" + m_base + "/browse/ad_search.htm\">高级搜索</a></div>\n";
}

std::string PageRenderer::home() const
{
    const std::string body = "<h1>欢迎光临" + std::string(kMarketName) + "</h1>\n<p>共有 "
        + num(static_cast<long long>(m_catalogue.products().size())) + " 件宝贝在售。<a href=\""
        + m_base + "/browse/ad_search.htm\">高级搜索</a></p>\n";
    return document("首页", body);
}

std::string PageRenderer::searchForm() const
{
    std::string body;
    body += "<h1>高级搜索</h1>\n";
    body += "<form name=\"mainform\" action=\"" + m_base + "/search\" method=\"get\">\n";
    body += "<table class=\"search-form\">\n<tbody>\n";
    body += "<tr><td>关键词：</td><td><input type=\"text\" name=\"q\" value=\"\" "
            "size=\"40\"></td></tr>\n";
    body += "<tr><td>卖家昵称：</td><td><input type=\"text\" name=\"nick\" value=\"\" "
            "size=\"20\"></td></tr>\n";
    body += "<tr><td></td><td><input type=\"submit\" value=\"  搜 索  \" "
            "name=\"Submit\"></td></tr>\n";
    body += "</tbody>\n</table>\n</form>\n";
    return document("高级搜索", body);
}

std::string PageRenderer::searchQuery(std::string_view keyword, std::string_view nick, int page)
{
    return "q=" + percentEncode(utf8ToGbk(keyword)) + "&nick=" + percentEncode(utf8ToGbk(nick))
        + "&page=" + num(page);
}

void PageRenderer::appendListItem(
    std::string& out, const Product& p, std::string_view keyword) const
{
    const Shop& shop = m_catalogue.shops()[static_cast<std::size_t>(p.shop)];
    const std::string itemBase = m_base + (p.mall ? "/mall" : "");
    const std::string href = escapeAttribute(itemBase + "/item.htm?id=" + p.code);
    const ItemFigures f = m_catalogue.figures(p.index);

    std::string linkText;
    const std::string word = firstVerbatimWord(p.title, keyword);
    if (word.empty()) {
        linkText = escapeText(p.title);
    } else {
        const std::size_t at = p.title.find(word);
        linkText = escapeText(p.title.substr(0, at)) + "<span class=\"H\">" + escapeText(word)
            + "</span>" + escapeText(p.title.substr(at + word.size()));
    }

    out += "<li class=\"list-item\">\n";
    out += "<div class=\"photo\"><a href=\"" + href + "\" target=\"_blank\"><img src=\"" + m_base
        + "/img/" + p.numId + "_sum.jpg\" alt=\"\" width=\"80\" height=\"80\"></a></div>\n";
    out += "<h3 class=\"summary\"><a href=\"" + href + "\" target=\"_blank\" title=\""
        + escapeAttribute(p.title) + "\">" + linkText + "</a></h3>\n";
    out += "<div class=\"seller\">卖家：<a href=\"" + m_base + "/shop/view_shop-" + shop.code
        + ".htm\" target=\"_blank\">" + escapeText(shop.name) + "</a></div>\n";
    out += "<div class=\"price\"><em>" + money(m_catalogue.priceNow(p.index)) + "</em></div>\n";
    out += "<div class=\"shipping\">运费: " + money(p.postage) + "</div>\n";
    if (p.discount > 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%g", p.discount);
        out += "<div class=\"extend\"><span class=\"dis\">" + std::string(buf)
            + "</span>折价</div>\n";
    }
    out += "<div class=\"sales\">最近售出 " + num(f.sold30Days) + " 件</div>\n";
    out += "<div class=\"place\">" + escapeText(shop.location) + "</div>\n";
    out += "</li>\n";
}

std::string PageRenderer::searchResults(
    std::string_view keyword, std::string_view nick, int page) const
{
    const std::vector<int> found = m_catalogue.search(keyword, nick);
    const int total = static_cast<int>(found.size());
    const int pages = std::max(1, (total + kItemsPerPage - 1) / kItemsPerPage);
    page = std::max(1, page);
    const std::string what = keyword.empty() ? std::string(nick) : std::string(keyword);

    std::string body;
    body.reserve(static_cast<std::size_t>(kItemsPerPage) * 1200 + 2000);
    body += "<script type=\"text/javascript\">\nvar g_page = " + num(page)
        + ";\nvar g_pages = " + num(pages) + ";\n</script>\n";
    body += "<div class=\"search-summary\">搜索“" + escapeText(what) + "”，共找到 <em>" + num(total)
        + "</em> 件宝贝</div>\n";
    const std::string pageInfo
        = "<span class=\"page-info\">" + num(page) + "/" + num(pages) + "</span>";
    body += "<div class=\"pager-top\">" + pageInfo + " 第<em>" + num(page) + "</em>页</div>\n";
    body += "<ul class=\"list-header\"><li>宝贝</li><li>价格</li><li>运费</li><li>所在地</li>"
            "<li>对比</li></ul>\n";
    const int first = (page - 1) * kItemsPerPage;
    const int last = std::min(total, first + kItemsPerPage);
    if (first < last) {
        body += "<ul class=\"item-list\">\n";
        for (int i = first; i < last; ++i)
            appendListItem(body,
                m_catalogue
                    .products()[static_cast<std::size_t>(found[static_cast<std::size_t>(i)])],
                keyword);
        body += "</ul>\n";
    } else {
        body += "<div class=\"no-result\">没有找到与“" + escapeText(what)
            + "”相关的宝贝，请换一个关键词试试。</div>\n";
    }
    body += "<div class=\"page-bottom\">" + pageInfo;
    const std::string searchBase = m_base + "/search?";
    if (page > 1)
        body += " <a href=\"" + escapeAttribute(searchBase + searchQuery(keyword, nick, page - 1))
            + "\" class=\"page-prev\">上一页</a>";
    // A broken pager leads from every later page back to the first.
    const int nextPage = m_rewrite == Fault::SearchLoop && page > 1 ? 1 : page + 1;
    if (page < pages)
        body += " <a href=\"" + escapeAttribute(searchBase + searchQuery(keyword, nick, nextPage))
            + "\" class=\"page-next\">下一页</a>";
    else
        body += " <span class=\"page-end\">下一页</span>";
    body += "</div>\n";
    return document(what.empty() ? "搜索" : what + " - 搜索", body);
}

int PageRenderer::salesPageCount(const Product& product, int pageSize) const
{
    const int records = static_cast<int>(m_catalogue.sales(product.index)->size());
    return std::max(1, (records + pageSize - 1) / pageSize);
}

std::string PageRenderer::itemUrl(const ItemAddress& address, int salesPage) const
{
    std::string url
        = m_base + address.path + "?" + address.idQuery + "&page_size=" + num(address.pageSize);
    if (salesPage >= 1)
        url += "&tab=deal&bid_page=" + num(salesPage);
    return url;
}

std::string PageRenderer::item(const Product& p, const ItemAddress& address, int salesPage) const
{
    if (!p.viewable) {
        const std::string body
            = "<div class=\"ErrorMsg\">对不起，暂时不提供查看该宝贝的信息</div>\n"
              "<p>该宝贝可能已下架或被删除。</p>\n";
        return document("宝贝不可查看", body);
    }
    const Shop& shop = m_catalogue.shops()[static_cast<std::size_t>(p.shop)];
    const ItemFigures f = m_catalogue.figures(p.index);
    const auto sales = m_catalogue.sales(p.index);

    std::string body;
    body.reserve(4000 + static_cast<std::size_t>(address.pageSize) * 420);
    body += "<div id=\"detail\" class=\"detail\">\n";
    body += "<h3 class=\"item-title\">" + escapeText(p.title) + "</h3>\n";
    body += "<ul class=\"item-props\">\n";
    body += "<li class=\"price-row\">一口价：<strong id=\"J_StrPrice\">"
        + money(m_catalogue.priceNow(p.index)) + "</strong>元</li>\n";
    body += "<li class=\"shipping\">运费：快递 " + money(p.postage) + "元</li>\n";
    body += "<li><span>本期售出：</span>" + num(f.soldThisPeriod) + "件</li>\n";
    body += "<li><span>30天售出：</span>" + num(f.sold30Days) + "件</li>\n";
    body += "<li class=\"reviews\">宝贝评价(<a href=\"" + escapeAttribute(itemUrl(address, 0))
        + "#reviews\">" + num(f.reviews) + "</a>人评价)</li>\n";
    body += "<li><span>宝贝类型：</span>" + escapeText(p.itemType) + "</li>\n";
    body += "<li>浏览次数：<em>" + num(f.views) + "</em>次</li>\n";
    body += "<li>收藏人气：<em>" + num(f.favourites) + "</em>人</li>\n";
    body += "<li>所在地：" + escapeText(shop.location) + "</li>\n";
    body += "<li>卖家：<a href=\"" + m_base + "/shop/view_shop-" + shop.code + ".htm\">"
        + escapeText(shop.name) + "</a></li>\n";
    body += "</ul>\n<!-- detail-other end -->\n</div>\n";

    body += "<div class=\"tabs\"><a href=\"" + escapeAttribute(itemUrl(address, 0))
        + "\">宝贝详情</a> <a href=\"" + escapeAttribute(itemUrl(address, 1)) + "\">成交记录("
        + num(f.records) + ")</a></div>\n";

    if (salesPage < 1) {
        body += "<div class=\"description\"><p>" + escapeText(p.title)
            + "</p><p>本店所售商品均为正品，请放心购买。拍下后48小时内发货。</p></div>\n";
        return document(p.title, body);
    }

    body += "<div class=\"deal-record\">\n";
    if (m_rewrite == Fault::NoRecordTable) {
        body += "<p class=\"login-tip\">您需要<a href=\"" + m_base
            + "/member/login.jhtml\">登录</a>才能查看成交记录。</p>\n</div>\n";
        return document(p.title, body);
    }
    if (sales->empty()) {
        body += "<p class=\"deal-empty\">暂时还没有买家购买此宝贝。</p>\n</div>\n";
        return document(p.title, body);
    }
    // A sale arriving between two page loads pushes every later page down by one record: the
    // pages from 2 on start one record earlier and announce one more.
    const std::size_t shift = m_rewrite == Fault::ShiftedRows && salesPage >= 2 ? 1 : 0;
    const std::size_t announced = sales->size() + shift;
    const int pages = static_cast<int>(std::max<std::size_t>(1,
        (announced + static_cast<std::size_t>(address.pageSize) - 1)
            / static_cast<std::size_t>(address.pageSize)));
    salesPage = std::min(salesPage, pages);
    body += "<table class=\"tb-bid\" summary=\"买家出价记录\">\n<tbody>\n";
    body += "<tr><th>买家</th><th>宝贝名称</th><th>拍下价格</th><th>数量</th><th>付款时间</th>"
            "<th>款式和型号</th></tr>\n";
    const std::size_t first
        = static_cast<std::size_t>(salesPage - 1) * static_cast<std::size_t>(address.pageSize)
        - shift;
    const std::size_t last
        = std::min(sales->size(), first + static_cast<std::size_t>(address.pageSize));
    const auto& buyers = m_catalogue.buyers();
    for (std::size_t i = first; i < last; ++i) {
        const Sale& s = (*sales)[i];
        body += "<tr><td class=\"tb-buyer\">";
        if (s.buyer < 0) {
            body += "匿名买家";
        } else {
            const Buyer& b = buyers[static_cast<std::size_t>(s.buyer)];
            body += escapeText(b.nick) + " <a href=\"" + m_base + "/rate/user-rate-" + b.code
                + ".htm\" target=\"_blank\" title=\"买家信用\">信用" + num(b.buyerCredit) + "</a>";
        }
        body += "</td><td class=\"tb-title\">" + escapeText(p.title)
            + "</td><td class=\"tb-price\"><em>" + money(s.price)
            + "</em></td><td class=\"tb-amount\">" + num(s.quantity) + "</td><td class=\"tb-time\">"
            + formatDateTime(s.time) + "</td><td class=\"tb-sku\">默认</td></tr>\n";
    }
    body += "</tbody>\n</table>\n";
    body += "<div class=\"pagination\"><span class=\"page-info\">共"
        + num(static_cast<long long>(announced)) + "条 " + num(salesPage) + "/" + num(pages)
        + "</span> ";
    if (salesPage > 1)
        body += "<a href=\"" + escapeAttribute(itemUrl(address, salesPage - 1))
            + "\" class=\"page-prev\"><span>上一页</span></a> ";
    else
        body += "<span class=\"page-start\">上一页</span> ";
    const int nextPage = m_rewrite == Fault::SelfPager ? salesPage : salesPage + 1;
    if (salesPage < pages)
        body += "<a href=\"" + escapeAttribute(itemUrl(address, nextPage))
            + "\" class=\"page-next\"><span>下一页</span></a>";
    else
        body += "<span class=\"page-end\">下一页</span>";
    body += "</div>\n</div>\n";
    if (m_rewrite == Fault::ScriptPager)
        body += "<script type=\"text/javascript\">var pagerTemplate = "
                "'<A class=page-next href=\"#\"><SPAN>下一页</SPAN></A>';</script>\n";
    return document(p.title, body);
}

std::string PageRenderer::profile(const Buyer& b) const
{
    std::string body;
    if (b.banned) {
        body += "<div class=\"ErrorMsg\">通告：該用戶已經被查封！</div>\n";
        return document("会员信息", body);
    }
    body += "<div id=\"NameCard\" class=\"name-card\">\n<div id=\"infocard\">\n";
    body += "<h3 class=\"nick\">" + escapeText(b.nick) + "</h3>\n<h4>基本信息</h4>\n<ul>\n";
    // A value the buyer never gave shows as an empty line, as the marketplace printed it.
    const std::string rate = m_base + "/rate/user-rate-" + b.code + ".htm";
    body += "<li><span>卖家信用：</span><a href=\"" + rate + "?type=seller\">"
        + (b.sellerCredit >= 0 ? num(b.sellerCredit) : std::string()) + "</a></li>\n";
    body += "<li><span>买家信用：</span><a href=\"" + rate + "?type=buyer\">" + num(b.buyerCredit)
        + "</a></li>\n";
    body += "<li>所在地：" + escapeText(b.location) + "</li>\n";
    body += "<li>注册时间：" + (b.registered != 0 ? formatDate(b.registered) : std::string())
        + "</li>\n";
    body += "<li>上次登录：" + formatDate(m_catalogue.now() - b.lastLoginDaysAgo * kSecondsPerDay)
        + "</li>\n";
    body += "</ul>\n</div>\n</div>\n";
    return document(b.nick + " 的会员信息", body);
}

std::string PageRenderer::shop(const Shop& s) const
{
    std::string body = "<h1>" + escapeText(s.name) + "</h1>\n<p>所在地：" + escapeText(s.location)
        + "</p>\n<p><a href=\"" + escapeAttribute(m_base + "/search?" + searchQuery("", s.name, 1))
        + "\">本店全部宝贝</a></p>\n";
    return document(s.name, body);
}

std::string PageRenderer::notFound(std::string_view what) const
{
    return document("页面不存在",
        "<div class=\"ErrorMsg\">对不起，您访问的" + escapeText(what) + "不存在。</div>\n");
}

std::string PageRenderer::loginWall() const
{
    const std::string body = "<div class=\"login-box\"><h3>请登录</h3>\n<form name=\"login\" "
                             "action=\""
        + m_base
        + "/member/login.jhtml\" method=\"post\">\n会员名：<input type=\"text\" name=\"username\">"
          "\n密码：<input type=\"password\" name=\"password\">\n<input type=\"submit\" "
          "value=\"登录\">\n</form></div>\n";
    return document("会员登录", body);
}

std::string PageRenderer::serverError() const
{
    return document("服务器繁忙", "<div class=\"ErrorMsg\">服务器繁忙，请稍后再试。</div>\n");
}

} // namespace quel::market
