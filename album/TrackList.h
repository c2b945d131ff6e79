#pragma once

#include <string>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"

// What the track list shows of the state, written once for the loader, the scanner and the
// front ends: the columns and items of a fill, the tick rule, a rename, the scan notice.
namespace vyr::album {

enum class ListStyle {
    Album,  // items keyed "row<N>"; the list may refuse one, and the fill goes on without it
    Scanned,  // items keyed "<NN>key<fileName>"; a refused item ends the fill
};

// Rebuilds the columns (each added when the first row that has its value is met) and lists
// every row: its name, display name, time and size, scrolled into view and ticked by the tick
// rule. False when a Scanned fill was refused an item; the list then holds the items before it.
bool FillList(const AlbumState& state, AlbumWindow& window, ListStyle style);

// The tick rule: a row is ticked unless a file of its name with at least one byte is already in
// the target folder.
bool TickedByDefault(const AlbumState& state, int row);

// Applies the tick rule to every listed row again, for a target folder chosen after the fill.
void TickByTargetFolder(const AlbumState& state, AlbumWindow& window);

enum class RenameOutcome {
    Renamed,
    EmptyName,  // changes nothing, says nothing
    NoSuchRow,
    UnsafeName,  // it would not be a plain file name in the target folder
};

// Gives row `row` a new fileName and shows it in its list item.
RenameOutcome RenameRow(AlbumState& state, AlbumWindow& window, int row, std::string name);

// "Now Scanning file for parts" and "Please wait!" in the labels, painted before a scan starts.
void ShowScanNotice(AlbumWindow& window);

}  // namespace vyr::album
