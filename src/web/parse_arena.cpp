#include "web/parse_arena.h"

#include <cstdlib>

namespace quel::web {

ParseArena::~ParseArena()
{
    for (const Block& block : m_blocks)
        std::free(block.data);
}

void* ParseArena::allocate(void* arena, std::size_t size)
{
    return static_cast<ParseArena*>(arena)->take(size);
}

bool ParseArena::useBlock(std::size_t index)
{
    if (index >= m_blocks.size())
        return false;
    m_current = index;
    m_next = m_blocks[index].data;
    m_left = m_blocks[index].size;
    return true;
}

void* ParseArena::take(std::size_t size)
{
    size = (size + 15) & ~std::size_t(15);
    while (size > m_left) {
        // The next kept block when it is large enough, else a new one after the current.
        if (!m_blocks.empty() && m_current + 1 < m_blocks.size()
            && m_blocks[m_current + 1].size >= size) {
            useBlock(m_current + 1);
            break;
        }
        const std::size_t blockSize = size > kBlock ? size : kBlock;
        char* data = static_cast<char*>(std::malloc(blockSize));
        if (!data)
            return nullptr;
        const std::size_t at = m_blocks.empty() ? 0 : m_current + 1;
        m_blocks.insert(m_blocks.begin() + std::ptrdiff_t(at), Block { data, blockSize });
        useBlock(at);
    }
    void* p = m_next;
    m_next += size;
    m_left -= size;
    return p;
}

void ParseArena::reset()
{
    // Keep a few standard blocks, in order; free the rest.
    std::vector<Block> kept;
    for (const Block& block : m_blocks) {
        if (block.size == kBlock && kept.size() < kKeptBlocks)
            kept.push_back(block);
        else
            std::free(block.data);
    }
    m_blocks = std::move(kept);
    m_current = 0;
    m_next = nullptr;
    m_left = 0;
    useBlock(0);
}

} // namespace quel::web
