#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "support/ByteStream.h"
#include "support/ReadBuffer.h"

namespace vyr::support {

// Window k of a stream: the bytes from from + k × size − lead to from + (k + 1) × size + slack,
// cut to the stream, so that a reader at work near the window's edges finds what it needs in one window.
struct Window {
    std::int64_t index = 0;
    std::int64_t start = 0;  // stream offset of bytes[0]
    // Stream offset where the window's own part begins and ends: from + k × size to
    // from + (k + 1) × size, cut to the stream. The own parts of all windows lie end to end.
    std::int64_t ownStart = 0;
    std::int64_t ownEnd = 0;
    std::int64_t end = 0;  // stream offset past the last byte asked for; zeros follow up to capacity
    // Stream offset past the last byte the read gave: before `end` only when the stream shrank
    // since it was measured (those bytes read as zeros) or the read failed.
    std::int64_t readEnd = 0;
    std::size_t slot = 0;  // which buffer holds it: results a prepare step keeps per window go there
    int error = 0;  // errno of a read that failed; the bytes then are void
    std::span<const unsigned char> bytes;  // end − start bytes, then zeros: every buffer's capacity

    // The bytes asked for, without the zeros after them.
    std::span<const unsigned char> Asked() const { return bytes.first(static_cast<std::size_t>(end - start)); }
    std::span<const unsigned char> Own() const
    {
        return bytes.subspan(static_cast<std::size_t>(ownStart - start), static_cast<std::size_t>(ownEnd - ownStart));
    }
    // The own part up to where the read ended.
    std::span<const unsigned char> Read() const
    {
        return Own().first(static_cast<std::size_t>(std::clamp(readEnd, ownStart, ownEnd) - ownStart));
    }
};

struct WindowLayout {
    std::size_t size = std::size_t{1} << 20;
    // Stream offset where window 0's own part begins: the windows cover the stream from there.
    std::int64_t from = 0;
    std::size_t lead = 0;
    std::size_t slack = 0;
    std::size_t zeros = 0;  // bytes of zeros at least after a window's data, for reads past the end
    int slots = 4;  // windows read ahead and held; at least 2
    int readers = 1;  // reader threads; 0 reads each window on the caller's thread when it is asked for
};

// Reads a stream front to back, window by window, and hands the windows out in order. Readers
// run ahead on threads of their own, each reading and preparing whole windows (a search of the
// bytes, say), so that the reading and the preparing of several windows overlap with the work
// on the current one. A caller whose next window is not ready yet reads and prepares one ahead
// itself, where a slot is free, instead of waiting: with one reader, two cores work and neither
// thread sleeps. Only `prepare` runs on the reader threads; everything else, and every window
// handed out, belongs to the thread that calls Next. The stream must allow ReadAt from several
// threads at once (File and MemoryStream do).
class WindowReader {
public:
    using Prepare = std::function<void(const Window&)>;

    WindowReader(ByteStream& source, WindowLayout layout, Prepare prepare = {});
    ~WindowReader();
    WindowReader(const WindowReader&) = delete;
    WindowReader& operator=(const WindowReader&) = delete;

    // The next window; the one handed out before is given back. Null past the last one.
    const Window* Next();
    // The window Next handed out last, or null.
    const Window* Current() const { return m_current < 0 ? nullptr : &m_windows[Slot(m_current)]; }
    std::int64_t WindowCount() const { return m_count; }

private:
    std::size_t Slot(std::int64_t index) const { return static_cast<std::size_t>(index % m_layout.slots); }
    void StartReaders();
    void Fill(std::int64_t index);
    void ReaderLoop();

    ByteStream& m_source;
    WindowLayout m_layout;
    Prepare m_prepare;
    std::int64_t m_length;
    std::int64_t m_count;
    std::vector<ReadBuffer> m_buffers;
    std::vector<Window> m_windows;
    std::int64_t m_current = -1;

    std::mutex m_mutex;
    std::condition_variable m_filled;  // a window is ready: the caller waits on it
    std::condition_variable m_freed;  // a slot was given back: readers wait on it
    std::vector<std::int64_t> m_ready;  // per slot: the window it holds ready, or -1
    std::int64_t m_nextToRead = 0;
    std::int64_t m_givenBack = 0;  // windows below this one are done with
    bool m_stopping = false;
    std::vector<std::thread> m_readers;
};

}  // namespace vyr::support
