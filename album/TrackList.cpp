#include "album/TrackList.h"

#include <cstdio>
#include <utility>

#include "support/FolderListing.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::album {

namespace {

struct Column {
    std::string_view key;
    std::string_view caption;
    double share;  // of the list's width
    bool (*needed)(const TrackEntry&);
};

// In the order a row that has all four values adds them. A scan's rows have neither a display
// name nor a time, so the same walk gives them "File Name" and "Size" only.
constexpr Column kColumns[] = {
    {"hFileName", "File Name", 1.0 / 2, [](const TrackEntry& t) { return !t.fileName.empty(); }},
    {"hDispName", "Display Name", 1.0 / 3, [](const TrackEntry& t) { return !t.displayName.empty(); }},
    {"hDuration", "Time", 1.0 / 8, [](const TrackEntry& t) { return !t.duration.IsZero(); }},
    {"hSize", "Size", 1.0 / 8, [](const TrackEntry& t) { return t.byteCount != 0; }},
};

void AddColumns(const TrackTable& tracks, AlbumWindow& window)
{
    bool added[std::size(kColumns)] = {};
    const double width = window.ListWidth();
    for (const TrackEntry& track : tracks)
        for (std::size_t c = 0; c < std::size(kColumns); ++c)
            if (!added[c] && kColumns[c].needed(track)) {
                window.AddColumn(kColumns[c].key, kColumns[c].caption, width * kColumns[c].share);
                added[c] = true;
            }
}

// Album items are keyed by row number, not by file name: two tracks of the same name must still
// get an item each, or every later row's tick would land on the wrong track.
std::string ItemKey(ListStyle style, int row, const std::string& fileName)
{
    if (style == ListStyle::Album) return "row" + std::to_string(row);
    char number[16];
    std::snprintf(number, sizeof number, "%02d", row);
    return number + std::string("key") + fileName;
}

}  // namespace

bool FillList(const AlbumState& state, AlbumWindow& window, ListStyle style)
{
    window.RemoveAllColumns();
    AddColumns(state.tracks, window);
    const std::string separator = window.GroupSeparator();
    const support::FolderListing target(state.targetFolder, static_cast<std::size_t>(state.tracks.Count()));
    for (int row = 0; row < state.tracks.Count(); ++row) {
        const TrackEntry& track = state.tracks[row];
        if (!window.AddItem(ItemKey(style, row, track.fileName))) {
            if (style == ListStyle::Scanned) return false;
            continue;
        }
        const int item = window.ItemCount() - 1;
        window.SetItemText(item, track.fileName);
        if (!track.displayName.empty()) window.SetItemCell(item, "hDispName", track.displayName);
        if (!track.duration.IsZero()) window.SetItemCell(item, "hDuration", support::FormatDuration(track.duration));
        if (track.byteCount != 0) window.SetItemCell(item, "hSize", support::SizeText(track.byteCount, separator));
        window.EnsureVisible(item);
        window.SetTicked(item, !target.Holds(track.fileName));
    }
    return true;
}

bool TickedByDefault(const AlbumState& state, int row)
{
    return !support::FileExists(state.targetFolder + state.tracks[row].fileName);
}

void TickByTargetFolder(const AlbumState& state, AlbumWindow& window)
{
    const int items = std::min(window.ItemCount(), state.tracks.Count());
    const support::FolderListing target(state.targetFolder, static_cast<std::size_t>(items));
    for (int row = 0; row < items; ++row) window.SetTicked(row, !target.Holds(state.tracks[row].fileName));
}

RenameOutcome RenameRow(AlbumState& state, AlbumWindow& window, int row, std::string name)
{
    if (name.empty()) return RenameOutcome::EmptyName;
    if (row < 0 || row >= state.tracks.Count()) return RenameOutcome::NoSuchRow;
    // The name becomes a file in the target folder: a separator or ".." would put it elsewhere.
    if (!support::IsPlainFileName(name)) return RenameOutcome::UnsafeName;
    if (row < window.ItemCount()) window.SetItemText(row, name);
    state.tracks.Rename(row, std::move(name));
    return RenameOutcome::Renamed;
}

void ShowScanNotice(AlbumWindow& window)
{
    window.SetAlbumLabel(support::msg::kScanningAlbumLabel);
    window.SetArtistLabel(support::msg::kScanningArtistLabel);
    window.Yield();
}

}  // namespace vyr::album
