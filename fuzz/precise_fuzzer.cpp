#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/PreciseChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto violations = vyr::fuzz::CheckPreciseBytes(bytes);
    // The file round trip costs a file system; one input in sixteen takes it.
    if (violations.empty() && size % 16 == 0) {
        static vyr::fuzz::Workspace workspace;
        violations = vyr::fuzz::CheckPreciseFile(bytes, workspace);
    }
    for (const auto& violation : violations) std::fprintf(stderr, "precise invariant: %s\n", violation.c_str());
    if (!violations.empty()) std::abort();
    return 0;
}
