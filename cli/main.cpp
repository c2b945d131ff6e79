#include <CLI/CLI.hpp>

#include <clocale>
#include <iostream>
#include <locale>

#include "cli/Commands.h"

int main(int argc, char** argv)
{
    // Size texts group digits with the user's thousands separator.
    try {
        std::locale::global(std::locale(""));
    } catch (const std::runtime_error&) {
        std::locale::global(std::locale::classic());
    }

    CLI::App app{"vyr: list, scan and extract the tracks of .vyr album files"};
    app.name("vyr");
    app.set_version_flag("--version", std::to_string(VYR_VERSION_MAJOR) + "." +
                                          std::to_string(VYR_VERSION_MINOR) + "." +
                                          std::to_string(VYR_VERSION_PATCH));
    app.require_subcommand(1);

    int status = vyr::cli::kExitOk;
    vyr::cli::AddListCommand(app, status);
    vyr::cli::AddExtractCommand(app, status);
    vyr::cli::AddScanCommand(app, status);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return vyr::cli::kExitUsage;
    }
    return status;
}
