#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "recovery/Id3v2Tag.h"

namespace vyr::recovery {

// The 128-byte tag at the end of a file: "TAG", title, artist, album (30 bytes each), year,
// comment and genre; ID3v1.1 keeps a track number in the comment's last byte. Any byte may
// follow "TAG": the text is ISO-8859-1, so é and ö are as valid as letters.
struct Id3v1Tag {
    static constexpr std::size_t kBytes = 128;
    // The enhanced block "TAG+" that some taggers put right in front of the ID3v1 tag.
    static constexpr std::size_t kEnhancedBytes = 227;

    TagNames names;

    static std::optional<Id3v1Tag> Parse(std::span<const unsigned char> bytes);
    // True when the bytes begin with an enhanced block.
    static bool IsEnhanced(std::span<const unsigned char> bytes);
};

}  // namespace vyr::recovery
