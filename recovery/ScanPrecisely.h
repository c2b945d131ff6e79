#pragma once

#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/ScanOutcome.h"

namespace vyr::recovery {

using album::ScanOutcome;

// Splits a file by its MPEG frames and tags (SplitPrecisely) and fills the track table and the
// list with the parts: each row at its own offset, the bytes of no part kept as gaps. The same
// reset, progress, messages and list fill as ScanAndRecover; a file without any part is
// "Sorry cannot locate files to recover.", one part or more are listed. The caller has already
// shown the scan notice and yielded once.
ScanOutcome ScanPrecisely(album::AlbumState& state, album::AlbumWindow& window, const std::string& path);

}  // namespace vyr::recovery
