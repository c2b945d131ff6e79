#pragma once

#ifdef _WIN32
#include <windows.h>

#include "support/Win32.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32
// One argument as the C runtime's parser and CommandLineToArgvW split it back: quoted when it
// holds a blank or a quote, backslashes doubled only before a quote.
inline std::wstring QuotedArgument(const std::wstring& text)
{
    if (!text.empty() && text.find_first_of(L" \t\"") == std::wstring::npos) return text;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// An inheritable handle to a new file `path` for the child's output, or to NUL for its input.
inline HANDLE ChildStream(const std::string& path, bool output)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::wstring wide = output ? support::WidePath(path).value_or(L"") : L"NUL";
    return ::CreateFileW(wide.c_str(), output ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, output ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
}

// Runs `vyr` with the arguments, in `folder` when one is named, and returns its exit status and
// both outputs. Windows has no POSIX shell: the process is started directly, its arguments
// quoted as its wide-character command line expects them.
inline CliRun RunCli(const std::vector<std::string>& arguments, const std::string& folder = {})
{
    TempDir scratch;
    std::wstring command = QuotedArgument(support::WidePath(CliPath()).value_or(L""));
    for (const std::string& argument : arguments)
        command += L" " + QuotedArgument(support::WidePath(argument).value_or(L"?"));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ChildStream({}, false);
    startup.hStdOutput = ChildStream(scratch / "out", true);
    startup.hStdError = ChildStream(scratch / "err", true);
    const std::optional<std::wstring> where = support::WidePath(folder);
    PROCESS_INFORMATION process{};
    CliRun run;
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         folder.empty() || !where ? nullptr : where->c_str(), &startup, &process)) {
        // A command that hangs fails the test with status 124 instead of stopping the suite.
        if (::WaitForSingleObject(process.hProcess, 120'000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.hProcess, 124);
            ::WaitForSingleObject(process.hProcess, INFINITE);
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        run.status = static_cast<int>(code);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    for (HANDLE stream : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) ::CloseHandle(stream);
    run.out = ReadFile(scratch / "out");
    run.err = ReadFile(scratch / "err");
    return run;
}
#else
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

// Starts `vyr` with the arguments and returns at once with its pid (0 when it could not start),
// for a test that signals it on the way. Its output goes to `out`, its errors nowhere.
inline pid_t StartCli(const std::vector<std::string>& arguments, const std::string& out = "/dev/null")
{
    const std::string cli = CliPath();
    std::vector<std::string> words{cli};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (::posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
#endif

}  // namespace vyr::test
