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
// Room kept in front of a window's own part, so the 5-byte second reading of a block at its
// start still fits.
constexpr std::size_t kWindowLead = 8;
// Room after a window's own part, so a block that starts in it, with its tag check, fits too:
// the walk then never needs two windows at once.
constexpr std::size_t kWindowSlack = 2048;
constexpr std::int64_t kNone = -1;

struct BlockHits {
    std::array<std::int64_t, kMarkerKinds> first;  // file offset of each marker's first hit, or kNone
};

class Walker {
public:
    Walker(support::ByteStream& source, WalkListener* listener, const WalkOptions& options, PieceObserver* observer)
        : m_source(source),
          m_listener(listener),
          m_observer(observer),
          m_options(options),
          m_length(source.Length()),
          m_slotHits(static_cast<std::size_t>(std::max(options.slots, 2))),
          m_reader(source, Layout(options), [this](const support::Window& window) { Prepare(window); })
    {
        m_result.fileLength = m_length;
    }

    WalkResult Run();

private:
    static support::WindowLayout Layout(const WalkOptions& options)
    {
        support::WindowLayout layout;
        layout.size = std::max(options.windowBytes, kMinWindowBytes);
        layout.lead = kWindowLead;
        layout.slack = kWindowSlack;
        layout.zeros = kWindowSlack;
        layout.slots = std::max(options.slots, 2);
        layout.readers = options.readers;
        return layout;
    }
    // On a reader thread: the window's markers, before the walk reaches it.
    void Prepare(const support::Window& window);
    void Search(const support::Window& window);
    bool Ensure(std::int64_t start, std::int64_t length);
    bool Advance();
    void ObserveTheRest();
    const unsigned char* At(std::int64_t offset) const { return m_window->bytes.data() + (offset - m_window->start); }
    std::int64_t FirstSync(std::int64_t from, std::int64_t to);
    BlockHits HitsIn(std::int64_t start, std::int64_t length);
    void SeekCursor(std::int64_t relative);
    std::int64_t NextHit(std::int64_t from);
    std::int64_t SkipQuietPairs(std::int64_t p);
    bool FeedNames(std::int64_t to);
    bool Record(std::int64_t boundary);
    bool HeaderStep(std::int64_t start, std::int64_t length);
    std::int64_t MarkerIndex(const BlockHits& hits, std::int64_t start, std::int64_t length);
    void Finish();

    support::ByteStream& m_source;
    WalkListener* m_listener;
    PieceObserver* m_observer;
    bool m_observing = true;
    WalkOptions m_options;
    std::int64_t m_length;
    WalkResult m_result;

    std::vector<std::vector<MarkerHit>> m_slotHits;  // each window's markers, by its slot
    support::WindowReader m_reader;
    const support::Window* m_window = nullptr;
    const std::vector<MarkerHit>* m_hits = nullptr;
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

void Walker::Prepare(const support::Window& window)
{
    if (m_options.searchOnReaders && m_observer != nullptr && m_observer->WantsLineSummary(window)) {
        std::vector<MarkerHit>& hits = m_slotHits[window.slot];
        hits.clear();
        album::LineSummary lines;
        const auto own = static_cast<std::size_t>(window.ownStart - window.start);
        FindMarkersAndSummarize(window.Asked(), own, own + window.Read().size(), hits, lines, m_options.finder);
        m_observer->Prepare(window, lines);
        return;
    }
    if (m_options.searchOnReaders) Search(window);
    if (m_observer != nullptr) m_observer->Prepare(window);
}

void Walker::Search(const support::Window& window)
{
    std::vector<MarkerHit>& hits = m_slotHits[window.slot];
    hits.clear();
    FindMarkers(window.Asked(), hits, m_options.finder);
}

// Makes the window hold [start, start + length) and the tag check's reach past it.
bool Walker::Ensure(std::int64_t start, std::int64_t length)
{
    const std::int64_t end = start + length + kTagReach;
    for (;;) {
        if (m_window != nullptr) {
            // Blocks only move forward by more than the window's lead, so a block never starts
            // in front of the window that is current when it is reached.
            if (start < m_window->start) return false;
            const auto capacity = static_cast<std::int64_t>(m_window->bytes.size());
            if (end <= m_window->end) return true;
            if (m_window->end == m_length && end - m_window->start <= capacity) return true;
        }
        if (!Advance()) return false;
    }
}

bool Walker::Advance()
{
    // Names need every byte in front of the first sync: the next window begins before this
    // one's own part ends, so feeding up to there leaves no gap.
    if (m_window != nullptr && !m_headerDone && !FeedNames(m_window->ownEnd)) return false;
    m_window = m_reader.Next();
    if (m_window == nullptr) return false;
    if (m_observing && m_observer != nullptr) m_observing = m_observer->Take(*m_window);
    if (m_window->error != 0) return false;
    if (!m_options.searchOnReaders) Search(*m_window);
    m_hits = &m_slotHits[m_window->slot];
    m_cursor = 0;
    return true;
}

// The walk may end before the last window; the observer still gets the bytes it asks for.
void Walker::ObserveTheRest()
{
    if (m_observer == nullptr) return;
    while (m_observing) {
        const support::Window* window = m_reader.Next();
        if (window == nullptr) break;
        m_observing = m_observer->Take(*window) && window->error == 0;
    }
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
    const std::vector<MarkerHit>& all = *m_hits;
    const std::int64_t relative = start - m_window->start;
    SeekCursor(relative);
    for (std::size_t k = m_cursor; k < all.size(); ++k) {
        const auto offset = static_cast<std::int64_t>(all[k].offset);
        if (offset >= relative + length) break;
        if (offset + static_cast<std::int64_t>(MarkerLength(all[k].marker)) > relative + length) continue;
        auto& first = hits.first[static_cast<std::size_t>(all[k].marker)];
        if (first == kNone) first = offset + m_window->start;
    }
    return hits;
}

// Moves the cursor onto the current window's first marker at or past `relative` (an offset
// into the window), from wherever the last block left it.
void Walker::SeekCursor(std::int64_t relative)
{
    const std::vector<MarkerHit>& all = *m_hits;
    while (m_cursor > 0 && static_cast<std::int64_t>(all[m_cursor - 1].offset) >= relative) --m_cursor;
    while (m_cursor < all.size() && static_cast<std::int64_t>(all[m_cursor].offset) < relative) ++m_cursor;
}

// File offset of the first marker in the current window at or past `from`, or the window's end.
std::int64_t Walker::NextHit(std::int64_t from)
{
    SeekCursor(from - m_window->start);
    const std::vector<MarkerHit>& all = *m_hits;
    return m_cursor < all.size() ? static_cast<std::int64_t>(all[m_cursor].offset) + m_window->start : m_window->end;
}

// A block without a marker only moves p: it is read a second time 5 bytes earlier, and the walk
// then goes on 512 bytes from there. Where the marker list shows that the blocks at p, p - 5,
// p + 507, p + 502, ... hold none, those pairs of readings are taken at once: the position
// after the last of them, which the block rules reach by the same steps. Only pairs within the
// current window, whose list holds every marker that lies inside it, and that the listener would
// report as it does p (told once, at p, before this), are taken. Returns p when there are none.
std::int64_t Walker::SkipQuietPairs(std::int64_t p)
{
    constexpr std::int64_t kPair = kBlock - kBackUp;
    const std::int64_t earliest = p - 1 - kBackUp;  // where the second reading of p's block starts
    if (!m_headerDone || p <= kBackUp || earliest < m_window->start) return p;
    // The pair at q reads from q - 6 to q + 510, and the last block of the file runs past its end.
    // Every marker in the list lies inside the window, so this stays within it too.
    std::int64_t last = std::min(NextHit(earliest) - kBlock + 1, m_length - kBlock);
    if (m_listener != nullptr) {
        const WalkListener::Stretch quiet = m_listener->QuietStretch(p, m_length);
        if (quiet.first > p - kBackUp) return p;
        last = std::min(last, quiet.last);
    }
    if (last < p) return p;
    return p + ((last - p) / kPair + 1) * kPair;
}

bool Walker::FeedNames(std::int64_t to)
{
    std::vector<unsigned char> chunk;
    while (m_namesFedTo < to) {
        if (m_window != nullptr && m_namesFedTo >= m_window->start && m_namesFedTo < m_window->end) {
            const std::int64_t end = std::min(to, m_window->end);
            m_names.Feed(
                {reinterpret_cast<const char*>(At(m_namesFedTo)), static_cast<std::size_t>(end - m_namesFedTo)});
            m_namesFedTo = end;
            continue;
        }
        chunk.resize(std::size_t{64} << 10);
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

        if (!HeaderStep(start, length)) {
            m_result.outcome = WalkOutcome::ReadFailed;
            break;
        }
        if (!backedUp && m_options.skipQuietBlocks) {
            if (const std::int64_t next = SkipQuietPairs(p); next != p) {
                p = next;
                continue;
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
            const std::int64_t index = MarkerIndex(hits, start, length);
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

    Finish();
    return std::move(m_result);
}

// Until the first frame sync is found, each block is searched for it; the bytes up to it are
// the header's, for the names. False when they could not be read.
bool Walker::HeaderStep(std::int64_t start, std::int64_t length)
{
    if (m_headerDone) return true;
    const std::int64_t sync = FirstSync(start, start + length - 1);
    if (sync == kNone) return true;
    m_headerDone = true;
    m_headerLength = sync;
    m_result.syncFound = true;
    return FeedNames(sync + 1);
}

// Where the block's ID3v2.3 header, or else its first VBR header's frame, begins: 1-based
// within the block; kNone when it has neither.
std::int64_t Walker::MarkerIndex(const BlockHits& hits, std::int64_t start, std::int64_t length)
{
    if (const std::int64_t id3 = hits.first[static_cast<std::size_t>(Marker::Id3v23)]; id3 != kNone)
        return id3 - start + 1;
    for (const Marker vbr : {Marker::Info, Marker::Vbri, Marker::Xing}) {
        const std::int64_t at = hits.first[static_cast<std::size_t>(vbr)];
        if (at == kNone) continue;
        const std::int64_t j = at - start + 1;
        if (j <= 36) return j;
        // The VBR header sits after its frame's header and side information.
        const std::int64_t sync = FirstSync(start + j - 37, start + length - 1);
        if (sync != kNone) return sync - start + 1;
    }
    return kNone;
}

// The names of a file without a sync, the bytes the walk did not reach for the observer, and
// the last part.
void Walker::Finish()
{
    if (m_result.outcome == WalkOutcome::Completed && !m_headerDone && !FeedNames(m_length))
        m_result.outcome = WalkOutcome::ReadFailed;
    // A walk that ends on a limit has still read its windows well: the observer gets the rest.
    if (m_result.outcome != WalkOutcome::Stopped && m_result.outcome != WalkOutcome::ReadFailed) ObserveTheRest();
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
}

}  // namespace

WalkResult WalkBlocks(support::ByteStream& source, WalkListener* listener, const WalkOptions& options,
                      PieceObserver* observer)
{
    Walker walker(source, listener, options, observer);
    return walker.Run();
}

}  // namespace vyr::recovery
