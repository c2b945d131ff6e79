#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/HeaderChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto violations =
        vyr::fuzz::CheckHeaderBytes({reinterpret_cast<const char*>(data), size}, vyr::fuzz::WideReadings::Sampled);
    for (const auto& violation : violations) std::fprintf(stderr, "header invariant: %s\n", violation.c_str());
    if (!violations.empty()) std::abort();
    return 0;
}
