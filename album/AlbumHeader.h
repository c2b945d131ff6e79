#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/TrackTable.h"

namespace vyr::album {

// What the first pass over a file found it to be.
enum class HeaderKind { Album, ZipArchive, AlbumWrap, NoHeader };

// The limits of the format: header lines and tracks are indexed with signed 16-bit numbers, and
// the first comma of a track-info line lies within the first 32,767 characters. The last two
// guard memory against hostile files; no real header comes near them.
inline constexpr int kMaxHeaderLines = 32'767;
inline constexpr std::size_t kMaxCommaPosition = 32'767;
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
};

// Where the first pass reads from: a file or, for tests and fuzzing, bytes in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t Length() const = 0;
    // Reads up to `size` bytes of what follows; 0 at the end. Throws std::system_error on failure.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::int64_t Length() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    std::string_view m_bytes;
    std::size_t m_position = 0;
};

// A file opened for reading; the constructor throws std::system_error when it cannot be opened
// or is not a regular file.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    std::int64_t Length() const override { return m_length; }
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    int m_fd = -1;
    std::int64_t m_length = 0;
};

// The first pass: reads lines (a CR ends a line, a LF right after it belongs to that line end, a
// lone LF stays in the line) until "EXTBIN", the end of the file, or the header length passing
// half of the file's length. Never reads the track data.
HeaderScan ScanHeader(ByteSource& source);

struct ParsedHeader {
    std::string title;  // trimmed, UTF-8
    std::string artist;  // trimmed, UTF-8
    TrackTable tracks;
    std::optional<std::string> refusal;
};

// The second pass over the stored lines: tags, pending values, one track per file-name line.
ParsedHeader ParseHeader(const std::vector<std::string>& lines);

// The kind of header line, by the first tag found in this order; FileName when none is.
enum class LineKind { PlaylistMarker, FormatMarker, AlbumTitle, Artist, ByteCount, TrackInfo, FileName };
LineKind ClassifyLine(std::string_view line);

// Everything after the tag and the one separator character that follows it.
std::string_view TagValue(std::string_view line, std::string_view tag);

struct TrackInfoText {
    std::string_view duration;  // between the separator after the tag and the first comma
    std::string_view display;  // everything after the first comma
};
TrackInfoText SplitTrackInfo(std::string_view line);

}  // namespace vyr::album
