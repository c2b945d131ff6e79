#include "album/LoadAlbum.h"

#include <system_error>

#include "album/AlbumHeader.h"
#include "album/FirstPass.h"
#include "album/HandOffZip.h"
#include "album/TrackList.h"
#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "recovery/WalkAlong.h"
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
                   RecoveryMethod method, std::optional<recovery::WalkResult> walked)
{
    ShowScanNotice(window);
    ScanOutcome outcome = ScanOutcome::Failed;
    if (method == RecoveryMethod::Precise)
        outcome = recovery::ScanPrecisely(state, window, path);
    else if (walked)
        outcome = recovery::ScanAndRecover(state, window, path, std::move(*walked));
    else
        outcome = recovery::ScanAndRecover(state, window, path);
    return LoadResult{kind, outcome, {}};
}

// The first pass on its own reading of the file, closed again before any message is shown;
// nullopt when the file cannot be opened, with the reason in `reason`.
std::optional<HeaderScan> ReadHeader(const std::string& path, std::string& reason)
{
    support::File file;
    if (const support::OpenResult opened = file.Open(path); !opened.Ok()) {
        reason = opened.Reason();
        return std::nullopt;
    }
    return ScanHeader(file);
}

LoadResult Unreadable(AlbumWindow& window, const std::string& path, std::string reason)
{
    window.ShowMessage(Warning(support::msg::CannotRead(path, reason)));
    return LoadResult{FileKind::Unreadable, std::nullopt, std::move(reason)};
}

void Reset(AlbumState& state, const std::string& path)
{
    state.tracks.Reset();
    state.headerLength = 0;
    state.dataBase = 0;
    state.scanned = false;
    state.title.clear();
    state.artist.clear();
    state.rowOffsets.clear();
    state.recovery = RecoveryDetails{};
    state.targetFolder = support::FolderOfPath(path);
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

FileKind ClassifyFile(const std::string& path)
{
    support::File file;
    if (!file.Open(path).Ok()) return FileKind::Unreadable;
    const HeaderScan scan = ScanHeader(file);
    if (scan.readError != 0) return FileKind::Unreadable;
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

LoadResult LoadAlbum(AlbumState& state, AlbumWindow& window, const std::string& path, LoadOptions options)
{
    Reset(state, path);

    std::optional<recovery::WalkResult> walked;
    HeaderScan scan;
    std::optional<recovery::FirstPassAndWalk> along;
    if (options.scanUnasked && options.scanMethod == RecoveryMethod::Classic) along = recovery::WalkWithFirstPass(path);
    if (along) {
        scan = std::move(along->header);
        walked = std::move(along->walk);
    } else {
        std::string reason;
        std::optional<HeaderScan> read = ReadHeader(path, reason);
        if (!read) return Unreadable(window, path, std::move(reason));
        scan = std::move(*read);
    }
    if (scan.readError != 0) return Unreadable(window, path, std::generic_category().message(scan.readError));
    state.headerLength = scan.headerLength;
    if (scan.linesCounted > 0) window.RemoveAllItems();

    switch (scan.kind) {
    case HeaderKind::ZipArchive:
        if (!options.handOffArchives) return LoadResult{FileKind::ZipArchive, std::nullopt, {}};
        window.ShowMessage(Warning(std::string(support::msg::kZipFile)));
        window.Yield();
        HandOffZip(window, path);
        return LoadResult{FileKind::ZipArchive, std::nullopt, {}};
    case HeaderKind::AlbumWrap:
        window.ShowMessage(Warning(std::string(support::msg::kAlbumWrapFile)));
        return Recover(state, window, path, FileKind::AlbumWrap, options.scanMethod, std::move(walked));
    case HeaderKind::NoHeader:
        if (window.ShowMessage(Warning(support::msg::NoHeader(support::FileNameFromPath(path)),
                                       MessageButtons::YesNo)) == MessageAnswer::Yes)
            return Recover(state, window, path, FileKind::NoHeader, options.scanMethod, std::move(walked));
        return LoadResult{FileKind::NoHeader, std::nullopt, {}};
    case HeaderKind::Album: break;
    }

    ParsedHeader header = ParseHeader(scan.lines);
    const std::optional<std::string> refusal = scan.refusal ? scan.refusal : header.refusal;
    if (refusal) {
        window.ShowMessage(Warning(support::msg::AlbumRefused(path, *refusal)));
        return LoadResult{FileKind::Refused, std::nullopt, *refusal};
    }

    state.albumPath = path;
    state.tracks = std::move(header.tracks);
    state.dataBase = state.headerLength;
    state.title = std::move(header.title);
    state.artist = std::move(header.artist);
    FillList(state, window, ListStyle::Album);
    window.SetAlbumLabel(state.title);
    window.SetArtistLabel(state.artist);
    return LoadResult{FileKind::Album, std::nullopt, {}};
}

}  // namespace vyr::album
