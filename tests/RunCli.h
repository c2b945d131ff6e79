#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/TestFiles.h"

namespace vyr::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The `vyr` under test: the one built beside the tests, or the one VYR_CLI names, so the same
// end-to-end tests also run against the release build.
inline std::string CliPath()
{
    const char* chosen = std::getenv("VYR_CLI");
    return chosen != nullptr && *chosen != '\0' ? chosen : VYR_CLI_PATH;
}

// Runs `vyr` with the arguments, in `folder` when one is named, and returns its exit status and
// both outputs.
inline CliRun RunCli(const std::vector<std::string>& arguments, const std::string& folder = {})
{
    TempDir scratch;
    std::string command = folder.empty() ? std::string() : "cd " + ShellQuoted(folder) + " && ";
    // A command that hangs fails the test with status 124 instead of stopping the suite.
    command += "timeout -k 5 120 " + ShellQuoted(CliPath());
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    command += " </dev/null >" + ShellQuoted(scratch / "out") + " 2>" + ShellQuoted(scratch / "err");
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(scratch / "out");
    run.err = ReadFile(scratch / "err");
    return run;
}

}  // namespace vyr::test
