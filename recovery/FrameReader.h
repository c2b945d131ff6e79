#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "support/ByteStream.h"
#include "support/ReadBuffer.h"

namespace vyr::recovery {

// The bytes of a file as the frame walk asks for them. The walk moves a floor forward and asks
// for nothing before it again, so one buffer slides along the file: when the walk asks past
// what it holds, the bytes from the floor on move to its front and one read fills the rest.
// The buffer is small enough to stay in the processor's cache between the read and the walk
// over it; windows read ahead on a second thread, or a fill read in two halves at once, cost
// more processor time than they saved where other work shares the cores (bench/precise.sh).
// What lies further than the buffer reaches, such as the end of a large tag, comes from a far
// read.
class FrameReader {
public:
    // Bytes past the floor that the buffer always reaches.
    static constexpr std::size_t kReach = std::size_t{128} << 10;
    // Bytes a far read fetches: a run of frames' headers, whatever their size.
    static constexpr std::size_t kFarBytes = std::size_t{16} << 10;

    // bufferBytes: at least twice kReach.
    FrameReader(support::ByteStream& source, std::size_t bufferBytes);

    std::int64_t Length() const { return m_length; }
    // errno of the first read that failed, or 0.
    int Error() const { return m_error; }

    // True when At(offset, want) needs no read at all.
    bool Holds(std::int64_t offset, std::size_t want) const;
    // True when At(offset, want) needs no far read.
    bool Reaches(std::int64_t offset, std::size_t want) const;
    // The bytes from `offset` (at or past the floor) on, to the end of what is held: at least
    // min(want, Length() - offset) of them, where want is at most kFarBytes for a far read;
    // none past the end or once a read failed. A file that shrank reads as zeros.
    std::span<const unsigned char> At(std::int64_t offset, std::size_t want);
    // Moves the floor forward.
    void Release(std::int64_t floor) { m_floor = floor; }

private:
    void Slide();
    int Read(std::int64_t offset, std::span<unsigned char> into);

    support::ByteStream& m_source;
    std::int64_t m_length;
    support::ReadBuffer m_buffer;
    std::span<unsigned char> m_room;  // the buffer, placed at file offsets that are whole pages
    std::int64_t m_start = 0;  // file offset of m_room[0], a whole page
    std::int64_t m_end = 0;  // past the last byte held
    std::int64_t m_floor = 0;
    std::optional<support::ReadBuffer> m_far;  // made at the first far read
    std::span<const unsigned char> m_farBytes;
    std::int64_t m_farStart = 0;
    int m_error = 0;
};

}  // namespace vyr::recovery
