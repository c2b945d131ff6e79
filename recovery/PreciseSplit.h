#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "album/AlbumState.h"
#include "recovery/FrameWalk.h"

namespace vyr::recovery {

struct PrecisePart {
    ByteRange range;
    album::NameSource nameFrom = album::NameSource::Numbered;
    std::string fileName;  // UTF-8, a plain file name
    // Bytes of the part that are neither frames nor tags, as file ranges in order.
    std::vector<ByteRange> damaged;
};

struct PreciseSplit {
    FrameWalkOutcome outcome = FrameWalkOutcome::Completed;
    int readError = 0;
    std::vector<PrecisePart> parts;
    std::vector<ByteRange> gaps;  // with the parts, every byte of the file once, in order
};

// Bytes in front of the first track read for an album header's remains or a wrapper's
// index; no real header or index comes near it.
inline constexpr std::int64_t kMaxLeadingBytes = std::int64_t{4} << 20;
// Junk up to this long in front of a track goes with it, as it was in the file before the
// file was joined; so does such junk at the end of the file with the last track.
inline constexpr std::int64_t kMaxJunkBytes = 4096;

// The frame walk, then the ranges and names that the file itself states: a wrapper's index
// splits the file when each of its files begins where the walk found a track; a damaged
// album's header gives the ranges when its byte counts add up to the data behind it, else its
// names when there are as many as tracks. Names go album header, wrapper index, the track's
// tags ("NN Title.mp3"), then "[NN] stem.mp3" from listedName; a name that is not a plain file
// name, or that an earlier row already took, falls to the next source, and a numbered name
// that another source took gets " (2)" and on, so no two parts share a name. Without a header
// or an index, junk that is not text (kMaxJunkBytes at most) goes with the track behind it,
// and at the file's end with the last, each marked damaged.
PreciseSplit SplitPrecisely(support::ByteStream& source, WalkListener* listener, std::string_view listedName,
                            const FrameWalkOptions& options = {});

// The bytes a list of ordered, disjoint ranges leaves of [0, length).
std::vector<ByteRange> Complement(const std::vector<ByteRange>& ranges, std::int64_t length);

// "NN Title.mp3" from a track's tags: ID3v2 title and track number first, then ID3v1; the
// row number (from 0) stands in for a missing track number, and a title too long for the name
// is cut. Empty without a title.
std::string TagFileName(const WalkedTrack& track, int row);

}  // namespace vyr::recovery
