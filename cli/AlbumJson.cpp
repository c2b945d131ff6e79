#include "cli/AlbumJson.h"

#include <vector>

#include "support/PathHelpers.h"

namespace vyr::cli {

namespace {

std::string_view MethodName(album::RecoveryMethod method)
{
    return method == album::RecoveryMethod::Precise ? "precise" : "classic";
}

std::string_view NameSourceName(album::NameSource source)
{
    switch (source) {
    case album::NameSource::AlbumHeader: return "album-header";
    case album::NameSource::WrapIndex: return "wrap-index";
    case album::NameSource::Tags: return "tags";
    case album::NameSource::Numbered: break;
    }
    return "numbered";
}

}  // namespace

nlohmann::ordered_json AlbumJson(const std::string& path, std::string_view kind, const album::AlbumState& state,
                                 const album::AlbumWindow& window)
{
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    const std::vector<std::int64_t> offsets = album::RowOffsets(state);
    const bool listed = window.ItemCount() > 0;
    const bool precise = state.scanned && state.recovery.method == album::RecoveryMethod::Precise;
    for (int row = 0; listed && row < state.tracks.Count(); ++row) {
        const album::TrackEntry& track = state.tracks[row];
        auto& entry = tracks.emplace_back(nlohmann::ordered_json{
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
        if (precise && static_cast<std::size_t>(row) < state.recovery.nameFrom.size())
            entry["nameFrom"] = NameSourceName(state.recovery.nameFrom[static_cast<std::size_t>(row)]);
    }
    nlohmann::ordered_json json{{"file", path}, {"kind", kind}, {"scanned", state.scanned}};
    // An album's rows come from its header: no recovery method to name.
    if (state.scanned) json["method"] = MethodName(state.recovery.method);
    json["title"] = state.title;
    json["artist"] = state.artist;
    json["headerLength"] = state.headerLength;
    json["dataBase"] = state.dataBase;
    json["tracks"] = std::move(tracks);
    if (precise) {
        nlohmann::ordered_json gaps = nlohmann::ordered_json::array();
        for (const album::ByteRange& gap : state.recovery.gaps)
            gaps.push_back({{"offset", gap.offset}, {"byteCount", gap.byteCount}});
        json["gaps"] = std::move(gaps);
    }
    return json;
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

std::string JsonText(const nlohmann::ordered_json& value)
{
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace vyr::cli
