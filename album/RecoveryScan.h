#pragma once

#include <optional>
#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/FirstPass.h"
#include "album/ScanOutcome.h"

namespace vyr::album {

// The recovery scan that a load hands a file without a header, or an AlbumWrap file, to. The
// scanner lives above the loader, which knows it by this interface alone.
class RecoveryScan {
public:
    virtual ~RecoveryScan() = default;

    // For a caller that will scan a file without a header anyway: the loader's first pass, read
    // along with the scan's own reading, so that such a file is read once; it yields to the
    // window, and a stop ends it stopped. nullopt: the loader reads the header on its own.
    virtual std::optional<HeaderScan> ReadAlong(const std::string& path, AlbumWindow& window) = 0;
    // Scans the file and lists the parts it finds; the scan notice is on show already.
    virtual ScanOutcome Scan(AlbumState& state, AlbumWindow& window, const std::string& path) = 0;
};

}  // namespace vyr::album
