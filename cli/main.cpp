#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"

int main(int argc, char** argv)
{
    vyr::cli::PrepareStandardStreams();
    std::vector<std::string> arguments = vyr::cli::CommandLineArguments(argc, argv);
    std::vector<char*> words;
    for (std::string& argument : arguments) words.push_back(argument.data());

    CLI::App app{"vyr: list, scan and extract the tracks of .vyr album files"};
    app.name("vyr");
    app.set_version_flag("--version", std::to_string(VYR_VERSION_MAJOR) + "." + std::to_string(VYR_VERSION_MINOR) +
                                          "." + std::to_string(VYR_VERSION_PATCH));
    app.require_subcommand(1);

    int status = vyr::cli::kExitOk;
    vyr::cli::AddListCommand(app, status);
    vyr::cli::AddExtractCommand(app, status);
    vyr::cli::AddScanCommand(app, status);

    try {
        app.parse(static_cast<int>(words.size()), words.data());
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
