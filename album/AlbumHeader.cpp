#include "album/AlbumHeader.h"

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
    return "\"" + support::TerminalText(support::ToDisplayText(support::TrimSpaces(value)), kMaxQuotedCharacters) +
           "\"";
}

}  // namespace

ParsedHeader ParseHeader(const std::vector<std::string>& lines)
{
    ParsedHeader header;
    header.tracks.Reset();
    // The pending values are read once, where their line is, and every file-name line below
    // takes them as they are: reading them again per track would cost the length of the value
    // times the number of tracks.
    std::int32_t pendingByteCount = 0;
    std::string_view pendingDurationText;  // for the message when it cannot be read
    std::optional<support::FixedPoint> pendingDuration = support::FixedPoint{};
    support::SharedText pendingDisplay;
    std::string_view title;
    std::string_view artist;

    auto refuse = [&](std::string reason) {
        header.refusal = std::move(reason);
        return std::move(header);
    };

    for (const std::string& line : lines) {
        switch (ClassifyLine(line)) {
        case LineKind::PlaylistMarker:
        case LineKind::FormatMarker: break;
        case LineKind::AlbumTitle: title = TagValue(line, "EXTALB"); break;
        case LineKind::Artist: artist = TagValue(line, "EXTART"); break;
        case LineKind::ByteCount: {
            const std::string_view text = TagValue(line, "EXTBYT");
            const auto count = ReadByteCount(text);
            if (!count)
                return refuse("The byte count " + Quoted(text) +
                              " is outside the range a track can have (at most 2,147,483,647 bytes).");
            pendingByteCount = *count;
            break;
        }
        case LineKind::TrackInfo: {
            const auto comma = line.find(',');
            if (comma != std::string::npos && comma >= kMaxCommaPosition)
                return refuse("A track-info line has its first comma past character 32,767.");
            const TrackInfoText info = SplitTrackInfo(line);
            pendingDurationText = info.duration;
            pendingDuration = ReadDuration(info.duration);
            pendingDisplay = support::ToDisplayText(support::TrimSpaces(info.display));
            break;
        }
        case LineKind::FileName: {
            const bool rowZeroFree = header.tracks[0].fileName.empty();
            if (!rowZeroFree && header.tracks.Count() >= TrackTable::kMaxRows)
                return refuse("The album has more than 32,767 tracks.");
            if (!pendingDuration)
                return refuse("The time " + Quoted(pendingDurationText) + " is outside the range a track can have.");
            TrackEntry& row = header.tracks.NextRow(rowZeroFree);
            row.fileName = support::ToDisplayText(line);
            row.byteCount = pendingByteCount;
            row.hasByteCount = pendingByteCount > 0;
            row.duration = *pendingDuration;
            row.displayName = pendingDisplay;
            break;
        }
        }
    }
    header.title = support::ToDisplayText(support::TrimSpaces(title));
    header.artist = support::ToDisplayText(support::TrimSpaces(artist));
    return header;
}

}  // namespace vyr::album
