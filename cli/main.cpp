#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"

namespace {

int Run(int argc, char** argv)
{
    vyr::cli::PrepareStandardStreams();
    std::vector<std::string> arguments = vyr::cli::CommandLineArguments(argc, argv);
    std::vector<char*> words;
    words.reserve(arguments.size());
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

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        // Memory that runs out, or a stream that throws: a reason and a status, never an abort.
        std::cerr << "vyr: " << e.what() << '\n';
        return vyr::cli::kExitUsage;
    }
}
