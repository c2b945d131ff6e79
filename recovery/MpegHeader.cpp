#include "recovery/MpegHeader.h"

namespace vyr::recovery {

namespace {

// kbit/s by bit-rate index 1..14; index 0 (free format) and 15 are refused.
constexpr int kMpeg1Rates[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},  // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},  // Layer III
};
constexpr int kMpeg2Rates[2][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},  // Layers II and III
};
constexpr int kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

int FrameBytes(const MpegHeader& h)
{
    const int pad = h.padding ? 1 : 0;
    const long bits = static_cast<long>(h.bitRateKbps) * 1000;
    if (h.layer == 1) return static_cast<int>((12 * bits / h.sampleRate + pad) * 4);
    // Layer III of MPEG-2 and 2.5 carries half the samples per frame.
    const long factor = (h.layer == 3 && h.version != MpegHeader::Version::Mpeg1) ? 72 : 144;
    return static_cast<int>(factor * bits / h.sampleRate + pad);
}

}  // namespace

std::optional<MpegHeader> MpegHeader::Parse(std::span<const unsigned char> bytes)
{
    if (bytes.size() < kBytes || !LooksLikeSync(bytes[0], bytes[1])) return std::nullopt;
    const int versionBits = (bytes[1] >> 3) & 3;
    const int layerBits = (bytes[1] >> 1) & 3;
    const int rateIndex = bytes[2] >> 4;
    const int sampleIndex = (bytes[2] >> 2) & 3;
    const int emphasis = bytes[3] & 3;
    if (versionBits == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 || sampleIndex == 3 || emphasis == 2)
        return std::nullopt;

    MpegHeader h;
    h.version = versionBits == 3 ? Version::Mpeg1 : versionBits == 2 ? Version::Mpeg2 : Version::Mpeg25;
    h.layer = 4 - layerBits;
    h.crc = (bytes[1] & 1) == 0;
    h.bitRateKbps = h.version == Version::Mpeg1 ? kMpeg1Rates[h.layer - 1][rateIndex]
                                                : kMpeg2Rates[h.layer == 1 ? 0 : 1][rateIndex];
    h.sampleRate = kSampleRates[static_cast<int>(h.version)][sampleIndex];
    h.padding = ((bytes[2] >> 1) & 1) != 0;
    h.channelMode = bytes[3] >> 6;
    h.frameBytes = FrameBytes(h);
    return h;
}

bool MpegHeader::SameStream(const MpegHeader& other) const
{
    return version == other.version && layer == other.layer && sampleRate == other.sampleRate && Mono() == other.Mono();
}

std::size_t MpegHeader::SideInfoEnd() const
{
    const bool full = version == Version::Mpeg1;
    const std::size_t side = Mono() ? (full ? 17 : 9) : (full ? 32 : 17);
    return kBytes + (crc ? 2 : 0) + side;
}

}  // namespace vyr::recovery
