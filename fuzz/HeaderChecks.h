#pragma once

// What must hold after the header reader has seen any bytes at all. Shared by the fuzz targets
// and by the regression test that replays their findings, so both judge an input the same way.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "album/AlbumHeader.h"
#include "album/FirstPass.h"
#include "album/TrackTable.h"
#include "support/ByteStream.h"
#include "support/Text.h"

namespace vyr::fuzz {

// One line per broken rule; empty when the input passed.
using Violations = std::vector<std::string>;

// A second, deliberately plain reading of the first pass, to hold the real reader to: the line
// rule, the ZIP signature on the first four bytes, the AlbumWrap line, the header length and the
// half-length stop, and how many rows the file-name lines make.
struct ReferenceHeader {
    album::HeaderKind kind = album::HeaderKind::NoHeader;
    std::int64_t headerLength = 0;
    int rows = 1;  // the table always keeps row 0
};

inline bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

inline bool IsFileNameLine(std::string_view line)
{
    for (std::string_view tag : {"EXTM3U", "EXTVYR", "EXTALB", "EXTART", "EXTBYT", "EXTINF"})
        if (Contains(line, tag)) return false;
    return true;
}

inline ReferenceHeader ReadReferenceHeader(std::string_view bytes)
{
    ReferenceHeader result;
    const auto length = static_cast<std::int64_t>(bytes.size());
    if (bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' &&
        ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6) || (bytes[2] == 7 && bytes[3] == 8))) {
        result.kind = album::HeaderKind::ZipArchive;
        return result;
    }
    std::vector<std::string_view> stored;
    bool anyStored = false;
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t cr = bytes.find('\r', position);
        std::string_view line;
        if (cr == std::string_view::npos) {
            line = bytes.substr(position);
            position = bytes.size();
        } else {
            line = bytes.substr(position, cr - position);
            position = cr + 1;
            if (position < bytes.size() && bytes[position] == '\n') ++position;
        }
        if (Contains(line, "AlbumWrap") && Contains(line, "ID3")) {
            result.kind = album::HeaderKind::AlbumWrap;
            return result;
        }
        result.headerLength += static_cast<std::int64_t>(line.size()) + 2;
        if (Contains(line, "EXTBIN")) {
            result.kind = album::HeaderKind::Album;
            break;
        }
        // Empty lines before the first non-empty one are counted but never stored.
        if (!line.empty() || anyStored) {
            stored.push_back(line);
            anyStored = true;
        }
        if (2 * result.headerLength > length) return result;
    }
    if (result.kind != album::HeaderKind::Album) return result;

    bool rowZeroFree = true;
    for (std::string_view line : stored) {
        if (!IsFileNameLine(line)) continue;
        if (rowZeroFree)
            rowZeroFree = line.empty();  // row 0 is filled again while its name stays empty
        else
            ++result.rows;
    }
    return result;
}

// The rule the extract command applies before it joins a name to the target folder, restated
// from its reasons so that the helper itself is checked: nothing may lead out of the folder.
inline bool LeadsOutOfFolder(std::string_view name)
{
    if (name.empty() || name == "." || name == "..") return true;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 32 || byte == 127) return true;
    }
    return false;
}

inline void CheckRows(const album::TrackTable& tracks, Violations& out)
{
    if (tracks.Count() < 1 || tracks.Count() > album::TrackTable::kMaxRows)
        out.push_back("row count " + std::to_string(tracks.Count()) + " outside 1..32767");
    for (int row = 0; row < tracks.Count(); ++row) {
        const album::TrackEntry& track = tracks[row];
        const std::string where = "row " + std::to_string(row) + ": ";
        if (track.hasByteCount != (track.byteCount > 0)) out.push_back(where + "hasByteCount disagrees with byteCount");
        if (!support::IsValidUtf8(track.fileName)) out.push_back(where + "fileName is not UTF-8");
        if (!support::IsValidUtf8(track.displayName)) out.push_back(where + "displayName is not UTF-8");
        if (support::TrimSpaces(track.displayName) != track.displayName)
            out.push_back(where + "displayName keeps outer spaces");
        if (support::IsPlainFileName(track.fileName) && LeadsOutOfFolder(track.fileName))
            out.push_back(where + "IsPlainFileName accepts a name that leaves the folder");
    }
}

// The verdict and the header length of the stream reader against the reference reading.
inline void CheckVerdict(const album::HeaderScan& scan, const ReferenceHeader& expected, std::string_view what,
                         Violations& out)
{
    if (scan.kind != expected.kind)
        out.push_back(std::string(what) + "kind " + std::to_string(static_cast<int>(scan.kind)) + ", expected " +
                      std::to_string(static_cast<int>(expected.kind)));
    if (expected.kind != album::HeaderKind::ZipArchive && scan.headerLength != expected.headerLength)
        out.push_back(std::string(what) + "header length " + std::to_string(scan.headerLength) + ", expected " +
                      std::to_string(expected.headerLength));
}

// The bytes behind filler lines that carry them past the reader's first 64 KiB, to where reader
// threads take over in windows, with enough bytes after them that the header stays under half
// of the file. The edge falls within the input's first 4 KiB, where its first byte says. With
// `refused`, the filler first passes the limit of lines, so that the pass only counts the input's
// lines.
inline std::string PastTheFirstRead(std::string_view bytes, bool refused = false)
{
    constexpr std::size_t kFirstRead = std::size_t{64} << 10;
    const std::size_t span = std::min<std::size_t>(bytes.size(), 4096);
    const std::size_t shift = span == 0 ? 0 : static_cast<unsigned char>(bytes[0]) * 61 % span;
    std::string out = refused ? "a\r" + std::string(album::kMaxHeaderLines, '\r') : std::string();
    while (out.size() + 1002 <= kFirstRead - shift) out += std::string(1000, 'z') + "\r\n";
    out.append(kFirstRead - shift - out.size(), 'z');
    out += bytes;
    // A line's bytes count at most twice (a lone CR counts 2), so three times as many again
    // keep any header within half of the file.
    out.append(3 * out.size(), 'x');
    return out;
}

// Which inputs are also read as files past the first read, on the reader threads: each such
// reading costs many times the plain one, so a fuzzer takes it for a quarter of its inputs
// (chosen by length, which it varies all the time) and a replay for every one.
enum class WideReadings { Every, Sampled };

inline Violations CheckHeaderBytes(std::string_view bytes, WideReadings wide = WideReadings::Every)
{
    Violations out;
    if (wide == WideReadings::Every || bytes.size() % 4 == 0) {
        const std::string moved = PastTheFirstRead(bytes);
        support::MemoryStream movedSource(moved);
        const album::HeaderScan movedScan = album::ScanHeader(movedSource);
        if (!movedScan.refusal) CheckVerdict(movedScan, ReadReferenceHeader(moved), "past the first read: ", out);
        // A refused header still has its verdict and its length.
        const std::string counted = PastTheFirstRead(bytes, true);
        support::MemoryStream countedSource(counted);
        CheckVerdict(album::ScanHeader(countedSource), ReadReferenceHeader(counted), "lines only counted: ", out);
    }

    support::MemoryStream source(bytes);
    const album::HeaderScan scan = album::ScanHeader(source);
    const ReferenceHeader expected = ReadReferenceHeader(bytes);
    if (scan.refusal) return out;  // beyond the format's limits: refused, nothing more to hold
    CheckVerdict(scan, expected, "", out);
    if (scan.kind != album::HeaderKind::Album || !out.empty()) return out;

    const album::ParsedHeader parsed = album::ParseHeader(scan.lines);
    if (parsed.refusal) return out;
    if (parsed.tracks.Count() != expected.rows)
        out.push_back("rows " + std::to_string(parsed.tracks.Count()) + ", expected " + std::to_string(expected.rows));
    if (!support::IsValidUtf8(parsed.title) || !support::IsValidUtf8(parsed.artist))
        out.push_back("title or artist is not UTF-8");
    if (support::TrimSpaces(parsed.title) != parsed.title || support::TrimSpaces(parsed.artist) != parsed.artist)
        out.push_back("title or artist keeps outer spaces");
    CheckRows(parsed.tracks, out);
    return out;
}

}  // namespace vyr::fuzz
