#include "recovery/BlockWalk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "recovery/HeaderNames.h"

namespace vyr::recovery {

namespace {

constexpr std::int64_t kBlock = 512;
constexpr std::int64_t kBackUp = 5;
// Furthest a block's TAG check reads past the block: the tag's own 128 bytes minus its three.
constexpr std::int64_t kTagReach = 125;
// Room kept in front of a window's first block so the 5-byte second reading still fits.
constexpr std::int64_t kWindowLead = 8;
// Room after a window's data for a last block's zeros and its tag check.
constexpr std::size_t kWindowSlack = 2048;
constexpr std::int64_t kNone = -1;

struct BlockHits {
    std::array<std::int64_t, kMarkerKinds> first;  // file offset of each marker's first hit, or kNone
};

class Walker {
public:
    Walker(support::ByteStream& source, WalkListener* listener, const WalkOptions& options)
        : m_source(source),
          m_listener(listener),
          m_options(options),
          m_windowBytes(std::max(options.windowBytes, kMinWindowBytes)),
          m_length(source.Length())
    {
        m_result.fileLength = m_length;
    }

    WalkResult Run();

private:
    bool Ensure(std::int64_t start, std::int64_t length);
    bool Load(std::int64_t start, std::int64_t end);
    const unsigned char* At(std::int64_t offset) const { return m_buffer.data() + (offset - m_windowStart); }
    std::int64_t FirstSync(std::int64_t from, std::int64_t to);
    BlockHits HitsIn(std::int64_t start, std::int64_t length);
    bool FeedNames(std::int64_t to);
    bool Record(std::int64_t boundary);

    support::ByteStream& m_source;
    WalkListener* m_listener;
    WalkOptions m_options;
    std::size_t m_windowBytes;
    std::int64_t m_length;
    WalkResult m_result;

    std::vector<unsigned char> m_buffer;
    std::int64_t m_windowStart = 0;
    std::int64_t m_windowData = 0;  // file bytes in the window; zeros follow them
    bool m_loaded = false;
    std::vector<MarkerHit> m_hits;
    std::size_t m_cursor = 0;

    // No frame sync starts anywhere in [m_clearFrom, m_clearTo).
    std::int64_t m_clearFrom = 0;
    std::int64_t m_clearTo = 0;

    HeaderNames m_names;
    std::int64_t m_namesFedTo = 0;
    bool m_headerDone = false;
    std::int64_t m_headerLength = 0;
    std::int64_t m_previousBoundary = 0;
};

bool Walker::Ensure(std::int64_t start, std::int64_t length)
{
    const std::int64_t end = start + length + kTagReach;
    if (m_loaded && start >= m_windowStart) {
        const std::int64_t dataEnd = m_windowStart + m_windowData;
        const auto capacity = static_cast<std::int64_t>(m_buffer.size());
        if (end <= dataEnd) return true;
        if (dataEnd == m_length && end - m_windowStart <= capacity) return true;
    }
    return Load(start, end);
}

bool Walker::Load(std::int64_t start, std::int64_t end)
{
    std::int64_t windowStart = std::max<std::int64_t>(0, start - kWindowLead);
    if (!m_headerDone) {
        // Names need every byte in front of the first sync: take them from the old window, and
        // start the new one where they stopped unless that would push the block out of it.
        if (m_loaded && !FeedNames(std::min(windowStart, m_windowStart + m_windowData))) return false;
        if (m_namesFedTo < windowStart && end - m_namesFedTo <= static_cast<std::int64_t>(m_windowBytes))
            windowStart = m_namesFedTo;
    }
    m_buffer.resize(m_windowBytes + kWindowSlack);
    const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(m_windowBytes), m_length - windowStart);
    const auto read = m_source.ReadAt(windowStart, {m_buffer.data(), static_cast<std::size_t>(want)});
    if (!read.Ok()) return false;
    // A file that shrank since it was measured reads as zeros from there on, as past its end.
    const std::size_t got = read.count;
    std::memset(m_buffer.data() + got, 0, m_buffer.size() - got);
    m_windowStart = windowStart;
    m_windowData = want;
    m_loaded = true;
    m_hits.clear();
    m_cursor = 0;
    FindMarkers({m_buffer.data(), got}, m_hits, m_options.finder);
    return true;
}

// The first frame sync whose FF byte lies in [from, to); the byte at `to` must be loaded too.
// Remembers one stretch known to hold no sync, so the header step does not search the same
// bytes again when a block is read a second time or the next block overlaps it.
std::int64_t Walker::FirstSync(std::int64_t from, std::int64_t to)
{
    const auto scan = [this](std::int64_t at, std::int64_t end) {
        while (at < end) {
            const auto* first = At(at);
            const auto* ff =
                static_cast<const unsigned char*>(std::memchr(first, 0xFF, static_cast<std::size_t>(end - at)));
            if (ff == nullptr) break;
            if (ff[1] == 0xFB) return at + (ff - first);
            at += (ff - first) + 1;
        }
        return kNone;
    };
    if (from < m_clearFrom && to >= m_clearFrom) {
        const std::int64_t found = scan(from, m_clearFrom);
        if (found != kNone) {
            m_clearFrom = from;
            m_clearTo = found;
            return found;
        }
        m_clearFrom = from;
    }
    if (from >= m_clearFrom && from <= m_clearTo) {
        const std::int64_t found = scan(std::max(from, m_clearTo), to);
        m_clearTo = found != kNone ? found : std::max(m_clearTo, to);
        return found;
    }
    const std::int64_t found = scan(from, to);
    m_clearFrom = from;
    m_clearTo = found != kNone ? found : to;
    return found;
}

BlockHits Walker::HitsIn(std::int64_t start, std::int64_t length)
{
    BlockHits hits;
    hits.first.fill(kNone);
    const std::int64_t relative = start - m_windowStart;
    while (m_cursor > 0 && static_cast<std::int64_t>(m_hits[m_cursor - 1].offset) >= relative) --m_cursor;
    while (m_cursor < m_hits.size() && static_cast<std::int64_t>(m_hits[m_cursor].offset) < relative) ++m_cursor;
    for (std::size_t k = m_cursor; k < m_hits.size(); ++k) {
        const auto offset = static_cast<std::int64_t>(m_hits[k].offset);
        if (offset >= relative + length) break;
        if (offset + static_cast<std::int64_t>(MarkerLength(m_hits[k].marker)) > relative + length) continue;
        auto& first = hits.first[static_cast<std::size_t>(m_hits[k].marker)];
        if (first == kNone) first = offset + m_windowStart;
    }
    return hits;
}

bool Walker::FeedNames(std::int64_t to)
{
    std::vector<unsigned char> chunk;
    while (m_namesFedTo < to) {
        const std::int64_t dataEnd = m_windowStart + m_windowData;
        if (m_loaded && m_namesFedTo >= m_windowStart && m_namesFedTo < dataEnd) {
            const std::int64_t end = std::min(to, dataEnd);
            m_names.Feed(
                {reinterpret_cast<const char*>(At(m_namesFedTo)), static_cast<std::size_t>(end - m_namesFedTo)});
            m_namesFedTo = end;
            continue;
        }
        chunk.resize(64 * 1024);
        const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(chunk.size()), to - m_namesFedTo);
        const auto read = m_source.ReadAt(m_namesFedTo, {chunk.data(), static_cast<std::size_t>(count)});
        if (!read.Ok()) return false;
        std::memset(chunk.data() + read.count, 0, static_cast<std::size_t>(count) - read.count);
        m_names.Feed({reinterpret_cast<const char*>(chunk.data()), static_cast<std::size_t>(count)});
        m_namesFedTo += count;
    }
    return true;
}

bool Walker::Record(std::int64_t boundary)
{
    auto& counts = m_result.byteCounts;
    if (counts.front() != 0) {
        if (static_cast<int>(counts.size()) >= m_options.maxRows) {
            m_result.outcome = WalkOutcome::TooManyRows;
            return false;
        }
        counts.push_back(0);
    }
    std::int64_t count = 0;
    if (counts.size() == 1) {
        count = boundary > m_headerLength ? boundary - m_headerLength : boundary;
        m_result.dataBase = boundary > m_headerLength ? m_headerLength : 0;
    } else {
        count = boundary - m_previousBoundary;
    }
    // A part ends with the file at the latest, the first one too: an ID3v1 tag cut short at the
    // end puts the boundary past it, and a row reaching past the end could never be extracted.
    if (boundary > m_length) count -= boundary - m_length;
    m_previousBoundary = boundary;
    counts.back() = count;
    m_result.boundaries.push_back(boundary);
    if (count > m_options.maxByteCount) {
        m_result.outcome = WalkOutcome::PartTooLong;
        return false;
    }
    return true;
}

WalkResult Walker::Run()
{
    // 1-based, as the block rules count: index i of the block at p is file offset p + i - 2.
    std::int64_t p = 1;
    bool backedUp = false;
    while (p < m_length) {
        if (m_listener != nullptr && !m_listener->OnBlock(p, m_length)) {
            m_result.outcome = WalkOutcome::Stopped;
            break;
        }
        const std::int64_t start = p - 1;
        // The last block runs 512 bytes past p regardless, into zeros past the end.
        const std::int64_t length = p + kBlock <= m_length ? kBlock : m_length + kBlock - p;
        if (!Ensure(start, length)) {
            m_result.outcome = WalkOutcome::ReadFailed;
            break;
        }

        if (!m_headerDone) {
            const std::int64_t sync = FirstSync(start, start + length - 1);
            if (sync != kNone) {
                m_headerDone = true;
                m_headerLength = sync;
                m_result.syncFound = true;
                if (!FeedNames(sync + 1)) {
                    m_result.outcome = WalkOutcome::ReadFailed;
                    break;
                }
            }
        }

        bool backUpWanted = false;
        const BlockHits hits = HitsIn(start, length);
        if (const std::int64_t tag = hits.first[static_cast<std::size_t>(Marker::Tag)]; tag != kNone) {
            p = tag + 2;
            // A real ID3v1 tag holds text: title, artist, album, year and comment.
            const unsigned char* text = At(tag + 3);
            const bool isText = std::none_of(text, text + 123, [](unsigned char b) { return b > 126; });
            if (isText && !Record(p + 126)) break;
        } else {
            std::int64_t index = kNone;  // 1-based within the block
            if (const std::int64_t id3 = hits.first[static_cast<std::size_t>(Marker::Id3v23)]; id3 != kNone) {
                index = id3 - start + 1;
            } else {
                for (const Marker vbr : {Marker::Info, Marker::Vbri, Marker::Xing}) {
                    const std::int64_t at = hits.first[static_cast<std::size_t>(vbr)];
                    if (at == kNone) continue;
                    const std::int64_t j = at - start + 1;
                    if (j <= 36) {
                        index = j;
                    } else {
                        // The VBR header sits after its frame's header and side information.
                        const std::int64_t sync = FirstSync(start + j - 37, start + length - 1);
                        if (sync != kNone) index = sync - start + 1;
                    }
                    if (index != kNone) break;
                }
            }
            if (index != kNone && p > 1) {
                p = p + index - 2;
                if (!Record(p)) break;
            } else if (!backedUp) {
                backUpWanted = true;
            }
        }

        if (backUpWanted && p > kBackUp) {
            p -= kBackUp;
            backedUp = true;
        } else {
            p += kBlock;
            backedUp = false;
        }
    }

    if (m_result.outcome == WalkOutcome::Completed && !m_headerDone && !FeedNames(m_length))
        m_result.outcome = WalkOutcome::ReadFailed;
    // The bytes after the last boundary are the last part.
    if (m_result.outcome == WalkOutcome::Completed && !m_result.boundaries.empty() && m_previousBoundary < m_length) {
        if (static_cast<int>(m_result.byteCounts.size()) >= m_options.maxRows)
            m_result.outcome = WalkOutcome::TooManyRows;
        else if (m_length - m_previousBoundary > m_options.maxByteCount)
            m_result.outcome = WalkOutcome::PartTooLong;
        else
            m_result.byteCounts.push_back(m_length - m_previousBoundary);
    }
    m_result.headerLength = m_headerLength;
    m_result.headerNames = m_names.Names();
    m_result.tooManyNames = m_names.Overflowed();
    return std::move(m_result);
}

}  // namespace

WalkResult WalkBlocks(support::ByteStream& source, WalkListener* listener, const WalkOptions& options)
{
    Walker walker(source, listener, options);
    return walker.Run();
}

}  // namespace vyr::recovery
