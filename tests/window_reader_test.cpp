#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "support/ByteStream.h"
#include "support/WindowReader.h"

namespace vyr::support {
namespace {

std::string Numbered(std::size_t n)
{
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

struct LayoutCase {
    std::size_t length;
    std::size_t size;
    std::int64_t from;
    std::size_t lead;
    std::size_t slack;
    int slots;
    int readers;
};

// Whoever reads a window, the caller or a reader, it holds the stream's bytes from its start to
// its end, zeros after them, and the own parts lie end to end from `from` to the stream's end.
TEST(window_reader, hands_out_every_window_in_order_with_the_streams_bytes_whoever_reads_it)
{
    const LayoutCase cases[] = {
        {10'000, 1000, 0, 0, 0, 2, 0},      {10'000, 1000, 0, 5, 7, 2, 1},   {10'001, 1000, 64, 5, 7, 3, 1},
        {100'000, 4096, 0, 512, 511, 4, 1}, {100'000, 4096, 17, 3, 3, 4, 2}, {999, 4096, 0, 5, 7, 4, 1},
        {0, 4096, 0, 5, 7, 4, 1},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length) + ", size " + std::to_string(c.size) + ", readers " +
                     std::to_string(c.readers));
        const std::string bytes = Numbered(c.length);
        MemoryStream stream(bytes);
        WindowLayout layout{c.size, c.from, c.lead, c.slack, 16, c.slots, c.readers};
        std::int64_t prepared = 0;
        std::mutex mutex;
        WindowReader reader(stream, layout, [&](const Window&) {
            const std::lock_guard lock(mutex);
            ++prepared;
        });
        std::int64_t expectedStart = std::min<std::int64_t>(c.from, static_cast<std::int64_t>(c.length));
        std::int64_t index = 0;
        const auto length = static_cast<std::int64_t>(c.length);
        while (const Window* window = reader.Next()) {
            ASSERT_EQ(index, window->index);
            EXPECT_EQ(expectedStart, window->ownStart);
            EXPECT_EQ(std::max<std::int64_t>(0, window->ownStart - static_cast<std::int64_t>(c.lead)), window->start);
            EXPECT_EQ(std::min(length, window->ownEnd + static_cast<std::int64_t>(c.slack)), window->end);
            EXPECT_EQ(window->end, window->readEnd);
            EXPECT_EQ(0, window->error);
            const std::size_t held = static_cast<std::size_t>(window->end - window->start);
            ASSERT_GE(window->bytes.size(), held + 16);
            EXPECT_EQ(held, window->Asked().size());
            EXPECT_EQ(bytes.substr(static_cast<std::size_t>(window->start), held),
                      std::string(window->bytes.begin(), window->bytes.begin() + static_cast<std::ptrdiff_t>(held)));
            EXPECT_TRUE(std::all_of(window->bytes.begin() + static_cast<std::ptrdiff_t>(held), window->bytes.end(),
                                    [](unsigned char b) { return b == 0; }));
            expectedStart = window->ownEnd;
            ++index;
        }
        EXPECT_EQ(length, expectedStart);
        EXPECT_EQ(reader.WindowCount(), index);
        EXPECT_EQ(index, prepared);
    }
}

// A stream whose reads on any thread but the test's wait until the test's thread has read a
// window itself: a caller that only waited for its reader would wait for ever.
class HeldForTheCaller final : public ByteStream {
public:
    explicit HeldForTheCaller(std::string_view bytes) : m_bytes(bytes) {}
    std::int64_t Length() const override { return m_bytes.Length(); }
    IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override
    {
        std::unique_lock lock(m_mutex);
        if (std::this_thread::get_id() == m_caller) {
            m_callerReads = true;
            m_changed.notify_all();
        } else if (!m_timedOut && !m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_callerReads; })) {
            m_timedOut = true;  // once: the test has failed, and need not wait for every window
        }
        lock.unlock();
        return m_bytes.ReadAt(offset, into);
    }
    bool CallerRead()
    {
        const std::lock_guard lock(m_mutex);
        return m_callerReads;
    }
    bool TimedOut()
    {
        const std::lock_guard lock(m_mutex);
        return m_timedOut;
    }

private:
    MemoryStream m_bytes;
    std::thread::id m_caller = std::this_thread::get_id();
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_callerReads = false;
    bool m_timedOut = false;
};

TEST(window_reader, a_caller_whose_next_window_is_late_reads_one_ahead_itself)
{
    const std::string bytes = Numbered(64 * 1000);
    HeldForTheCaller stream(bytes);
    WindowReader reader(stream, WindowLayout{1000, 0, 0, 0, 0, 4, 1});
    std::string seen;
    while (const Window* window = reader.Next()) seen.append(window->Own().begin(), window->Own().end());
    EXPECT_EQ(bytes, seen);
    EXPECT_TRUE(stream.CallerRead());
    EXPECT_FALSE(stream.TimedOut());
}

}  // namespace
}  // namespace vyr::support
