#pragma once

#include <string>
#include <vector>

namespace vyr::cli {

// The program's arguments, its name first, as UTF-8. On Windows they come from the
// wide-character command line: the narrow argv there holds a lossy copy in the ANSI code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Sets the standard streams up to carry the program's UTF-8 bytes unchanged: on Windows no CR
// before each LF, so output is the same on every platform, and a console that shows UTF-8.
void PrepareStandardStreams();

}  // namespace vyr::cli
