#include "cli/Arguments.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "support/Win32.h"

namespace vyr::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(support::Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void PrepareStandardStreams()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace vyr::cli
