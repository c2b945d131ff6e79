#include "recovery/Lyrics3Tag.h"

#include <cstring>
#include <string_view>

namespace vyr::recovery {

namespace {

constexpr std::string_view kBegin = "LYRICSBEGIN";
constexpr std::string_view kEnd1 = "LYRICSEND";
constexpr std::string_view kEnd2 = "LYRICS200";

std::optional<std::int64_t> Digits(std::span<const unsigned char> bytes, std::size_t at, std::size_t count)
{
    if (at + count > bytes.size()) return std::nullopt;
    std::int64_t value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return std::nullopt;
        value = value * 10 + (bytes[i] - '0');
    }
    return value;
}

bool Has(std::span<const unsigned char> bytes, std::size_t at, std::string_view text)
{
    return at + text.size() <= bytes.size() && std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

// Version 2: three-letter fields, each with a five-digit size, up to the size and "LYRICS200".
std::optional<Lyrics3Tag> ParseVersion2(std::span<const unsigned char> bytes)
{
    std::size_t p = kBegin.size();
    for (;;) {
        if (const auto size = Digits(bytes, p, 6);
            size && *size == static_cast<std::int64_t>(p) && Has(bytes, p + 6, kEnd2))
            return Lyrics3Tag{static_cast<std::int64_t>(p + 6 + kEnd2.size())};
        if (p + 8 > bytes.size()) return std::nullopt;
        for (std::size_t i = p; i < p + 3; ++i)
            if (bytes[i] < 'A' || bytes[i] > 'Z') return std::nullopt;
        const auto field = Digits(bytes, p + 3, 5);
        if (!field) return std::nullopt;
        p += 8 + static_cast<std::size_t>(*field);
    }
}

}  // namespace

std::optional<Lyrics3Tag> Lyrics3Tag::Parse(std::span<const unsigned char> bytes)
{
    if (!Has(bytes, 0, kBegin)) return std::nullopt;
    if (auto tag = ParseVersion2(bytes)) return tag;
    const std::size_t limit = std::min(bytes.size(), kMaxVersion1Bytes);
    for (std::size_t p = kBegin.size(); p + kEnd1.size() <= limit; ++p)
        if (Has(bytes, p, kEnd1)) return Lyrics3Tag{static_cast<std::int64_t>(p + kEnd1.size())};
    return std::nullopt;
}

}  // namespace vyr::recovery
