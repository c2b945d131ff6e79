#include "recovery/Mp3WrapIndex.h"

#include <cstring>

namespace vyr::recovery {

namespace {

constexpr std::size_t kFixedBytes = 12;  // "WRAP", version, a byte, count, CRC

std::optional<std::int64_t> BigEndian32(std::span<const unsigned char> bytes, std::size_t at)
{
    if (at + 4 > bytes.size()) return std::nullopt;
    const unsigned char* p = bytes.data() + at;
    return (std::int64_t{p[0]} << 24) | (std::int64_t{p[1]} << 16) | (std::int64_t{p[2]} << 8) | p[3];
}

}  // namespace

std::optional<Mp3WrapIndex> Mp3WrapIndex::Parse(std::span<const unsigned char> bytes, std::int64_t base,
                                                std::int64_t fileLength)
{
    if (bytes.size() < kFixedBytes || std::memcmp(bytes.data(), "WRAP", 4) != 0) return std::nullopt;
    const int count = bytes[7];
    if (count == 0) return std::nullopt;
    std::vector<std::int64_t> starts;
    std::vector<std::string> names;
    std::size_t p = kFixedBytes;
    for (int i = 0; i < count; ++i) {
        const auto start = BigEndian32(bytes, p);
        if (!start) return std::nullopt;
        p += 4;
        const void* nul = std::memchr(bytes.data() + p, 0, bytes.size() - p);
        if (nul == nullptr) return std::nullopt;
        const auto length = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - (bytes.data() + p));
        names.emplace_back(reinterpret_cast<const char*>(bytes.data() + p), length);
        p += length + 1;
        starts.push_back(*start);
    }
    const auto end = BigEndian32(bytes, p);
    if (!end) return std::nullopt;
    starts.push_back(*end);
    // The first file begins after the index itself; each begins where the one before ends.
    if (starts.front() < static_cast<std::int64_t>(p + 4) || base + starts.back() > fileLength) return std::nullopt;
    Mp3WrapIndex index;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (starts[k + 1] <= starts[k]) return std::nullopt;
        index.entries.push_back(Entry{base + starts[k], starts[k + 1] - starts[k], std::move(names[k])});
    }
    return index;
}

}  // namespace vyr::recovery
