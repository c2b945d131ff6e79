#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/ByteStream.h"

namespace vyr::album {

// What the first pass over a file found it to be.
enum class HeaderKind { Album, ZipArchive, AlbumWrap, NoHeader };

// The limits of the format: header lines are indexed with signed 16-bit numbers. The other two
// guard memory against hostile files; no real header comes near them.
inline constexpr int kMaxHeaderLines = 32'767;
inline constexpr std::size_t kMaxStoredLineBytes = 1 << 20;
// With the texts made of them, which take up to three times the bytes, the whole run stays well
// under 64 MiB.
inline constexpr std::size_t kMaxStoredHeaderBytes = 8u << 20;
// A file-name line longer than this is kept cut to it: no file system takes such a name (Windows
// takes 255 UTF-16 units, at most 765 bytes of UTF-8), so the extraction refuses it all the same,
// and a megabyte of name is never held, copied or reported.
inline constexpr std::size_t kMaxKeptNameBytes = 1024;

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
    // The caller asked the pass to stop before it had its verdict, which is then void too.
    bool stopped = false;
};

// What a piece of the file holds that the line rules look at: each line end (CR) and each tag
// the verdict depends on, in offset order.
enum class LineMark : std::uint8_t { LineEnd, ExtBin, AlbumWrap, Id3 };

struct LineEvent {
    std::uint32_t offset;  // from the start of the piece
    LineMark mark;
};

enum class LineIndexKind { Scalar, Sse2, Avx2, Best };

// False when this build or this processor cannot run that kind.
bool LineIndexAvailable(LineIndexKind kind);

// Appends the events of `bytes` (at most 4 GiB): every CR, and every tag that lies wholly inside
// the bytes. A tag cut by the end of the piece is left to the piece that follows it. Pure, so a
// reader thread can index a piece while the pass is still busy with the one before.
void IndexLines(std::span<const unsigned char> bytes, std::vector<LineEvent>& events,
                LineIndexKind kind = LineIndexKind::Best);

// What a piece holds for a pass that only counts its lines, once the header has been refused and
// no line is stored any more: its line ends, and the tags in it.
struct LineSummary {
    std::uint32_t lineEnds = 0;  // CRs
    std::uint32_t pairedEnds = 0;  // CRs with an LF right after them inside the piece
    std::int64_t lastLineEnd = -1;  // offset of the last CR
    std::int64_t lastId3 = -1;  // offset of the last "ID3" that lies wholly inside
    bool verdictTag = false;  // an "EXTBIN" or "AlbumWrap" lies wholly inside
};

// The summary of `bytes` (at most 4 GiB). Pure, as IndexLines is.
LineSummary SummarizeLines(std::span<const unsigned char> bytes, LineIndexKind kind = LineIndexKind::Best);

// The first pass, fed the file front to back in pieces of any size: lines end at a CR, a LF right
// after it belongs to that line end, a lone LF stays in the line. It reads until "EXTBIN", the
// end of the file, or the header length passing half of the file's length, and never needs the
// track data: Feed says when the verdict stands.
class FirstPass {
public:
    explicit FirstPass(std::int64_t fileLength);

    // The next bytes of the file. False once the verdict stands; later bytes are not looked at.
    bool Feed(std::span<const unsigned char> bytes);
    // The same, with the events IndexLines found in exactly these bytes.
    bool Feed(std::span<const unsigned char> bytes, std::span<const LineEvent> events);
    // The same, with the summary SummarizeLines made of exactly these bytes. A piece that only
    // adds to the count of lines is counted from it; any other is followed line by line.
    bool Feed(std::span<const unsigned char> bytes, const LineSummary& summary);

    bool Done() const { return m_done; }
    // The header has been refused, or the pass is in a line too long to store that will refuse it
    // where it ends: from here on lines are only counted, and pieces with a LineSummary go fastest.
    bool Counting() const { return m_refusal.has_value() || m_overlong; }
    // The verdict. Before it stood, the end of the file (or a read that failed with readError)
    // ends the pass: text after the last line end is then a line when it is not empty.
    HeaderScan Finish(int readError = 0);

private:
    void CheckZipSignature(std::span<const unsigned char> bytes);
    void CheckStraddlingTags(std::span<const unsigned char> bytes);
    // Which tags (a bit for each LineMark) begin in the carried bytes and end in these.
    unsigned StraddlingMarks(std::span<const unsigned char> bytes) const;
    bool Skim(std::span<const unsigned char> bytes, const LineSummary& summary);
    void CarryOver(std::span<const unsigned char> rest);
    void Mark(LineMark mark);
    void AppendToLine(std::span<const unsigned char> segment);
    void EndLine();

    std::int64_t m_fileLength;
    bool m_done = false;
    HeaderScan m_scan;
    std::size_t m_storedBytes = 0;
    // Why the header cannot be loaded, once a line passed a limit; told only if it is an album.
    std::optional<std::string> m_refusal;
    std::string m_head;  // the file's first bytes, up to the four of a ZIP signature
    std::vector<LineEvent> m_events;

    // The line being read.
    std::int64_t m_lineLength = 0;
    std::string m_lineText;  // kept only while lines are still stored, up to kMaxStoredLineBytes
    bool m_overlong = false;
    bool m_hasExtBin = false;
    bool m_hasAlbumWrap = false;
    bool m_hasId3 = false;
    std::string m_carry;  // the line's last bytes, for a tag cut by the end of a piece
    bool m_skipLineFeed = false;  // the last piece ended with a CR
};

// What reader threads find in the pieces of a stream for the pass that follows it on another
// thread, one result for each of a reader's slots: every line end and tag, or once the pass only
// counts, the summary. Prepare runs on a reader thread, Feed on the pass's own, after
// the piece in that slot was prepared.
class PieceIndex {
public:
    // `counting`: the pass only counted before its first piece.
    PieceIndex(int slots, bool counting);
    void Prepare(std::size_t slot, std::span<const unsigned char> bytes);
    // Whether Prepare would summarize a piece now, not follow its lines: a reader may then hand
    // it a summary made along with a search of its own.
    bool Summarizes() const { return m_canSummarize && m_counting.load(std::memory_order_relaxed); }
    // Prepare, for a piece already summarized (as SummarizeLines does).
    void Prepare(std::size_t slot, const LineSummary& summary);
    // The pass fed the piece that Prepare saw in that slot; false once the verdict stands.
    bool Feed(FirstPass& pass, std::size_t slot, std::span<const unsigned char> bytes);

private:
    std::vector<std::vector<LineEvent>> m_events;
    std::vector<LineSummary> m_summaries;
    std::vector<std::uint8_t> m_summarized;  // not vector<bool>: readers write their slots at once
    bool m_canSummarize;
    std::atomic<bool> m_counting{false};
};

// The first pass over a whole stream, read front to back in large pieces. `stopRequested` is
// asked before each piece; once it answers true the pass ends, stopped.
HeaderScan ScanHeader(support::ByteStream& source, const std::function<bool()>& stopRequested = {});

}  // namespace vyr::album
