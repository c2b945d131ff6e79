#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vyr::recovery {

// An APEv1 or APEv2 tag's 32-byte header or footer: "APETAGEX", version, the size of the items
// and the footer, the item count and flags. Its text contains "TAG", which must not be taken
// for an ID3v1 tag.
struct ApeTag {
    static constexpr std::size_t kBytes = 32;

    std::uint32_t version = 0;  // 1000 or 2000
    std::uint32_t size = 0;  // items and footer, without the header
    std::uint32_t flags = 0;

    bool HasHeader() const { return (flags & 0x80000000u) != 0; }
    bool IsHeader() const { return (flags & 0x20000000u) != 0; }
    // The whole tag, header included, as told by either of its ends.
    std::int64_t TotalBytes() const
    {
        return std::int64_t{size} + (HasHeader() ? static_cast<std::int64_t>(kBytes) : 0);
    }

    static std::optional<ApeTag> Parse(std::span<const unsigned char> bytes);
};

}  // namespace vyr::recovery
