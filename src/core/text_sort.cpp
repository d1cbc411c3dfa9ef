#include "core/text_sort.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace quel::core {

std::vector<std::string> sortedDistinct(std::vector<std::string> texts)
{
    struct Key
    {
        std::uint64_t head;
        std::string* text;
    };
    std::vector<Key> keys;
    keys.reserve(texts.size());
    for (std::string& text : texts) {
        // Missing bytes count as zero: a shorter text never heads after a longer one it
        // begins, and equal heads are compared whole.
        std::uint64_t head = 0;
        for (size_t i = 0; i < 8; ++i)
            head = head << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
        keys.push_back({ head, &text });
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.head != b.head ? a.head < b.head : *a.text < *b.text;
    });
    std::vector<std::string> out;
    out.reserve(keys.size());
    for (const Key& key : keys) {
        if (out.empty() || out.back() != *key.text)
            out.push_back(std::move(*key.text));
    }
    return out;
}

void DistinctTexts::add(std::string text)
{
    m_texts.push_back(std::move(text));
    if (m_texts.size() >= m_compactAt) {
        m_texts = sortedDistinct(std::move(m_texts));
        m_compactAt = std::max(m_compactAt, m_texts.size() * 2);
    }
}

std::vector<std::string> DistinctTexts::take()
{
    return sortedDistinct(std::exchange(m_texts, {}));
}

} // namespace quel::core
