#pragma once

#include <optional>
#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "recovery/ScanAndRecover.h"

namespace vyr::album {

enum class FileKind {
    Album,
    ZipArchive,
    AlbumWrap,
    NoHeader,
    Unreadable,  // could not be opened or read; the reason was shown
    Refused,  // an album beyond the format's limits; the limit was shown
};

struct LoadResult {
    FileKind kind = FileKind::NoHeader;
    std::optional<recovery::ScanOutcome> scan;  // set when the recovery scanner ran
    std::string reason;  // why an Unreadable or Refused file was not loaded, as shown
};

struct LoadOptions {
    // The window renames a ZIP archive and hands it to the desktop; the terminal only reports it.
    bool handOffArchives = true;
};

// The one entry through which a file the user names is read: classifies it, fills the track
// table and the list for an album, and routes everything else to its message and hand-off.
LoadResult LoadAlbum(AlbumState& state, AlbumWindow& window, const std::string& path, LoadOptions options = {});

}  // namespace vyr::album
