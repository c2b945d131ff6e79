#include "recovery/MarkerFinder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>

#include "album/FirstPass.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VYR_X86 1
#endif

namespace vyr::recovery {

namespace {

// The marker that starts at offset, if one lies wholly inside the n bytes.
inline bool MarkerAt(const unsigned char* bytes, std::size_t n, std::size_t offset, Marker& marker)
{
    const unsigned char* at = bytes + offset;
    const std::size_t room = n - offset;
    switch (at[0]) {
    case 'T':
        if (room >= 3 && at[1] == 'A' && at[2] == 'G') return marker = Marker::Tag, true;
        return false;
    case 'I':
        if (room < 4) return false;
        if (std::memcmp(at, "ID3\x03", 4) == 0) return marker = Marker::Id3v23, true;
        if (std::memcmp(at, "Info", 4) == 0) return marker = Marker::Info, true;
        return false;
    case 'V':
        if (room >= 4 && std::memcmp(at, "VBRI", 4) == 0) return marker = Marker::Vbri, true;
        return false;
    case 'X':
        if (room >= 4 && std::memcmp(at, "Xing", 4) == 0) return marker = Marker::Xing, true;
        return false;
    default: return false;
    }
}

inline void Check(const unsigned char* bytes, std::size_t n, std::size_t offset, std::vector<MarkerHit>& hits)
{
    Marker marker{};
    if (MarkerAt(bytes, n, offset, marker)) hits.push_back(MarkerHit{static_cast<std::uint32_t>(offset), marker});
}

void FindScalar(const unsigned char* bytes, std::size_t n, std::size_t from, std::vector<MarkerHit>& hits)
{
    for (std::size_t i = from; i < n; ++i) Check(bytes, n, i, hits);
}

#ifdef VYR_X86

// Every mask bit k means: byte k and byte k + 1 are the first two bytes of a marker.
void FindSse2(const unsigned char* bytes, std::size_t n, std::vector<MarkerHit>& hits)
{
    const __m128i tT = _mm_set1_epi8('T'), tA = _mm_set1_epi8('A'), tI = _mm_set1_epi8('I');
    const __m128i tD = _mm_set1_epi8('D'), tn = _mm_set1_epi8('n'), tV = _mm_set1_epi8('V');
    const __m128i tB = _mm_set1_epi8('B'), tX = _mm_set1_epi8('X'), ti = _mm_set1_epi8('i');
    std::size_t pos = 0;
    for (; pos + 17 <= n; pos += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos + 1));
        __m128i m = _mm_and_si128(_mm_cmpeq_epi8(a, tT), _mm_cmpeq_epi8(b, tA));
        m = _mm_or_si128(
            m, _mm_and_si128(_mm_cmpeq_epi8(a, tI), _mm_or_si128(_mm_cmpeq_epi8(b, tD), _mm_cmpeq_epi8(b, tn))));
        m = _mm_or_si128(m, _mm_and_si128(_mm_cmpeq_epi8(a, tV), _mm_cmpeq_epi8(b, tB)));
        m = _mm_or_si128(m, _mm_and_si128(_mm_cmpeq_epi8(a, tX), _mm_cmpeq_epi8(b, ti)));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        while (mask != 0) {
            Check(bytes, n, pos + static_cast<std::size_t>(__builtin_ctz(mask)), hits);
            mask &= mask - 1;
        }
    }
    FindScalar(bytes, n, pos, hits);
}

// Each marker's first byte (T, I, V, X) has a low nibble of its own, and so has each second
// byte (A, D, n, B, i). A byte is a possible first byte when the table entry at its low nibble
// is the byte itself; unused entries hold a byte whose low nibble differs from their index, and
// bytes from 0x80 on look up 0, so neither ever matches. One shuffle and one compare per side
// then find every candidate pair; the few false pairs ("TD", "IA") are dropped by the check.
constexpr unsigned char kNoMatch(unsigned k) { return static_cast<unsigned char>(0x70 | ((k + 1) & 0x0F)); }

// The shuffles look up within each 16-byte lane, so the table stands once per lane.
constexpr std::array<unsigned char, 64> Table(std::span<const unsigned char> bytes)
{
    std::array<unsigned char, 64> table{};
    for (unsigned k = 0; k < 64; ++k) table[k] = kNoMatch(k & 0x0F);
    for (unsigned lane = 0; lane < 64; lane += 16)
        for (const unsigned char b : bytes) table[lane + (b & 0x0F)] = b;
    return table;
}

constexpr std::array<unsigned char, 64> Table(std::initializer_list<unsigned char> bytes)
{
    return Table(std::span(bytes.begin(), bytes.size()));
}

// What a table needs of its bytes: no two share a low nibble, and none is from 0x80 on.
constexpr bool FitsTable(std::span<const unsigned char> bytes)
{
    for (const unsigned char a : bytes) {
        if (a >= 0x80) return false;
        for (const unsigned char b : bytes)
            if (a != b && (a & 0x0F) == (b & 0x0F)) return false;
    }
    return true;
}

constexpr auto kFirstBytes = Table({'T', 'I', 'V', 'X'});
constexpr auto kSecondBytes = Table({'A', 'D', 'n', 'B', 'i'});

// Bit k: bytes k and k + 1 may be a marker's first two.
__attribute__((target("avx2"))) inline std::uint32_t PairsAvx2(const unsigned char* at, __m256i first, __m256i second)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
    const __m256i m = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(first, a), a),
                                       _mm256_cmpeq_epi8(_mm256_shuffle_epi8(second, b), b));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}

__attribute__((target("avx2"))) void FindAvx2(const unsigned char* bytes, std::size_t n, std::vector<MarkerHit>& hits)
{
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kFirstBytes.data()));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kSecondBytes.data()));
    // 64 bytes a turn, so that the one branch of a turn is taken still more rarely.
    std::size_t pos = 0;
    for (; pos + 65 <= n; pos += 64) {
        auto mask = PairsAvx2(bytes + pos, first, second) | std::uint64_t{PairsAvx2(bytes + pos + 32, first, second)}
                                                                << 32;
        while (mask != 0) {
            Check(bytes, n, pos + static_cast<std::size_t>(__builtin_ctzll(mask)), hits);
            mask &= mask - 1;
        }
    }
    for (; pos + 33 <= n; pos += 32) {
        auto mask = PairsAvx2(bytes + pos, first, second);
        while (mask != 0) {
            Check(bytes, n, pos + static_cast<std::size_t>(__builtin_ctz(mask)), hits);
            mask &= mask - 1;
        }
    }
    FindScalar(bytes, n, pos, hits);
}

// The markers' first and second bytes together with those of the first pass's tags, which keep
// low nibbles of their own too: one table for each side finds the candidates of both searches.
constexpr unsigned char FirstByte(std::string_view tag) { return static_cast<unsigned char>(tag[0]); }
constexpr unsigned char SecondByte(std::string_view tag) { return static_cast<unsigned char>(tag[1]); }
using album::kAlbumWrapTag;
using album::kExtBinTag;
using album::kId3Tag;
constexpr std::array<unsigned char, 7> kFirstBytesWithLines{
    'T', 'I', 'V', 'X', FirstByte(kExtBinTag), FirstByte(kAlbumWrapTag), FirstByte(kId3Tag)};
constexpr std::array<unsigned char, 8> kSecondBytesWithLines{
    'A', 'D', 'n', 'B', 'i', SecondByte(kExtBinTag), SecondByte(kAlbumWrapTag), SecondByte(kId3Tag)};
static_assert(FitsTable(kFirstBytesWithLines) && FitsTable(kSecondBytesWithLines));
constexpr auto kFirstTableWithLines = Table(kFirstBytesWithLines);
constexpr auto kSecondTableWithLines = Table(kSecondBytesWithLines);

__attribute__((target("avx2"))) inline __m256i PairsOf(__m256i a, __m256i b, __m256i first, __m256i second)
{
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(first, a), a),
                            _mm256_cmpeq_epi8(_mm256_shuffle_epi8(second, b), b));
}

// The sum of the 32 bytes.
__attribute__((target("avx2"))) inline std::uint64_t SumBytesAvx2(__m256i bytes)
{
    const __m256i sums = _mm256_sad_epu8(bytes, _mm256_setzero_si256());
    return static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
}

// Adds the summary of the piece's bytes from `pos` on, taken on their own: a CR just in front of
// them had its LF counted already.
void AddRest(album::LineSummary& summary, std::span<const unsigned char> piece, std::size_t pos)
{
    const album::LineSummary rest = album::SummarizeLines(piece.subspan(pos));
    const auto shift = static_cast<std::int64_t>(pos);
    summary.lineEnds += rest.lineEnds;
    summary.pairedEnds += rest.pairedEnds;
    if (rest.lastLineEnd >= 0) summary.lastLineEnd = shift + rest.lastLineEnd;
    if (rest.lastId3 >= 0) summary.lastId3 = shift + rest.lastId3;
    summary.verdictTag = summary.verdictTag || rest.verdictTag;
}

// FindAvx2 over the bytes around the piece; over the piece itself the line counts ride along,
// each CR and each CR with an LF after it adding one to a byte counter of its own lane, summed
// before the counters can overflow, and each candidate pair is tried for a marker and a tag.
__attribute__((target("avx2,lzcnt"))) void FindAndSummarizeAvx2(const unsigned char* bytes, std::size_t n,
                                                                std::size_t from, std::size_t to,
                                                                std::vector<MarkerHit>& hits,
                                                                album::LineSummary& summary)
{
    // The markers that begin in front of the piece, up to the three bytes that reach into it.
    const std::size_t before = hits.size();
    if (from > 0) FindAvx2(bytes, std::min(n, from + 3), hits);
    while (hits.size() > before && hits.back().offset >= from) hits.pop_back();

    const std::span<const unsigned char> piece(bytes + from, to - from);
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kFirstTableWithLines.data()));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kSecondTableWithLines.data()));
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    // Two counts a turn at most in each lane: 127 turns fill a byte to 254.
    constexpr std::size_t kTurns = 127;
    std::uint64_t lineEnds = 0;
    std::uint64_t pairedEnds = 0;
    std::size_t pos = 0;
    while (pos + 65 <= piece.size()) {
        __m256i ends = _mm256_setzero_si256();
        __m256i paired = _mm256_setzero_si256();
        for (std::size_t turn = 0; turn < kTurns && pos + 65 <= piece.size(); ++turn, pos += 64) {
            const unsigned char* at = piece.data() + pos;
            const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
            const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
            const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
            const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 33));
            const __m256i cr0 = _mm256_cmpeq_epi8(a0, cr);
            const __m256i cr1 = _mm256_cmpeq_epi8(a1, cr);
            ends = _mm256_sub_epi8(_mm256_sub_epi8(ends, cr0), cr1);
            paired = _mm256_sub_epi8(paired, _mm256_and_si256(cr0, _mm256_cmpeq_epi8(b0, lf)));
            paired = _mm256_sub_epi8(paired, _mm256_and_si256(cr1, _mm256_cmpeq_epi8(b1, lf)));
            const __m256i pairs0 = PairsOf(a0, b0, first, second);
            const __m256i pairs1 = PairsOf(a1, b1, first, second);
            const __m256i pairs = _mm256_or_si256(pairs0, pairs1);
            if (_mm256_testz_si256(pairs, pairs) != 0) continue;
            std::uint64_t mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(pairs0)) |
                                 std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(pairs1))} << 32;
            for (; mask != 0; mask &= mask - 1) {
                const std::size_t k = pos + static_cast<std::size_t>(std::countr_zero(mask));
                Check(bytes, n, from + k, hits);
                album::SummarizeTagAt(piece, k, summary);
            }
        }
        lineEnds += SumBytesAvx2(ends);
        pairedEnds += SumBytesAvx2(paired);
    }
    summary.lineEnds = static_cast<std::uint32_t>(lineEnds);
    summary.pairedEnds = static_cast<std::uint32_t>(pairedEnds);
    summary.lastLineEnd = lineEnds == 0 ? -1 : album::LastLineEnd(piece.first(pos));
    AddRest(summary, piece, pos);

    // The markers from there to the end of the bytes.
    const std::size_t tail = from + pos;
    const std::size_t found = hits.size();
    FindAvx2(bytes + tail, n - tail, hits);
    for (std::size_t i = found; i < hits.size(); ++i) hits[i].offset += static_cast<std::uint32_t>(tail);
}

// The same test 64 bytes at a time; a compare under a mask is the AND for free.
__attribute__((target("avx512f,avx512bw"))) void FindAvx512(const unsigned char* bytes, std::size_t n,
                                                            std::vector<MarkerHit>& hits)
{
    const __m512i first = _mm512_loadu_si512(kFirstBytes.data());
    const __m512i second = _mm512_loadu_si512(kSecondBytes.data());
    std::size_t pos = 0;
    for (; pos + 65 <= n; pos += 64) {
        const __m512i a = _mm512_loadu_si512(bytes + pos);
        const __m512i b = _mm512_loadu_si512(bytes + pos + 1);
        __mmask64 mask = _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(_mm512_shuffle_epi8(first, a), a),
                                                     _mm512_shuffle_epi8(second, b), b);
        while (mask != 0) {
            Check(bytes, n, pos + static_cast<std::size_t>(__builtin_ctzll(mask)), hits);
            mask &= mask - 1;
        }
    }
    FindScalar(bytes, n, pos, hits);
}

bool HasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return has;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

}  // namespace

std::size_t MarkerLength(Marker marker) { return marker == Marker::Tag ? 3 : 4; }

bool FinderAvailable(FinderKind kind)
{
    switch (kind) {
#ifdef VYR_X86
    case FinderKind::Scalar:
    case FinderKind::Best:
    case FinderKind::Sse2: return true;
    case FinderKind::Avx2: return HasAvx2();
    case FinderKind::Avx512: return HasAvx512();
#else
    case FinderKind::Scalar:
    case FinderKind::Best: return true;
    case FinderKind::Sse2:
    case FinderKind::Avx2:
    case FinderKind::Avx512: return false;
#endif
    }
    return false;
}

void FindMarkers(std::span<const unsigned char> bytes, std::vector<MarkerHit>& hits, FinderKind kind)
{
    const unsigned char* data = bytes.data();
    const std::size_t n = bytes.size();
#ifdef VYR_X86
    if (kind == FinderKind::Best)
        kind = HasAvx512() ? FinderKind::Avx512 : HasAvx2() ? FinderKind::Avx2 : FinderKind::Sse2;
    if (kind == FinderKind::Avx512 && HasAvx512()) return FindAvx512(data, n, hits);
    if (kind == FinderKind::Avx2 && HasAvx2()) return FindAvx2(data, n, hits);
    if (kind != FinderKind::Scalar) return FindSse2(data, n, hits);
#endif
    FindScalar(data, n, 0, hits);
}

void FindMarkersAndSummarize(std::span<const unsigned char> bytes, std::size_t from, std::size_t to,
                             std::vector<MarkerHit>& hits, album::LineSummary& summary, FinderKind kind)
{
    to = std::min(to, bytes.size());
    from = std::min(from, to);
#ifdef VYR_X86
    if ((kind == FinderKind::Best || kind == FinderKind::Avx2) && HasAvx2()) {
        summary = album::LineSummary{};
        return FindAndSummarizeAvx2(bytes.data(), bytes.size(), from, to, hits, summary);
    }
#endif
    FindMarkers(bytes, hits, kind);
    summary = album::SummarizeLines(bytes.subspan(from, to - from));
}

}  // namespace vyr::recovery
