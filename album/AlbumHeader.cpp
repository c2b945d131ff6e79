#include "album/AlbumHeader.h"

#include <algorithm>
#include <array>

#include "album/LenientNumber.h"
#include "support/Text.h"

namespace vyr::album {

LineKind ClassifyLine(std::string_view line)
{
    static constexpr std::array<std::pair<std::string_view, LineKind>, 6> kTags{{
        {"EXTM3U", LineKind::PlaylistMarker},
        {"EXTVYR", LineKind::FormatMarker},
        {"EXTALB", LineKind::AlbumTitle},
        {"EXTART", LineKind::Artist},
        {"EXTBYT", LineKind::ByteCount},
        {"EXTINF", LineKind::TrackInfo},
    }};
    for (const auto& [tag, kind] : kTags)
        if (line.find(tag) != std::string_view::npos) return kind;
    return LineKind::FileName;
}

std::string_view TagValue(std::string_view line, std::string_view tag)
{
    const auto at = line.find(tag);
    if (at == std::string_view::npos) return {};
    const std::size_t start = at + tag.size() + 1;  // the one separator character is skipped unseen
    return start <= line.size() ? line.substr(start) : std::string_view();
}

TrackInfoText SplitTrackInfo(std::string_view line)
{
    constexpr std::string_view kTag = "EXTINF";
    const auto at = line.find(kTag);
    const auto comma = line.find(',');
    if (at == std::string_view::npos || comma == std::string_view::npos || comma < at + kTag.size()) return {};
    const std::size_t start = at + kTag.size() + 1;
    TrackInfoText info;
    if (comma > start) info.duration = line.substr(start, comma - start);
    info.display = line.substr(comma + 1);
    return info;
}

namespace {

// A header value quoted in a refusal: a value of a megabyte would make a message box of one.
std::string Quoted(std::string_view value)
{
    constexpr std::size_t kMaxQuotedCharacters = 64;
    std::string quoted(1, '"');
    quoted += support::TerminalText(support::ToDisplayText(support::TrimSpaces(value)), kMaxQuotedCharacters);
    quoted += '"';
    return quoted;
}

// The values the lines above a file name left for its row. They are read once, where their
// line is, and every file-name line below takes them as they are: reading them again per track
// would cost the length of the value times the number of tracks.
struct PendingRow {
    std::int32_t byteCount = 0;
    std::string_view durationText;  // for the message when it cannot be read
    std::optional<support::FixedPoint> duration = support::FixedPoint{};
    support::SharedText display;
};

// Each returns why the header is refused, or nothing.
using Refusal = std::optional<std::string>;

Refusal TakeByteCount(const std::string& line, PendingRow& pending)
{
    const std::string_view text = TagValue(line, "EXTBYT");
    const auto count = ReadByteCount(text);
    if (!count)
        return "The byte count " + Quoted(text) +
               " is outside the range a track can have (at most 2,147,483,647 bytes).";
    pending.byteCount = *count;
    return std::nullopt;
}

Refusal TakeTrackInfo(const std::string& line, PendingRow& pending)
{
    const auto comma = line.find(',');
    if (comma != std::string::npos && comma >= kMaxCommaPosition)
        return "A track-info line has its first comma past character 32,767.";
    const TrackInfoText info = SplitTrackInfo(line);
    pending.durationText = info.duration;
    pending.duration = ReadDuration(info.duration);
    pending.display = support::ToDisplayText(support::TrimSpaces(info.display));
    return std::nullopt;
}

Refusal TakeFileName(const std::string& line, const PendingRow& pending, TrackTable& tracks)
{
    const bool rowZeroFree = tracks[0].fileName.empty();
    if (!rowZeroFree && tracks.Count() >= TrackTable::kMaxRows) return "The album has more than 32,767 tracks.";
    if (!pending.duration)
        return "The time " + Quoted(pending.durationText) + " is outside the range a track can have.";
    TrackEntry& row = tracks.NextRow(rowZeroFree);
    row.fileName = support::ToDisplayText(line);
    row.byteCount = pending.byteCount;
    row.hasByteCount = pending.byteCount > 0;
    row.duration = *pending.duration;
    row.displayName = pending.display;
    return std::nullopt;
}

}  // namespace

ParsedHeader ParseHeader(const std::vector<std::string>& lines)
{
    ParsedHeader header;
    header.tracks.Reset();
    // No line makes more than one row.
    header.tracks.Reserve(std::min(lines.size(), std::size_t{TrackTable::kMaxRows}));
    PendingRow pending;
    std::string_view title;
    std::string_view artist;
    for (const std::string& line : lines) {
        Refusal refusal;
        switch (ClassifyLine(line)) {
        case LineKind::PlaylistMarker:
        case LineKind::FormatMarker: break;
        case LineKind::AlbumTitle: title = TagValue(line, "EXTALB"); break;
        case LineKind::Artist: artist = TagValue(line, "EXTART"); break;
        case LineKind::ByteCount: refusal = TakeByteCount(line, pending); break;
        case LineKind::TrackInfo: refusal = TakeTrackInfo(line, pending); break;
        case LineKind::FileName: refusal = TakeFileName(line, pending, header.tracks); break;
        }
        if (refusal) {
            header.refusal = std::move(*refusal);
            return header;
        }
    }
    header.title = support::ToDisplayText(support::TrimSpaces(title));
    header.artist = support::ToDisplayText(support::TrimSpaces(artist));
    return header;
}

}  // namespace vyr::album
