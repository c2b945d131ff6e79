#include <CLI/CLI.hpp>

#include <iostream>

#include "album/LoadAlbum.h"
#include "cli/AlbumJson.h"
#include "cli/AlbumTable.h"
#include "cli/CliWindow.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StopSignal.h"
#include "recovery/RecoveryScanner.h"
#include "support/PathHelpers.h"
#include "support/Text.h"
#include "support/UserLocale.h"

namespace vyr::cli {

namespace {

struct ListOptions {
    std::string file;
    bool json = false;
    bool scan = false;
    bool precise = false;
};

int RunList(const ListOptions& options)
{
    album::AlbumState state;
    CliWindow window(std::cerr, options.scan);
    // Asked to scan, the scan is sure to follow a file without a header: its walk reads the file
    // along with the loader's first pass.
    recovery::RecoveryScanner scanner(ScanMethod(options.precise), options.scan);
    const album::LoadResult result = album::LoadAlbum(state, window, support::AbsolutePath(options.file), scanner,
                                                      {.handOffArchives = false, .stopRequested = StopRequested});
    if (StopRequested()) return 128 + StopSignal();

    switch (result.kind) {
    case album::FileKind::Unreadable:
    case album::FileKind::Refused:
        std::cerr << "vyr: " << support::TerminalText(options.file) << ": " << support::TerminalText(result.reason)
                  << '\n';
        return kExitUsage;
    case album::FileKind::ZipArchive:
        std::cerr << "vyr: " << support::TerminalText(options.file) << " is a ZIP archive\n";
        break;
    case album::FileKind::AlbumWrap:
    case album::FileKind::NoHeader:
        if (!result.scan)
            std::cerr << "vyr: " << support::TerminalText(options.file)
                      << (result.kind == album::FileKind::AlbumWrap ? " is an AlbumWrap file\n"
                                                                    : " has no album header\n");
        break;
    case album::FileKind::Album: break;
    }

    const int status = ExitStatusFor(result);
    if (status == kExitUsage) return status;
    if (options.json)
        WriteAlbumJson(std::cout, options.file, album::KindName(result.kind), state);
    else if (status == kExitOk)
        PrintAlbum(std::cout, state, support::UserGroupSeparator());
    return status;
}

}  // namespace

void AddListCommand(CLI::App& app, int& status)
{
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand("list", "List the tracks of an album file");
    list->add_option("FILE", options->file, "The album file (.vyr)")->required();
    list->add_flag("--json", options->json, "Print one JSON object instead of a table");
    CLI::Option* scan = list->add_flag("--scan", options->scan,
                                       "When the file has no album header, scan it for MP3 parts and list those");
    list->add_flag("--precise", options->precise, "With --scan: split by MPEG frames and tags")->needs(scan);
    list->callback([options, &status] {
        StopOnSignals();
        status = RunList(*options);
    });
}

}  // namespace vyr::cli
