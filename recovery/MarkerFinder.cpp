#include "recovery/MarkerFinder.h"

#include <array>
#include <cstring>
#include <initializer_list>

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
constexpr std::array<unsigned char, 64> Table(std::initializer_list<unsigned char> bytes)
{
    std::array<unsigned char, 64> table{};
    for (unsigned k = 0; k < 64; ++k) table[k] = kNoMatch(k & 0x0F);
    for (unsigned lane = 0; lane < 64; lane += 16)
        for (const unsigned char b : bytes) table[lane + (b & 0x0F)] = b;
    return table;
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

}  // namespace vyr::recovery
