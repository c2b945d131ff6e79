#pragma once

#include "album/LoadAlbum.h"

namespace vyr::cli {

// The exit status a load or scan leaves: 2 for a file that cannot be read, is refused or whose
// scan failed, 3 for a file that is no album (or a scan that found nothing), else 0.
int ExitStatusFor(const album::LoadResult& result);

}  // namespace vyr::cli
