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
std::optional<Lyrics3Tag> ParseVersion2(const Lyrics3Tag::BytesAt& bytesAt)
{
    auto p = static_cast<std::int64_t>(kBegin.size());
    while (p + 6 + static_cast<std::int64_t>(kEnd2.size()) <= static_cast<std::int64_t>(Lyrics3Tag::kMaxBytes)) {
        const std::span<const unsigned char> head = bytesAt(p, 6 + kEnd2.size());
        if (const auto size = Digits(head, 0, 6); size && *size == p && Has(head, 6, kEnd2))
            return Lyrics3Tag{p + 6 + static_cast<std::int64_t>(kEnd2.size())};
        if (head.size() < 8) return std::nullopt;
        for (std::size_t i = 0; i < 3; ++i)
            if (head[i] < 'A' || head[i] > 'Z') return std::nullopt;
        const auto field = Digits(head, 3, 5);
        if (!field) return std::nullopt;
        p += 8 + *field;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Lyrics3Tag> Lyrics3Tag::Parse(const BytesAt& bytesAt)
{
    if (!Has(bytesAt(0, kBegin.size()), 0, kBegin)) return std::nullopt;
    if (auto tag = ParseVersion2(bytesAt)) return tag;
    const std::span<const unsigned char> bytes = bytesAt(0, kMaxVersion1Bytes);
    const std::size_t limit = std::min(bytes.size(), kMaxVersion1Bytes);
    for (std::size_t p = kBegin.size(); p + kEnd1.size() <= limit; ++p)
        if (Has(bytes, p, kEnd1)) return Lyrics3Tag{static_cast<std::int64_t>(p + kEnd1.size())};
    return std::nullopt;
}

std::optional<Lyrics3Tag> Lyrics3Tag::Parse(std::span<const unsigned char> bytes)
{
    return Parse([bytes](std::int64_t at, std::size_t) {
        const auto from = static_cast<std::size_t>(std::min<std::int64_t>(at, static_cast<std::int64_t>(bytes.size())));
        return bytes.subspan(from);
    });
}

}  // namespace vyr::recovery
