#include "recovery/ScanAndRecover.h"

#include <atomic>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "album/FirstPass.h"
#include "recovery/HeaderNames.h"
#include "recovery/ScanSteps.h"
#include "recovery/WalkAlong.h"
#include "support/File.h"
#include "support/Messages.h"

namespace vyr::recovery {

namespace {

// The loader's first pass, fed the windows the walk reads. The reader threads find each
// window's line ends and tags ahead; the pass itself runs in file order on the walk's thread.
class FirstPassObserver final : public PieceObserver {
public:
    FirstPassObserver(std::int64_t length, int slots) : m_length(length), m_pass(length), m_index(slots, false) {}

    void Prepare(const support::Window& window) override
    {
        if (m_wanted.load(std::memory_order_relaxed)) m_index.Prepare(window.slot, window.Read());
    }

    // Once the pass only counts lines, the walk's search counts them too, in the same pass.
    bool WantsLineSummary(const support::Window&) override
    {
        return m_wanted.load(std::memory_order_relaxed) && m_index.Summarizes();
    }

    void Prepare(const support::Window& window, const album::LineSummary& lines) override
    {
        m_index.Prepare(window.slot, lines);
    }

    bool Take(const support::Window& window) override
    {
        if (window.error != 0) {
            m_scan = m_pass.Finish(window.error);
        } else if (!m_index.Feed(m_pass, window.slot, window.Read()) || window.readEnd < window.ownEnd ||
                   window.ownEnd >= m_length) {
            // The verdict, the end of the file, or a file that shrank and ends where its bytes do.
            m_scan = m_pass.Finish();
        } else {
            return true;
        }
        m_wanted.store(false, std::memory_order_relaxed);
        return false;
    }

    // The pass found what needs no scan: an album, refused or not, or a ZIP archive.
    bool FoundHeader() const
    {
        return m_scan && m_scan->readError == 0 &&
               (m_scan->kind == album::HeaderKind::Album || m_scan->kind == album::HeaderKind::ZipArchive);
    }

    // The verdict, once the pass has seen the windows it needs; empty before.
    std::optional<album::HeaderScan> TakeVerdict() { return std::exchange(m_scan, std::nullopt); }

private:
    std::int64_t m_length;
    album::FirstPass m_pass;
    album::PieceIndex m_index;
    std::atomic<bool> m_wanted{true};
    std::optional<album::HeaderScan> m_scan;
};

// Ends a walk as soon as the first pass read along with it has found a header (an album's track
// data is no scan's business), or the window asks it to stop.
class StopAtHeader final : public WalkListener {
public:
    StopAtHeader(const FirstPassObserver& firstPass, album::AlbumWindow& window)
        : m_firstPass(firstPass), m_window(window)
    {
    }
    bool OnBlock(std::int64_t, std::int64_t) override { return !m_firstPass.FoundHeader() && m_window.Yield(); }
    // Only the windows the walk takes can change the answer; the walk reports at least once in
    // each, so a stop is still seen every megabyte.
    Stretch QuietStretch(std::int64_t, std::int64_t) override { return {1, std::numeric_limits<std::int64_t>::max()}; }

private:
    const FirstPassObserver& m_firstPass;
    album::AlbumWindow& m_window;
};

// Everything a scan does once its walk is over: the track table, the names, the list.
ScanOutcome ShowWalk(album::AlbumState& state, album::AlbumWindow& window, const std::string& path, WalkResult walk)
{
    state.headerLength = walk.headerLength;
    state.dataBase = walk.dataBase;
    for (std::size_t i = 0; i < walk.byteCounts.size(); ++i) {
        album::TrackEntry& row = state.tracks.NextRow(i == 0);
        row.byteCount = static_cast<std::int32_t>(walk.byteCounts[i]);
        row.hasByteCount = row.byteCount > 0;
    }
    if (walk.outcome == WalkOutcome::Stopped) return ScanOutcome::Stopped;
    if (walk.outcome != WalkOutcome::Completed || walk.tooManyNames) {
        ShowScanMessage(window, support::msg::kCannotRecover);
        return ScanOutcome::Failed;
    }

    const std::string listed = ListedName(path);
    for (int i = 0; i < state.tracks.Count(); ++i) state.tracks[i].fileName = RowFileName(i, walk.headerNames, listed);

    if (state.tracks.Count() == 1) {
        ShowScanMessage(window, support::msg::kCannotLocate);
        return ScanOutcome::NothingFound;
    }
    return ListScannedRows(state, window);
}

ScanOutcome Scan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path, album::HeaderKind* kind)
{
    BeginScan(state, window, path, album::RecoveryMethod::Classic);

    WalkResult walk;
    {
        support::File file;
        if (!OpenForScan(file, window, path)) return ScanOutcome::Failed;
        WindowProgress progress(window);
        WalkOptions options;
        if (kind == nullptr) {
            walk = WalkBlocks(file, &progress, options);
        } else {
            FirstPassObserver firstPass(file.Length(), options.slots);
            walk = WalkBlocks(file, &progress, options, &firstPass);
            const std::optional<album::HeaderScan> verdict = firstPass.TakeVerdict();
            *kind = verdict && verdict->readError == 0 ? verdict->kind : album::HeaderKind::NoHeader;
        }
    }  // the file is closed before anything is shown

    return ShowWalk(state, window, path, std::move(walk));
}

}  // namespace

ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    return RunScan(window, [&] { return Scan(state, window, path, nullptr); });
}

ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path,
                           album::HeaderKind& kind)
{
    kind = album::HeaderKind::NoHeader;
    return RunScan(window, [&] { return Scan(state, window, path, &kind); });
}

std::optional<FirstPassAndWalk> WalkWithFirstPass(const std::string& path, album::AlbumWindow& window)
{
    support::File file;
    if (!file.Open(path).Ok()) return std::nullopt;
    file.ExpectSequentialReads();
    const WalkOptions options;
    FirstPassObserver firstPass(file.Length(), options.slots);
    StopAtHeader stop(firstPass, window);
    WalkResult walk = WalkBlocks(file, &stop, options, &firstPass);
    // A walk that ended on neither a header nor its own end was stopped by the window.
    const bool stopped = walk.outcome == WalkOutcome::Stopped && !firstPass.FoundHeader();
    std::optional<album::HeaderScan> header = firstPass.TakeVerdict();
    if (stopped) {
        album::HeaderScan unfinished = header.value_or(album::HeaderScan{});
        unfinished.stopped = true;
        return FirstPassAndWalk{std::move(unfinished), std::move(walk)};
    }
    // A walk that ended before the pass did leaves no verdict: the loader then reads on its own.
    if (!header) return std::nullopt;
    return FirstPassAndWalk{std::move(*header), std::move(walk)};
}

ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path,
                           WalkResult walked)
{
    return RunScan(window, [&] {
        BeginScan(state, window, path, album::RecoveryMethod::Classic);
        return ShowWalk(state, window, path, std::move(walked));
    });
}

}  // namespace vyr::recovery
