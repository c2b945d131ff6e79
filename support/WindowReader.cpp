#include "support/WindowReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace vyr::support {

WindowReader::WindowReader(ByteStream& source, WindowLayout layout, Prepare prepare)
    : m_source(source),
      m_layout(layout),
      m_prepare(std::move(prepare)),
      m_length(std::max<std::int64_t>(0, source.Length()))
{
    m_layout.size = std::max<std::size_t>(m_layout.size, 1);
    m_layout.slots = std::max(m_layout.slots, 2);
    m_layout.from = std::clamp<std::int64_t>(m_layout.from, 0, m_length);
    const auto size = static_cast<std::int64_t>(m_layout.size);
    m_count = (m_length - m_layout.from + size - 1) / size;
    // A small stream needs no more room than its own bytes and the zeros after them.
    const std::size_t capacity =
        static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(m_layout.lead + m_layout.size + m_layout.slack), m_length)) +
        m_layout.zeros;
    const auto slots =
        static_cast<std::size_t>(std::min<std::int64_t>(m_layout.slots, std::max<std::int64_t>(m_count, 1)));
    m_buffers.reserve(slots);
    while (m_buffers.size() < slots) m_buffers.emplace_back(capacity);
    m_windows.resize(slots);
    m_ready.assign(slots, -1);
    m_layout.slots = static_cast<int>(slots);
    StartReaders();
}

void WindowReader::StartReaders()
{
    // One window needs no thread; more readers than windows have nothing to do.
    if (m_count <= 1) return;
    const auto readers = std::min<std::int64_t>(m_layout.readers, m_count);
    try {
        while (static_cast<std::int64_t>(m_readers.size()) < readers) m_readers.emplace_back([this] { ReaderLoop(); });
    } catch (const std::system_error&) {
        // A system out of threads gets fewer readers, or none: the caller then reads each window.
    }
}

WindowReader::~WindowReader()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_freed.notify_all();
    for (std::thread& reader : m_readers) reader.join();
}

const Window* WindowReader::Next()
{
    const std::int64_t next = m_current + 1;
    if (next >= m_count) {
        m_current = m_count;
        return nullptr;
    }
    if (m_readers.empty()) {
        Fill(next);
    } else {
        std::unique_lock lock(m_mutex);
        m_givenBack = next;
        m_freed.notify_all();
        while (m_ready[Slot(next)] != next) {
            // Rather than sleep until a reader hands the window over, read one ahead: the
            // caller's core then works too, and no reader has to wake it.
            if (m_nextToRead < m_count && m_nextToRead < m_givenBack + m_layout.slots) {
                const std::int64_t index = m_nextToRead++;
                lock.unlock();
                Fill(index);
                lock.lock();
                m_ready[Slot(index)] = index;
            } else {
                m_filled.wait(lock);
            }
        }
    }
    m_current = next;
    return &m_windows[Slot(next)];
}

void WindowReader::Fill(std::int64_t index)
{
    Window& window = m_windows[Slot(index)];
    const auto size = static_cast<std::int64_t>(m_layout.size);
    window.index = index;
    window.slot = Slot(index);
    window.ownStart = m_layout.from + index * size;
    window.ownEnd = std::min(m_length, window.ownStart + size);
    window.start = std::max<std::int64_t>(0, window.ownStart - static_cast<std::int64_t>(m_layout.lead));
    window.end = std::min(m_length, window.ownEnd + static_cast<std::int64_t>(m_layout.slack));
    const std::span<unsigned char> buffer = m_buffers[Slot(index)].For(window.start);
    window.bytes = buffer;
    const IoResult read =
        m_source.ReadAt(window.start, buffer.first(static_cast<std::size_t>(window.end - window.start)));
    window.error = read.error;
    window.readEnd = window.start + static_cast<std::int64_t>(read.count);
    // A stream that shrank since it was measured reads as zeros from there on, as past its end.
    std::memset(buffer.data() + read.count, 0, buffer.size() - read.count);
    if (window.error != 0 || !m_prepare) return;
    try {
        m_prepare(window);
    } catch (...) {
        // Only memory can run out in a search of bytes already read.
        window.error = ENOMEM;
    }
}

void WindowReader::ReaderLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopping || m_nextToRead >= m_count) return;
        const std::int64_t index = m_nextToRead++;
        // Its slot is free once the caller has given back the window that held it before.
        m_freed.wait(lock, [&] { return m_stopping || index < m_givenBack + m_layout.slots; });
        if (m_stopping) return;
        lock.unlock();
        Fill(index);
        lock.lock();
        m_ready[Slot(index)] = index;
        m_filled.notify_one();
    }
}

}  // namespace vyr::support
