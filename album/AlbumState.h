#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "album/ListState.h"
#include "album/TrackTable.h"

namespace vyr::album {

enum class RecoveryMethod {
    None,  // the rows came from an album header, or from nothing yet
    Classic,  // the block walk over published markers
    Precise,  // the frame-chain walk
};

// Where a precisely recovered row's fileName came from, best source first.
enum class NameSource { AlbumHeader, WrapIndex, Tags, Numbered };

struct ByteRange {
    std::int64_t offset = 0;
    std::int64_t byteCount = 0;

    std::int64_t End() const { return offset + byteCount; }
    bool operator==(const ByteRange&) const = default;
};

// What a recovery scan found beside the rows: how, each row's name source and damaged
// stretches (precise scans only) and the bytes that belong to no row.
struct RecoveryDetails {
    RecoveryMethod method = RecoveryMethod::None;
    std::vector<NameSource> nameFrom;
    std::vector<ByteRange> gaps;
    // Per row, the file's bytes in it that are neither frames nor tags.
    std::vector<std::vector<ByteRange>> damaged;
};

// The state the window's commands share for the whole run. A load or a scan replaces all of it;
// the extract command reads it and may replace only the target folder; a rename in the list
// replaces one row's fileName, a tick one row's tick.
struct AlbumState {
    TrackTable tracks;
    ListState list;
    std::string targetFolder;  // ends in a separator, or is empty
    std::int64_t headerLength = 0;  // offset of the first track's data as the loader counted it
    std::string albumPath;  // the file whose tracks the table holds
    // Offset of row 0's data. The loader sets it to the header length; the scanner to the
    // offset its first row was counted from, so the extract command never has to guess.
    std::int64_t dataBase = 0;
    // The album's title and artist from its header, trimmed; empty for scanned rows.
    std::string title;
    std::string artist;
    // Each row's own offset, for rows that do not lie end to end (a precise scan leaves gaps
    // between them); empty when every row begins where the one before ends.
    std::vector<std::int64_t> rowOffsets;
    RecoveryDetails recovery;

    // The rows came from a recovery scan.
    bool Scanned() const { return recovery.method != RecoveryMethod::None; }
};

// What every load and every scan begins with: the track table reset to one empty row, no
// header length, base, title, artist or recovery, and the target folder of `path`. The album
// path stays until the file turns out to have tracks. The list keeps showing what it shows: the
// rows it lists are kept for it until the load or scan empties or refills it.
void BeginFile(AlbumState& state, const std::string& path);

// Where each row's bytes begin: the explicit offsets when the state holds them, else the base,
// then every earlier row's byte count added, whatever its sign and whether or not it is written.
std::vector<std::int64_t> RowOffsets(const AlbumState& state);

}  // namespace vyr::album
