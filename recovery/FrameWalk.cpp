#include "recovery/FrameWalk.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "recovery/ApeTag.h"
#include "recovery/Id3v1Tag.h"
#include "recovery/Lyrics3Tag.h"
#include "recovery/MpegHeader.h"
#include "recovery/VbrHeader.h"
#include "support/ReadBuffer.h"

namespace vyr::recovery {

namespace {

// A frame header with room behind it for a VBRI header's counts.
constexpr std::size_t kProbeBytes = 64;
// How far ahead of the walk the bytes are asked for.
constexpr std::size_t kPrefetchAhead = 8192;
// Zero bytes that some taggers leave after a tag without counting them in its size.
constexpr std::int64_t kMaxPaddingAfterTags = std::int64_t{64} << 10;

using Bytes = std::span<const unsigned char>;

bool StartsWith(Bytes bytes, std::string_view text)
{
    return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

// One window of the file at a time, refilled from wherever the walk asks next, so a tag's
// bulk that the walk jumps over is never read.
class Reader {
public:
    Reader(support::ByteStream& source, std::size_t windowBytes)
        : m_source(source), m_length(source.Length()), m_buffer(WindowFor(windowBytes, m_length))
    {
    }

    std::int64_t Length() const { return m_length; }
    int Error() const { return m_error; }

    // The bytes from offset to the window's end: at least min(want, what the file holds from
    // offset on) of them, or none when a read failed or the file shrank. want fits a window.
    Bytes At(std::int64_t offset, std::size_t want)
    {
        if (offset < 0 || offset >= m_length) return {};
        const auto wanted = std::min<std::int64_t>(static_cast<std::int64_t>(want), m_length - offset);
        if (offset < m_start || offset + wanted > m_start + m_count) Fill(offset);
        if (offset < m_start || offset + wanted > m_start + m_count) return {};
        const auto skip = static_cast<std::size_t>(offset - m_start);
        return Bytes(m_bytes.data() + skip, static_cast<std::size_t>(m_count) - skip);
    }

    // Bytes from offset on into a buffer of their own, for a block that may outgrow a window.
    std::vector<unsigned char> Copy(std::int64_t offset, std::size_t count)
    {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(
            std::max<std::int64_t>(0, std::min(static_cast<std::int64_t>(count), m_length - offset))));
        const support::IoResult read = m_source.ReadAt(offset, bytes);
        if (!read.Ok()) m_error = read.error;
        bytes.resize(read.Ok() ? read.count : 0);
        return bytes;
    }

private:
    void Fill(std::int64_t offset)
    {
        m_start = offset;
        m_count = 0;
        if (m_error != 0) return;
        const auto ask = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(m_buffer.Capacity()), m_length - offset));
        m_bytes = m_buffer.For(offset);
        const support::IoResult read = m_source.ReadAt(offset, m_bytes.first(ask));
        if (!read.Ok()) {
            m_error = read.error;
            return;
        }
        m_count = static_cast<std::int64_t>(read.count);
    }

    // Never more than the file holds: a small file costs a small buffer.
    static std::size_t WindowFor(std::size_t windowBytes, std::int64_t length)
    {
        const auto window = static_cast<std::int64_t>(std::max(windowBytes, kMinFrameWindowBytes));
        return static_cast<std::size_t>(std::max<std::int64_t>(0, std::min(window, length)));
    }

    support::ByteStream& m_source;
    std::int64_t m_length;
    support::ReadBuffer m_buffer;
    std::span<unsigned char> m_bytes;
    std::int64_t m_start = 0;
    std::int64_t m_count = 0;
    int m_error = 0;
};

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

class Walker {
public:
    Walker(support::ByteStream& source, WalkListener* listener, const FrameWalkOptions& options)
        : m_reader(source, options.windowBytes), m_listener(listener), m_options(options)
    {
    }

    FrameWalkResult Run();

private:
    std::int64_t Length() const { return m_reader.Length(); }
    std::optional<MpegHeader> HeaderAt(std::int64_t offset) { return m_headers.Parse(m_reader.At(offset, 4)); }
    bool VbrFrameAt(std::int64_t offset, const MpegHeader& header)
    {
        return VbrHeader::Parse(header, m_reader.At(offset, kProbeBytes)).has_value();
    }
    std::int64_t SkipLeadingTags(std::int64_t offset, WalkedTrack* track);
    bool CleanBoundaryAt(std::int64_t offset);
    bool ChainStarts(std::int64_t first, bool tagged);
    bool TrackStartsAt(std::int64_t offset);
    std::int64_t WalkStream(std::int64_t first, const MpegHeader& head);
    std::int64_t SkipTrailingTags(std::int64_t offset, WalkedTrack& track);
    std::optional<WalkedTrack> TrackAt(std::int64_t offset);
    std::int64_t NextCandidate(std::int64_t from);
    bool Report(std::int64_t offset);

    Reader m_reader;
    HeaderCache m_headers;
    WalkListener* m_listener;
    FrameWalkOptions m_options;
    std::int64_t m_nextReport = 0;
    bool m_stopped = false;
};

bool Walker::Report(std::int64_t offset)
{
    if (m_stopped) return false;
    if (offset < m_nextReport) return true;
    m_nextReport = offset + m_options.progressStep;
    if (m_listener != nullptr && !m_listener->OnBlock(offset + 1, Length())) m_stopped = true;
    return !m_stopped;
}

// ID3v2 tags in a row, and the zero bytes a tagger may leave uncounted behind them; the
// first tag's title and track go to the track.
std::int64_t Walker::SkipLeadingTags(std::int64_t offset, WalkedTrack* track)
{
    std::int64_t p = offset;
    while (const auto tag = Id3v2Tag::Parse(m_reader.At(p, Id3v2Tag::kHeaderBytes))) {
        const std::int64_t total = tag->TotalBytes();
        if (total > Length() - p) break;  // cut short: no tag of a whole track
        if (track != nullptr && p == offset) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(total, static_cast<std::int64_t>(m_options.maxTagReadBytes)));
            const Bytes bytes = m_reader.At(p, want);
            track->id3v2 = tag->Names(bytes.first(std::min(bytes.size(), want)));
        }
        p += total;
    }
    if (p == offset) return p;
    std::int64_t zeros = p;
    for (Bytes bytes = m_reader.At(zeros, 1); !bytes.empty() && bytes[0] == 0 && zeros - p < kMaxPaddingAfterTags;
         bytes = m_reader.At(zeros, 1))
        ++zeros;
    return zeros > p && HeaderAt(zeros) ? zeros : p;
}

// Where a short chain may end and still be a track's: the file's end, a tag, or the first
// frame of another stream.
bool Walker::CleanBoundaryAt(std::int64_t offset)
{
    if (offset >= Length()) return true;
    const Bytes bytes = m_reader.At(offset, 12);
    if (StartsWith(bytes, "TAG") || StartsWith(bytes, "APETAGEX") || StartsWith(bytes, "LYRICSBEGIN") ||
        Id3v2Tag::Parse(bytes))
        return true;
    const auto header = HeaderAt(offset);
    return header && VbrFrameAt(offset, *header);
}

bool Walker::ChainStarts(std::int64_t first, bool tagged)
{
    const auto head = HeaderAt(first);
    if (!head) return false;
    std::int64_t q = first;
    int count = 0;
    while (count < m_options.resyncFrames && q < Length()) {
        const auto header = HeaderAt(q);
        if (!header || !header->SameStream(*head) || (count > 0 && VbrFrameAt(q, *header))) break;
        q += header->frameBytes;
        ++count;
    }
    if (count >= m_options.resyncFrames) return true;
    // Behind an ID3v2 tag one frame is enough; a bare sync needs a second one to be believed.
    if (count < (tagged ? 1 : 2)) return false;
    return CleanBoundaryAt(q);
}

bool Walker::TrackStartsAt(std::int64_t offset)
{
    const std::int64_t p = SkipLeadingTags(offset, nullptr);
    return ChainStarts(p, p > offset);
}

std::int64_t Walker::WalkStream(std::int64_t first, const MpegHeader& head)
{
    const std::optional<VbrHeader> vbr = VbrHeader::Parse(head, m_reader.At(first, kProbeBytes));
    std::int64_t q = first;
    std::int64_t frames = 0;
    while (q < Length() && Report(q)) {
        const Bytes bytes = m_reader.At(q, kProbeBytes);
        // Each header's place follows from the one before, so without a hint every frame
        // would wait for memory; the headers some twenty frames on lie about here.
        if (bytes.size() > kPrefetchAhead + 64) {
            __builtin_prefetch(bytes.data() + kPrefetchAhead);
            __builtin_prefetch(bytes.data() + kPrefetchAhead + 64);
        }
        const auto header = m_headers.Parse(bytes);
        if (!header || !header->SameStream(head)) break;
        if (frames > 0 && VbrHeader::Parse(*header, bytes)) break;
        q += header->frameBytes;
        ++frames;
        // The encoder counted the frames after its header and the bytes from it: both reached
        // means the stream is complete, even if a stream of the same kind follows untagged.
        if (vbr && vbr->frames && frames == std::int64_t{*vbr->frames} + 1 &&
            (!vbr->bytes || q - first == std::int64_t{*vbr->bytes}))
            break;
    }
    return std::min(q, Length());  // a last frame cut short still belongs to its track
}

std::int64_t Walker::SkipTrailingTags(std::int64_t offset, WalkedTrack& track)
{
    std::int64_t q = offset;
    while (q < Length()) {
        const std::int64_t left = Length() - q;
        if (Id3v1Tag::IsEnhanced(m_reader.At(q, Id3v1Tag::kEnhancedBytes + Id3v1Tag::kBytes))) {
            q += Id3v1Tag::kEnhancedBytes;
            continue;
        }
        if (const auto v1 = Id3v1Tag::Parse(m_reader.At(q, Id3v1Tag::kBytes))) {
            track.id3v1 = v1->names;
            q += Id3v1Tag::kBytes;
            continue;
        }
        if (const auto ape = ApeTag::Parse(m_reader.At(q, ApeTag::kBytes));
            ape && ape->IsHeader() && ape->TotalBytes() <= left) {
            q += ape->TotalBytes();
            continue;
        }
        const Bytes head = m_reader.At(q, 12);
        if (StartsWith(head, "LYRICSBEGIN")) {
            const auto lyrics = Lyrics3Tag::Parse(m_reader.Copy(q, Lyrics3Tag::kMaxBytes));
            if (!lyrics) break;
            q += lyrics->totalBytes;
            continue;
        }
        // An ID3v2 tag behind the frames leads the next track, unless no track follows it.
        if (const auto v2 = Id3v2Tag::Parse(head); v2 && !TrackStartsAt(q) && v2->TotalBytes() <= left) {
            q += v2->TotalBytes();
            continue;
        }
        break;
    }
    return q;
}

std::optional<WalkedTrack> Walker::TrackAt(std::int64_t offset)
{
    WalkedTrack track;
    const std::int64_t first = SkipLeadingTags(offset, &track);
    track.tagged = first > offset;
    const auto head = HeaderAt(first);
    if (!head || !ChainStarts(first, track.tagged)) return std::nullopt;
    const std::int64_t end = SkipTrailingTags(WalkStream(first, *head), track);
    track.range = ByteRange{offset, end - offset};
    return track;
}

// The next byte that could open a track: an FF of a frame sync or the I of "ID3".
std::int64_t Walker::NextCandidate(std::int64_t from)
{
    while (from < Length() && Report(from)) {
        const Bytes bytes = m_reader.At(from, 1);
        if (bytes.empty()) return Length();
        const void* ff = std::memchr(bytes.data(), 0xFF, bytes.size());
        const void* id3 = std::memchr(bytes.data(), 'I', bytes.size());
        const auto at = [&](const void* hit) {
            return hit == nullptr ? bytes.size()
                                  : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - bytes.data());
        };
        const std::size_t hit = std::min(at(ff), at(id3));
        if (hit < bytes.size()) return from + static_cast<std::int64_t>(hit);
        from += static_cast<std::int64_t>(bytes.size());
    }
    return Length();
}

FrameWalkResult Walker::Run()
{
    FrameWalkResult result;
    result.fileLength = Length();
    std::int64_t pos = 0;
    std::int64_t gapStart = 0;
    while (pos < Length() && Report(pos)) {
        std::optional<WalkedTrack> track = TrackAt(pos);
        if (m_stopped || m_reader.Error() != 0) break;
        if (!track) {
            pos = NextCandidate(pos + 1);
            continue;
        }
        if (static_cast<int>(result.tracks.size()) >= m_options.maxTracks) {
            result.outcome = FrameWalkOutcome::TooManyTracks;
            return result;
        }
        if (gapStart < pos) result.gaps.push_back(ByteRange{gapStart, pos - gapStart});
        pos = track->range.End();
        gapStart = pos;
        result.tracks.push_back(std::move(*track));
    }
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
