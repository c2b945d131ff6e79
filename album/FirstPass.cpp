#include "album/FirstPass.h"

#include <algorithm>
#include <array>
#include <cstring>

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
    explicit LineReader(support::ByteStream& source) : m_source(source), m_buffer(64 * 1024) {}

    // errno of a read that failed; the reader then behaves as at the end of the file.
    int Error() const { return m_error; }

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
        m_end = 0;
        if (m_error != 0) return false;
        const support::IoResult read =
            m_source.ReadAt(m_offset, {reinterpret_cast<unsigned char*>(m_buffer.data()), m_buffer.size()});
        m_error = read.error;
        if (!read.Ok()) return false;
        m_end = read.count;
        m_offset += static_cast<std::int64_t>(read.count);
        return m_end > 0;
    }

    support::ByteStream& m_source;
    std::int64_t m_offset = 0;
    int m_error = 0;
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
std::string Grouped(std::size_t value) { return support::GroupThousands(value, ","); }

HeaderScan ScanLines(LineReader& reader, std::int64_t length)
{
    HeaderScan scan;
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

}  // namespace

HeaderScan ScanHeader(support::ByteStream& source)
{
    LineReader reader(source);
    HeaderScan scan = ScanLines(reader, source.Length());
    scan.readError = reader.Error();
    return scan;
}

}  // namespace vyr::album
