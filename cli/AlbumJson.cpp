#include "cli/AlbumJson.h"

#include <optional>
#include <ostream>
#include <vector>

#include "album/TrackList.h"
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

// A precise scan's own members of a row: where it took the name, and the row's damaged
// stretches as [start, end) file offsets.
struct PreciseRow {
    std::string_view nameFrom;
    const std::vector<album::ByteRange>* damaged = nullptr;
};

void WriteRow(JsonWriter& json, const album::TrackEntry& track, int row, std::int64_t offset, bool ticked,
              const std::optional<PreciseRow>& precise)
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
    if (precise) {
        json.Member("nameFrom", precise->nameFrom);
        json.BeginArray("damaged");
        if (precise->damaged != nullptr)
            for (const album::ByteRange& range : *precise->damaged) {
                json.BeginArray();
                json.Member("", range.offset);
                json.Member("", range.End());
                json.EndArray();
            }
        json.EndArray();
    }
    json.EndObject();
}

}  // namespace

void WriteAlbumJson(std::ostream& out, const std::string& path, std::string_view kind, const album::AlbumState& state)
{
    JsonWriter json(out);
    json.BeginObject();
    json.Member("file", path);
    json.Member("kind", kind);
    json.Member("scanned", state.Scanned());
    // An album's rows come from its header: no recovery method to name.
    if (state.Scanned()) json.Member("method", MethodName(state.recovery.method));
    json.Member("title", state.title);
    json.Member("artist", state.artist);
    json.Member("headerLength", state.headerLength);
    json.Member("dataBase", state.dataBase);
    json.BeginArray("tracks");
    const std::vector<std::int64_t> offsets = album::RowOffsets(state);
    const bool listed = state.list.items > 0;
    const bool precise = state.recovery.method == album::RecoveryMethod::Precise;
    for (int row = 0; listed && row < state.tracks.Count(); ++row) {
        const auto index = static_cast<std::size_t>(row);
        std::optional<PreciseRow> preciseRow;
        if (precise && index < state.recovery.nameFrom.size())
            preciseRow = PreciseRow{NameSourceName(state.recovery.nameFrom[index]),
                                    index < state.recovery.damaged.size() ? &state.recovery.damaged[index] : nullptr};
        WriteRow(json, state.tracks[row], row, offsets[index], album::IsTicked(state, row), preciseRow);
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

void ExtractJson::Add(const std::string& file, const album::AlbumState& state, const extract::ExtractReport& report)
{
    if (m_albums++ == 0 && m_several) m_json.BeginArray();
    m_json.BeginObject();
    m_json.Member("file", file);
    m_json.Member("targetFolder", state.targetFolder);
    m_json.BeginArray("rows");
    for (const extract::RowReport& r : report.rows) {
        m_json.BeginObject();
        m_json.Member("row", r.row);
        m_json.Member("fileName", r.fileName);
        m_json.Member("status", extract::StatusName(r.status));
        if (r.status == extract::RowStatus::Failed || r.status == extract::RowStatus::UnsafeName)
            m_json.Member("reason", r.reason);
        m_json.EndObject();
    }
    m_json.EndArray();
    m_json.EndObject();
}

void ExtractJson::Finish(bool stopped)
{
    if (m_albums == 0) {
        if (!stopped) m_out << "[]\n";
        return;
    }
    if (m_several) m_json.EndArray();
    m_json.Finish();
    m_out << '\n';
}

}  // namespace vyr::cli
