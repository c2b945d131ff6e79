#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/TrackTable.h"

namespace vyr::album {

struct ParsedHeader {
    std::string title;  // trimmed, UTF-8
    std::string artist;  // trimmed, UTF-8
    TrackTable tracks;
    std::optional<std::string> refusal;
};

// The first comma of a track-info line lies within the first 32,767 characters.
inline constexpr std::size_t kMaxCommaPosition = 32'767;

// The second pass over the stored lines: tags, pending values, one track per file-name line.
ParsedHeader ParseHeader(const std::vector<std::string>& lines);

// The kind of header line, by the first tag found in this order; FileName when none is.
enum class LineKind { PlaylistMarker, FormatMarker, AlbumTitle, Artist, ByteCount, TrackInfo, FileName };
LineKind ClassifyLine(std::string_view line);

// Everything after the tag and the one separator character that follows it.
std::string_view TagValue(std::string_view line, std::string_view tag);

struct TrackInfoText {
    std::string_view duration;  // between the separator after the tag and the first comma
    std::string_view display;  // everything after the first comma
};
TrackInfoText SplitTrackInfo(std::string_view line);

}  // namespace vyr::album
