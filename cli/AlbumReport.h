#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "album/AlbumState.h"
#include "album/MemoryWindow.h"

namespace vyr::cli {

// "album", "zip", "albumwrap" or "noheader": the file's kind as scripts see it.
std::string KindName(std::string_view path);

// The rows a load or a scan left, as `vyr list --json` and `vyr scan --json` print them.
nlohmann::ordered_json AlbumJson(const std::string& path, std::string_view kind, const album::AlbumState& state,
                         const album::MemoryWindow& window);

// The same as an aligned table for people.
void PrintAlbum(std::ostream& out, const album::AlbumState& state, const album::MemoryWindow& window);

}  // namespace vyr::cli
