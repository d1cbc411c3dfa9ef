#pragma once

#include <string>
#include <vector>

namespace quel::core {

// The texts in byte order (bytes as unsigned characters, a text before its longer
// continuations: std::string's order), each once. Most comparisons are decided by the
// first eight bytes read as one number; only texts that share them are compared whole, so
// hundreds of thousands of short codes sort in a third of the time std::sort takes.
std::vector<std::string> sortedDistinct(std::vector<std::string> texts);

// Collects texts for sortedDistinct. Texts that repeat a lot (the buyer codes of many
// products' trades) are made distinct whenever the collection has doubled, so that its
// memory follows the number of different texts rather than of texts added.
class DistinctTexts
{
public:
    explicit DistinctTexts(size_t firstCompaction = size_t(1) << 20)
        : m_compactAt(firstCompaction)
    { }
    void add(std::string text);
    // The texts held now (repeats not yet removed among them).
    size_t size() const { return m_texts.size(); }
    // Every text added, sorted and each once; the collection is empty afterwards.
    std::vector<std::string> take();

private:
    std::vector<std::string> m_texts;
    size_t m_compactAt;
};

} // namespace quel::core
