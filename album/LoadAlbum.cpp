#include "album/LoadAlbum.h"

#include <system_error>

#include "album/AlbumHeader.h"
#include "album/HandOffZip.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::album {

namespace {

Message Warning(std::string text, MessageButtons buttons = MessageButtons::Ok)
{
    return Message{std::move(text), MessageIcon::Exclamation, buttons, std::string(support::msg::kAppTitle)};
}

// Keeps the commands that would start another load, scan or extraction disabled while this
// one yields to the event loop.
class BusyScope {
public:
    explicit BusyScope(AlbumWindow& window) : m_window(window) { m_window.SetBusy(true); }
    ~BusyScope() { m_window.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    AlbumWindow& m_window;
};

LoadResult Result(FileKind kind, std::optional<recovery::ScanOutcome> scan = std::nullopt, std::string reason = {})
{
    return LoadResult{kind, scan, std::move(reason)};
}

recovery::ScanOutcome Recover(AlbumState& state, AlbumWindow& window, const std::string& path)
{
    window.SetAlbumLabel(support::msg::kScanningAlbumLabel);
    window.SetArtistLabel(support::msg::kScanningArtistLabel);
    window.Yield();
    return recovery::ScanAndRecover(state, window, path);
}

// Each column is added once, when the first row that has its value is met, in the order in
// which rows first need them.
void AddColumns(const TrackTable& tracks, AlbumWindow& window)
{
    struct Column {
        std::string_view key;
        std::string_view caption;
        double share;
        bool (*needed)(const TrackEntry&);
        bool added = false;
    };
    Column columns[] = {
        {"hFileName", "File Name", 1.0 / 2, [](const TrackEntry& t) { return !t.fileName.empty(); }},
        {"hDispName", "Display Name", 1.0 / 3, [](const TrackEntry& t) { return !t.displayName.empty(); }},
        {"hDuration", "Time", 1.0 / 8, [](const TrackEntry& t) { return !t.duration.IsZero(); }},
        {"hSize", "Size", 1.0 / 8, [](const TrackEntry& t) { return t.byteCount != 0; }},
    };
    const double width = window.ListWidth();
    for (const TrackEntry& track : tracks)
        for (Column& column : columns)
            if (!column.added && column.needed(track)) {
                window.AddColumn(column.key, column.caption, width * column.share);
                column.added = true;
            }
}

// Items are keyed by row number, not by file name: two tracks of the same name must still get
// an item each, or every later row's tick would land on the wrong track.
void AddItems(const AlbumState& state, AlbumWindow& window)
{
    for (int row = 0; row < state.tracks.Count(); ++row) {
        const TrackEntry& track = state.tracks[row];
        if (!window.AddItem("row" + std::to_string(row))) continue;
        const int item = window.ItemCount() - 1;
        window.SetItemText(item, track.fileName);
        if (!track.displayName.empty()) window.SetItemCell(item, "hDispName", track.displayName);
        if (!track.duration.IsZero()) window.SetItemCell(item, "hDuration", support::FormatDuration(track.duration));
        if (track.byteCount != 0) window.SetItemCell(item, "hSize", support::SizeText(track.byteCount));
        window.EnsureVisible(item);
        window.SetTicked(item, !support::FileExists(state.targetFolder + track.fileName));
    }
}

}  // namespace

LoadResult LoadAlbum(AlbumState& state, AlbumWindow& window, const std::string& path, LoadOptions options)
{
    BusyScope busy(window);
    state.tracks.Reset();
    state.headerLength = 0;
    state.dataBase = 0;
    state.scanned = false;
    state.targetFolder = support::FolderOfPath(path);

    HeaderScan scan;
    try {
        FileSource source(path);
        scan = ScanHeader(source);
    } catch (const std::system_error& error) {
        window.ShowMessage(Warning(support::msg::CannotRead(path, error.code().message())));
        return Result(FileKind::Unreadable, std::nullopt, error.code().message());
    }
    state.headerLength = scan.headerLength;
    if (scan.linesCounted > 0) window.RemoveAllItems();

    switch (scan.kind) {
    case HeaderKind::ZipArchive:
        if (!options.handOffArchives) return Result(FileKind::ZipArchive);
        window.ShowMessage(Warning(std::string(support::msg::kZipFile)));
        window.Yield();
        HandOffZip(window, path);
        return Result(FileKind::ZipArchive);
    case HeaderKind::AlbumWrap:
        window.ShowMessage(Warning(std::string(support::msg::kAlbumWrapFile)));
        return Result(FileKind::AlbumWrap, Recover(state, window, path));
    case HeaderKind::NoHeader:
        if (window.ShowMessage(Warning(support::msg::NoHeader(support::FileNameFromPath(path)),
                                       MessageButtons::YesNo)) == MessageAnswer::Yes)
            return Result(FileKind::NoHeader, Recover(state, window, path));
        return Result(FileKind::NoHeader);
    case HeaderKind::Album:
        break;
    }

    ParsedHeader header = ParseHeader(scan.lines);
    const std::optional<std::string> refusal = scan.refusal ? scan.refusal : header.refusal;
    if (refusal) {
        window.ShowMessage(Warning(support::msg::AlbumRefused(path, *refusal)));
        return Result(FileKind::Refused, std::nullopt, *refusal);
    }

    state.albumPath = path;
    state.tracks = std::move(header.tracks);
    state.dataBase = state.headerLength;
    window.RemoveAllColumns();
    AddColumns(state.tracks, window);
    AddItems(state, window);
    window.SetAlbumLabel(header.title);
    window.SetArtistLabel(header.artist);
    return Result(FileKind::Album);
}

}  // namespace vyr::album
