#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "album/TrackTable.h"

namespace vyr::album {

// The state the window's commands share for the whole run. A load or a scan replaces all of it;
// the extract command reads it and may replace only the target folder; a rename in the list
// replaces one row's fileName.
struct AlbumState {
    TrackTable tracks;
    std::string targetFolder;  // ends in a separator, or is empty
    std::int64_t headerLength = 0;  // offset of the first track's data as the loader counted it
    std::string albumPath;  // the file whose tracks the table holds
    // Offset of row 0's data. The loader sets it to the header length; the scanner to the
    // offset its first row was counted from, so the extract command never has to guess.
    std::int64_t dataBase = 0;
    bool scanned = false;  // the rows came from the recovery scanner
    // The album's title and artist from its header, trimmed; empty for scanned rows.
    std::string title;
    std::string artist;
};

// Where each row's bytes begin: the base, then every earlier row's byte count added, whatever
// its sign and whether or not it is written.
std::vector<std::int64_t> RowOffsets(const AlbumState& state);

}  // namespace vyr::album
