#pragma once

#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"

namespace vyr::recovery {

enum class ScanOutcome {
    Recovered,  // two rows or more, listed and ticked
    NothingFound,  // "Sorry cannot locate files to recover."
    Failed,  // "Sorry cannot recover files."
    Stopped,  // the window asked to stop (Close during a scan); nothing more is shown
};

// Scans a file without a usable album header for MP3 boundaries, fills the track table and the
// list with the parts found. The caller has already shown the scan notice and yielded once.
ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path);

}  // namespace vyr::recovery
