#include "album/AlbumState.h"

#include <utility>

#include "support/PathHelpers.h"

namespace vyr::album {

void BeginFile(AlbumState& state, const std::string& path)
{
    if (state.list.items > 0 && !state.list.earlierRows) state.list.earlierRows = std::move(state.tracks);
    state.tracks.Reset();
    state.headerLength = 0;
    state.dataBase = 0;
    state.title.clear();
    state.artist.clear();
    state.rowOffsets.clear();
    state.recovery = RecoveryDetails{};
    state.targetFolder = support::FolderOfPath(path);
}

std::vector<std::int64_t> RowOffsets(const AlbumState& state)
{
    if (!state.rowOffsets.empty()) return state.rowOffsets;
    std::vector<std::int64_t> offsets;
    offsets.reserve(static_cast<std::size_t>(state.tracks.Count()));
    std::int64_t offset = state.dataBase;
    for (const TrackEntry& track : state.tracks) {
        offsets.push_back(offset);
        offset += track.byteCount;
    }
    return offsets;
}

}  // namespace vyr::album
