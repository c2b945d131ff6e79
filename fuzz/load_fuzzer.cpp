#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/FileChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static vyr::fuzz::Workspace workspace;
    const auto violations = vyr::fuzz::CheckLoadFile({reinterpret_cast<const char*>(data), size}, workspace);
    for (const auto& violation : violations) std::fprintf(stderr, "load invariant: %s\n", violation.c_str());
    if (!violations.empty()) std::abort();
    return 0;
}
