#include "album/AlbumHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "album/LenientNumber.h"
#include "support/Text.h"

namespace vyr::album {

namespace {

constexpr std::string_view kExtBin = "EXTBIN";
constexpr std::string_view kAlbumWrap = "AlbumWrap";
constexpr std::string_view kId3 = "ID3";

// One line as the first pass sees it. Only the first kMaxStoredLineBytes are kept; past them the
// line is still measured and searched for the tags the verdict depends on, so a file of one
// enormous line costs no memory.
struct Line {
    std::string text;
    std::int64_t length = 0;
    bool overlong = false;
    bool extBinBeyond = false;
    bool albumWrapBeyond = false;
    bool id3Beyond = false;
    std::string tail;  // the last bytes seen, for a tag that straddles two reads

    void Clear() { *this = Line{}; }

    void Append(std::string_view segment)
    {
        length += static_cast<std::int64_t>(segment.size());
        if (!overlong) {
            const std::size_t room = kMaxStoredLineBytes - text.size();
            if (segment.size() <= room) {
                text.append(segment);
                return;
            }
            text.append(segment.substr(0, room));
            segment.remove_prefix(room);
            overlong = true;
            tail = text.substr(text.size() - std::min<std::size_t>(text.size(), 8));
        }
        // A tag across the edge lies within the last 8 bytes seen and the first 8 of the segment.
        std::string edge = tail;
        edge.append(segment.substr(0, 8));
        auto seen = [&](std::string_view tag) {
            return edge.find(tag) != std::string::npos || segment.find(tag) != std::string_view::npos;
        };
        extBinBeyond |= seen(kExtBin);
        albumWrapBeyond |= seen(kAlbumWrap);
        id3Beyond |= seen(kId3);
        const std::string_view last = segment.size() >= 8 ? segment : std::string_view(edge);
        tail.assign(last.substr(last.size() - std::min<std::size_t>(last.size(), 8)));
    }

    bool Has(std::string_view tag, bool beyond) const { return beyond || text.find(tag) != std::string::npos; }
};

class LineReader {
public:
    explicit LineReader(ByteSource& source) : m_source(source), m_buffer(64 * 1024) {}

    // The file's first bytes, without consuming them.
    std::string_view Peek(std::size_t count)
    {
        if (m_pos == m_end) Fill();
        return {m_buffer.data() + m_pos, std::min(count, m_end - m_pos)};
    }

    // False at the end of the file; text after the last line end is a line when it is not empty.
    bool Next(Line& line)
    {
        line.Clear();
        for (;;) {
            if (m_pos == m_end && !Fill()) return line.length > 0;
            if (m_skipLineFeed) {
                m_skipLineFeed = false;
                if (m_buffer[m_pos] == '\n') ++m_pos;
                continue;
            }
            const char* start = m_buffer.data() + m_pos;
            const auto* cr = static_cast<const char*>(std::memchr(start, '\r', m_end - m_pos));
            if (cr) {
                line.Append({start, static_cast<std::size_t>(cr - start)});
                m_pos += static_cast<std::size_t>(cr - start) + 1;
                m_skipLineFeed = true;
                return true;
            }
            line.Append({start, m_end - m_pos});
            m_pos = m_end;
        }
    }

private:
    bool Fill()
    {
        m_pos = 0;
        m_end = m_source.Read(m_buffer.data(), m_buffer.size());
        return m_end > 0;
    }

    ByteSource& m_source;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_skipLineFeed = false;
};

bool IsZipSignature(std::string_view first)
{
    static constexpr std::array<std::string_view, 3> kSignatures{
        std::string_view("PK\x03\x04", 4), std::string_view("PK\x05\x06", 4), std::string_view("PK\x07\x08", 4)};
    return std::find(kSignatures.begin(), kSignatures.end(), first) != kSignatures.end();
}

// Limits in messages, grouped as people read them: 32,767.
std::string Grouped(std::size_t value) { return support::GroupThousands(value, ','); }

}  // namespace

std::size_t MemorySource::Read(char* buffer, std::size_t size)
{
    const std::size_t count = std::min(size, m_bytes.size() - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, count);
    m_position += count;
    return count;
}

FileSource::FileSource(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) throw std::system_error(errno, std::generic_category());
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        const int error = errno;
        ::close(m_fd);
        throw std::system_error(error, std::generic_category());
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(m_fd);
        throw std::system_error(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, std::generic_category());
    }
    m_length = info.st_size;
}

FileSource::~FileSource() { ::close(m_fd); }

std::size_t FileSource::Read(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::read(m_fd, buffer, size);
        if (count >= 0) return static_cast<std::size_t>(count);
        if (errno != EINTR) throw std::system_error(errno, std::generic_category());
    }
}

HeaderScan ScanHeader(ByteSource& source)
{
    HeaderScan scan;
    const std::int64_t length = source.Length();
    LineReader reader(source);
    std::optional<std::string> refusal;
    std::size_t storedBytes = 0;

    // Only a real ZIP signature at the very start makes an archive: a "PK" inside a title does not.
    if (IsZipSignature(reader.Peek(4))) {
        scan.kind = HeaderKind::ZipArchive;
        return scan;
    }

    Line line;
    while (reader.Next(line)) {
        if (line.Has(kAlbumWrap, line.albumWrapBeyond) && line.Has(kId3, line.id3Beyond)) {
            scan.kind = HeaderKind::AlbumWrap;
            return scan;
        }
        ++scan.linesCounted;
        scan.headerLength += line.length + 2;
        if (line.Has(kExtBin, line.extBinBeyond)) {
            scan.kind = HeaderKind::Album;
            scan.refusal = std::move(refusal);
            return scan;
        }

        // Element 0 is overwritten until the first non-empty line, so empty lines at the top
        // count in the header length but store nothing.
        if (!refusal) {
            if (line.overlong)
                refusal = "A header line is longer than " + Grouped(kMaxStoredLineBytes) + " bytes.";
            else if (!scan.lines.front().empty() && scan.lines.size() >= kMaxHeaderLines)
                refusal = "The header has more than " + Grouped(kMaxHeaderLines) + " lines.";
            else if (storedBytes + line.text.size() > kMaxStoredHeaderBytes)
                refusal = "The header is larger than " + Grouped(kMaxStoredHeaderBytes) + " bytes.";
        }
        if (!refusal) {
            if (!scan.lines.front().empty()) scan.lines.emplace_back();
            storedBytes += line.text.size();
            scan.lines.back() = std::move(line.text);
        }

        // More than half of the file is header text: this is no album. Exactly half reads on.
        if (2 * scan.headerLength > length) return scan;
    }
    return scan;
}

LineKind ClassifyLine(std::string_view line)
{
    static constexpr std::array<std::pair<std::string_view, LineKind>, 6> kTags{{
        {"EXTM3U", LineKind::PlaylistMarker},
        {"EXTVYR", LineKind::FormatMarker},
        {"EXTALB", LineKind::AlbumTitle},
        {"EXTART", LineKind::Artist},
        {"EXTBYT", LineKind::ByteCount},
        {"EXTINF", LineKind::TrackInfo},
    }};
    for (const auto& [tag, kind] : kTags)
        if (line.find(tag) != std::string_view::npos) return kind;
    return LineKind::FileName;
}

std::string_view TagValue(std::string_view line, std::string_view tag)
{
    const auto at = line.find(tag);
    if (at == std::string_view::npos) return {};
    const std::size_t start = at + tag.size() + 1;  // the one separator character is skipped unseen
    return start <= line.size() ? line.substr(start) : std::string_view();
}

TrackInfoText SplitTrackInfo(std::string_view line)
{
    constexpr std::string_view kTag = "EXTINF";
    const auto at = line.find(kTag);
    const auto comma = line.find(',');
    if (at == std::string_view::npos || comma == std::string_view::npos || comma < at + kTag.size())
        return {};
    const std::size_t start = at + kTag.size() + 1;
    TrackInfoText info;
    if (comma > start) info.duration = line.substr(start, comma - start);
    info.display = line.substr(comma + 1);
    return info;
}

ParsedHeader ParseHeader(const std::vector<std::string>& lines)
{
    ParsedHeader header;
    header.tracks.Reset();
    std::int32_t pendingByteCount = 0;
    std::string_view pendingDuration;
    std::string_view pendingDisplay;
    std::string_view title;
    std::string_view artist;

    auto refuse = [&](std::string reason) {
        header.refusal = std::move(reason);
        return std::move(header);
    };

    for (const std::string& line : lines) {
        switch (ClassifyLine(line)) {
        case LineKind::PlaylistMarker:
        case LineKind::FormatMarker:
            break;
        case LineKind::AlbumTitle:
            title = TagValue(line, "EXTALB");
            break;
        case LineKind::Artist:
            artist = TagValue(line, "EXTART");
            break;
        case LineKind::ByteCount: {
            const std::string_view text = TagValue(line, "EXTBYT");
            const auto count = ReadByteCount(text);
            if (!count)
                return refuse("The byte count \"" + support::ToDisplayText(support::TrimSpaces(text)) +
                              "\" is outside the range a track can have (at most 2,147,483,647 bytes).");
            pendingByteCount = *count;
            break;
        }
        case LineKind::TrackInfo: {
            const auto comma = line.find(',');
            if (comma != std::string::npos && comma >= kMaxCommaPosition)
                return refuse("A track-info line has its first comma past character 32,767.");
            const TrackInfoText info = SplitTrackInfo(line);
            pendingDuration = info.duration;
            pendingDisplay = info.display;
            break;
        }
        case LineKind::FileName: {
            const bool rowZeroFree = header.tracks[0].fileName.empty();
            if (!rowZeroFree && header.tracks.Count() >= TrackTable::kMaxRows)
                return refuse("The album has more than 32,767 tracks.");
            const auto duration = ReadDuration(pendingDuration);
            if (!duration)
                return refuse("The time \"" + support::ToDisplayText(support::TrimSpaces(pendingDuration)) +
                              "\" is outside the range a track can have.");
            TrackEntry& row = header.tracks.NextRow(rowZeroFree);
            row.fileName = support::ToDisplayText(line);
            row.byteCount = pendingByteCount;
            row.hasByteCount = pendingByteCount > 0;
            row.duration = *duration;
            row.displayName = support::ToDisplayText(support::TrimSpaces(pendingDisplay));
            break;
        }
        }
    }
    header.title = support::ToDisplayText(support::TrimSpaces(title));
    header.artist = support::ToDisplayText(support::TrimSpaces(artist));
    return header;
}

}  // namespace vyr::album
