#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "album/TrackTable.h"

namespace vyr::album {

enum class Column { FileName, DisplayName, Time, Size };

struct ListColumn {
    Column column = Column::FileName;
    std::string_view key;  // "hFileName", "hDispName", "hDuration" or "hSize"
    std::string_view caption;
    double width = 0;  // in the layout's twips
};

// ListView1's outer width in twips. The window's layout is fixed, so the columns' widths are
// known before any window exists.
inline constexpr double kListWidth = 8055;

// What ListView1 shows. Its items are rows of the track table by position, item i row i, each
// with the row's tick; a window draws them and hands the user's ticks and edits to the commands.
// Since an item stands for its row's position, two rows of one name still get an item each.
struct ListState {
    std::vector<ListColumn> columns;  // none before the first fill
    int items = 0;  // the rows listed; 0 while a scan fills the table, before the list is filled
    // The rows of an earlier file that the list still shows after a load that ended before it
    // emptied the list (a ZIP archive on its first line, an empty or unreadable file): the track
    // table itself has been reset by then, and their ticks are only shown, never extracted.
    std::optional<TrackTable> earlierRows;
};

}  // namespace vyr::album
