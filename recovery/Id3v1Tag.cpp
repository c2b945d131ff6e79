#include "recovery/Id3v1Tag.h"

#include <cstring>
#include <string>

#include "support/Utf8.h"

namespace vyr::recovery {

namespace {

std::string Latin1Field(std::span<const unsigned char> field)
{
    std::string out;
    for (const unsigned char ch : field) {
        if (ch == 0) break;
        support::utf8::Append(out, ch);
    }
    const auto end = out.find_last_not_of(' ');
    out.erase(end == std::string::npos ? 0 : end + 1);
    return out;
}

}  // namespace

std::optional<Id3v1Tag> Id3v1Tag::Parse(std::span<const unsigned char> bytes)
{
    if (bytes.size() < kBytes || std::memcmp(bytes.data(), "TAG", 3) != 0) return std::nullopt;
    // "TAG+" opens the enhanced block, never an ID3v1 tag.
    if (bytes[3] == '+' && IsEnhanced(bytes)) return std::nullopt;
    Id3v1Tag tag;
    tag.names.title = Latin1Field(bytes.subspan(3, 30));
    if (bytes[125] == 0 && bytes[126] != 0) tag.names.track = std::to_string(bytes[126]);
    return tag;
}

bool Id3v1Tag::IsEnhanced(std::span<const unsigned char> bytes)
{
    return bytes.size() >= kEnhancedBytes + kBytes && std::memcmp(bytes.data(), "TAG+", 4) == 0 &&
           std::memcmp(bytes.data() + kEnhancedBytes, "TAG", 3) == 0;
}

}  // namespace vyr::recovery
