#include "cli/Arguments.h"

namespace vyr::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void PrepareStandardStreams() {}

}  // namespace vyr::cli
