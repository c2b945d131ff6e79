#pragma once

// Kept apart from ScanAndRecover.h, which the window includes: the walk's options have a member
// named as one of Qt's keywords.

#include <optional>
#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/FirstPass.h"
#include "album/ScanOutcome.h"
#include "recovery/BlockWalk.h"

namespace vyr::recovery {

using album::ScanOutcome;

// The loader's first pass, read along with the classic scan's walk, for a caller that will scan
// a file without a header next without asking: such a file is then read once. The walk ends
// early where the pass finds an album or a ZIP archive, and is then of no use.
struct FirstPassAndWalk {
    album::HeaderScan header;
    WalkResult walk;  // header.stopped: the window asked the walk to stop, and the header is no verdict
};

// Empty when the file cannot be opened, or the walk ended before the pass had its verdict (a
// read that failed under the walk only): the loader then reads the file as it always does. The
// walk yields to the window and ends once the window asks it to stop.
std::optional<FirstPassAndWalk> WalkWithFirstPass(const std::string& path, album::AlbumWindow& window);

// The scan, from a walk of the file made already: the same steps, messages and list.
ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path,
                           WalkResult walked);

}  // namespace vyr::recovery
