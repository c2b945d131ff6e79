#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vyr::recovery {

// The names a track's own tags give it: raw text as UTF-8, not yet a file name.
struct TagNames {
    // A file name holds no more, so a longer text is cut to this as it is read: a tag of any
    // size costs a track no more memory than that.
    static constexpr std::size_t kMaxBytes = 255;

    std::string title;
    std::string track;  // "3" or "3/12", as the tag holds it
};

// An ID3v2.2, 2.3 or 2.4 tag: a 10-byte header "ID3", version, flags and a synchsafe size,
// the frames, and in 2.4 perhaps a 10-byte footer.
struct Id3v2Tag {
    static constexpr std::size_t kHeaderBytes = 10;
    static constexpr std::size_t kFooterBytes = 10;

    int major = 0;  // 2, 3 or 4
    std::uint8_t flags = 0;
    std::int64_t bodyBytes = 0;  // what the header's size counts: after the header, before any footer

    bool Unsynchronised() const { return (flags & 0x80) != 0; }
    bool HasFooter() const { return major == 4 && (flags & 0x10) != 0; }
    // The whole tag in the file.
    std::int64_t TotalBytes() const
    {
        return static_cast<std::int64_t>(kHeaderBytes) + bodyBytes +
               (HasFooter() ? static_cast<std::int64_t>(kFooterBytes) : 0);
    }

    // Nothing unless the bytes begin with a valid header: a known version, no minor version
    // 0xFF, and four size bytes below 0x80 each.
    static std::optional<Id3v2Tag> Parse(std::span<const unsigned char> bytes);

    // TIT2 and TRCK (TT2 and TRK in 2.2) from the tag's bytes as far as they were read, header
    // included, each cut to TagNames::kMaxBytes; frames that lie beyond them are not looked at.
    TagNames Names(std::span<const unsigned char> tag) const;
};

// Text of a text frame's body (its encoding byte first) as UTF-8, cut at the first NUL.
std::string DecodeTextFrame(std::span<const unsigned char> body);

}  // namespace vyr::recovery
