#include "album/LoadAlbum.h"

#include <system_error>

#include "album/AlbumHeader.h"
#include "album/FirstPass.h"
#include "album/HandOffZip.h"
#include "album/TrackList.h"
#include "support/File.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"

namespace vyr::album {

namespace {

Message Warning(std::string text, MessageButtons buttons = MessageButtons::Ok)
{
    return Message{std::move(text), MessageIcon::Exclamation, buttons, std::string(support::msg::kAppTitle)};
}

LoadResult Recover(AlbumState& state, AlbumWindow& window, const std::string& path, FileKind kind,
                   RecoveryScan& recovery)
{
    ShowScanNotice(window);
    return LoadResult{kind, recovery.Scan(state, window, path), {}};
}

// The first pass on its own reading of the file, closed again before any message is shown;
// nullopt when the file cannot be opened, with the reason in `reason`.
std::optional<HeaderScan> ReadHeader(const std::string& path, std::string& reason,
                                     const std::function<bool()>& stopRequested)
{
    support::File file;
    if (const support::OpenResult opened = file.Open(path); !opened.Ok()) {
        reason = opened.Reason();
        return std::nullopt;
    }
    return ScanHeader(file, stopRequested);
}

LoadResult Unreadable(AlbumWindow& window, const std::string& path, std::string reason)
{
    window.ShowMessage(Warning(support::msg::CannotRead(path, reason)));
    return LoadResult{FileKind::Unreadable, std::nullopt, std::move(reason)};
}

}  // namespace

std::string_view KindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Album: return "album";
    case FileKind::ZipArchive: return "zip";
    case FileKind::AlbumWrap: return "albumwrap";
    case FileKind::NoHeader:
    case FileKind::Unreadable:
    case FileKind::Refused: break;
    }
    return "noheader";
}

FileKind ClassifyFile(const std::string& path, const std::function<bool()>& stopRequested)
{
    support::File file;
    if (!file.Open(path).Ok()) return FileKind::Unreadable;
    const HeaderScan scan = ScanHeader(file, stopRequested);
    if (scan.readError != 0 || scan.stopped) return FileKind::Unreadable;
    return FileKindOf(scan.kind);
}

FileKind FileKindOf(HeaderKind kind)
{
    switch (kind) {
    case HeaderKind::Album: return FileKind::Album;
    case HeaderKind::ZipArchive: return FileKind::ZipArchive;
    case HeaderKind::AlbumWrap: return FileKind::AlbumWrap;
    case HeaderKind::NoHeader: break;
    }
    return FileKind::NoHeader;
}

LoadResult LoadAlbum(AlbumState& state, AlbumWindow& window, const std::string& path, RecoveryScan& recovery,
                     LoadOptions options)
{
    BeginFile(state, path);

    std::optional<HeaderScan> scan = recovery.ReadAlong(path, window);
    if (!scan) {
        std::string reason;
        scan = ReadHeader(path, reason, options.stopRequested);
        if (!scan) return Unreadable(window, path, std::move(reason));
    }
    if (scan->stopped) return LoadResult{FileKind::NoHeader, ScanOutcome::Stopped, {}};
    if (scan->readError != 0) return Unreadable(window, path, std::generic_category().message(scan->readError));
    state.headerLength = scan->headerLength;
    if (scan->linesCounted > 0) EmptyList(state, window);

    switch (scan->kind) {
    case HeaderKind::ZipArchive:
        if (!options.handOffArchives) return LoadResult{FileKind::ZipArchive, std::nullopt, {}};
        window.ShowMessage(Warning(std::string(support::msg::kZipFile)));
        window.Yield();
        HandOffZip(window, path);
        return LoadResult{FileKind::ZipArchive, std::nullopt, {}};
    case HeaderKind::AlbumWrap:
        window.ShowMessage(Warning(std::string(support::msg::kAlbumWrapFile)));
        return Recover(state, window, path, FileKind::AlbumWrap, recovery);
    case HeaderKind::NoHeader:
        if (window.ShowMessage(Warning(support::msg::NoHeader(support::FileNameFromPath(path)),
                                       MessageButtons::YesNo)) == MessageAnswer::Yes)
            return Recover(state, window, path, FileKind::NoHeader, recovery);
        return LoadResult{FileKind::NoHeader, std::nullopt, {}};
    case HeaderKind::Album: break;
    }

    ParsedHeader header = ParseHeader(scan->lines);
    const std::optional<std::string> refusal = scan->refusal ? scan->refusal : header.refusal;
    if (refusal) {
        window.ShowMessage(Warning(support::msg::AlbumRefused(path, *refusal)));
        return LoadResult{FileKind::Refused, std::nullopt, *refusal};
    }

    state.albumPath = path;
    state.tracks = std::move(header.tracks);
    state.dataBase = state.headerLength;
    state.title = std::move(header.title);
    state.artist = std::move(header.artist);
    FillList(state, window);
    window.SetAlbumLabel(state.title);
    window.SetArtistLabel(state.artist);
    return LoadResult{FileKind::Album, std::nullopt, {}};
}

}  // namespace vyr::album
