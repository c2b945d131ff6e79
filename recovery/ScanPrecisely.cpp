#include "recovery/ScanPrecisely.h"

#include <cstdint>

#include "recovery/HeaderNames.h"
#include "recovery/PreciseSplit.h"
#include "recovery/ScanSteps.h"
#include "support/File.h"
#include "support/Messages.h"

namespace vyr::recovery {

namespace {

ScanOutcome Scan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    BeginScan(state, window, path, album::RecoveryMethod::Precise);

    PreciseSplit split;
    const std::string listed = ListedName(path);
    {
        support::File file;
        if (!OpenForScan(file, window, path)) return ScanOutcome::Failed;
        WindowProgress progress(window);
        split = SplitPrecisely(file, &progress, listed);
    }  // the file is closed before anything is shown

    if (split.outcome == FrameWalkOutcome::Stopped) return ScanOutcome::Stopped;
    if (split.outcome != FrameWalkOutcome::Completed) {
        ShowScanMessage(window, support::msg::kCannotRecover);
        return ScanOutcome::Failed;
    }
    state.recovery.gaps = split.gaps;
    if (split.parts.empty()) {
        state.tracks[0].fileName = RowFileName(0, {}, listed);
        ShowScanMessage(window, support::msg::kCannotLocate);
        return ScanOutcome::NothingFound;
    }
    for (std::size_t i = 0; i < split.parts.size(); ++i) {
        const PrecisePart& part = split.parts[i];
        // A byte count holds the format's signed 32 bits; a longer part cannot be a row.
        if (part.range.byteCount > INT32_MAX) {
            ShowScanMessage(window, support::msg::kCannotRecover);
            return ScanOutcome::Failed;
        }
        album::TrackEntry& row = state.tracks.NextRow(i == 0);
        row.fileName = part.fileName;
        row.byteCount = static_cast<std::int32_t>(part.range.byteCount);
        row.hasByteCount = row.byteCount > 0;
        state.rowOffsets.push_back(part.range.offset);
        state.recovery.nameFrom.push_back(part.nameFrom);
        state.recovery.damaged.push_back(part.damaged);
    }
    state.headerLength = split.parts.front().range.offset;
    state.dataBase = state.headerLength;
    return ListScannedRows(state, window);
}

}  // namespace

ScanOutcome ScanPrecisely(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    return RunScan(window, [&] { return Scan(state, window, path); });
}

}  // namespace vyr::recovery
