#include "cli/AlbumTable.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::cli {

namespace {

// Columns are padded by characters as a terminal shows them, not by bytes.
std::size_t DisplayWidth(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width - std::min(width, DisplayWidth(text)), ' ');
}

}  // namespace

void PrintAlbum(std::ostream& out, const album::AlbumState& state, const album::AlbumWindow& window)
{
    if (!state.scanned) {
        out << "Album:  " << state.title << '\n';
        out << "Artist: " << state.artist << '\n';
    }
    const std::string separator = window.GroupSeparator();
    std::vector<std::vector<std::string>> rows{{"#", "File Name", "Display Name", "Time", "Size", ""}};
    for (int row = 0; row < state.tracks.Count() && row < window.ItemCount(); ++row) {
        const album::TrackEntry& track = state.tracks[row];
        rows.push_back({std::to_string(row + 1), track.fileName, track.displayName,
                        track.duration.IsZero() ? std::string() : support::FormatDuration(track.duration),
                        track.byteCount != 0 ? support::SizeText(track.byteCount, separator) : std::string(),
                        window.IsTicked(row) ? "" : "(exists)"});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& cells : rows)
        for (std::size_t c = 0; c < cells.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(cells[c]));
    for (const auto& cells : rows) {
        std::string line;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            // Numbers and sizes align right, names left.
            const bool right = c == 0 || c == 3 || c == 4;
            const std::string pad(widths[c] - DisplayWidth(cells[c]), ' ');
            line += right ? pad + cells[c] : Padded(cells[c], widths[c]);
            if (c + 1 < cells.size()) line += "  ";
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

}  // namespace vyr::cli
