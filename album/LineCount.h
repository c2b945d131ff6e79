#pragma once

// How the first pass counts the lines of a piece it only counts (SummarizeLines), for that pass
// and for a search of its own that makes the same summary in the same pass over the bytes: both
// then count with one kernel.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "album/FirstPass.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace vyr::album::lines {

inline constexpr std::string_view kExtBin = "EXTBIN";
inline constexpr std::string_view kAlbumWrap = "AlbumWrap";
inline constexpr std::string_view kId3 = "ID3";

struct Tag {
    std::string_view text;
    LineMark mark;
};
inline constexpr std::array<Tag, 3> kTags{
    {{kExtBin, LineMark::ExtBin}, {kAlbumWrap, LineMark::AlbumWrap}, {kId3, LineMark::Id3}}};

// The tags' first and second bytes, for a search's candidate pairs.
inline constexpr std::array<unsigned char, 3> kTagFirstBytes{static_cast<unsigned char>(kExtBin[0]),
                                                             static_cast<unsigned char>(kAlbumWrap[0]),
                                                             static_cast<unsigned char>(kId3[0])};
inline constexpr std::array<unsigned char, 3> kTagSecondBytes{static_cast<unsigned char>(kExtBin[1]),
                                                              static_cast<unsigned char>(kAlbumWrap[1]),
                                                              static_cast<unsigned char>(kId3[1])};

// The tag that starts at `at`, when it lies wholly inside the n bytes.
inline void SummarizeTag(const unsigned char* bytes, std::size_t n, std::size_t at, LineSummary& summary)
{
    for (const Tag& tag : kTags)
        if (n - at >= tag.text.size() && std::memcmp(bytes + at, tag.text.data(), tag.text.size()) == 0) {
            if (tag.mark == LineMark::Id3)
                summary.lastId3 = static_cast<std::int64_t>(at);
            else
                summary.verdictTag = true;
            return;
        }
}

// Adds bytes [from, n) to the summary, byte by byte.
inline void SummarizeScalar(const unsigned char* bytes, std::size_t n, std::size_t from, LineSummary& summary)
{
    for (std::size_t i = from; i < n; ++i) {
        const unsigned char b = bytes[i];
        if (b == '\r') {
            ++summary.lineEnds;
            summary.lastLineEnd = static_cast<std::int64_t>(i);
            if (i + 1 < n && bytes[i + 1] == '\n') ++summary.pairedEnds;
        } else if (b == kExtBin[0] || b == kAlbumWrap[0] || b == kId3[0]) {
            SummarizeTag(bytes, n, i, summary);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)

// The sum of the 32 bytes.
__attribute__((target("avx2"))) inline std::uint64_t SumBytesAvx2(__m256i bytes)
{
    const __m256i sums = _mm256_sad_epu8(bytes, _mm256_setzero_si256());
    return static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
}

// Offset of the last CR in bytes[0, n), or -1.
__attribute__((target("avx2,lzcnt"))) inline std::int64_t LastCrAvx2(const unsigned char* bytes, std::size_t n)
{
    const __m256i cr = _mm256_set1_epi8('\r');
    std::size_t end = n;
    for (; end >= 32; end -= 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + end - 32));
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, cr)));
        if (mask != 0) return static_cast<std::int64_t>(end - 1 - static_cast<std::size_t>(std::countl_zero(mask)));
    }
    while (end > 0)
        if (bytes[--end] == '\r') return static_cast<std::int64_t>(end);
    return -1;
}

// Bits for 32 bytes: the pairs of a byte and the one after it that the two nibble tables pass.
__attribute__((target("avx2"))) inline __m256i PairsAvx2(__m256i a, __m256i b, __m256i first, __m256i second)
{
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(first, a), a),
                            _mm256_cmpeq_epi8(_mm256_shuffle_epi8(second, b), b));
}

// The summary of the n bytes, 64 bytes a turn with no branch but the rare candidate pairs: each
// CR, and each CR with an LF after it, adds one to a byte counter of its own lane, and the
// counters are summed before they can overflow. The last CR, when there is one, is looked for
// once, from the end. A candidate is a pair that the nibble tables `first` and `second` pass (at
// least 32 bytes each, holding the tags' first and second bytes): it is tried for a tag, then
// handed to `alsoTry`, for the search that rides along. The last 64 bytes or fewer are only
// summarized, byte by byte; returns where they begin.
template <class AlsoTry>
__attribute__((target("avx2,lzcnt"))) inline std::size_t SummarizeAvx2(const unsigned char* bytes, std::size_t n,
                                                                       const unsigned char* first,
                                                                       const unsigned char* second,
                                                                       LineSummary& summary, AlsoTry&& alsoTry)
{
    const __m256i firstTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first));
    const __m256i secondTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(second));
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    // Two counts a turn at most in each lane: 127 turns fill a byte to 254.
    constexpr std::size_t kTurns = 127;
    summary = LineSummary{};
    std::uint64_t lineEnds = 0;
    std::uint64_t pairedEnds = 0;
    std::size_t pos = 0;
    while (pos + 65 <= n) {
        __m256i ends = _mm256_setzero_si256();
        __m256i paired = _mm256_setzero_si256();
        for (std::size_t turn = 0; turn < kTurns && pos + 65 <= n; ++turn, pos += 64) {
            const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos));
            const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos + 1));
            const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos + 32));
            const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos + 33));
            const __m256i cr0 = _mm256_cmpeq_epi8(a0, cr);
            const __m256i cr1 = _mm256_cmpeq_epi8(a1, cr);
            ends = _mm256_sub_epi8(_mm256_sub_epi8(ends, cr0), cr1);
            paired = _mm256_sub_epi8(paired, _mm256_and_si256(cr0, _mm256_cmpeq_epi8(b0, lf)));
            paired = _mm256_sub_epi8(paired, _mm256_and_si256(cr1, _mm256_cmpeq_epi8(b1, lf)));
            const __m256i pairs0 = PairsAvx2(a0, b0, firstTable, secondTable);
            const __m256i pairs1 = PairsAvx2(a1, b1, firstTable, secondTable);
            const __m256i pairs = _mm256_or_si256(pairs0, pairs1);
            if (_mm256_testz_si256(pairs, pairs) != 0) continue;
            std::uint64_t mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(pairs0)) |
                                 std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(pairs1))} << 32;
            for (; mask != 0; mask &= mask - 1) {
                const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(mask));
                SummarizeTag(bytes, n, at, summary);
                alsoTry(at);
            }
        }
        lineEnds += SumBytesAvx2(ends);
        pairedEnds += SumBytesAvx2(paired);
    }
    summary.lineEnds = static_cast<std::uint32_t>(lineEnds);
    summary.pairedEnds = static_cast<std::uint32_t>(pairedEnds);
    summary.lastLineEnd = lineEnds == 0 ? -1 : LastCrAvx2(bytes, pos);
    SummarizeScalar(bytes, n, pos, summary);
    return pos;
}

#endif

}  // namespace vyr::album::lines
