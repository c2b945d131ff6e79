#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vyr::recovery {

// The four bytes in front of every MPEG audio frame. Free-format streams and every reserved
// value are refused: they cannot be chained, and refusing them keeps stray FF Ex bytes from
// passing for a header.
struct MpegHeader {
    enum class Version : std::uint8_t { Mpeg1, Mpeg2, Mpeg25 };
    static constexpr std::size_t kBytes = 4;

    Version version = Version::Mpeg1;
    int layer = 3;  // 1, 2 or 3
    bool crc = false;  // two CRC bytes follow the header
    int bitRateKbps = 0;
    int sampleRate = 0;
    bool padding = false;
    int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int frameBytes = 0;  // the whole frame, header included

    // Nothing when the bytes are fewer than four or are no valid header.
    static std::optional<MpegHeader> Parse(std::span<const unsigned char> bytes);

    bool Mono() const { return channelMode == 3; }
    // Frames of one stream share these; a change means another stream begins. Stereo, joint
    // stereo and dual channel may alternate inside one stream, mono may not.
    bool SameStream(const MpegHeader& other) const;
    // Where a Xing or Info header would begin: after the header and the side information.
    std::size_t SideInfoEnd() const;
};

// The first two bytes of a frame header: eleven set bits.
inline bool LooksLikeSync(unsigned char first, unsigned char second)
{
    return first == 0xFF && (second & 0xE0) == 0xE0;
}

}  // namespace vyr::recovery
