#pragma once

#include <cstddef>
#include <vector>

namespace quel::web {

// Memory for one parse at a time. Gumbo allocates and frees every token piece on its own;
// a bump arena dropped as a whole is much cheaper and spares the recursive tree
// destruction. reset() keeps the standard blocks, so a browser that parses page after page
// reuses memory that is already mapped instead of faulting in fresh pages each time.
class ParseArena
{
public:
    ParseArena() = default;
    ParseArena(const ParseArena&) = delete;
    ParseArena& operator=(const ParseArena&) = delete;
    ~ParseArena();

    // Gumbo's allocator hooks; arena is the ParseArena.
    static void* allocate(void* arena, std::size_t size);
    static void release(void*, void*) { }

    // Forgets everything handed out; oversized blocks go back to the system.
    void reset();

private:
    struct Block
    {
        char* data;
        std::size_t size;
    };

    void* take(std::size_t size);
    bool useBlock(std::size_t index);

    static constexpr std::size_t kBlock = std::size_t(1) << 20;
    static constexpr std::size_t kKeptBlocks = 4;
    std::vector<Block> m_blocks;
    std::size_t m_current = 0;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

} // namespace quel::web
