#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace vyr::recovery {

// A Lyrics3 block in front of an ID3v1 tag: "LYRICSBEGIN", fields, and either a six-digit size
// and "LYRICS200" (version 2) or "LYRICSEND" (version 1, at most 5,100 bytes of lyrics).
struct Lyrics3Tag {
    static constexpr std::size_t kMaxVersion1Bytes = 11 + 5100 + 9;
    // A six-digit size and "LYRICS200" after at most 999,999 bytes.
    static constexpr std::size_t kMaxBytes = 999'999 + 6 + 9;

    // The block's bytes from `at` on (counted from its start): at least `want` of them unless
    // the data ends first, none when they cannot be had.
    using BytesAt = std::function<std::span<const unsigned char>(std::int64_t at, std::size_t want)>;

    std::int64_t totalBytes = 0;

    // Nothing when no complete block begins there. A version 2 block is followed field by
    // field, so only its field heads are asked for, never the lyrics between them.
    static std::optional<Lyrics3Tag> Parse(const BytesAt& bytesAt);
    // bytes: from the block's start on, as far as was read.
    static std::optional<Lyrics3Tag> Parse(std::span<const unsigned char> bytes);
};

}  // namespace vyr::recovery
