#include "recovery/ScanSteps.h"

#include <exception>

#include "album/TrackList.h"
#include "support/Messages.h"

namespace vyr::recovery {

bool WindowProgress::OnBlock(std::int64_t position, std::int64_t length)
{
    // The value only changes a hundred times in a pass: two divisions for each of millions
    // of blocks would cost more than the search for the markers, so the stretch of positions
    // that gives the current value is worked out once.
    if (position < m_from || position >= m_to) Locate(position, length);
    m_window.SetProgressValue(m_value);
    return m_window.Yield();
}

WalkListener::Stretch WindowProgress::QuietStretch(std::int64_t position, std::int64_t length)
{
    if (position < m_from || position >= m_to) Locate(position, length);
    return {m_from, m_to - 1};
}

void WindowProgress::Locate(std::int64_t position, std::int64_t length)
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

void ShowScanMessage(album::AlbumWindow& window, std::string_view text)
{
    window.ShowMessage(album::Message{std::string(text), album::MessageIcon::Exclamation, album::MessageButtons::Ok,
                                      std::string(support::msg::kAppTitle)});
}

bool OpenForScan(support::File& file, album::AlbumWindow& window, const std::string& path)
{
    if (const support::OpenResult opened = file.Open(path); !opened.Ok()) {
        ShowScanMessage(window, support::msg::CannotRead(path, opened.Reason()));
        return false;
    }
    // A scan reads front to back; a larger read-ahead keeps the disk ahead of it.
    file.ExpectSequentialReads();
    return true;
}

void BeginScan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path,
               album::RecoveryMethod method)
{
    album::BeginFile(state, path);
    state.recovery.method = method;
    album::EmptyList(state, window);
    state.albumPath = path;
    window.SetProgressRange(0, 100);
    window.SetProgressValue(0);
}

album::ScanOutcome ListScannedRows(album::AlbumState& state, album::AlbumWindow& window)
{
    album::FillList(state, window);
    return album::ScanOutcome::Recovered;
}

album::ScanOutcome RunScan(album::AlbumWindow& window, const std::function<album::ScanOutcome()>& scan)
{
    album::ScanOutcome outcome = album::ScanOutcome::Failed;
    try {
        outcome = scan();
    } catch (const std::exception&) {
        ShowScanMessage(window, support::msg::kCannotRecover);
        outcome = album::ScanOutcome::Failed;
    }
    window.SetProgressValue(0);
    window.SetAlbumLabel("");
    window.SetArtistLabel("");
    return outcome;
}

}  // namespace vyr::recovery
