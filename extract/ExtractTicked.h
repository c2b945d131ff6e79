#pragma once

#include <functional>
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
    // The row's name as the state's table holds it, not a copy: a long album's names would
    // otherwise be held twice. Valid while the table is left as the run left it.
    std::string_view fileName;
    RowStatus status = RowStatus::Unticked;
    std::string reason;  // for UnsafeName and Failed
};

struct ExtractReport {
    // The list was empty: nothing was done. The window says "Open and Album file first." and
    // runs its open command.
    bool noAlbum = false;
    // The caller asked the run to stop: the row being written failed and left nothing, and the
    // rows after it have no report.
    bool stopped = false;
    std::vector<RowReport> rows;

    int Count(RowStatus status) const;
    // A row was refused or failed: the run did not do all it was asked to.
    bool AnyRefusedOrFailed() const;
};

struct ExtractSettings {
    // Every track is on the medium before it gets its name, so a stick pulled right after the
    // run holds whole tracks. The window always asks for it; the CLI only with --sync, as cp.
    bool sync = true;
    // chkChsTarg: ask for a target folder first.
    bool chooseTargetFolder = false;
    // Asked between the copy's steps; true ends the run at once.
    std::function<bool()> stopRequested;
};

// Writes every ticked row with a byte count into its own file in the target folder. The
// volume query is the platform's unless a test passes its own.
ExtractReport ExtractTicked(album::AlbumState& state, album::AlbumWindow& window, const ExtractSettings& settings = {});
ExtractReport ExtractTicked(album::AlbumState& state, album::AlbumWindow& window, const VolumeQuery& volumes,
                            const ExtractSettings& settings = {});

}  // namespace vyr::extract
