#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "album/AlbumState.h"
#include "recovery/Id3v2Tag.h"
#include "recovery/WalkListener.h"
#include "support/ByteStream.h"

namespace vyr::recovery {

using album::ByteRange;

// One MP3 file as the walk found it: [leading tags][chained frames][trailing tags].
struct WalkedTrack {
    ByteRange range;
    TagNames id3v2;  // from its first leading ID3v2 tag
    TagNames id3v1;  // from its ID3v1 tag
    bool tagged = false;  // it began with an ID3v2 tag
};

enum class FrameWalkOutcome {
    Completed,
    Stopped,  // the listener asked to stop
    ReadFailed,
    TooManyTracks,  // more than the table's rows; the walk ends there
};

struct FrameWalkOptions {
    // Bytes read at a time: small enough to stay in the processor's cache between the read and
    // the walk over it. The part of a tag read for its title and the frames that prove a
    // resynchronisation must fit into one, so it is at least kMinFrameWindowBytes.
    std::size_t windowBytes = std::size_t{256} << 10;
    // A header only starts a track after a broken chain when this many frames chain from it.
    int resyncFrames = 4;
    // How much of a leading ID3v2 tag is read for its title: text frames come first in
    // practice, a cover later.
    std::size_t maxTagReadBytes = std::size_t{256} << 10;
    int maxTracks = 32'767;
    // Bytes between two progress reports.
    std::int64_t progressStep = std::int64_t{1} << 20;
};

inline constexpr std::size_t kMinFrameWindowBytes = std::size_t{256} << 10;

struct FrameWalkResult {
    FrameWalkOutcome outcome = FrameWalkOutcome::Completed;
    int readError = 0;  // errno of the read that failed
    std::int64_t fileLength = 0;
    std::vector<WalkedTrack> tracks;
    // Bytes of no track: an album header's remains, a wrapper's index, junk between files. With
    // the tracks they cover the walked bytes exactly once, in order.
    std::vector<ByteRange> gaps;
};

// Walks the MPEG frame chain of a file. A track ends where its trailing tags are followed by
// a leading tag or a frame; where an ID3v2 tag or a Xing, Info or VBRI frame starts inside its
// stream; where the stream's version, layer, sample rate or channel count changes; where a VBR
// header's frame and byte counts are both reached. After a broken chain only a header that
// starts resyncFrames chained frames (or fewer that end cleanly at a tag or at the end of the
// file) starts a track. Reads frame headers and tags, and skips a tag's bulk unread.
FrameWalkResult WalkFrames(support::ByteStream& source, WalkListener* listener, const FrameWalkOptions& options = {});

}  // namespace vyr::recovery
