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
    // A track keeps at most this many damaged stretches; the last one grows over any more.
    static constexpr std::size_t kMaxDamaged = 8;

    ByteRange range;
    TagNames id3v2;  // from its first leading ID3v2 tag
    TagNames id3v1;  // from its ID3v1 tag
    bool tagged = false;  // it began with an ID3v2 tag
    // Bytes inside the track that are neither frames nor tags: a lost sector in the frames, junk
    // between them or in front of its trailing tags. In file order.
    std::vector<ByteRange> damaged;
};

enum class FrameWalkOutcome {
    Completed,
    Stopped,  // the listener asked to stop
    ReadFailed,
    TooManyTracks,  // more than the table's rows; the walk ends there
};

struct FrameWalkOptions {
    // The buffer the walk slides along the file (FrameReader): small enough to stay in the
    // processor's cache between the read and the walk over it.
    std::size_t bufferBytes = std::size_t{512} << 10;
    // A header only starts a track after a broken chain when this many frames chain from it.
    int resyncFrames = 4;
    int maxTracks = 32'767;
    // Bytes between two progress reports.
    std::int64_t progressStep = std::int64_t{1} << 20;
};

struct FrameWalkResult {
    FrameWalkOutcome outcome = FrameWalkOutcome::Completed;
    int readError = 0;  // errno of the read that failed
    std::int64_t fileLength = 0;
    std::vector<WalkedTrack> tracks;
    // Bytes of no track: an album header's remains, a wrapper's index, junk between files. With
    // the tracks they cover the walked bytes exactly once, in order.
    std::vector<ByteRange> gaps;
    // What the walk did, in units of about one byte looked at: at most a small multiple of the
    // file's length, whatever its bytes.
    std::int64_t work = 0;
};

// Walks the MPEG frame chain of a file. A track ends where its trailing tags are followed by
// a leading tag or a frame; where an ID3v2 tag or a Xing, Info or VBRI frame starts inside its
// stream; where the stream's version, layer, sample rate or channel count changes; where a VBR
// header's frame and byte counts are both reached. After a broken chain only a header that
// starts resyncFrames chained frames (or fewer that end cleanly at a tag or at the end of the
// file) starts a track. A last frame cut short by the next track ends where that track begins;
// junk where a frame should be stays in the track as damage when the same stream goes on, or
// its trailing tags follow, within 64 KiB.
FrameWalkResult WalkFrames(support::ByteStream& source, WalkListener* listener, const FrameWalkOptions& options = {});

}  // namespace vyr::recovery
