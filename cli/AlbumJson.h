#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "album/AlbumState.h"
#include "album/AlbumWindow.h"
#include "extract/ExtractTicked.h"

namespace vyr::cli {

// The rows a load or a scan left, as `vyr list --json` and `vyr scan --json` print them, written
// row by row, with a line end after the closing brace.
void WriteAlbumJson(std::ostream& out, const std::string& path, std::string_view kind, const album::AlbumState& state,
                    const album::AlbumWindow& window);

// What `vyr extract --json` prints for one album: each row's outcome. Texts that are not UTF-8
// come with their bytes beside them, as WriteAlbumJson writes them.
nlohmann::ordered_json ExtractJson(const std::string& file, const album::AlbumState& state,
                                   const extract::ExtractReport& report);

// The text printed for a JSON value. Paths and names are bytes, not always UTF-8: a byte that
// is not part of a UTF-8 sequence is written as U+FFFD, so the output stays valid JSON and the
// exit status still tells what happened.
std::string JsonText(const nlohmann::ordered_json& value);

}  // namespace vyr::cli
