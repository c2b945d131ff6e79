#include "recovery/FrameReader.h"

#include <algorithm>
#include <cstring>

namespace vyr::recovery {

namespace {

constexpr auto kPage = static_cast<std::int64_t>(support::ReadBuffer::kPage);
// Never more than the file holds: a small file costs a small buffer.
std::size_t BufferFor(std::size_t bufferBytes, std::int64_t length)
{
    const auto wanted = static_cast<std::int64_t>(std::max(bufferBytes, 2 * FrameReader::kReach)) / kPage * kPage;
    return static_cast<std::size_t>(
        std::min(wanted, (std::max<std::int64_t>(length, 0) + 2 * kPage - 1) / kPage * kPage));
}

}  // namespace

FrameReader::FrameReader(support::ByteStream& source, std::size_t bufferBytes)
    : m_source(source),
      m_length(std::max<std::int64_t>(0, source.Length())),
      m_buffer(BufferFor(bufferBytes, m_length)),
      m_room(m_buffer.For(0))
{
}

bool FrameReader::Holds(std::int64_t offset, std::size_t want) const
{
    const std::int64_t end = std::min(m_length, offset + static_cast<std::int64_t>(want));
    if (offset >= m_start && end <= m_end) return true;
    return !m_farBytes.empty() && offset >= m_farStart &&
           end <= m_farStart + static_cast<std::int64_t>(m_farBytes.size());
}

bool FrameReader::Reaches(std::int64_t offset, std::size_t want) const
{
    const std::int64_t end = std::min(m_length, offset + static_cast<std::int64_t>(want));
    const std::int64_t from = m_floor / kPage * kPage;
    return Holds(offset, want) || (offset >= from && end <= from + static_cast<std::int64_t>(m_room.size()));
}

int FrameReader::Read(std::int64_t offset, std::span<unsigned char> into)
{
    const support::IoResult read = m_source.ReadAt(offset, into);
    if (!read.Ok()) return read.error;
    // A file that shrank since it was measured reads as zeros from there on.
    std::memset(into.data() + read.count, 0, into.size() - read.count);
    return 0;
}

// Keeps what lies from the floor's page on, at the buffer's front, and fills the rest.
void FrameReader::Slide()
{
    const std::int64_t from = m_floor / kPage * kPage;
    if (from < m_end && from > m_start)
        std::memmove(m_room.data(), m_room.data() + (from - m_start), static_cast<std::size_t>(m_end - from));
    const std::int64_t kept = std::max(from, m_end);
    m_start = from;
    m_end = kept;
    const std::int64_t to = std::min(m_length, m_start + static_cast<std::int64_t>(m_room.size()));
    if (const int error =
            Read(kept, m_room.subspan(static_cast<std::size_t>(kept - m_start), static_cast<std::size_t>(to - kept)));
        error != 0) {
        m_error = error;
        return;
    }
    m_end = to;
}

std::span<const unsigned char> FrameReader::At(std::int64_t offset, std::size_t want)
{
    if (offset < 0 || offset >= m_length || m_error != 0) return {};
    const std::int64_t end = std::min(m_length, offset + static_cast<std::int64_t>(want));
    if (offset >= m_start && end > m_end && Reaches(offset, want)) Slide();
    if (m_error != 0) return {};
    if (offset >= m_start && end <= m_end)
        return std::span<const unsigned char>(m_room).subspan(static_cast<std::size_t>(offset - m_start),
                                                              static_cast<std::size_t>(m_end - offset));
    const auto far = static_cast<std::int64_t>(m_farBytes.size());
    if (offset < m_farStart || end > m_farStart + far) {
        if (!m_far) m_far.emplace(kFarBytes);
        const std::span<unsigned char> room = m_far->For(offset);
        const auto count =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(kFarBytes), m_length - offset));
        m_farBytes = {};
        if (const int error = Read(offset, room.first(count)); error != 0) {
            m_error = error;
            return {};
        }
        m_farStart = offset;
        m_farBytes = room.first(count);
    }
    return m_farBytes.subspan(static_cast<std::size_t>(offset - m_farStart));
}

}  // namespace vyr::recovery
