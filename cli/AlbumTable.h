#pragma once

#include <iosfwd>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"

namespace vyr::cli {

// The rows a load or a scan left as an aligned table for people.
void PrintAlbum(std::ostream& out, const album::AlbumState& state, const album::AlbumWindow& window);

}  // namespace vyr::cli
