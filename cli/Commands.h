#pragma once

#include "album/AlbumState.h"

namespace CLI {
class App;
}  // namespace CLI

namespace vyr::cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailures = 1,  // some rows were refused or failed
    kExitUsage = 2,  // bad arguments, or a file that cannot be opened or is refused
    kExitNotAnAlbum = 3,  // not an album, or a scan that found nothing
};

// The recovery scan that --precise picks.
inline album::RecoveryMethod ScanMethod(bool precise)
{
    return precise ? album::RecoveryMethod::Precise : album::RecoveryMethod::Classic;
}

// Each adds its subcommand to the app; its callback leaves the exit status in `status`.
void AddListCommand(CLI::App& app, int& status);
void AddExtractCommand(CLI::App& app, int& status);
void AddScanCommand(CLI::App& app, int& status);

}  // namespace vyr::cli
