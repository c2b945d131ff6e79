#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "recovery/MpegHeader.h"

namespace vyr::recovery {

// The Xing, Info or VBRI header that an encoder writes into the first frame of a stream, in
// place of audio. It begins a stream, so one met inside a chain of frames begins a new track.
struct VbrHeader {
    enum class Kind : std::uint8_t { Xing, Info, Vbri };

    Kind kind = Kind::Xing;
    // Frames of audio after this one, and bytes from this frame's start to the stream's end,
    // when the header records them.
    std::optional<std::uint32_t> frames;
    std::optional<std::uint32_t> bytes;

    // frame: the whole frame whose header is given. Xing and Info lie right after the side
    // information; lame writes them there as if no CRC followed the header, so both places
    // are tried. VBRI lies 32 bytes after the header.
    static std::optional<VbrHeader> Parse(const MpegHeader& header, std::span<const unsigned char> frame);
};

}  // namespace vyr::recovery
