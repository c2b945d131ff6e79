#include <CLI/CLI.hpp>

#include <unistd.h>

#include <iostream>
#include <memory>

#include "album/AlbumState.h"
#include "cli/AlbumReport.h"
#include "cli/CliWindow.h"
#include "cli/Commands.h"
#include "recovery/ScanAndRecover.h"
#include "support/Messages.h"

namespace vyr::cli {

namespace {

struct ScanOptions {
    std::string file;
    bool json = false;
};

// The scan sets the progress once per 512-byte block; a terminal, and the memory that keeps
// every value, only need to hear of a change.
class ScanWindow : public CliWindow {
public:
    using CliWindow::CliWindow;

    void SetProgressValue(int value) override
    {
        if (!progressValues.empty() && value == progressValue) return;
        CliWindow::SetProgressValue(value);
    }
};

int RunScan(const ScanOptions& options)
{
    album::AlbumState state;
    ScanWindow window(std::cerr);
    window.ShowProgress(::isatty(STDERR_FILENO) == 1);
    // The notice a window shows while it scans; here it only has to be cleared again.
    window.SetAlbumLabel(support::msg::kScanningAlbumLabel);
    window.SetArtistLabel(support::msg::kScanningArtistLabel);
    window.Yield();

    using recovery::ScanOutcome;
    const ScanOutcome outcome = recovery::ScanAndRecover(state, window, options.file);
    if (outcome == ScanOutcome::Failed || outcome == ScanOutcome::Stopped) return kExitUsage;
    const int status = outcome == ScanOutcome::NothingFound ? kExitNotAnAlbum : kExitOk;
    if (options.json)
        std::cout << AlbumJson(options.file, KindName(options.file), state, window).dump(2) << '\n';
    else if (status == kExitOk)
        PrintAlbum(std::cout, state, window);
    return status;
}

}  // namespace

void AddScanCommand(CLI::App& app, int& status)
{
    auto options = std::make_shared<ScanOptions>();
    CLI::App* scan = app.add_subcommand("scan", "Scan any file for joined MP3 parts and list them, as for a file without an album header");
    scan->add_option("FILE", options->file, "The file to scan")->required();
    scan->add_flag("--json", options->json, "Print one JSON object instead of a table");
    scan->callback([options, &status] { status = RunScan(*options); });
}

}  // namespace vyr::cli
