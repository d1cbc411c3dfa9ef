#pragma once

#include <QByteArray>

namespace quel::web {

// The deepest element nesting any real page needs stays far below this; gumbo's tree
// construction slows with the square of the depth of open elements, so a page nested
// deeper is refused instead of parsed.
inline constexpr int kMaxPageNesting = 4096;

// A cheap pass over the markup that estimates how deep its elements nest: every start tag
// of an element that stays open until its end tag counts one level, and an end tag closes
// a level of its own name. Void elements, the elements a sibling closes implicitly (P, LI,
// TD, OPTION and the like), comments and the contents of SCRIPT, STYLE and TEXTAREA do not
// count. The estimate errs on the high side. True when it stays within limit.
bool NestingWithin(const QByteArray& markup, int limit = kMaxPageNesting);

} // namespace quel::web
