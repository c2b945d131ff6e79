#include "recovery/VbrHeader.h"

#include <cstring>

namespace vyr::recovery {

namespace {

constexpr std::size_t kVbriOffset = 4 + 32;

std::uint32_t BigEndian32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

bool Has(std::span<const unsigned char> bytes, std::size_t at, const char (&text)[5])
{
    return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, text, 4) == 0;
}

std::optional<VbrHeader> ParseXing(std::span<const unsigned char> frame, std::size_t at)
{
    const bool xing = Has(frame, at, "Xing");
    if (!xing && !Has(frame, at, "Info")) return std::nullopt;
    VbrHeader vbr;
    vbr.kind = xing ? VbrHeader::Kind::Xing : VbrHeader::Kind::Info;
    std::size_t p = at + 4;
    if (p + 4 > frame.size()) return vbr;
    const std::uint32_t flags = BigEndian32(frame.data() + p);
    p += 4;
    if ((flags & 1) != 0) {
        if (p + 4 > frame.size()) return vbr;
        vbr.frames = BigEndian32(frame.data() + p);
        p += 4;
    }
    if ((flags & 2) != 0 && p + 4 <= frame.size()) vbr.bytes = BigEndian32(frame.data() + p);
    return vbr;
}

}  // namespace

std::optional<VbrHeader> VbrHeader::Parse(const MpegHeader& header, std::span<const unsigned char> frame)
{
    if (frame.size() > static_cast<std::size_t>(header.frameBytes))
        frame = frame.first(static_cast<std::size_t>(header.frameBytes));
    const std::size_t at = header.SideInfoEnd();
    if (auto vbr = ParseXing(frame, at)) return vbr;
    if (header.crc)
        if (auto vbr = ParseXing(frame, at - 2)) return vbr;
    if (!Has(frame, kVbriOffset, "VBRI")) return std::nullopt;
    VbrHeader vbr;
    vbr.kind = Kind::Vbri;
    // "VBRI", version, delay and quality (2 bytes each), then the byte and frame counts.
    if (kVbriOffset + 18 <= frame.size()) {
        vbr.bytes = BigEndian32(frame.data() + kVbriOffset + 10);
        vbr.frames = BigEndian32(frame.data() + kVbriOffset + 14);
    }
    return vbr;
}

}  // namespace vyr::recovery
