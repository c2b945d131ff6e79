#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "extract/mdlTrimFile.h"
#include "support/File.h"

// The platform's half of the copy (mdlTrimFile_posix.cpp, mdlTrimFile_win32.cpp) and what both
// halves share with the checks made once for every platform (mdlTrimFile.cpp).
namespace vyr::extract {

// Writes the range into a temporary file of `folder`, checks its length and gives it `name`,
// never in place of anything there. The range lies inside the source and the name is a plain
// file name that nothing held when the copy began; on failure nothing is left behind.
CopyResult CopyThroughTemporary(const support::Folder& folder, const std::string& name, std::int64_t start,
                                std::int64_t count, const support::File& source, const CopyOptions& options);

// `text`, followed by the system's text for `number` unless it is 0.
CopyResult CopyFailure(CopyError error, std::string_view text, int number = 0);

inline constexpr std::string_view kPartPrefix = ".vyr-part-";

// ".vyr-part-<pid>-<n>": the hidden name of a temporary file where it needs one.
std::string PartName(std::uint32_t pid, unsigned serial);

// The pid of a name PartName gives, digits only and at most 2^31 - 1; 0 for any other name.
std::int32_t PartOwner(std::string_view name);

}  // namespace vyr::extract
