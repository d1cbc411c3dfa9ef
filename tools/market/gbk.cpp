#include "market/gbk.h"

#include <cerrno>
#include <iconv.h>

namespace quel::market {
namespace {

// One conversion descriptor per call: conversions happen only when a page is first rendered
// or a query is decoded, so the cost is small and nothing is shared between threads.
class Converter
{
public:
    Converter(const char* to, const char* from)
        : m_cd(iconv_open(to, from))
    { }
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns the number of input bytes consumed.
    std::size_t convert(std::string_view in, std::string& out)
    {
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t r = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG)
                break;
        }
        return in.size() - inLeft;
    }

private:
    iconv_t m_cd;
};

// Length of the UTF-8 sequence starting with this byte, 0 when it cannot start one.
std::size_t utf8Length(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if ((c & 0xe0) == 0xc0)
        return 2;
    if ((c & 0xf0) == 0xe0)
        return 3;
    if ((c & 0xf8) == 0xf0)
        return 4;
    return 0;
}

unsigned decodeUtf8(std::string_view s)
{
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    switch (s.size()) {
    case 1:
        return b(0);
    case 2:
        return (b(0) & 0x1fu) << 6 | (b(1) & 0x3fu);
    case 3:
        return (b(0) & 0x0fu) << 12 | (b(1) & 0x3fu) << 6 | (b(2) & 0x3fu);
    default:
        return (b(0) & 0x07u) << 18 | (b(1) & 0x3fu) << 12 | (b(2) & 0x3fu) << 6 | (b(3) & 0x3fu);
    }
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = utf8Length(static_cast<unsigned char>(bytes[i]));
        if (n == 0 || i + n > bytes.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xc0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

std::string utf8ToGbk(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    Converter cv("GBK", "UTF-8");
    if (!cv.valid())
        return std::string(utf8);
    while (!utf8.empty()) {
        const std::size_t used = cv.convert(utf8, out);
        utf8.remove_prefix(used);
        if (utf8.empty())
            break;
        // The character at the front cannot be converted: write it as a reference.
        const std::size_t n = utf8Length(static_cast<unsigned char>(utf8[0]));
        if (n == 0 || n > utf8.size() || !isValidUtf8(utf8.substr(0, n))) {
            out += '?';
            utf8.remove_prefix(1);
            continue;
        }
        out += "&#" + std::to_string(decodeUtf8(utf8.substr(0, n))) + ";";
        utf8.remove_prefix(n);
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk)
{
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    Converter cv("UTF-8", "GBK");
    if (!cv.valid())
        return std::string(gbk);
    while (!gbk.empty()) {
        const std::size_t used = cv.convert(gbk, out);
        gbk.remove_prefix(used);
        if (gbk.empty())
            break;
        out += "\xef\xbf\xbd";
        gbk.remove_prefix(1);
    }
    return out;
}

std::string percentEncode(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

} // namespace quel::market
