#include "recovery/ScanAndRecover.h"

#include "recovery/BlockWalk.h"
#include "recovery/HeaderNames.h"
#include "recovery/ScanSteps.h"
#include "support/File.h"
#include "support/Messages.h"

namespace vyr::recovery {

namespace {

ScanOutcome Scan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    BeginScan(state, window, path, album::RecoveryMethod::Classic);

    WalkResult walk;
    {
        support::File file;
        if (!OpenForScan(file, window, path)) return ScanOutcome::Failed;
        WindowProgress progress(window);
        walk = WalkBlocks(file, &progress);
    }  // the file is closed before anything is shown

    state.headerLength = walk.headerLength;
    state.dataBase = walk.dataBase;
    for (std::size_t i = 0; i < walk.byteCounts.size(); ++i) {
        album::TrackEntry& row = state.tracks.NextRow(i == 0);
        row.byteCount = static_cast<std::int32_t>(walk.byteCounts[i]);
        row.hasByteCount = row.byteCount > 0;
    }
    if (walk.outcome == WalkOutcome::Stopped) return ScanOutcome::Stopped;
    if (walk.outcome != WalkOutcome::Completed || walk.tooManyNames) {
        ShowScanMessage(window, support::msg::kCannotRecover);
        return ScanOutcome::Failed;
    }

    const std::string listed = ListedName(path);
    for (int i = 0; i < state.tracks.Count(); ++i) state.tracks[i].fileName = RowFileName(i, walk.headerNames, listed);

    if (state.tracks.Count() == 1) {
        ShowScanMessage(window, support::msg::kCannotLocate);
        return ScanOutcome::NothingFound;
    }
    return ListScannedRows(state, window);
}

}  // namespace

ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    return RunScan(window, [&] { return Scan(state, window, path); });
}

}  // namespace vyr::recovery
