#include "cli/AlbumTable.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

#include "album/TrackList.h"
#include "support/Text.h"

namespace vyr::cli {

namespace {

// A cell shows at most this many characters: a header may hold a name of a megabyte, and it
// would otherwise widen every line of the table to that.
constexpr std::size_t kMaxCellCharacters = 200;
constexpr std::size_t kColumns = 6;

using Cells = std::array<std::string_view, kColumns>;
using Widths = std::array<std::size_t, kColumns>;

constexpr Cells kHeadings{"#", "File Name", "Display Name", "Time", "Size", ""};

// One row's cells. The names are the row's own text, not copies: the table is printed row by
// row and never holds more than one line.
class RowCells {
public:
    RowCells(const album::AlbumState& state, std::string_view separator, int row)
    {
        const album::TrackEntry& track = state.tracks[row];
        m_number = std::to_string(row + 1);
        m_time = album::CellText(track, album::Column::Time, separator);
        m_size = album::CellText(track, album::Column::Size, separator);
        m_cells = {m_number, track.fileName, track.displayName,
                   m_time,   m_size,         album::IsTicked(state, row) ? "" : "(exists)"};
    }
    const Cells& cells() const { return m_cells; }

private:
    std::string m_number;
    std::string m_time;
    std::string m_size;
    Cells m_cells;
};

void Widen(Widths& widths, const Cells& cells)
{
    for (std::size_t c = 0; c < kColumns; ++c)
        widths[c] = std::max(widths[c], support::TerminalWidth(cells[c], kMaxCellCharacters));
}

void PrintLine(std::ostream& out, const Cells& cells, const Widths& widths)
{
    std::string line;
    for (std::size_t c = 0; c < kColumns; ++c) {
        const std::string pad(widths[c] - support::TerminalWidth(cells[c], kMaxCellCharacters), ' ');
        const std::string text = support::TerminalText(cells[c], kMaxCellCharacters);
        // Numbers and sizes align right, names left.
        const bool right = c == 0 || c == 3 || c == 4;
        line += right ? pad + text : text + pad;
        if (c + 1 < kColumns) line += "  ";
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
}

}  // namespace

void PrintAlbum(std::ostream& out, const album::AlbumState& state, std::string_view separator)
{
    if (!state.Scanned()) {
        out << "Album:  " << support::TerminalText(state.title) << '\n';
        out << "Artist: " << support::TerminalText(state.artist) << '\n';
    }
    const int rows = std::min(state.tracks.Count(), state.list.items);
    Widths widths{};
    Widen(widths, kHeadings);
    for (int row = 0; row < rows; ++row) Widen(widths, RowCells(state, separator, row).cells());
    PrintLine(out, kHeadings, widths);
    for (int row = 0; row < rows; ++row) PrintLine(out, RowCells(state, separator, row).cells(), widths);
}

}  // namespace vyr::cli
