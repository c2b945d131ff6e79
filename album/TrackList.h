#pragma once

#include <string>
#include <string_view>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"

// The list the state holds (AlbumState::list), written once for the loader, the scanner, the
// window commands and every front end: the columns and items of a fill, the cells' texts, the
// tick rule, ticks and renames, the scan notice.
namespace vyr::album {

// Rebuilds the columns (each added when the first row that has its value is met, within a row
// in the order file name, display name, time, size) and lists every row, ticked unless a file of
// its name with at least one byte is already in the target folder.
void FillList(AlbumState& state, AlbumWindow& window);

// Applies the tick rule to every item again, for a target folder chosen after the fill.
void TickByTargetFolder(AlbumState& state, AlbumWindow& window);

// Removes every item; the columns stay.
void EmptyList(AlbumState& state, AlbumWindow& window);

// The rows the list's items show: the track table's, or an earlier file's still on show.
const TrackTable& ListedRows(const AlbumState& state);

// A cell's text as the list shows it; sizes group their digits with `groupSeparator`.
std::string CellText(const TrackEntry& row, Column column, std::string_view groupSeparator);

bool IsTicked(const AlbumState& state, int item);
// False when there is no such item.
bool SetTicked(AlbumState& state, AlbumWindow& window, int item, bool ticked);
void SetAllTicked(AlbumState& state, AlbumWindow& window, bool ticked);

enum class RenameOutcome {
    Renamed,
    EmptyName,  // changes nothing, says nothing
    NoSuchRow,
    UnsafeName,  // it would not be a plain file name in the target folder
};

// Gives row `row` a new fileName, which its list item then shows.
RenameOutcome RenameRow(AlbumState& state, AlbumWindow& window, int row, std::string name);

// "Now Scanning file for parts" and "Please wait!" in the labels, painted before a scan starts.
void ShowScanNotice(AlbumWindow& window);

}  // namespace vyr::album
