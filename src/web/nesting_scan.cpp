#include "web/nesting_scan.h"

#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace quel::web {

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Elements that never hold children, or that the next sibling of their kind closes.
bool NeverNests(std::string_view name)
{
    static constexpr std::array<std::string_view, 38> names
        = { "area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
              "source", "track", "wbr", "keygen", "basefont", "bgsound", "frame", "image",
              "isindex", "p", "li", "dt", "dd", "tr", "td", "th", "option", "optgroup", "thead",
              "tbody", "tfoot", "colgroup", "caption", "rb", "rt", "rp", "rtc" };
    for (std::string_view known : names) {
        if (known == name)
            return true;
    }
    return name == "html" || name == "head" || name == "body" || name == "!doctype";
}

// Elements whose content is text up to their own end tag.
bool HoldsRawText(std::string_view name)
{
    return name == "script" || name == "style" || name == "textarea" || name == "xmp"
        || name == "title" || name == "plaintext" || name == "noembed" || name == "iframe"
        || name == "noframes";
}

} // namespace

bool NestingWithin(const QByteArray& markup, int limit)
{
    const char* p = markup.constData();
    const char* const end = p + markup.size();
    std::unordered_map<std::string, int> open;
    std::string name;
    int depth = 0;
    while (p < end) {
        p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!p)
            break;
        ++p;
        if (end - p >= 3 && std::memcmp(p, "!--", 3) == 0) {
            const char* close
                = static_cast<const char*>(memmem(p + 3, size_t(end - p - 3), "-->", 3));
            if (!close)
                break;
            p = close + 3;
            continue;
        }
        const bool closing = p < end && *p == '/';
        if (closing)
            ++p;
        if (p >= end || !IsAsciiLetter(*p))
            continue;
        name.clear();
        while (p < end && *p != '>' && *p != '/' && *p != ' ' && *p != '\t' && *p != '\n'
            && *p != '\r' && *p != '\f' && name.size() < 32)
            name += Lower(*p++);
        // The rest of the tag; quoted attribute values may hold ">".
        char quote = 0;
        bool selfClosing = false;
        for (; p < end; ++p) {
            if (quote) {
                if (*p == quote)
                    quote = 0;
            } else if (*p == '"' || *p == '\'') {
                quote = *p;
            } else if (*p == '>') {
                selfClosing = p[-1] == '/';
                ++p;
                break;
            }
        }
        if (closing) {
            const auto it = open.find(name);
            if (it != open.end() && it->second > 0) {
                --it->second;
                --depth;
            }
            continue;
        }
        if (HoldsRawText(name)) {
            const std::string endTag = "</" + name;
            const char* at = p;
            while (at < end) {
                at = static_cast<const char*>(memmem(at, size_t(end - at), "</", 2));
                if (!at)
                    return true; // the rest of the page is this element's text
                if (size_t(end - at) >= endTag.size()
                    && std::equal(endTag.begin(), endTag.end(), at,
                        [](char a, char b) { return a == Lower(b); }))
                    break;
                at += 2;
            }
            p = at;
            continue;
        }
        // "/>" ends an element only inside SVG and MathML; elsewhere the element stays open.
        const bool foreign = open["svg"] > 0 || open["math"] > 0;
        if ((selfClosing && foreign) || NeverNests(name))
            continue;
        ++open[name];
        if (++depth > limit)
            return false;
    }
    return true;
}

} // namespace quel::web
