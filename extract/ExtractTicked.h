#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"

namespace vyr::extract {

class VolumeQuery;

enum class RowStatus { Written, Exists, Unticked, NoSize, NoSpace, LowSpace, UnsafeName, Failed };

// "written", "exists", "unticked", "no-size", "no-space", "low-space", "unsafe-name", "failed".
std::string_view StatusName(RowStatus status);

struct RowReport {
    int row = 0;
    std::string fileName;
    RowStatus status = RowStatus::Unticked;
    std::string reason;  // for UnsafeName and Failed
};

struct ExtractReport {
    // The list was empty: nothing was done. The window says "Open and Album file first." and
    // runs its open command.
    bool noAlbum = false;
    std::vector<RowReport> rows;

    int Count(RowStatus status) const;
    // A row was refused or failed: the run did not do all it was asked to.
    bool AnyRefusedOrFailed() const;
};

// Writes every ticked row with a byte count into its own file in the target folder. The
// volume query is the platform's unless a test passes its own.
ExtractReport ExtractTicked(album::AlbumState& state, album::AlbumWindow& window);
ExtractReport ExtractTicked(album::AlbumState& state, album::AlbumWindow& window, const VolumeQuery& volumes);

}  // namespace vyr::extract
