#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/ScanOutcome.h"
#include "recovery/WalkListener.h"
#include "support/File.h"

// The steps every recovery scan shares, whichever way it walks the file: the reset, the
// progress with its yields, the messages, the list fill and the end step.
namespace vyr::recovery {

// Progress and a yield for every report, as the window expects; the window coalesces them.
class WindowProgress : public WalkListener {
public:
    explicit WindowProgress(album::AlbumWindow& window) : m_window(window) {}

    bool OnBlock(std::int64_t position, std::int64_t length) override;
    // The positions that show the same whole percent: a yield for each of them would only
    // repeat the last.
    Stretch QuietStretch(std::int64_t position, std::int64_t length) override;

    // 100 / (L / p) in floating point, as whole percent. It never falls as p grows: both
    // divisions round monotonically.
    static int Value(std::int64_t position, std::int64_t length)
    {
        return static_cast<int>(100.0 / (static_cast<double>(length) / static_cast<double>(position)));
    }

private:
    void Locate(std::int64_t position, std::int64_t length);

    album::AlbumWindow& m_window;
    int m_value = 0;
    std::int64_t m_from = 0;
    std::int64_t m_to = 0;  // empty: the first report works it out
};

// A warning with the application's title and an OK button.
void ShowScanMessage(album::AlbumWindow& window, std::string_view text);

// Opens the file a scan reads front to back; when it cannot be opened, tells the user why and
// returns false.
bool OpenForScan(support::File& file, album::AlbumWindow& window, const std::string& path);

// Empties the table and the list, points the state at the file and sets the progress to 0 of
// 100. The header length starts from 0, so a file without one does not inherit the last one.
void BeginScan(album::AlbumState& state, album::AlbumWindow& window, const std::string& path,
               album::RecoveryMethod method);

// Lists the named rows, ticked by the tick rule.
album::ScanOutcome ListScannedRows(album::AlbumState& state, album::AlbumWindow& window);

// Runs a scan; whatever happens, the progress ends at 0 and both labels blank. An exception
// (a list that throws, memory that runs out) ends it as a refused row would.
album::ScanOutcome RunScan(album::AlbumWindow& window, const std::function<album::ScanOutcome()>& scan);

}  // namespace vyr::recovery
