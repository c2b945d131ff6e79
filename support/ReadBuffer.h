#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace vyr::support {

// Room for reads at file offsets, placed so that each byte lands at the same offset within a
// memory page as it has within the file's pages. The kernel copies a read out of the page cache
// page by page; where the two sides sit at different offsets within their pages, some
// processors run that copy several times slower (a 1 MiB read at a page-aligned offset into a
// buffer that malloc placed 16 bytes past a page took six times as long as the same read
// into a page-aligned one).
class ReadBuffer {
public:
    static constexpr std::size_t kPage = 4096;

    // The room is not cleared: a reader uses only what its reads gave, and a page never read
    // into is never touched.
    explicit ReadBuffer(std::size_t capacity)
        : m_capacity(capacity), m_storage(std::make_unique_for_overwrite<unsigned char[]>(capacity + kPage - 1))
    {
    }

    // `Capacity()` bytes of room for bytes read from `offset` on. The room for one offset moves
    // when the next is asked for: what it held is not carried along.
    std::span<unsigned char> For(std::int64_t offset)
    {
        const auto base = reinterpret_cast<std::uintptr_t>(m_storage.get());
        const std::uintptr_t want = static_cast<std::uintptr_t>(offset) % kPage;
        const std::size_t shift = (want + kPage - base % kPage) % kPage;
        return {m_storage.get() + shift, m_capacity};
    }

    std::size_t Capacity() const { return m_capacity; }

private:
    std::size_t m_capacity;
    std::unique_ptr<unsigned char[]> m_storage;
};

}  // namespace vyr::support
