#pragma once

#ifdef _WIN32
#include <windows.h>

#include "support/Win32.h"
#else
#include <sys/wait.h>
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
#endif

}  // namespace vyr::test
