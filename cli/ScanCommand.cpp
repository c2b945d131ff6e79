#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace vyr::cli {

void AddScanCommand(CLI::App& app, int& status)
{
    auto* command = app.add_subcommand("scan", "(being built)");
    command->callback([&status] { status = kExitUsage; });
}

}  // namespace vyr::cli
