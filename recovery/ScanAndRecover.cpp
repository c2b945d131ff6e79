#include "recovery/ScanAndRecover.h"

#include <exception>

#include "album/TrackList.h"
#include "recovery/BlockWalk.h"
#include "recovery/HeaderNames.h"
#include "support/File.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"

namespace vyr::recovery {

namespace {

// Progress and a yield for every block, as the window expects; the window coalesces them.
class WindowProgress : public WalkListener {
public:
    explicit WindowProgress(album::AlbumWindow& window) : m_window(window) {}

    bool OnBlock(std::int64_t position, std::int64_t length) override
    {
        // The value only changes a hundred times in a pass: two divisions for each of millions
        // of blocks would cost more than the search for the markers, so the stretch of positions
        // that gives the current value is worked out once.
        if (position < m_from || position >= m_to) Locate(position, length);
        m_window.SetProgressValue(m_value);
        return m_window.Yield();
    }

    // 100 / (L / p) in floating point, as whole percent. It never falls as p grows: both
    // divisions round monotonically.
    static int Value(std::int64_t position, std::int64_t length)
    {
        return static_cast<int>(100.0 / (static_cast<double>(length) / static_cast<double>(position)));
    }

private:
    void Locate(std::int64_t position, std::int64_t length)
    {
        m_value = Value(position, length);
        std::int64_t low = 1;  // first position with this value: search [low, position]
        std::int64_t high = position;
        while (low < high) {
            const std::int64_t mid = low + (high - low) / 2;
            if (Value(mid, length) < m_value)
                low = mid + 1;
            else
                high = mid;
        }
        m_from = low;
        low = position + 1;  // first position past it with a larger value: search [position + 1, length]
        high = length;
        while (low < high) {
            const std::int64_t mid = low + (high - low) / 2;
            if (Value(mid, length) > m_value)
                high = mid;
            else
                low = mid + 1;
        }
        m_to = low;
    }

    album::AlbumWindow& m_window;
    int m_value = 0;
    std::int64_t m_from = 0;
    std::int64_t m_to = 0;  // empty: the first block works it out
};

void ShowNotice(album::AlbumWindow& window, std::string_view text)
{
    window.ShowMessage(album::Message{std::string(text), album::MessageIcon::Exclamation, album::MessageButtons::Ok,
                                      std::string(support::msg::kAppTitle)});
}

ScanOutcome Scan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    state.tracks.Reset();
    state.scanned = true;
    state.dataBase = 0;
    state.title.clear();
    state.artist.clear();
    // A pass starts from its own header length, so a file without a frame sync does not inherit
    // the previous file's.
    state.headerLength = 0;
    window.RemoveAllItems();
    state.albumPath = path;
    state.targetFolder = support::FolderOfPath(path);
    window.SetProgressRange(0, 100);
    window.SetProgressValue(0);

    WalkResult walk;
    {
        support::File file;
        if (const support::OpenResult opened = file.Open(path); !opened.Ok()) {
            ShowNotice(window, support::msg::CannotRead(path, opened.Reason()));
            return ScanOutcome::Failed;
        }
        // The walk reads front to back; a larger read-ahead keeps the disk ahead of it.
        file.ExpectSequentialReads();
        WindowProgress progress(window);
        walk = WalkBlocks(file, &progress);
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
        ShowNotice(window, support::msg::kCannotRecover);
        return ScanOutcome::Failed;
    }

    const std::string listed = ListedName(path);
    for (int i = 0; i < state.tracks.Count(); ++i) state.tracks[i].fileName = RowFileName(i, walk.headerNames, listed);

    if (state.tracks.Count() == 1) {
        ShowNotice(window, support::msg::kCannotLocate);
        return ScanOutcome::NothingFound;
    }
    if (!album::FillList(state, window, album::ListStyle::Scanned)) {
        ShowNotice(window, support::msg::kCannotRecover);
        return ScanOutcome::Failed;
    }
    return ScanOutcome::Recovered;
}

}  // namespace

ScanOutcome ScanAndRecover(album::AlbumState& state, album::AlbumWindow& window, const std::string& path)
{
    ScanOutcome outcome = ScanOutcome::Failed;
    try {
        outcome = Scan(state, window, path);
    } catch (const std::exception&) {
        // A list that throws on an operation, or memory that runs out, ends the pass like a
        // refused row.
        ShowNotice(window, support::msg::kCannotRecover);
        outcome = ScanOutcome::Failed;
    }
    window.SetProgressValue(0);
    window.SetAlbumLabel("");
    window.SetArtistLabel("");
    return outcome;
}

}  // namespace vyr::recovery
