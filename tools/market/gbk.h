#pragma once

#include <string>
#include <string_view>

namespace quel::market {

// UTF-8 to GBK. A character GBK cannot hold becomes a numeric character reference (&#N;),
// which every HTML reader turns back into the character; invalid UTF-8 bytes become "?".
std::string utf8ToGbk(std::string_view utf8);

// GBK to UTF-8; undecodable bytes become U+FFFD.
std::string gbkToUtf8(std::string_view gbk);

bool isValidUtf8(std::string_view bytes);

// Percent-encodes bytes for a query value (unreserved characters stay, the rest %XX).
std::string percentEncode(std::string_view bytes);

} // namespace quel::market
