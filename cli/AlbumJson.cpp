#include "cli/AlbumJson.h"

#include <vector>

#include "support/PathHelpers.h"

namespace vyr::cli {

nlohmann::ordered_json AlbumJson(const std::string& path, std::string_view kind, const album::AlbumState& state,
                                 const album::AlbumWindow& window)
{
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    const std::vector<std::int64_t> offsets = album::RowOffsets(state);
    const bool listed = window.ItemCount() > 0;
    for (int row = 0; listed && row < state.tracks.Count(); ++row) {
        const album::TrackEntry& track = state.tracks[row];
        tracks.push_back({
            {"row", row},
            {"fileName", track.fileName},
            {"displayName", track.displayName},
            {"duration", track.duration.ToDouble()},
            {"time", track.duration.IsZero() ? std::string() : support::FormatDuration(track.duration)},
            {"byteCount", track.byteCount},
            {"hasByteCount", track.hasByteCount},
            {"offset", offsets[static_cast<std::size_t>(row)]},
            {"ticked", row < window.ItemCount() && window.IsTicked(row)},
        });
    }
    return {
        {"file", path},
        {"kind", kind},
        {"scanned", state.scanned},
        {"title", state.title},
        {"artist", state.artist},
        {"headerLength", state.headerLength},
        {"dataBase", state.dataBase},
        {"tracks", std::move(tracks)},
    };
}

nlohmann::ordered_json ExtractJson(const std::string& file, const album::AlbumState& state,
                                   const extract::ExtractReport& report)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const extract::RowReport& r : report.rows) {
        nlohmann::ordered_json row{{"row", r.row}, {"fileName", r.fileName}, {"status", extract::StatusName(r.status)}};
        if (r.status == extract::RowStatus::Failed || r.status == extract::RowStatus::UnsafeName)
            row["reason"] = r.reason;
        rows.push_back(std::move(row));
    }
    return {{"file", file}, {"targetFolder", state.targetFolder}, {"rows", std::move(rows)}};
}

}  // namespace vyr::cli
