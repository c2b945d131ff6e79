#pragma once

#include <string>
#include <string_view>

namespace vyr::win32 {

// The argument text of a raw command line: what follows the program's name as Windows splits it
// off (a name that starts with a quote runs to the next quote, any other to the first space or
// tab), without the spaces and tabs after it. The rest is left as it is, quotes and all.
std::wstring ArgumentText(std::wstring_view commandLine);

// The program: one copy only, the common controls, the window and its load step on the command
// line, then the window's messages until it closes. Returns the exit code.
int Main();

}  // namespace vyr::win32
