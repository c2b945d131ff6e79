#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vyr::support {

// How one read or write went: the bytes moved and, when it failed, the system's error number.
struct IoResult {
    std::size_t count = 0;
    int error = 0;  // errno of the failing call; 0 when none failed

    bool Ok() const { return error == 0; }
};

// Bytes read at an explicit offset, never from a shared file position: the loader's first pass,
// the recovery scan and the precise scan all read through one of these.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // The length the data had when it was opened.
    virtual std::int64_t Length() const = 0;
    // Fills `into` from `offset` on. Fewer bytes than asked only at the end of the data (a file
    // that shrank included), 0 at or past it; an error otherwise, with the bytes read before it.
    virtual IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) = 0;
};

// Bytes in memory, for tests and fuzz targets. Does not own them.
class MemoryStream final : public ByteStream {
public:
    explicit MemoryStream(std::string_view bytes) : m_bytes(bytes) {}
    std::int64_t Length() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override;

private:
    std::string_view m_bytes;
};

}  // namespace vyr::support
