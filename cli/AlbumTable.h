#pragma once

#include <iosfwd>
#include <string_view>

#include "album/AlbumState.h"

namespace vyr::cli {

// The items a load or a scan listed, as an aligned table for people; sizes group their digits
// with `groupSeparator`.
void PrintAlbum(std::ostream& out, const album::AlbumState& state, std::string_view groupSeparator);

}  // namespace vyr::cli
