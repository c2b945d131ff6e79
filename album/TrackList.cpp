#include "album/TrackList.h"

#include <utility>

#include "support/FolderListing.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::album {

namespace {

struct ColumnRule {
    ListColumn column;
    bool (*needed)(const TrackEntry&);
};

// In the order a row that has all four values adds them. A scan's rows have neither a display
// name nor a time, so the same walk gives them "File Name" and "Size" only.
constexpr ColumnRule kColumns[] = {
    {{Column::FileName, "hFileName", "File Name", kListWidth / 2},
     [](const TrackEntry& t) { return !t.fileName.empty(); }},
    {{Column::DisplayName, "hDispName", "Display Name", kListWidth / 3},
     [](const TrackEntry& t) { return !t.displayName.empty(); }},
    {{Column::Time, "hDuration", "Time", kListWidth / 8}, [](const TrackEntry& t) { return !t.duration.IsZero(); }},
    {{Column::Size, "hSize", "Size", kListWidth / 8}, [](const TrackEntry& t) { return t.byteCount != 0; }},
};

std::vector<ListColumn> ColumnsFor(const TrackTable& tracks)
{
    std::vector<ListColumn> columns;
    bool added[std::size(kColumns)] = {};
    for (const TrackEntry& track : tracks) {
        for (std::size_t c = 0; c < std::size(kColumns); ++c)
            if (!added[c] && kColumns[c].needed(track)) {
                columns.push_back(kColumns[c].column);
                added[c] = true;
            }
        if (columns.size() == std::size(kColumns)) break;
    }
    return columns;
}

bool IsItem(const AlbumState& state, int item) { return item >= 0 && item < state.list.items; }

TrackTable& ListedRows(AlbumState& state) { return state.list.earlierRows ? *state.list.earlierRows : state.tracks; }

// The tick rule: a row is ticked unless a file of its name with at least one byte is already in
// the target folder.
void TickRows(TrackTable& rows, int count, const std::string& targetFolder)
{
    const support::FolderListing target(targetFolder, static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) rows[row].ticked = !target.Holds(rows[row].fileName);
}

}  // namespace

void FillList(AlbumState& state, AlbumWindow& window)
{
    state.list.earlierRows.reset();
    state.list.columns = ColumnsFor(state.tracks);
    TickRows(state.tracks, state.tracks.Count(), state.targetFolder);
    state.list.items = state.tracks.Count();
    window.ListChanged();
}

void TickByTargetFolder(AlbumState& state, AlbumWindow& window)
{
    if (state.list.items == 0) return;
    TickRows(ListedRows(state), state.list.items, state.targetFolder);
    window.ItemsChanged(0, state.list.items - 1);
}

void EmptyList(AlbumState& state, AlbumWindow& window)
{
    state.list.earlierRows.reset();
    state.list.items = 0;
    window.ListChanged();
}

const TrackTable& ListedRows(const AlbumState& state)
{
    return state.list.earlierRows ? *state.list.earlierRows : state.tracks;
}

std::string CellText(const TrackEntry& row, Column column, std::string_view groupSeparator)
{
    switch (column) {
    case Column::FileName: return row.fileName;
    case Column::DisplayName: return std::string(row.displayName);
    case Column::Time: return row.duration.IsZero() ? std::string() : support::FormatDuration(row.duration);
    case Column::Size: return row.byteCount == 0 ? std::string() : support::SizeText(row.byteCount, groupSeparator);
    }
    return {};
}

bool IsTicked(const AlbumState& state, int item) { return IsItem(state, item) && ListedRows(state)[item].ticked; }

bool SetTicked(AlbumState& state, AlbumWindow& window, int item, bool ticked)
{
    if (!IsItem(state, item)) return false;
    ListedRows(state)[item].ticked = ticked;
    window.ItemsChanged(item, item);
    return true;
}

void SetAllTicked(AlbumState& state, AlbumWindow& window, bool ticked)
{
    if (state.list.items == 0) return;
    TrackTable& rows = ListedRows(state);
    for (int item = 0; item < state.list.items; ++item) rows[item].ticked = ticked;
    window.ItemsChanged(0, state.list.items - 1);
}

RenameOutcome RenameRow(AlbumState& state, AlbumWindow& window, int row, std::string name)
{
    if (name.empty()) return RenameOutcome::EmptyName;
    if (row < 0 || row >= state.tracks.Count()) return RenameOutcome::NoSuchRow;
    // The name becomes a file in the target folder: a separator or ".." would put it elsewhere.
    if (!support::IsPlainFileName(name)) return RenameOutcome::UnsafeName;
    // An item that still shows an earlier file's row shows what was typed all the same.
    if (state.list.earlierRows && IsItem(state, row)) (*state.list.earlierRows)[row].fileName = name;
    state.tracks.Rename(row, std::move(name));
    if (IsItem(state, row)) window.ItemsChanged(row, row);
    return RenameOutcome::Renamed;
}

void ShowScanNotice(AlbumWindow& window)
{
    window.SetAlbumLabel(support::msg::kScanningAlbumLabel);
    window.SetArtistLabel(support::msg::kScanningArtistLabel);
    window.Yield();
}

}  // namespace vyr::album
