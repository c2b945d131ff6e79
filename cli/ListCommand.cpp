#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace vyr::cli {

void AddListCommand(CLI::App& app, int& status)
{
    auto* command = app.add_subcommand("list", "(being built)");
    command->callback([&status] { status = kExitUsage; });
}

}  // namespace vyr::cli
