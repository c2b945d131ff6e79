#include "cli/AlbumJson.h"

#include <ostream>
#include <vector>

#include "cli/JsonWriter.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

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

// nlohmann refuses a string that is not UTF-8 when it prints it: such a text goes in replaced,
// with its bytes under the key with "Bytes" appended.
void AddText(nlohmann::ordered_json& object, const std::string& key, const std::string& text)
{
    if (support::IsValidUtf8(text)) {
        object[key] = text;
        return;
    }
    object[key] = ReplaceInvalidUtf8(text);
    object[key + "Bytes"] = PercentEncoded(text);
}

// `nameFrom`: where a precise scan took the row's name; empty for other rows.
void WriteRow(JsonWriter& json, const album::TrackEntry& track, int row, std::int64_t offset, bool ticked,
              std::string_view nameFrom)
{
    json.BeginObject();
    json.Member("row", row);
    json.Member("fileName", track.fileName);
    json.Member("displayName", track.displayName);
    json.Member("duration", track.duration.ToDouble());
    json.Member("time", track.duration.IsZero() ? std::string() : support::FormatDuration(track.duration));
    json.Member("byteCount", static_cast<std::int64_t>(track.byteCount));
    json.Member("hasByteCount", track.hasByteCount);
    json.Member("offset", offset);
    json.Member("ticked", ticked);
    if (!nameFrom.empty()) json.Member("nameFrom", nameFrom);
    json.EndObject();
}

}  // namespace

void WriteAlbumJson(std::ostream& out, const std::string& path, std::string_view kind, const album::AlbumState& state,
                    const album::AlbumWindow& window)
{
    JsonWriter json(out);
    json.BeginObject();
    json.Member("file", path);
    json.Member("kind", kind);
    json.Member("scanned", state.scanned);
    // An album's rows come from its header: no recovery method to name.
    if (state.scanned) json.Member("method", MethodName(state.recovery.method));
    json.Member("title", state.title);
    json.Member("artist", state.artist);
    json.Member("headerLength", state.headerLength);
    json.Member("dataBase", state.dataBase);
    json.BeginArray("tracks");
    const std::vector<std::int64_t> offsets = album::RowOffsets(state);
    const bool listed = window.ItemCount() > 0;
    const bool precise = state.scanned && state.recovery.method == album::RecoveryMethod::Precise;
    for (int row = 0; listed && row < state.tracks.Count(); ++row) {
        const auto index = static_cast<std::size_t>(row);
        const std::string_view nameFrom =
            precise && index < state.recovery.nameFrom.size() ? NameSourceName(state.recovery.nameFrom[index]) : "";
        WriteRow(json, state.tracks[row], row, offsets[index], row < window.ItemCount() && window.IsTicked(row),
                 nameFrom);
    }
    json.EndArray();
    if (precise) {
        json.BeginArray("gaps");
        for (const album::ByteRange& gap : state.recovery.gaps) {
            json.BeginObject();
            json.Member("offset", gap.offset);
            json.Member("byteCount", gap.byteCount);
            json.EndObject();
        }
        json.EndArray();
    }
    json.EndObject();
    json.Finish();
    out << '\n';
}

nlohmann::ordered_json ExtractJson(const std::string& file, const album::AlbumState& state,
                                   const extract::ExtractReport& report)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const extract::RowReport& r : report.rows) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        row["row"] = r.row;
        AddText(row, "fileName", r.fileName);
        row["status"] = extract::StatusName(r.status);
        if (r.status == extract::RowStatus::Failed || r.status == extract::RowStatus::UnsafeName)
            AddText(row, "reason", r.reason);
        rows.push_back(std::move(row));
    }
    nlohmann::ordered_json album;
    AddText(album, "file", file);
    AddText(album, "targetFolder", state.targetFolder);
    album["rows"] = std::move(rows);
    return album;
}

std::string JsonText(const nlohmann::ordered_json& value)
{
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace vyr::cli
