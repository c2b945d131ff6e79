#include "support/ByteStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vyr::support {

IoResult MemoryStream::ReadAt(std::int64_t offset, std::span<unsigned char> into)
{
    if (offset < 0) return IoResult{0, EINVAL};
    if (offset >= Length()) return {};
    const auto start = static_cast<std::size_t>(offset);
    const std::size_t count = std::min(into.size(), m_bytes.size() - start);
    std::memcpy(into.data(), m_bytes.data() + start, count);
    return IoResult{count, 0};
}

}  // namespace vyr::support
