#include "recovery/ApeTag.h"

#include <cstring>

namespace vyr::recovery {

namespace {

std::uint32_t LittleEndian32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

}  // namespace

std::optional<ApeTag> ApeTag::Parse(std::span<const unsigned char> bytes)
{
    if (bytes.size() < kBytes || std::memcmp(bytes.data(), "APETAGEX", 8) != 0) return std::nullopt;
    ApeTag tag;
    tag.version = LittleEndian32(bytes.data() + 8);
    tag.size = LittleEndian32(bytes.data() + 12);
    tag.flags = LittleEndian32(bytes.data() + 20);
    if ((tag.version != 1000 && tag.version != 2000) || tag.size < kBytes) return std::nullopt;
    return tag;
}

}  // namespace vyr::recovery
