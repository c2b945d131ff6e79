#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "album/AlbumState.h"
#include "album/TrackList.h"

namespace vyr::test {

// One item of ListView1 as a window draws it from the state.
struct ShownItem {
    std::vector<std::string> cells;  // by column, in the list's column order
    bool ticked = false;
};

// Every item the state's list shows, with a comma as the digit grouping.
inline std::vector<ShownItem> ShownItems(const album::AlbumState& state)
{
    std::vector<ShownItem> items;
    for (int item = 0; item < state.list.items; ++item) {
        ShownItem& shown = items.emplace_back();
        for (const album::ListColumn& column : state.list.columns)
            shown.cells.push_back(album::CellText(album::ListedRows(state)[item], column.column, ","));
        shown.ticked = album::IsTicked(state, item);
    }
    return items;
}

// The text of an item's cell under the column of that key ("hFileName", "hSize"...), or "" when
// the list has no such column.
inline std::string ShownCell(const album::AlbumState& state, int item, std::string_view columnKey)
{
    for (const album::ListColumn& column : state.list.columns)
        if (column.key == columnKey) return album::CellText(album::ListedRows(state)[item], column.column, ",");
    return {};
}

inline std::vector<std::string> ColumnCaptions(const album::AlbumState& state)
{
    std::vector<std::string> captions;
    for (const album::ListColumn& column : state.list.columns) captions.emplace_back(column.caption);
    return captions;
}

}  // namespace vyr::test
