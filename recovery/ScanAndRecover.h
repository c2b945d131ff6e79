#pragma once

#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/FirstPass.h"
#include "album/ScanOutcome.h"

namespace vyr::recovery {

using album::ScanOutcome;

// Scans a file without a usable album header for MP3 boundaries, fills the track table and the
// list with the parts found. The caller has already shown the scan notice and yielded once.
ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path);

// The same scan, which also tells what the loader's first pass makes of the file, worked out
// from the scan's own reads: the file is read once. `kind` is NoHeader when the scan failed.
ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path,
                           album::HeaderKind& kind);

}  // namespace vyr::recovery
