#include <CLI/CLI.hpp>

#include <unistd.h>

#include <iostream>
#include <memory>

#include "album/AlbumState.h"
#include "album/LoadAlbum.h"
#include "album/TrackList.h"
#include "cli/AlbumJson.h"
#include "cli/AlbumTable.h"
#include "cli/CliWindow.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StopSignal.h"
#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "support/PathHelpers.h"
#include "support/UserLocale.h"

namespace vyr::cli {

namespace {

struct ScanOptions {
    std::string file;
    bool json = false;
    bool precise = false;
};

int RunScan(const ScanOptions& options)
{
    album::AlbumState state;
    CliWindow window(std::cerr, false);
    window.ShowProgress(::isatty(STDERR_FILENO) == 1);
    album::ShowScanNotice(window);
    const std::string path = support::AbsolutePath(options.file);
    // The file's kind, for the JSON, comes from the classic scan's own reads: only asked for
    // when printed. The precise scan reads the file its own way, so its JSON asks once more.
    album::HeaderKind kind = album::HeaderKind::NoHeader;
    album::ScanOutcome outcome = album::ScanOutcome::Failed;
    if (options.precise)
        outcome = recovery::ScanPrecisely(state, window, path);
    else if (options.json)
        outcome = recovery::ScanAndRecover(state, window, path, kind);
    else
        outcome = recovery::ScanAndRecover(state, window, path);
    if (StopRequested()) return 128 + StopSignal();
    const int status = ExitStatusFor({album::FileKind::NoHeader, outcome, {}});
    if (status == kExitUsage) return status;
    if (options.json) {
        const album::FileKind fileKind =
            options.precise ? album::ClassifyFile(path, StopRequested) : album::FileKindOf(kind);
        if (StopRequested()) return 128 + StopSignal();
        WriteAlbumJson(std::cout, options.file, album::KindName(fileKind), state);
    } else if (status == kExitOk)
        PrintAlbum(std::cout, state, support::UserGroupSeparator());
    return status;
}

}  // namespace

void AddScanCommand(CLI::App& app, int& status)
{
    auto options = std::make_shared<ScanOptions>();
    CLI::App* scan = app.add_subcommand(
        "scan", "Scan any file for joined MP3 parts and list them, as for a file without an album header");
    scan->add_option("FILE", options->file, "The file to scan")->required();
    scan->add_flag("--json", options->json, "Print one JSON object instead of a table");
    scan->add_flag("--precise", options->precise,
                   "Split by MPEG frames and tags instead of the published markers: exact parts, gaps apart");
    scan->callback([options, &status] {
        StopOnSignals();
        status = RunScan(*options);
    });
}

}  // namespace vyr::cli
