#include "recovery/ScanAndRecover.h"

#include <atomic>
#include <vector>

#include "album/FirstPass.h"
#include "recovery/BlockWalk.h"
#include "recovery/HeaderNames.h"
#include "recovery/ScanSteps.h"
#include "support/File.h"
#include "support/Messages.h"

namespace vyr::recovery {

namespace {

// The loader's first pass, fed the windows the walk reads. The reader threads find each
// window's line ends and tags ahead; the pass itself runs in file order on the walk's thread.
class FirstPassObserver final : public PieceObserver {
public:
    FirstPassObserver(std::int64_t length, int slots) : m_pass(length), m_index(slots, false) {}

    void Prepare(const support::Window& window) override
    {
        if (m_wanted.load(std::memory_order_relaxed)) m_index.Prepare(window.slot, window.Own());
    }

    bool Take(const support::Window& window) override
    {
        if (window.error != 0) {
            m_error = window.error;
        } else if (m_index.Feed(m_pass, window.slot, window.Own())) {
            return true;
        }
        m_wanted.store(false, std::memory_order_relaxed);
        return false;
    }

    album::HeaderKind Kind()
    {
        const album::HeaderScan scan = m_pass.Finish(m_error);
        return scan.readError != 0 ? album::HeaderKind::NoHeader : scan.kind;
    }

private:
    album::FirstPass m_pass;
    album::PieceIndex m_index;
    std::atomic<bool> m_wanted{true};
    int m_error = 0;
};

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
            *kind = firstPass.Kind();
        }
    }  // the file is closed before anything is shown

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

}  // namespace vyr::recovery
