#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ByteStream.h"

namespace vyr::album {

// What the first pass over a file found it to be.
enum class HeaderKind { Album, ZipArchive, AlbumWrap, NoHeader };

// The limits of the format: header lines are indexed with signed 16-bit numbers. The other two
// guard memory against hostile files; no real header comes near them.
inline constexpr int kMaxHeaderLines = 32'767;
inline constexpr std::size_t kMaxStoredLineBytes = 1 << 20;
inline constexpr std::size_t kMaxStoredHeaderBytes = 64u << 20;

struct HeaderScan {
    HeaderKind kind = HeaderKind::NoHeader;
    // Each line read before the verdict, counted in bytes plus 2 for its line end: for an album
    // the offset of the first track's data.
    std::int64_t headerLength = 0;
    // Lines read and counted (neither ZIP nor AlbumWrap); the loader empties its list once one is.
    int linesCounted = 0;
    // The lines before "EXTBIN", raw bytes. Element 0 stays empty until the first non-empty line.
    std::vector<std::string> lines{std::string()};
    // Set when an album passes one of the limits: why it cannot be loaded.
    std::optional<std::string> refusal;
    // errno of a read that failed; the verdict is then void.
    int readError = 0;
};

// The first pass: reads lines (a CR ends a line, a LF right after it belongs to that line end, a
// lone LF stays in the line) until "EXTBIN", the end of the file, or the header length passing
// half of the file's length. Never reads the track data.
HeaderScan ScanHeader(support::ByteStream& source);

}  // namespace vyr::album
