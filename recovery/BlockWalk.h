#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "album/FirstPass.h"
#include "recovery/MarkerFinder.h"
#include "recovery/WalkListener.h"
#include "support/ByteStream.h"
#include "support/WindowReader.h"

namespace vyr::recovery {

enum class WalkOutcome {
    Completed,
    Stopped,  // the listener asked to stop
    ReadFailed,
    TooManyRows,  // more rows than the table's 16-bit index reaches
    PartTooLong,  // a part longer than a byte count can hold
};

// Sees every byte of the file once, front to back, from the walk's own reads: what else a
// caller wants to know of the file costs no second read.
class PieceObserver {
public:
    virtual ~PieceObserver() = default;
    // On a reader thread, or on the walk's while it waits for one, for each window before the
    // walk reaches it: its own part is new.
    virtual void Prepare(const support::Window& window) = 0;
    // Asked there first: whether the walk's search of the window should summarize the lines of
    // its read part (Window::Read()) along the way, to be given to the Prepare below instead.
    virtual bool WantsLineSummary(const support::Window& /*window*/) { return false; }
    virtual void Prepare(const support::Window& window, const album::LineSummary& /*lines*/) { Prepare(window); }
    // On the walk's thread, the windows in file order, until it returns false, the file ends or
    // a window comes with a read error (it is then told that window too).
    virtual bool Take(const support::Window& window) = 0;
};

struct WalkOptions {
    // Bytes read and searched at a time. Small enough to stay in the processor's cache between
    // the read and the search; at least kMinWindowBytes.
    std::size_t windowBytes = std::size_t{1} << 20;
    // Windows read ahead, and the threads that read and search them while the walk replays the
    // blocks of the window before; 0 readers: the walk reads each window itself. The walk reads
    // ahead too while it would wait, so one reader keeps two cores at work.
    int slots = 4;
    int readers = 1;
    // Search each window for the markers on the reader threads, not on the walk's thread.
    bool searchOnReaders = true;
    // Take the readings of blocks the marker list shows to be empty at once, not one by one;
    // off, every block is read and reported, for tests to compare.
    bool skipQuietBlocks = true;
    int maxRows = 32'767;
    std::int64_t maxByteCount = INT32_MAX;
    FinderKind finder = FinderKind::Best;
};

inline constexpr std::size_t kMinWindowBytes = 4096;

struct WalkResult {
    WalkOutcome outcome = WalkOutcome::Completed;
    std::int64_t fileLength = 0;
    bool syncFound = false;
    // 0-based offset of the FF byte of the first frame sync the walk met; 0 when it met none.
    std::int64_t headerLength = 0;
    // Where row 0's bytes begin: the header length when the first boundary lay past it at the
    // time it was found, else 0.
    std::int64_t dataBase = 0;
    // The track table's byte counts: one entry, 0, when no boundary was found; otherwise one per
    // boundary, plus one for the bytes after the last boundary when any remain.
    std::vector<std::int64_t> byteCounts{0};
    std::vector<std::int64_t> boundaries;  // 0-based file offsets, in the order found
    // Names from the bytes in front of (and including) the first sync's FF byte, or from the
    // whole file when there is no sync.
    std::vector<std::string> headerNames;
    bool tooManyNames = false;
};

// The recovery scanner's block walk: 512-byte blocks read at a 1-based position p while p < L,
// the last one running up to 511 bytes past the end as zeros; the header step looks for the
// first frame sync FF FB; the pattern step takes an ID3v1 "TAG" whose next 123 bytes are text
// (boundary just past its 128 bytes), else an ID3v2.3 header, else an Info, VBRI or Xing header
// (boundary at its frame's sync when it lies more than 36 bytes in); outside the first block a
// found boundary moves p onto it. A block that yields nothing is read a second time 5 bytes
// earlier. The walk searches whole windows for the markers once and answers each block from
// that list, taking runs of blocks that hold none at once, with exactly the results of searching
// every block byte by byte. The listener and the observer's Take are called on the caller's
// thread; the windows ahead are read and searched on the reader threads, and on the caller's
// while it waits for them.
WalkResult WalkBlocks(support::ByteStream& source, WalkListener* listener, const WalkOptions& options = {},
                      PieceObserver* observer = nullptr);

}  // namespace vyr::recovery
