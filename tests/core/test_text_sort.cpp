// Distinct texts in byte order, against the plain sort: texts sharing their first eight
// bytes or not reaching them, bytes above 0x7f, zero bytes.
#include "core/text_sort.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using quel::core::sortedDistinct;

namespace {

std::vector<std::string> plainSortedDistinct(std::vector<std::string> texts)
{
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    return texts;
}

} // namespace

TEST(SortedDistinct, AgreesWithThePlainSortOnAwkwardTexts)
{
    using namespace std::string_literals;
    const std::vector<std::string> texts { "abcdefgh", "abcdefghi", "abcdefgh", "abcdefga", "abc",
        "", "ab", "\xe4\xb9\xb0\xe5\xae\xb6", "\xe4\xb9\xb0", "a\0"s, "a", "a\0b"s, "zzzzzzzzzzzz",
        "abcdefghh", "\x7f", "\x80", "" };
    EXPECT_EQ(sortedDistinct(texts), plainSortedDistinct(texts));
    EXPECT_TRUE(sortedDistinct({}).empty());
}

TEST(SortedDistinct, AgreesWithThePlainSortOnManyCodes)
{
    // Codes like the marketplace's, from a small alphabet, so that many repeat and many
    // share their first eight letters.
    std::mt19937 random(7);
    const std::string alphabet = "ab0\xc3";
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i) {
        std::string text(size_t(random() % 13), 'x');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        texts.push_back(text);
    }
    const auto sorted = sortedDistinct(texts);
    EXPECT_EQ(sorted, plainSortedDistinct(texts));
    EXPECT_LT(sorted.size(), texts.size());
}

TEST(DistinctTexts, RepeatsAreDroppedAsTheyPileUpAndNothingIsLost)
{
    quel::core::DistinctTexts texts(4);
    std::vector<std::string> added;
    std::mt19937 random(11);
    for (int i = 0; i < 5000; ++i) {
        const std::string text = "code" + std::to_string(random() % 10);
        added.push_back(text);
        texts.add(text);
        ASSERT_LE(texts.size(), 20u) << "after " << i + 1 << " texts";
    }
    texts.add("a new one");
    added.push_back("a new one");
    EXPECT_EQ(texts.take(), plainSortedDistinct(added));
    EXPECT_EQ(texts.size(), 0u);
    EXPECT_TRUE(texts.take().empty());
}
