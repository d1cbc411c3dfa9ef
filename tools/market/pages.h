#pragma once

#include "market/catalogue.h"
#include "market/fault_plan.h"

#include <string>
#include <string_view>

namespace quel::market {

// Where an item page was asked for; its links keep the same address form.
struct ItemAddress
{
    std::string path; // "/item.htm", "/auction/item_detail.htm" or "/mall/item.htm"
    std::string idQuery; // "id=CODE" or "xid=X&item_num_id=N"
    int pageSize = 15; // sales-record rows per page
};

// Renders the marketplace's pages as UTF-8 HTML (lower-case tags, quoted attributes). Every
// link is absolute on `base` ("http://127.0.0.1:PORT"), the address the client used, so
// that the mall prefix (base + "/mall/") can be recognised in the list markup.
class PageRenderer
{
public:
    static constexpr int kItemsPerPage = 40;

    PageRenderer(const Catalogue& catalogue, std::string base, Fault rewrite = Fault::None);

    std::string home() const;
    std::string searchForm() const;
    // Page numbers start at 1; a page past the end lists nothing.
    std::string searchResults(std::string_view keyword, std::string_view nick, int page) const;
    // The item page; with salesPage >= 1 the sales-record tab is open at that page.
    std::string item(const Product& product, const ItemAddress& address, int salesPage) const;
    std::string profile(const Buyer& buyer) const;
    std::string shop(const Shop& shop) const;
    std::string notFound(std::string_view what) const;
    std::string serverError() const;
    // What a site serves to a visitor it wants to see logged in: HTTP 200, a whole page, and
    // none of the content asked for.
    std::string loginWall() const;

    // Sales-record page count for an item at this page size (at least 1).
    int salesPageCount(const Product& product, int pageSize) const;
    // The query text of a search, GBK percent-encoded as a browser on these pages sends it.
    static std::string searchQuery(std::string_view keyword, std::string_view nick, int page);

private:
    std::string document(std::string_view title, std::string_view body) const;
    std::string header() const;
    void appendListItem(std::string& out, const Product& product, std::string_view keyword) const;
    std::string itemUrl(const ItemAddress& address, int salesPage) const;

    const Catalogue& m_catalogue;
    std::string m_base;
    Fault m_rewrite; // a page rewrite of the fault plan, or None
};

std::string escapeText(std::string_view text);
std::string escapeAttribute(std::string_view text);
// "980.00"
std::string money(double value);

} // namespace quel::market
