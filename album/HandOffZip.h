#pragma once

#include <string>

#include "album/AlbumWindow.h"

namespace vyr::album {

enum class HandOffOutcome {
    Renamed,  // renamed to the zip name, then handed to the shell
    AlreadyZipName,  // the name was the zip name already; handed to the shell as it is
    RenameFailed,  // the reason was shown; the shell was not asked
};

struct HandOffResult {
    HandOffOutcome outcome = HandOffOutcome::RenameFailed;
    std::string newPath;  // the path the shell was given, or would have been
    std::string reason;  // why the rename failed
    bool shellOpened = false;  // what the shell answered; nothing is shown either way
};

// The path a ZIP archive is renamed to: in the file's own folder, the name up to and including
// its first "." followed by "zip"; a name without a dot gains ".zip".
std::string ZipNameFor(const std::string& path);

// Gives a file that is really a ZIP archive its zip name and has the shell open it. Never
// replaces an existing file.
HandOffResult HandOffZip(AlbumWindow& window, const std::string& path);

}  // namespace vyr::album
