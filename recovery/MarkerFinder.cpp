#include "recovery/MarkerFinder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <span>
#include <string_view>

#include "album/FirstPass.h"
#include "album/LineCount.h"
#include "support/NibbleTable.h"

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
// byte (A, D, n, B, i): one shuffle and one compare per side then find every candidate pair; the
// few false pairs ("TD", "IA") are dropped by the check.
constexpr std::array<unsigned char, 4> kMarkerFirstBytes{'T', 'I', 'V', 'X'};
constexpr std::array<unsigned char, 5> kMarkerSecondBytes{'A', 'D', 'n', 'B', 'i'};
constexpr auto kFirstBytes = support::NibbleTable<64>(kMarkerFirstBytes);
constexpr auto kSecondBytes = support::NibbleTable<64>(kMarkerSecondBytes);

// Bit k: bytes k and k + 1 may be a marker's first two.
__attribute__((target("avx2"))) inline std::uint32_t PairsAvx2(const unsigned char* at, __m256i first, __m256i second)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(album::lines::PairsAvx2(a, b, first, second)));
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
template <std::size_t M, std::size_t T>
constexpr std::array<unsigned char, M + T> Joined(const std::array<unsigned char, M>& markers,
                                                  const std::array<unsigned char, T>& tags)
{
    std::array<unsigned char, M + T> joined{};
    std::copy(markers.begin(), markers.end(), joined.begin());
    std::copy(tags.begin(), tags.end(), joined.begin() + M);
    return joined;
}
constexpr auto kFirstBytesWithLines = Joined(kMarkerFirstBytes, album::lines::kTagFirstBytes);
constexpr auto kSecondBytesWithLines = Joined(kMarkerSecondBytes, album::lines::kTagSecondBytes);
static_assert(support::FitsNibbleTable(kFirstBytesWithLines) && support::FitsNibbleTable(kSecondBytesWithLines));
constexpr auto kFirstTableWithLines = support::NibbleTable<32>(kFirstBytesWithLines);
constexpr auto kSecondTableWithLines = support::NibbleTable<32>(kSecondBytesWithLines);

// FindAvx2 over the bytes around the piece; over the piece itself the marker search rides along
// with the first pass's line count, trying each candidate pair for a marker too.
__attribute__((target("avx2,lzcnt"))) void FindAndSummarizeAvx2(const unsigned char* bytes, std::size_t n,
                                                                std::size_t from, std::size_t to,
                                                                std::vector<MarkerHit>& hits,
                                                                album::LineSummary& summary)
{
    // The markers that begin in front of the piece, up to the three bytes that reach into it.
    const std::size_t before = hits.size();
    if (from > 0) FindAvx2(bytes, std::min(n, from + 3), hits);
    while (hits.size() > before && hits.back().offset >= from) hits.pop_back();

    // A marker near the piece's end may reach past it, into the bytes after it.
    const std::size_t counted =
        album::lines::SummarizeAvx2(bytes + from, to - from, kFirstTableWithLines.data(), kSecondTableWithLines.data(),
                                    summary, [&](std::size_t at) { Check(bytes, n, from + at, hits); });

    // The markers from there to the end of the bytes.
    const std::size_t tail = from + counted;
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
        return FindAndSummarizeAvx2(bytes.data(), bytes.size(), from, to, hits, summary);
    }
#endif
    FindMarkers(bytes, hits, kind);
    summary = album::SummarizeLines(bytes.subspan(from, to - from));
}

}  // namespace vyr::recovery
