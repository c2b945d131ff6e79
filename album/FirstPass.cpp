#include "album/FirstPass.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>

#include "album/AlbumHeader.h"
#include "album/LineCount.h"
#include "support/NibbleTable.h"
#include "support/ReadBuffer.h"
#include "support/Text.h"
#include "support/Utf8.h"
#include "support/WindowReader.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VYR_X86 1
#endif

namespace vyr::album {

namespace {

using lines::kAlbumWrap;
using lines::kTags;
using lines::Tag;
// Longest tag but one byte: what a piece must carry over for a tag cut by its end.
constexpr std::size_t kCarryBytes = kAlbumWrap.size() - 1;

// A CR, or the tag that starts at `at` when it lies wholly inside the n bytes.
inline void Classify(const unsigned char* bytes, std::size_t n, std::size_t at, std::vector<LineEvent>& events)
{
    const auto offset = static_cast<std::uint32_t>(at);
    if (bytes[at] == '\r') {
        events.push_back({offset, LineMark::LineEnd});
        return;
    }
    for (const Tag& tag : kTags)
        if (n - at >= tag.text.size() && std::memcmp(bytes + at, tag.text.data(), tag.text.size()) == 0) {
            events.push_back({offset, tag.mark});
            return;
        }
}

void IndexScalar(const unsigned char* bytes, std::size_t n, std::size_t from, std::vector<LineEvent>& events)
{
    for (std::size_t i = from; i < n; ++i) {
        const unsigned char b = bytes[i];
        if (b == '\r' || b == 'E' || b == 'A' || b == 'I') Classify(bytes, n, i, events);
    }
}

#ifdef VYR_X86

// Every mask bit k means: byte k is a CR, or bytes k and k + 1 may begin a tag (E X, A l, I D,
// and a few false pairs such as E D that Classify drops).
void IndexSse2(const unsigned char* bytes, std::size_t n, std::vector<LineEvent>& events)
{
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i e = _mm_set1_epi8('E'), a = _mm_set1_epi8('A'), i = _mm_set1_epi8('I');
    const __m128i x = _mm_set1_epi8('X'), l = _mm_set1_epi8('l'), d = _mm_set1_epi8('D');
    std::size_t pos = 0;
    for (; pos + 17 <= n; pos += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos + 1));
        const __m128i starts =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(first, e), _mm_cmpeq_epi8(first, a)), _mm_cmpeq_epi8(first, i));
        const __m128i follows =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(second, x), _mm_cmpeq_epi8(second, l)), _mm_cmpeq_epi8(second, d));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(first, cr), _mm_and_si128(starts, follows))));
        while (mask != 0) {
            Classify(bytes, n, pos + static_cast<std::size_t>(__builtin_ctz(mask)), events);
            mask &= mask - 1;
        }
    }
    IndexScalar(bytes, n, pos, events);
}

// The tags' first bytes (E, A, I) have low nibbles of their own, and so have their second bytes
// (X, l, D).
constexpr auto kFirstBytes = support::NibbleTable<32>(lines::kTagFirstBytes);
constexpr auto kSecondBytes = support::NibbleTable<32>(lines::kTagSecondBytes);
static_assert(support::FitsNibbleTable(lines::kTagFirstBytes) && support::FitsNibbleTable(lines::kTagSecondBytes));

__attribute__((target("avx2"))) void IndexAvx2(const unsigned char* bytes, std::size_t n,
                                               std::vector<LineEvent>& events)
{
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kFirstBytes.data()));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kSecondBytes.data()));
    const __m256i cr = _mm256_set1_epi8('\r');
    std::size_t pos = 0;
    for (; pos + 33 <= n; pos += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos + 1));
        const __m256i pairs = lines::PairsAvx2(a, b, first, second);
        auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(pairs, _mm256_cmpeq_epi8(a, cr))));
        while (mask != 0) {
            Classify(bytes, n, pos + static_cast<std::size_t>(__builtin_ctz(mask)), events);
            mask &= mask - 1;
        }
    }
    IndexScalar(bytes, n, pos, events);
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

bool IsZipSignature(std::string_view first)
{
    static constexpr std::array<std::string_view, 3> kSignatures{
        std::string_view("PK\x03\x04", 4), std::string_view("PK\x05\x06", 4), std::string_view("PK\x07\x08", 4)};
    return std::find(kSignatures.begin(), kSignatures.end(), first) != kSignatures.end();
}

// Limits in messages, grouped as people read them: 32,767.
std::string Grouped(std::size_t value) { return support::GroupThousands(value, ","); }

std::string_view AsText(std::span<const unsigned char> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

bool LineIndexAvailable(LineIndexKind kind)
{
    switch (kind) {
#ifdef VYR_X86
    case LineIndexKind::Scalar:
    case LineIndexKind::Best:
    case LineIndexKind::Sse2: return true;
    case LineIndexKind::Avx2: return HasAvx2();
#else
    case LineIndexKind::Scalar:
    case LineIndexKind::Best: return true;
    case LineIndexKind::Sse2:
    case LineIndexKind::Avx2: return false;
#endif
    }
    return false;
}

void IndexLines(std::span<const unsigned char> bytes, std::vector<LineEvent>& events, LineIndexKind kind)
{
    const unsigned char* data = bytes.data();
    const std::size_t n = bytes.size();
#ifdef VYR_X86
    if (kind == LineIndexKind::Best) kind = HasAvx2() ? LineIndexKind::Avx2 : LineIndexKind::Sse2;
    if (kind == LineIndexKind::Avx2 && HasAvx2()) return IndexAvx2(data, n, events);
    if (kind != LineIndexKind::Scalar) return IndexSse2(data, n, events);
#endif
    (void)kind;
    IndexScalar(data, n, 0, events);
}

LineSummary SummarizeLines(std::span<const unsigned char> bytes, LineIndexKind kind)
{
    LineSummary summary;
#ifdef VYR_X86
    if ((kind == LineIndexKind::Best || kind == LineIndexKind::Avx2) && HasAvx2()) {
        lines::SummarizeAvx2(bytes.data(), bytes.size(), kFirstBytes.data(), kSecondBytes.data(), summary,
                             [](std::size_t) {});
        return summary;
    }
#endif
    (void)kind;
    lines::SummarizeScalar(bytes.data(), bytes.size(), 0, summary);
    return summary;
}

PieceIndex::PieceIndex(int slots, bool counting)
    : m_events(static_cast<std::size_t>(slots)),
      m_summaries(static_cast<std::size_t>(slots)),
      m_summarized(static_cast<std::size_t>(slots), 0),
      m_canSummarize(LineIndexAvailable(LineIndexKind::Avx2)),
      m_counting(counting)
{
}

void PieceIndex::Prepare(std::size_t slot, std::span<const unsigned char> bytes)
{
    // Without the vector unit, counting lines costs as much as following them.
    if (Summarizes()) return Prepare(slot, SummarizeLines(bytes));
    m_summarized[slot] = 0;
    m_events[slot].clear();
    IndexLines(bytes, m_events[slot]);
}

void PieceIndex::Prepare(std::size_t slot, const LineSummary& summary)
{
    m_summarized[slot] = 1;
    m_summaries[slot] = summary;
}

bool PieceIndex::Feed(FirstPass& pass, std::size_t slot, std::span<const unsigned char> bytes)
{
    const bool more = m_summarized[slot] != 0 ? pass.Feed(bytes, m_summaries[slot]) : pass.Feed(bytes, m_events[slot]);
    if (pass.Counting()) m_counting.store(true, std::memory_order_relaxed);
    return more;
}

FirstPass::FirstPass(std::int64_t fileLength) : m_fileLength(fileLength) {}

bool FirstPass::Feed(std::span<const unsigned char> bytes)
{
    if (m_done) return false;
    m_events.clear();
    IndexLines(bytes, m_events);
    return Feed(bytes, m_events);
}

bool FirstPass::Feed(std::span<const unsigned char> bytes, std::span<const LineEvent> events)
{
    if (m_done) return false;
    CheckZipSignature(bytes);
    if (m_done) return false;

    std::size_t lineStart = 0;
    if (m_skipLineFeed && !bytes.empty()) {
        m_skipLineFeed = false;
        if (bytes[0] == '\n') lineStart = 1;
    }
    if (!m_carry.empty()) CheckStraddlingTags(bytes.subspan(lineStart));
    for (const LineEvent& event : events) {
        if (event.mark != LineMark::LineEnd) {
            Mark(event.mark);
            continue;
        }
        AppendToLine(bytes.subspan(lineStart, event.offset - lineStart));
        EndLine();
        if (m_done) return false;
        lineStart = event.offset + std::size_t{1};
        if (lineStart == bytes.size())
            m_skipLineFeed = true;
        else if (bytes[lineStart] == '\n')
            ++lineStart;
    }
    const std::span<const unsigned char> rest = bytes.subspan(lineStart);
    AppendToLine(rest);
    CarryOver(rest);
    return true;
}

bool FirstPass::Feed(std::span<const unsigned char> bytes, const LineSummary& summary)
{
    if (m_done) return false;
    return Skim(bytes, summary) || Feed(bytes);
}

// The lines of a piece counted from its summary, with the state EndLine would leave after each
// of them in turn. That needs a header already refused, so that no line is stored, or a line too
// long to store that the piece does not end (its end would refuse the header); no tag that could
// give a verdict, in the piece or in the line it continues; and a header length that stays
// within half of the file, which it then did at every line end before. False, with nothing
// changed, for a piece that must be followed line by line.
bool FirstPass::Skim(std::span<const unsigned char> bytes, const LineSummary& summary)
{
    const bool onlyCounted = m_refusal || (m_overlong && summary.lineEnds == 0);
    // Either state comes after more than 4 bytes, so the ZIP test is behind it.
    if (!onlyCounted || bytes.empty() || summary.verdictTag || m_hasExtBin || m_hasAlbumWrap) return false;
    const std::size_t lineStart = m_skipLineFeed && bytes[0] == '\n' ? 1 : 0;
    const unsigned straddling = m_carry.empty() ? 0u : StraddlingMarks(bytes.subspan(lineStart));
    if ((straddling & ~(1u << static_cast<unsigned>(LineMark::Id3))) != 0) return false;

    std::size_t restStart = lineStart;
    bool hasId3 = m_hasId3 || straddling != 0;
    if (summary.lineEnds > 0) {
        const auto last = static_cast<std::size_t>(summary.lastLineEnd);
        const bool lastPaired = last + 1 < bytes.size() && bytes[last + 1] == '\n';
        // Each line adds its bytes and 2; the line ends themselves are no line's bytes.
        const auto content = static_cast<std::int64_t>(last - lineStart) - (summary.lineEnds - 1) -
                             (summary.pairedEnds - (lastPaired ? 1 : 0));
        const std::int64_t length = m_scan.headerLength + m_lineLength + content + 2 * std::int64_t{summary.lineEnds};
        if (2 * length > m_fileLength) return false;
        m_scan.headerLength = length;
        m_scan.linesCounted += static_cast<int>(summary.lineEnds);
        m_lineLength = 0;
        m_overlong = false;
        m_carry.clear();
        restStart = last + 1 + (lastPaired ? 1 : 0);
        hasId3 = summary.lastId3 >= static_cast<std::int64_t>(restStart);
        m_skipLineFeed = last + 1 == bytes.size();
    } else {
        hasId3 = hasId3 || summary.lastId3 >= 0;
        m_skipLineFeed = false;
    }
    m_hasId3 = hasId3;
    const std::span<const unsigned char> rest = bytes.subspan(restStart);
    m_lineLength += static_cast<std::int64_t>(rest.size());
    CarryOver(rest);
    return true;
}

// The line's last bytes, for a tag that the next piece completes.
void FirstPass::CarryOver(std::span<const unsigned char> rest)
{
    m_carry.append(AsText(rest.last(std::min(rest.size(), kCarryBytes))));
    if (m_carry.size() > kCarryBytes) m_carry.erase(0, m_carry.size() - kCarryBytes);
}

// Only a real ZIP signature at the very start makes an archive: a "PK" inside a title does not.
// Its four bytes hold no CR, so no line can have ended before they are known.
void FirstPass::CheckZipSignature(std::span<const unsigned char> bytes)
{
    if (m_head.size() >= 4) return;
    m_head.append(AsText(bytes.first(std::min(bytes.size(), 4 - m_head.size()))));
    if (m_head.size() == 4 && IsZipSignature(m_head)) {
        m_scan = HeaderScan{};
        m_scan.kind = HeaderKind::ZipArchive;
        m_done = true;
    }
}

// A tag that began in the last piece and goes on in this one: the index of neither saw it whole.
void FirstPass::CheckStraddlingTags(std::span<const unsigned char> bytes)
{
    const unsigned marks = StraddlingMarks(bytes);
    for (const Tag& tag : kTags)
        if ((marks & (1u << static_cast<unsigned>(tag.mark))) != 0) Mark(tag.mark);
}

unsigned FirstPass::StraddlingMarks(std::span<const unsigned char> bytes) const
{
    std::string edge = m_carry;
    edge.append(AsText(bytes.first(std::min(bytes.size(), kCarryBytes))));
    unsigned marks = 0;
    for (const Tag& tag : kTags)
        for (std::size_t start = 0; start < m_carry.size(); ++start)
            if (start + tag.text.size() > m_carry.size() && edge.compare(start, tag.text.size(), tag.text) == 0)
                marks |= 1u << static_cast<unsigned>(tag.mark);
    return marks;
}

void FirstPass::Mark(LineMark mark)
{
    switch (mark) {
    case LineMark::ExtBin: m_hasExtBin = true; break;
    case LineMark::AlbumWrap: m_hasAlbumWrap = true; break;
    case LineMark::Id3: m_hasId3 = true; break;
    case LineMark::LineEnd: break;
    }
}

// Only the first kMaxStoredLineBytes of a line are kept, and nothing once the header has been
// refused; the line is still measured and searched for the tags the verdict depends on, so a
// file of one enormous line costs no memory.
void FirstPass::AppendToLine(std::span<const unsigned char> segment)
{
    m_lineLength += static_cast<std::int64_t>(segment.size());
    if (m_refusal || m_overlong) return;
    const std::size_t room = kMaxStoredLineBytes - m_lineText.size();
    if (segment.size() > room) {
        segment = segment.first(room);
        m_overlong = true;
    }
    m_lineText.append(AsText(segment));
}

void FirstPass::EndLine()
{
    if (m_hasAlbumWrap && m_hasId3) {
        m_scan.kind = HeaderKind::AlbumWrap;
        m_done = true;
        return;
    }
    ++m_scan.linesCounted;
    m_scan.headerLength += m_lineLength + 2;
    if (m_hasExtBin) {
        m_scan.kind = HeaderKind::Album;
        m_scan.refusal = std::move(m_refusal);
        m_done = true;
        return;
    }

    // Element 0 is overwritten until the first non-empty line, so empty lines at the top count
    // in the header length but store nothing.
    std::vector<std::string>& lines = m_scan.lines;
    if (!m_refusal && !m_overlong && m_lineText.size() > kMaxKeptNameBytes &&
        ClassifyLine(m_lineText) == LineKind::FileName) {
        m_lineText.resize(support::utf8::Prefix(m_lineText, kMaxKeptNameBytes).size());
        m_lineText.shrink_to_fit();
    }
    if (!m_refusal) {
        if (m_overlong)
            m_refusal = "A header line is longer than " + Grouped(kMaxStoredLineBytes) + " bytes.";
        else if (!lines.front().empty() && lines.size() >= kMaxHeaderLines)
            m_refusal = "The header has more than " + Grouped(kMaxHeaderLines) + " lines.";
        else if (m_storedBytes + m_lineText.size() > kMaxStoredHeaderBytes)
            m_refusal = "The header is larger than " + Grouped(kMaxStoredHeaderBytes) + " bytes.";
    }
    if (!m_refusal) {
        if (!lines.front().empty()) lines.emplace_back();
        m_storedBytes += m_lineText.size();
        lines.back() = std::move(m_lineText);
    }

    // More than half of the file is header text: this is no album. Exactly half reads on.
    if (2 * m_scan.headerLength > m_fileLength) m_done = true;

    m_lineLength = 0;
    m_lineText.clear();
    m_overlong = m_hasExtBin = m_hasAlbumWrap = m_hasId3 = false;
    m_carry.clear();
}

HeaderScan FirstPass::Finish(int readError)
{
    if (!m_done && m_lineLength > 0) EndLine();
    m_done = true;
    m_scan.readError = readError;
    return std::move(m_scan);
}

HeaderScan ScanHeader(support::ByteStream& source, const std::function<bool()>& stopRequested)
{
    const auto stopped = [&](FirstPass& pass) {
        HeaderScan scan = pass.Finish();
        scan.stopped = true;
        return scan;
    };
    // A header is small: the first read is too, on this thread.
    constexpr std::size_t kFirstPiece = std::size_t{64} << 10;
    FirstPass pass(source.Length());
    support::ReadBuffer first(kFirstPiece);
    const support::IoResult read = source.ReadAt(0, first.For(0));
    if (!read.Ok()) return pass.Finish(read.error);
    if (read.count == 0 || !pass.Feed(first.For(0).first(read.count)) || read.count < kFirstPiece) return pass.Finish();

    // A file without one is read on to half its length: on reader threads that also find the
    // line ends and tags, while this thread follows the lines.
    support::WindowLayout layout;
    // Windows of a sixteenth of the file, 256 KiB to 1 MiB: a large file is read in large
    // pieces, and a header of moderate size is not outweighed by the buffers that read it.
    layout.size = std::clamp(std::bit_floor(static_cast<std::size_t>(source.Length()) / 16), std::size_t{256} << 10,
                             std::size_t{1} << 20);
    layout.slots = 3;
    layout.from = static_cast<std::int64_t>(kFirstPiece);
    PieceIndex index(layout.slots, pass.Counting());
    support::WindowReader windows(
        source, layout, [&index](const support::Window& window) { index.Prepare(window.slot, window.Read()); });
    while (const support::Window* window = windows.Next()) {
        // A file without a line end is read to half its length: gigabytes, for a large one.
        if (stopRequested && stopRequested()) return stopped(pass);
        if (window->error != 0) return pass.Finish(window->error);
        if (!index.Feed(pass, window->slot, window->Read())) break;
        // A file that shrank since it was measured ends where its bytes did.
        if (window->readEnd < window->ownEnd) break;
    }
    return pass.Finish();
}

}  // namespace vyr::album
