#include "album/AlbumState.h"

namespace vyr::album {

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
