#include "extract/ExtractTicked.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "album/TrackList.h"
#include "extract/clsDiskSpace.h"
#include "extract/mdlTrimFile.h"
#include "support/File.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

namespace vyr::extract {

namespace {

namespace msg = support::msg;

// 100,000,000 bytes must stay free after a track is written.
constexpr double kFreeSpaceMarginMillions = 100.0;
// The most characters of a refused name the failure report shows before an ellipsis.
constexpr std::size_t kMaxShownCharacters = 64;

void ShowWarning(album::AlbumWindow& window, std::string text, std::string_view title)
{
    window.ShowMessage(album::Message{std::move(text), album::MessageIcon::Exclamation, album::MessageButtons::Ok,
                                      std::string(title)});
}

void ShowFailures(album::AlbumWindow& window, const ExtractReport& report)
{
    std::string text(msg::kFailuresHeading);
    bool any = false;
    for (const RowReport& row : report.rows) {
        if (row.status != RowStatus::Failed && row.status != RowStatus::UnsafeName) continue;
        text += msg::kLineBreak;
        // A refused name may hold control characters, shown as "?"; one far longer than a file
        // may have is cut, so that the box stays readable and small.
        text += msg::FailureLine(support::TerminalText(row.fileName, kMaxShownCharacters + 1), row.reason);
        any = true;
    }
    if (any) ShowWarning(window, std::move(text), msg::kAppTitle);
}

// The album and the target folder, each opened once for the whole run: an album replaced, or a
// folder swapped for a link, while the run goes on changes neither what is read nor where it
// goes. A folder the user named through a link is the folder it led to when the run began.
class RunFiles {
public:
    RunFiles(const album::AlbumState& state, const CopyOptions& options)
    {
        m_albumOpened = m_album.Open(state.albumPath);
        m_folderOpened = m_folder.Open(state.targetFolder.empty() ? "." : state.targetFolder);
        if (!m_folderOpened.Ok()) return;
        // Temporaries of runs that were killed on the way, so they do not pile up.
        RemoveLeftoverParts(m_folder);
        m_copies.emplace(m_folder, options);
    }

    // A non-empty file of that name is there already; a link at the name counts for what it
    // leads to, as a reader would see it.
    bool Present(const std::string& name) const { return m_folderOpened.Ok() && m_folder.HasNonEmptyFile(name); }

    // Starts the copy of row `row`; it is settled later, unless it fails here.
    CopyResult Copy(int row, const album::TrackEntry& track, std::int64_t start)
    {
        if (!m_albumOpened.Ok()) return Refusal(msg::kReasonOpenAlbum, m_albumOpened);
        if (!m_folderOpened.Ok()) return Refusal(msg::kReasonOpenFolder, m_folderOpened);
        return m_copies->Add(row, track.fileName, start, track.byteCount, m_album);
    }

    // The rows whose copies were named, or failed on the way, since the last call; with `end`
    // every copy still pending is settled first: named, or with `stop` dropped.
    void Settle(ExtractReport& report, bool end = false, bool stop = false)
    {
        if (!m_copies) return;
        if (end) stop ? m_copies->Drop() : m_copies->Finish();
        for (const SettledCopy& copy : m_copies->TakeSettled()) {
            RowReport& line = report.rows[static_cast<std::size_t>(copy.id)];
            line.status = copy.result.Ok() ? RowStatus::Written : RowStatus::Failed;
            line.reason = copy.result.reason;
        }
    }

private:
    static CopyResult Refusal(std::string_view what, const support::OpenResult& opened)
    {
        return CopyResult{CopyError::SourceUnreadable, opened.systemError, std::string(what) + ": " + opened.Reason()};
    }

    support::File m_album;
    support::Folder m_folder;
    support::OpenResult m_albumOpened;
    support::OpenResult m_folderOpened;
    std::optional<CopyQueue> m_copies;  // after the folder it writes into
};

// Asked afresh for every track, so the check sees what this run has written so far.
bool RoomFor(const album::TrackEntry& track, const album::AlbumState& state, album::AlbumWindow& window,
             const VolumeQuery& volumes, RowReport& line)
{
    const support::FixedPoint free = DriveFreeBytes(DriveOfFolder(state.targetFolder), volumes);
    if (free.IsZero()) {
        ShowWarning(window, std::string(msg::kNoFreeSpace), msg::kNoFreeSpaceTitle);
        line.status = RowStatus::NoSpace;
        return false;
    }
    if (free.ToDouble() / 1e6 - static_cast<double>(track.byteCount) / 1e6 <= kFreeSpaceMarginMillions) {
        ShowWarning(window, std::string(msg::kLowDiskSpace), msg::kLowDiskSpaceTitle);
        line.status = RowStatus::LowSpace;
        return false;
    }
    return true;
}

// First row (1-based) of this run that claimed each name, so a second row of the same name is
// reported instead of being taken for a file that was already there. The names are the table's.
using NameClaims = std::map<std::string_view, int>;

// Settles a ticked row that is not to be copied: no size, an unsafe or repeated name, or a
// file of that name there already. False when the row is to be written.
bool SettledWithoutCopy(const album::TrackEntry& track, int row, NameClaims& claimed, const RunFiles& files,
                        RowReport& line)
{
    if (!track.hasByteCount) {
        line.status = RowStatus::NoSize;
        return true;
    }
    if (!support::IsPlainFileName(track.fileName)) {
        line.status = RowStatus::UnsafeName;
        line.reason = msg::kReasonBadName;
        return true;
    }
    // Before it is claimed, looked up or copied: no file can take the name.
    if (!support::FitsFileSystem(track.fileName)) {
        line.status = RowStatus::UnsafeName;
        line.reason = msg::kReasonNameTooLong;
        return true;
    }
    if (const auto [first, isNew] = claimed.try_emplace(track.fileName, row + 1); !isNew) {
        line.status = RowStatus::Failed;
        line.reason = msg::DuplicateName(first->second);
        return true;
    }
    if (files.Present(track.fileName)) {
        line.status = RowStatus::Exists;
        return true;
    }
    return false;
}

// Asks for the target folder when the toggle is on; a cancel keeps the folder and still extracts.
void ChooseTarget(album::AlbumState& state, album::AlbumWindow& window, const ExtractSettings& settings)
{
    if (!settings.chooseTargetFolder) return;
    const std::string chosen = window.BrowseForFolder(state.targetFolder, msg::kSelectFolderTitle);
    if (!chosen.empty()) state.targetFolder = support::AddTrailingBackslash(chosen);
}

// The bar counts the rows that can be written.
void StartProgress(const album::AlbumState& state, album::AlbumWindow& window)
{
    int eligible = 0;
    for (int row = 0; row < state.tracks.Count(); ++row)
        if (album::IsTicked(state, row) && state.tracks[row].hasByteCount) ++eligible;
    // A range of 0 to 0 makes a progress bar spin as if busy; a run with nothing to write shows
    // an empty bar instead.
    window.SetProgressRange(0, std::max(eligible, 1));
    window.SetProgressValue(0);
}

}  // namespace

std::string_view StatusName(RowStatus status)
{
    switch (status) {
    case RowStatus::Written: return "written";
    case RowStatus::Exists: return "exists";
    case RowStatus::Unticked: return "unticked";
    case RowStatus::NoSize: return "no-size";
    case RowStatus::NoSpace: return "no-space";
    case RowStatus::LowSpace: return "low-space";
    case RowStatus::UnsafeName: return "unsafe-name";
    case RowStatus::Failed: return "failed";
    }
    return "failed";
}

int ExtractReport::Count(RowStatus status) const
{
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [&](const RowReport& r) { return r.status == status; }));
}

bool ExtractReport::AnyRefusedOrFailed() const
{
    return Count(RowStatus::NoSpace) + Count(RowStatus::LowSpace) + Count(RowStatus::UnsafeName) +
               Count(RowStatus::Failed) >
           0;
}

ExtractReport ExtractTicked(album::AlbumState& state, album::AlbumWindow& window, const ExtractSettings& settings)
{
    return ExtractTicked(state, window, PlatformVolumes(), settings);
}

ExtractReport ExtractTicked(album::AlbumState& state, album::AlbumWindow& window, const VolumeQuery& volumes,
                            const ExtractSettings& settings)
{
    ExtractReport report;
    if (state.list.items == 0) {
        report.noAlbum = true;
        return report;
    }

    ChooseTarget(state, window, settings);
    const album::TrackTable& tracks = state.tracks;
    StartProgress(state, window);

    CopyOptions options;
    options.progress = [&window](std::int64_t) { window.Repaint(); };
    options.sync = settings.sync;
    options.stopRequested = settings.stopRequested;
    RunFiles files(state, options);

    NameClaims claimed;
    int done = 0;
    const std::vector<std::int64_t> offsets = album::RowOffsets(state);
    for (int row = 0; row < tracks.Count() && !report.stopped; ++row) {
        if (settings.stopRequested && settings.stopRequested()) {
            report.stopped = true;
            break;
        }
        const album::TrackEntry& track = tracks[row];
        RowReport& line = report.rows.emplace_back(RowReport{row, track.fileName, RowStatus::Unticked, {}});
        // A row is written when its list item is ticked: a row without an item was never offered.
        if (!album::IsTicked(state, row) || SettledWithoutCopy(track, row, claimed, files, line)) continue;
        if (!RoomFor(track, state, window, volumes, line)) continue;

        // Not written until its copy is settled: named, with sync only once its bytes are on the
        // medium.
        line.status = RowStatus::Failed;
        line.reason = msg::kReasonStopped;
        const CopyResult copied = files.Copy(row, track, offsets[static_cast<std::size_t>(row)]);
        if (!copied.Ok()) {
            report.stopped = copied.error == CopyError::Stopped;
            line.reason = copied.reason;
        }
        files.Settle(report);
        window.SetProgressValue(++done);
        // Small tracks never reach a progress step of the copy: the window is told between them
        // too, so that it keeps painting and answering the system through a long run.
        window.Repaint();
    }
    // A stop names nothing more; otherwise the last batch is flushed and named.
    files.Settle(report, true, report.stopped);

    window.SetProgressValue(0);
    ShowFailures(window, report);
    return report;
}

}  // namespace vyr::extract
