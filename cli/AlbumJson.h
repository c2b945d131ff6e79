#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "album/AlbumState.h"
#include "cli/JsonWriter.h"
#include "extract/ExtractTicked.h"

namespace vyr::cli {

// The rows a load or a scan left, as `vyr list --json` and `vyr scan --json` print them, written
// row by row, with a line end after the closing brace.
void WriteAlbumJson(std::ostream& out, const std::string& path, std::string_view kind, const album::AlbumState& state);

// What `vyr extract --json` prints: each row's outcome, album by album as each is done, so that
// no album's rows are held as JSON. One album's object for one file, an array of them for several,
// an empty array when no album was extracted. Texts that are not UTF-8 come with their bytes
// beside them, as WriteAlbumJson writes them.
class ExtractJson {
public:
    ExtractJson(std::ostream& out, bool several) : m_json(out), m_out(out), m_several(several) {}

    void Add(const std::string& file, const album::AlbumState& state, const extract::ExtractReport& report);
    // A run stopped before any album was extracted prints nothing at all.
    void Finish(bool stopped);

private:
    JsonWriter m_json;
    std::ostream& m_out;
    bool m_several;
    int m_albums = 0;
};

}  // namespace vyr::cli
