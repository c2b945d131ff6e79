#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "album/LoadAlbum.h"

namespace vyr::cli {

// The exit status a load or scan leaves: 2 for a file that cannot be read, is refused or whose
// scan failed, 3 for a file that is no album (or a scan that found nothing), else 0.
int ExitStatusFor(const album::LoadResult& result);

// The rows a load or a scan left, as `vyr list --json` and `vyr scan --json` print them.
nlohmann::ordered_json AlbumJson(const std::string& path, std::string_view kind, const album::AlbumState& state,
                                 const album::AlbumWindow& window);

// The same as an aligned table for people.
void PrintAlbum(std::ostream& out, const album::AlbumState& state, const album::AlbumWindow& window);

}  // namespace vyr::cli
