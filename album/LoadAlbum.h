#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/FirstPass.h"
#include "album/RecoveryScan.h"
#include "album/ScanOutcome.h"

namespace vyr::album {

enum class FileKind {
    Album,
    ZipArchive,
    AlbumWrap,
    NoHeader,
    Unreadable,  // could not be opened or read; the reason was shown
    Refused,  // an album beyond the format's limits; the limit was shown
};

// "album", "zip", "albumwrap" or "noheader" (an unreadable or refused file is none of them and
// reads "noheader"): the file's kind as scripts see it.
std::string_view KindName(FileKind kind);

struct LoadResult {
    FileKind kind = FileKind::NoHeader;
    std::optional<ScanOutcome> scan;  // set when the recovery scanner ran
    std::string reason;  // why an Unreadable or Refused file was not loaded, as shown
};

struct LoadOptions {
    // The window renames a ZIP archive and hands it to the desktop; the terminal only reports it.
    bool handOffArchives = true;
    // Asked while the file is read; once it answers true the load ends as a stopped scan does.
    // The window leaves it empty: it stops only its scans, through its yield.
    bool (*stopRequested)() = nullptr;
};

// The one entry through which a file the user names is read: classifies it, fills the track
// table and the list for an album, and routes everything else to its message and hand-off, a
// file without a header or an AlbumWrap file to `recovery`.
LoadResult LoadAlbum(AlbumState& state, AlbumWindow& window, const std::string& path, RecoveryScan& recovery,
                     LoadOptions options = {});

// What the first pass makes of a file, without touching any state: the kind a load would find.
// A pass that was stopped leaves the file Unreadable.
FileKind ClassifyFile(const std::string& path, const std::function<bool()>& stopRequested = {});

// The kind of file a header of that kind makes; a file the pass could read whole.
FileKind FileKindOf(HeaderKind kind);

}  // namespace vyr::album
