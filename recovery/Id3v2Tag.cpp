#include "recovery/Id3v2Tag.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/Text.h"
#include "support/Utf8.h"

namespace vyr::recovery {

namespace {

std::int64_t Synchsafe(const unsigned char* p)
{
    return (std::int64_t{p[0]} << 21) | (std::int64_t{p[1]} << 14) | (std::int64_t{p[2]} << 7) | p[3];
}

std::int64_t BigEndian(const unsigned char* p, int count)
{
    std::int64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | p[i];
    return value;
}

std::string FromUtf16(std::span<const unsigned char> text, bool bigEndian)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        std::uint32_t unit = bigEndian ? (text[i] << 8 | text[i + 1]) : (text[i + 1] << 8 | text[i]);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < text.size()) {
            const std::uint32_t low = bigEndian ? (text[i + 2] << 8 | text[i + 3]) : (text[i + 3] << 8 | text[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        support::utf8::Append(out, unit);  // a lone surrogate comes out as U+FFFD
    }
    return out;
}

// Undoes the unsynchronisation scheme: every FF 00 stands for FF.
std::vector<unsigned char> Resynchronised(std::span<const unsigned char> bytes)
{
    std::vector<unsigned char> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) ++i;
    }
    return out;
}

// A text frame's text cut to what a name can hold. No more of the frame is decoded than that
// can need: its encoding byte, a BOM, and two bytes per byte of text, since no character takes
// more than twice as many bytes in the frame as in UTF-8.
std::string CappedText(std::span<const unsigned char> frame)
{
    const std::size_t enough = 3 + 2 * TagNames::kMaxBytes;
    const std::string text = DecodeTextFrame(frame.first(std::min(frame.size(), enough)));
    return std::string(support::utf8::Prefix(text, TagNames::kMaxBytes));
}

}  // namespace

std::string DecodeTextFrame(std::span<const unsigned char> body)
{
    if (body.empty()) return {};
    const unsigned char encoding = body[0];
    std::span<const unsigned char> text = body.subspan(1);
    switch (encoding) {
    case 0: {
        std::string out;
        for (const unsigned char ch : text) {
            if (ch == 0) break;
            support::utf8::Append(out, ch);
        }
        return out;
    }
    case 1:
        if (text.size() >= 2 && text[0] == 0xFE && text[1] == 0xFF) return FromUtf16(text.subspan(2), true);
        if (text.size() >= 2 && text[0] == 0xFF && text[1] == 0xFE) return FromUtf16(text.subspan(2), false);
        return FromUtf16(text, false);
    case 2: return FromUtf16(text, true);
    case 3: {
        const auto* begin = reinterpret_cast<const char*>(text.data());
        return std::string(begin, strnlen(begin, text.size()));
    }
    default: return {};
    }
}

std::optional<Id3v2Tag> Id3v2Tag::Parse(std::span<const unsigned char> bytes)
{
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), "ID3", 3) != 0) return std::nullopt;
    if (bytes[3] < 2 || bytes[3] > 4 || bytes[4] == 0xFF) return std::nullopt;
    for (std::size_t i = 6; i < 10; ++i)
        if (bytes[i] >= 0x80) return std::nullopt;
    Id3v2Tag tag;
    tag.major = bytes[3];
    tag.flags = bytes[5];
    tag.bodyBytes = Synchsafe(bytes.data() + 6);
    return tag;
}

TagNames Id3v2Tag::Names(std::span<const unsigned char> tag) const
{
    TagNames names;
    if (tag.size() <= kHeaderBytes) return names;
    std::span<const unsigned char> body = tag.subspan(kHeaderBytes);
    if (static_cast<std::int64_t>(body.size()) > bodyBytes) body = body.first(static_cast<std::size_t>(bodyBytes));
    const bool partial = static_cast<std::int64_t>(body.size()) < bodyBytes;
    // 2.3 unsynchronises the whole tag, extended header included; 2.4 each frame on its own,
    // which the whole-tag flag then announces too.
    std::vector<unsigned char> plain;
    if (Unsynchronised() && major < 4) {
        plain = Resynchronised(body);
        body = plain;
    }
    std::size_t p = 0;
    if (major >= 3 && (flags & 0x40) != 0 && body.size() >= 4) {
        const std::int64_t extended = major == 4 ? Synchsafe(body.data()) : BigEndian(body.data(), 4) + 4;
        p = static_cast<std::size_t>(std::min<std::int64_t>(extended, static_cast<std::int64_t>(body.size())));
    }
    const std::size_t idBytes = major == 2 ? 3 : 4;
    const std::size_t headerBytes = major == 2 ? 6 : 10;
    while (p + headerBytes <= body.size() && body[p] != 0) {
        const unsigned char* h = body.data() + p;
        const std::int64_t size = major == 2   ? BigEndian(h + 3, 3)
                                  : major == 4 ? Synchsafe(h + 4)
                                               : BigEndian(h + 4, 4);
        const auto left = static_cast<std::int64_t>(body.size() - p - headerBytes);
        // A frame past the tag's end ends the frames; one past the bytes read of a longer tag is
        // read as far as it goes, since a title is cut to a name's length anyway.
        if (size < 0 || (size > left && !partial)) break;
        const std::string id(reinterpret_cast<const char*>(h), idBytes);
        std::span<const unsigned char> frame =
            body.subspan(p + headerBytes, static_cast<std::size_t>(std::min(size, left)));
        std::vector<unsigned char> frameBytes;
        // 2.4: format flags 0x02 unsynchronised, 0x01 a data-length field in front.
        const unsigned char format = major == 4 ? h[9] : 0;
        const bool packed = major == 3 ? (h[9] & 0xC0) != 0 : major == 4 && (format & 0x0C) != 0;
        if (major == 4 && (format & 0x01) != 0 && frame.size() >= 4) frame = frame.subspan(4);
        if (major == 4 && (format & 0x02) != 0) {
            frameBytes = Resynchronised(frame);
            frame = frameBytes;
        }
        // Compressed or encrypted frames are left alone.
        if (!packed) {
            if (id == (major == 2 ? "TT2" : "TIT2")) names.title = CappedText(frame);
            if (id == (major == 2 ? "TRK" : "TRCK")) names.track = CappedText(frame);
        }
        p += headerBytes + static_cast<std::size_t>(size);
    }
    return names;
}

}  // namespace vyr::recovery
