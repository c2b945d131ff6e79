#include "recovery/FrameWalk.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "recovery/ApeTag.h"
#include "recovery/FrameReader.h"
#include "recovery/Id3v1Tag.h"
#include "recovery/Lyrics3Tag.h"
#include "recovery/MpegHeader.h"
#include "recovery/VbrHeader.h"

namespace vyr::recovery {

namespace {

// A frame header with room behind it for a VBRI header's counts.
constexpr std::size_t kProbeBytes = 64;
// How far ahead of the walk the bytes are asked for.
constexpr std::size_t kPrefetchAhead = 8192;
// Zero bytes that some taggers leave after a tag without counting them in its size.
constexpr std::int64_t kMaxPaddingAfterTags = std::int64_t{64} << 10;
// How far from where an ID3v2 tag says it ends its frames may begin when a tagger wrote its
// size wrong.
constexpr std::int64_t kTagSizeSlack = 1024;
// The longest stretch of junk after which a track's own stream, or its trailing tags, may go
// on: a few lost sectors.
constexpr std::int64_t kMaxDamageBytes = std::int64_t{64} << 10;
// Zeros in a row that tell a lost sector from other junk: a run this long is no encoder's.
constexpr std::int64_t kLostSectorZeros = 256;
// Items an APE tag without a header is followed through to find its footer.
constexpr int kMaxApeItems = 256;

using Bytes = std::span<const unsigned char>;

bool StartsWith(Bytes bytes, std::string_view text)
{
    return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

// What a candidate costs before anything is parsed: four bytes that could be a frame header.
// MpegHeader::Parse says the same; this spares a file of FF bytes a call per byte.
bool CouldBeHeader(const unsigned char* b)
{
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x18) != 0x08 && (b[1] & 0x06) != 0 &&
           (b[2] & 0xF0) != 0xF0 && (b[2] & 0xF0) != 0 && (b[2] & 0x0C) != 0x0C && (b[3] & 0x03) != 0x02;
}

bool CouldBeId3v2(const unsigned char* b) { return b[0] == 'I' && b[1] == 'D' && b[2] == '3'; }

// A Layer III frame's main_data_begin: how many bytes of the frames before it its audio data
// begins in (9 bits after the header and its CRC in MPEG-1, 8 in MPEG-2); -1 for other layers.
int MainDataBegin(const MpegHeader& header, Bytes frame)
{
    const std::size_t at = MpegHeader::kBytes + (header.crc ? 2 : 0);
    if (header.layer != 3 || frame.size() < at + 2) return -1;
    return header.version == MpegHeader::Version::Mpeg1 ? (frame[at] << 1) | (frame[at + 1] >> 7) : frame[at];
}

// The first index below `end` (which leaves four bytes to look at) where a frame header or an
// ID3v2 tag could begin, or `end`.
std::size_t FindCandidate(const unsigned char* bytes, std::size_t end)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i id = _mm_set1_epi8('I');
    for (; i + 16 <= end; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        auto mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, ff), _mm_cmpeq_epi8(v, id))));
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (CouldBeHeader(bytes + at) || CouldBeId3v2(bytes + at)) return at;
        }
    }
#endif
    for (; i < end; ++i)
        if (CouldBeHeader(bytes + i) || CouldBeId3v2(bytes + i)) return i;
    return end;
}

// Decodes each distinct four-byte header once: a stream repeats a handful of them, and the
// decoding's division would otherwise cost as much as reading the file.
class HeaderCache {
public:
    std::optional<MpegHeader> Parse(Bytes bytes)
    {
        if (bytes.size() < MpegHeader::kBytes) return std::nullopt;
        const std::uint32_t key = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                  (std::uint32_t{bytes[2]} << 8) | bytes[3];
        Slot& slot = m_slots[(bytes[1] ^ bytes[2] ^ (bytes[3] >> 2)) % kSlots];
        if (!slot.filled || slot.key != key) slot = Slot{key, true, MpegHeader::Parse(bytes)};
        return slot.header;
    }

private:
    static constexpr std::size_t kSlots = 64;
    struct Slot {
        std::uint32_t key = 0;
        bool filled = false;
        std::optional<MpegHeader> header;
    };
    Slot m_slots[kSlots];
};

// The headers of one stream's frames. A stream repeats a handful of them, so each is decoded
// and checked against the stream once; a frame then costs a compare of its header, and of the
// places where a VBR header would begin.
class StreamHeaders {
public:
    explicit StreamHeaders(const MpegHeader& head) : m_head(head) {}

    // The length of the frame whose bytes (kProbeBytes of them where the file has them) begin
    // here when it goes on the stream, else 0. A frame after the first that holds a VBR header
    // begins another stream.
    int ChainedFrameBytes(Bytes bytes, HeaderCache& headers, bool first)
    {
        if (bytes.size() < MpegHeader::kBytes) return 0;
        const std::uint32_t word = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                   (std::uint32_t{bytes[2]} << 8) | bytes[3];
        Slot& slot = m_slots[(word ^ (word >> 10)) % kSlots];
        if (!slot.filled || slot.word != word) {
            const auto header = headers.Parse(bytes);
            slot = Slot{word,
                        true,
                        header && header->SameStream(m_head) ? header->frameBytes : 0,
                        header ? header->SideInfoEnd() : 0,
                        header && header->crc,
                        header.value_or(MpegHeader())};
        }
        if (slot.frameBytes == 0 || first || !MaybeVbr(bytes, slot)) return slot.frameBytes;
        return VbrHeader::Parse(slot.header, bytes) ? 0 : slot.frameBytes;
    }

private:
    static constexpr std::size_t kSlots = 16;
    struct Slot {
        std::uint32_t word = 0;
        bool filled = false;
        int frameBytes = 0;
        std::size_t sideInfoEnd = 0;
        bool crc = false;
        MpegHeader header;
    };

    // Whether "Xing", "Info" or "VBRI" stands where VbrHeader::Parse looks for it.
    static bool MaybeVbr(Bytes bytes, const Slot& slot)
    {
        const auto has = [bytes](std::size_t at, const char* text) {
            return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, text, 4) == 0;
        };
        const std::size_t at = slot.sideInfoEnd;
        return has(at, "Xing") || has(at, "Info") || (slot.crc && (has(at - 2, "Xing") || has(at - 2, "Info"))) ||
               has(36, "VBRI");
    }

    MpegHeader m_head;
    Slot m_slots[kSlots];
};

// The walk's work, in units of about one byte looked at. What a candidate or a frame costs is
// bounded by itself. What may cost more (a second tag in a row, the bytes far behind a tag, a
// search around a tag's end or across junk in a stream) is paid from an allowance that grows
// with every byte the walk leaves behind, so no file, whatever its bytes, costs more than a
// fixed multiple of its length. Real files spend a little of it at each track's seams; a file
// built to send the walk back and forth spends it all, and the rest of its checks are refused.
class WorkMeter {
public:
    static constexpr std::int64_t kPerByte = 8;
    static constexpr std::int64_t kMaxSaved = std::int64_t{16} << 20;

    void Count(std::int64_t units) { m_work += units; }
    bool Spend(std::int64_t units)
    {
        if (units > m_allowance) return false;
        m_allowance -= units;
        m_work += units;
        return true;
    }
    void Passed(std::int64_t bytes) { m_allowance = std::min(kMaxSaved, m_allowance + kPerByte * bytes); }
    std::int64_t Work() const { return m_work; }

private:
    std::int64_t m_allowance = kMaxSaved;
    std::int64_t m_work = 0;
};

// What a far read costs: a system call and a copy of FrameReader::kFarBytes.
constexpr std::int64_t kFarReadUnits = std::int64_t{32} << 10;
// What following one more tag or APE item costs.
constexpr std::int64_t kStepUnits = 64;

class Walker {
public:
    Walker(support::ByteStream& source, WalkListener* listener, const FrameWalkOptions& options)
        : m_reader(source, options.bufferBytes), m_listener(listener), m_options(options)
    {
    }

    FrameWalkResult Run();

private:
    // How a stream goes on after junk where its next frame should be.
    struct Resumption {
        enum class Kind { Frames, TrailingTags } kind = Kind::Frames;
        std::int64_t at = 0;
    };
    struct Chain {
        int frames = 0;
        std::int64_t end = 0;
    };
    // ID3v2 tags in a row and the frames behind them.
    struct Lead {
        std::int64_t tagsEnd = 0;  // behind the last tag and the zeros a tagger left after it
        std::int64_t frames = 0;  // where the frames begin: tagsEnd, or near it for a wrong size
    };

    std::int64_t Length() const { return m_reader.Length(); }
    Bytes Peek(std::int64_t offset, std::size_t want);
    bool MoveTo(std::int64_t floor);
    std::optional<MpegHeader> HeaderAt(std::int64_t offset) { return m_headers.Parse(Peek(offset, 4)); }
    bool VbrFrameAt(std::int64_t offset, const MpegHeader& header)
    {
        return VbrHeader::Parse(header, Peek(offset, kProbeBytes)).has_value();
    }
    Chain ChainFrom(std::int64_t first, const MpegHeader& head);
    bool CleanBoundaryAt(std::int64_t offset);
    bool ChainStarts(std::int64_t first, bool tagged);
    std::int64_t ZerosFrom(std::int64_t offset);
    bool TagStartsAt(std::int64_t offset);
    std::optional<std::int64_t> FramesNear(std::int64_t from, std::int64_t tagsEnd, std::int64_t to);
    std::optional<Lead> FramesBehindTags(std::int64_t offset, bool onlyOne);
    bool TrackStartsAt(std::int64_t offset);
    std::optional<std::int64_t> TrackStartInside(std::int64_t from, std::int64_t to);
    std::optional<Resumption> ResumeAfterJunk(std::int64_t from, const MpegHeader& head);
    std::int64_t WalkStream(std::int64_t first, const MpegHeader& head, WalkedTrack& track);
    std::optional<std::int64_t> ApeTagEnd(std::int64_t offset, const ApeTag& tag);
    std::optional<std::int64_t> FooterOnlyApeTagEnd(std::int64_t offset);
    std::int64_t SkipTrailingTags(std::int64_t offset, WalkedTrack& track);
    void ReadLeadingNames(std::int64_t offset, WalkedTrack& track);
    std::optional<WalkedTrack> TrackAt(std::int64_t offset);
    std::int64_t NextCandidate(std::int64_t from);
    bool Report(std::int64_t offset);

    FrameReader m_reader;
    HeaderCache m_headers;
    WorkMeter m_meter;
    WalkListener* m_listener;
    FrameWalkOptions m_options;
    std::int64_t m_floor = 0;
    std::int64_t m_nextReport = 0;
    bool m_stopped = false;
};

void AddDamage(WalkedTrack& track, ByteRange range)
{
    if (range.byteCount <= 0) return;
    if (!track.damaged.empty() && track.damaged.back().End() == range.offset) {
        track.damaged.back().byteCount += range.byteCount;
    } else if (track.damaged.size() < WalkedTrack::kMaxDamaged) {
        track.damaged.push_back(range);
    } else {
        track.damaged.back().byteCount = range.End() - track.damaged.back().offset;
    }
}

// The bytes for a structure at `offset`: from the buffer, or from a far read that the
// allowance pays for. None when the allowance is spent: the structure then counts as absent.
Bytes Walker::Peek(std::int64_t offset, std::size_t want)
{
    m_meter.Count(1);
    if (!m_reader.Reaches(offset, want) && !m_meter.Spend(kFarReadUnits)) return {};
    return m_reader.At(offset, want);
}

// The walk needs nothing before `floor` again: the bytes passed pay into the allowance, and
// the listener hears of the progress.
bool Walker::MoveTo(std::int64_t floor)
{
    if (floor > m_floor) {
        m_meter.Passed(floor - m_floor);
        m_floor = floor;
        m_reader.Release(floor);
    }
    return Report(floor);
}

bool Walker::Report(std::int64_t offset)
{
    if (m_stopped) return false;
    if (offset < m_nextReport) return true;
    m_nextReport = offset + m_options.progressStep;
    if (m_listener != nullptr && !m_listener->OnBlock(std::min(offset, Length() - 1) + 1, Length())) m_stopped = true;
    return !m_stopped;
}

Walker::Chain Walker::ChainFrom(std::int64_t first, const MpegHeader& head)
{
    Chain chain{0, first};
    while (chain.frames < m_options.resyncFrames && chain.end < Length()) {
        const Bytes bytes = Peek(chain.end, kProbeBytes);
        const auto header = m_headers.Parse(bytes);
        if (!header || !header->SameStream(head) || (chain.frames > 0 && VbrHeader::Parse(*header, bytes))) break;
        chain.end += header->frameBytes;
        ++chain.frames;
    }
    return chain;
}

// Where a short chain may end and still be a track's: the file's end, a tag, or the first
// frame of another stream.
bool Walker::CleanBoundaryAt(std::int64_t offset)
{
    if (offset >= Length() || TagStartsAt(offset)) return true;
    const auto header = HeaderAt(offset);
    return header && VbrFrameAt(offset, *header);
}

bool Walker::ChainStarts(std::int64_t first, bool tagged)
{
    const auto head = HeaderAt(first);
    if (!head) return false;
    const Chain chain = ChainFrom(first, *head);
    if (chain.frames >= m_options.resyncFrames) return true;
    // Behind an ID3v2 tag one frame is enough; a bare sync needs a second one to be believed.
    if (chain.frames < (tagged ? 1 : 2)) return false;
    return CleanBoundaryAt(chain.end);
}

// Where the zero bytes from `offset` on end, at most kMaxPaddingAfterTags on. A run of them
// is paid for as it is read.
std::int64_t Walker::ZerosFrom(std::int64_t offset)
{
    constexpr std::int64_t kChunk = 4096;
    std::int64_t at = offset;
    const std::int64_t limit = std::min(Length(), offset + kMaxPaddingAfterTags);
    while (at < limit) {
        const Bytes bytes = Peek(at, 1);
        if (bytes.empty() || bytes[0] != 0) return at;
        const std::int64_t run = std::min({limit - at, kChunk, static_cast<std::int64_t>(bytes.size())});
        if (!m_meter.Spend(run)) return at;
        const Bytes zeros = bytes.first(static_cast<std::size_t>(run));
        const auto nonZero = std::find_if(zeros.begin(), zeros.end(), [](unsigned char b) { return b != 0; });
        at += nonZero - zeros.begin();
        if (nonZero != zeros.end()) return at;
    }
    return at;
}

bool Walker::TagStartsAt(std::int64_t offset)
{
    const Bytes bytes = Peek(offset, 12);
    return Id3v2Tag::Parse(bytes) || StartsWith(bytes, "TAG") || StartsWith(bytes, "APETAGEX") ||
           StartsWith(bytes, "LYRICSBEGIN");
}

// The first offset in [from, to) where frames begin that would start a track on their own,
// short of a tag from `tagsEnd` on: frames behind another tag are that tag's.
std::optional<std::int64_t> Walker::FramesNear(std::int64_t from, std::int64_t tagsEnd, std::int64_t to)
{
    if (from >= to || !m_meter.Spend(to - from)) return std::nullopt;
    const Bytes bytes = Peek(from, static_cast<std::size_t>(to - from) + 3);
    if (bytes.size() < 4) return std::nullopt;
    const std::size_t end = std::min(bytes.size() - 3, static_cast<std::size_t>(to - from));
    for (std::size_t i = 0; i < end; ++i) {
        const std::int64_t at = from + static_cast<std::int64_t>(i);
        if (at >= tagsEnd && CouldBeId3v2(bytes.data() + i) && TagStartsAt(at)) return std::nullopt;
        if (CouldBeHeader(bytes.data() + i) && ChainStarts(at, false)) return at;
    }
    return std::nullopt;
}

// Where the frames behind the ID3v2 tags in a row at `offset` begin, when they do: right behind
// the tags, behind the zeros a tagger may leave uncounted, or, when the last tag's size is
// wrong by a little, where a chain of frames begins within kTagSizeSlack of where it says it
// ends. With onlyOne the tag at `offset` must be followed by the frames themselves.
std::optional<Walker::Lead> Walker::FramesBehindTags(std::int64_t offset, bool onlyOne)
{
    std::int64_t p = offset;
    std::int64_t last = offset;
    for (int tags = 0;; ++tags) {
        // The first tag is the candidate's own cost; each one more is paid for.
        if (tags > 0 && !m_meter.Spend(kStepUnits)) return std::nullopt;
        const auto tag = Id3v2Tag::Parse(Peek(p, Id3v2Tag::kHeaderBytes));
        if (!tag) {
            if (tags == 0) return std::nullopt;
            break;
        }
        if (tag->TotalBytes() > Length() - p) return std::nullopt;  // cut short: no tag of a whole track
        last = p;
        p += tag->TotalBytes();
        if (onlyOne) {
            if (Id3v2Tag::Parse(Peek(p, Id3v2Tag::kHeaderBytes))) return std::nullopt;
            break;
        }
    }
    if (ChainStarts(p, true)) return Lead{p, p};
    const std::int64_t zeros = ZerosFrom(p);
    if (zeros > p && ChainStarts(zeros, true)) return Lead{zeros, zeros};
    // The size is believed where the tag ends at the file's end or at another tag.
    if (zeros >= Length() || TagStartsAt(zeros)) return std::nullopt;
    const auto near = FramesNear(std::max(last + static_cast<std::int64_t>(Id3v2Tag::kHeaderBytes), p - kTagSizeSlack),
                                 p, std::min(Length(), zeros + kTagSizeSlack));
    if (!near) return std::nullopt;
    return Lead{zeros, *near};
}

bool Walker::TrackStartsAt(std::int64_t offset)
{
    const Bytes bytes = Peek(offset, 4);
    if (bytes.size() < 4) return false;
    if (CouldBeId3v2(bytes.data())) return FramesBehindTags(offset, false).has_value();
    return ChainStarts(offset, false);
}

// The first offset in [from, to) where a track starts: the next track, begun inside a last
// frame that was cut short.
std::optional<std::int64_t> Walker::TrackStartInside(std::int64_t from, std::int64_t to)
{
    const Bytes bytes = Peek(from, static_cast<std::size_t>(to - from) + 3);
    if (bytes.size() < 4) return std::nullopt;
    const std::size_t end = std::min(bytes.size() - 3, static_cast<std::size_t>(to - from));
    m_meter.Count(static_cast<std::int64_t>(end));
    for (std::size_t i = 0; (i += FindCandidate(bytes.data() + i, end - i)) < end; ++i)
        if (TrackStartsAt(from + static_cast<std::int64_t>(i))) return from + static_cast<std::int64_t>(i);
    return std::nullopt;
}

// After junk where a stream's next frame should be: where, within kMaxDamageBytes, its own
// frames go on or its trailing tags begin. Nothing when another track begins first, or nothing
// does. Frames of the same kind go on the stream only where the junk holds a lost sector (a
// run of zeros) or where their first frame draws on bytes before it: a file's first frame never
// does, so the frames of another file of the same kind begin a track of their own.
std::optional<Walker::Resumption> Walker::ResumeAfterJunk(std::int64_t from, const MpegHeader& head)
{
    const std::int64_t limit = std::min(Length(), from + kMaxDamageBytes);
    if (!m_meter.Spend(limit - from)) return std::nullopt;
    std::int64_t zeros = 0;  // the zero bytes in a row so far, and the longest such run
    std::int64_t longestZeros = 0;
    for (std::int64_t at = from; at < limit;) {
        const Bytes bytes = Peek(at, static_cast<std::size_t>(std::min<std::int64_t>(limit - at, 4096)));
        if (bytes.size() < 4) break;
        const std::size_t end = std::min(bytes.size() - 3, static_cast<std::size_t>(limit - at));
        std::size_t i = 0;
        for (; i < end; ++i) {
            const unsigned char b = bytes[i];
            zeros = b == 0 ? zeros + 1 : 0;
            longestZeros = std::max(longestZeros, zeros);
            if (b != 0xFF && b != 'I' && b != 'T' && b != 'A' && b != 'L') continue;
            const std::int64_t x = at + static_cast<std::int64_t>(i);
            if (b == 0xFF) {
                if (!CouldBeHeader(bytes.data() + i)) continue;
                const auto header = HeaderAt(x);
                if (!header) continue;
                if (header->SameStream(head) && ChainFrom(x, *header).frames >= m_options.resyncFrames &&
                    !VbrFrameAt(x, *header)) {
                    if (longestZeros >= kLostSectorZeros || MainDataBegin(*header, Peek(x, kProbeBytes)) > 0)
                        return Resumption{Resumption::Kind::Frames, x};
                    return std::nullopt;
                }
                if (ChainStarts(x, false)) return std::nullopt;
                continue;
            }
            if (!TagStartsAt(x)) continue;
            if (b == 'I' && FramesBehindTags(x, false)) return std::nullopt;
            // An APE footer whose tag began before it: the junk ends where the tag begins.
            if (const auto ape = ApeTag::Parse(Peek(x, ApeTag::kBytes)); ape && !ape->IsHeader()) {
                const std::int64_t start = x + static_cast<std::int64_t>(ApeTag::kBytes) - ape->TotalBytes();
                if (start >= from && FooterOnlyApeTagEnd(start))
                    return Resumption{Resumption::Kind::TrailingTags, start};
            }
            return Resumption{Resumption::Kind::TrailingTags, x};
        }
        at += static_cast<std::int64_t>(i);
        if (i == 0) break;
    }
    return std::nullopt;
}

std::int64_t Walker::WalkStream(std::int64_t first, const MpegHeader& head, WalkedTrack& track)
{
    const std::optional<VbrHeader> vbr = VbrHeader::Parse(head, Peek(first, kProbeBytes));
    StreamHeaders stream(head);
    std::int64_t q = first;
    std::int64_t last = first;  // where the last frame chained begins
    std::int64_t frames = 0;
    while (q < Length() && MoveTo(last)) {
        // The frames whose first bytes the buffer holds are followed without a call each, as
        // far as the next report.
        const Bytes held = m_reader.At(q, kProbeBytes);
        if (held.size() < MpegHeader::kBytes) break;  // a read that failed, or a last frame cut short
        const std::int64_t base = q;
        const std::int64_t heldEnd = base + static_cast<std::int64_t>(held.size());
        // The last frame start that has its probe's bytes held: past it the buffer slides.
        const std::int64_t stop = heldEnd >= Length() ? Length() - 1 : heldEnd - static_cast<std::int64_t>(kProbeBytes);
        Bytes bytes;
        bool chained = true;
        for (; q <= stop && last < m_nextReport; ++frames) {
            bytes = held.subspan(static_cast<std::size_t>(q - base),
                                 static_cast<std::size_t>(std::min<std::int64_t>(kProbeBytes, heldEnd - q)));
            // Each header's place follows from the one before, so without a hint every frame
            // would wait for memory; the headers some twenty frames on lie about here.
            if (q + static_cast<std::int64_t>(kPrefetchAhead) + 64 < heldEnd) {
                __builtin_prefetch(bytes.data() + kPrefetchAhead);
                __builtin_prefetch(bytes.data() + kPrefetchAhead + 64);
            }
            const int frameBytes = stream.ChainedFrameBytes(bytes, m_headers, frames == 0);
            chained = frameBytes > 0;
            if (!chained) break;
            last = q;
            q += frameBytes;
            // The encoder counted the frames after its header and the bytes from it: both
            // reached means the stream is complete, even if a stream of the same kind follows.
            if (vbr && vbr->frames && frames + 1 == std::int64_t{*vbr->frames} + 1 &&
                (!vbr->bytes || q - first == std::int64_t{*vbr->bytes}))
                return std::min(q, Length());
        }
        m_meter.Count(q - base);
        if (chained) continue;
        // The chain broke at q: another header or a tag ends the frames as they are.
        if (bytes.size() < 4 || m_headers.Parse(bytes) || TagStartsAt(q) || FooterOnlyApeTagEnd(q)) break;
        // Junk where a frame should be. The last frame may have been cut short by the next
        // track's start...
        if (const auto next = TrackStartInside(last + 1, q)) return *next;
        // ...or the stream goes on after a stretch of damage, which stays in the track.
        const auto resumed = ResumeAfterJunk(q, head);
        if (!resumed) break;
        AddDamage(track, ByteRange{q, resumed->at - q});
        q = resumed->at;
        if (resumed->kind != Resumption::Kind::Frames) break;
        last = q;
    }
    return std::min(q, Length());  // a last frame cut short at the file's end still belongs to its track
}

// Where an APE tag read from its header ends. Some writers leave the header's own flag that
// counts it out of the size; the footer then lies where the tag seems to end.
std::optional<std::int64_t> Walker::ApeTagEnd(std::int64_t offset, const ApeTag& tag)
{
    if (!tag.IsHeader()) return std::nullopt;
    std::int64_t end = offset + tag.TotalBytes();
    if (end > Length()) return std::nullopt;
    const Bytes footer = Peek(end - static_cast<std::int64_t>(ApeTag::kBytes), ApeTag::kBytes * 2);
    if (!StartsWith(footer, "APETAGEX") &&
        StartsWith(footer.subspan(std::min(footer.size(), ApeTag::kBytes)), "APETAGEX") &&
        end + static_cast<std::int64_t>(ApeTag::kBytes) <= Length())
        end += static_cast<std::int64_t>(ApeTag::kBytes);
    return end;
}

// Where an APE tag that has only a footer ends, when one begins at `offset`: its items are
// followed one by one to the footer, whose size must reach back to `offset`.
std::optional<std::int64_t> Walker::FooterOnlyApeTagEnd(std::int64_t offset)
{
    std::int64_t at = offset;
    for (int items = 0; items <= kMaxApeItems && at < Length(); ++items) {
        if (items > 0 && !m_meter.Spend(kStepUnits)) return std::nullopt;
        const Bytes bytes = Peek(at, 8 + 256);
        if (const auto footer = ApeTag::Parse(bytes)) {
            const std::int64_t end = at + static_cast<std::int64_t>(ApeTag::kBytes);
            if (items == 0 || footer->IsHeader() || end - offset != footer->TotalBytes()) return std::nullopt;
            return end;
        }
        // An item: value size and flags (little-endian), a key of printable ASCII ended by a
        // NUL, the value.
        if (bytes.size() < 11) return std::nullopt;
        const std::uint32_t size = std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                                   (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
        if ((bytes[4] & 0xF8) != 0 || bytes[5] != 0 || bytes[6] != 0 || (bytes[7] & 0x1F) != 0) return std::nullopt;
        std::size_t key = 8;
        while (key < bytes.size() && bytes[key] >= 0x20 && bytes[key] < 0x7F) ++key;
        if (key - 8 < 2 || key >= bytes.size() || bytes[key] != 0) return std::nullopt;
        at += static_cast<std::int64_t>(key + 1) + std::int64_t{size};
    }
    return std::nullopt;
}

std::int64_t Walker::SkipTrailingTags(std::int64_t offset, WalkedTrack& track)
{
    std::int64_t q = offset;
    while (q < Length() && MoveTo(q)) {
        const std::int64_t left = Length() - q;
        const Bytes head = Peek(q, Id3v1Tag::kEnhancedBytes + Id3v1Tag::kBytes);
        if (Id3v1Tag::IsEnhanced(head)) {
            q += Id3v1Tag::kEnhancedBytes;
            continue;
        }
        if (const auto v1 = Id3v1Tag::Parse(head)) {
            track.id3v1 = v1->names;
            q += Id3v1Tag::kBytes;
            continue;
        }
        if (const auto ape = ApeTag::Parse(head)) {
            const auto end = ApeTagEnd(q, *ape);
            if (!end) break;
            q = *end;
            continue;
        }
        if (StartsWith(head, "LYRICSBEGIN")) {
            // A version 1 block is searched for its end.
            if (!m_meter.Spend(static_cast<std::int64_t>(Lyrics3Tag::kMaxVersion1Bytes))) break;
            const auto lyrics =
                Lyrics3Tag::Parse([this, q](std::int64_t at, std::size_t want) { return Peek(q + at, want); });
            if (!lyrics) break;
            q += lyrics->totalBytes;
            continue;
        }
        // A track's trailing tags are its own while no frames follow them: an ID3v2 tag that a
        // player appended behind the others too. The one that frames follow leads the next track.
        if (const auto v2 = Id3v2Tag::Parse(head)) {
            if (v2->TotalBytes() > left || FramesBehindTags(q, true)) break;
            q += v2->TotalBytes();
            continue;
        }
        if (const auto end = FooterOnlyApeTagEnd(q)) {
            q = *end;
            continue;
        }
        break;
    }
    return q;
}

// The title and track number of the first leading tag, from as much of it as the buffer reaches
// past the floor: text frames come first in practice, a cover later.
void Walker::ReadLeadingNames(std::int64_t offset, WalkedTrack& track)
{
    const auto tag = Id3v2Tag::Parse(Peek(offset, Id3v2Tag::kHeaderBytes));
    if (!tag) return;
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(tag->TotalBytes(), static_cast<std::int64_t>(FrameReader::kReach)));
    const Bytes bytes = m_reader.Reaches(offset, want) ? m_reader.At(offset, want) : Bytes();
    m_meter.Count(static_cast<std::int64_t>(want));
    track.id3v2 = tag->Names(bytes.first(std::min(bytes.size(), want)));
}

std::optional<WalkedTrack> Walker::TrackAt(std::int64_t offset)
{
    const Bytes bytes = Peek(offset, 4);
    if (bytes.size() < 4) return std::nullopt;
    WalkedTrack track;
    std::int64_t first = offset;
    if (CouldBeId3v2(bytes.data())) {
        const auto lead = FramesBehindTags(offset, false);
        if (!lead) return std::nullopt;
        first = lead->frames;
        track.tagged = true;
        // Between tags of a wrong size and their frames.
        AddDamage(track, ByteRange{lead->tagsEnd, first - lead->tagsEnd});
        ReadLeadingNames(offset, track);
    } else if (!ChainStarts(offset, false)) {
        return std::nullopt;
    }
    const auto head = HeaderAt(first);
    if (!head) return std::nullopt;
    const std::int64_t frames = WalkStream(first, *head, track);
    const std::int64_t end = m_stopped ? frames : SkipTrailingTags(frames, track);
    track.range = ByteRange{offset, end - offset};
    return track;
}

// The next byte that could open a track: a frame header or an ID3v2 tag.
std::int64_t Walker::NextCandidate(std::int64_t from)
{
    while (from < Length() && MoveTo(from)) {
        const Bytes bytes = m_reader.At(from, 4);
        if (bytes.size() < 4) return Length();
        // Four bytes of each candidate are looked at; the last three held wait for the next read.
        const std::size_t end = bytes.size() - 3;
        const std::size_t hit = FindCandidate(bytes.data(), end);
        m_meter.Count(static_cast<std::int64_t>(hit) + 1);
        if (hit < end) return from + static_cast<std::int64_t>(hit);
        from += static_cast<std::int64_t>(end);
    }
    return Length();
}

FrameWalkResult Walker::Run()
{
    FrameWalkResult result;
    result.fileLength = Length();
    std::int64_t pos = 0;
    std::int64_t gapStart = 0;
    while (pos < Length()) {
        pos = NextCandidate(pos);
        if (pos >= Length() || m_stopped || m_reader.Error() != 0) break;
        std::optional<WalkedTrack> track = TrackAt(pos);
        if (m_stopped || m_reader.Error() != 0) break;
        if (!track) {
            ++pos;
            continue;
        }
        if (static_cast<int>(result.tracks.size()) >= m_options.maxTracks) {
            result.outcome = FrameWalkOutcome::TooManyTracks;
            result.work = m_meter.Work();
            return result;
        }
        if (gapStart < pos) result.gaps.push_back(ByteRange{gapStart, pos - gapStart});
        pos = track->range.End();
        gapStart = pos;
        result.tracks.push_back(std::move(*track));
    }
    result.work = m_meter.Work();
    if (m_reader.Error() != 0) {
        result.outcome = FrameWalkOutcome::ReadFailed;
        result.readError = m_reader.Error();
    } else if (m_stopped) {
        result.outcome = FrameWalkOutcome::Stopped;
    } else if (gapStart < Length()) {
        result.gaps.push_back(ByteRange{gapStart, Length() - gapStart});
    }
    return result;
}

}  // namespace

FrameWalkResult WalkFrames(support::ByteStream& source, WalkListener* listener, const FrameWalkOptions& options)
{
    return Walker(source, listener, options).Run();
}

}  // namespace vyr::recovery
