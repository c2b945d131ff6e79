#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vyr::album {
struct LineSummary;
}  // namespace vyr::album

namespace vyr::recovery {

// The four-byte and three-byte markers whose first occurrence in a block the walk asks for.
// The frame sync FF FB is not among them: it occurs in every frame, and the walk only needs it
// in front of the first track and near a VBR header, where it searches for it directly.
enum class Marker : std::uint8_t { Tag, Id3v23, Info, Vbri, Xing };
inline constexpr std::size_t kMarkerKinds = 5;

// Bytes of the marker: "TAG" is three, the others four.
std::size_t MarkerLength(Marker marker);

struct MarkerHit {
    std::uint32_t offset;  // from the start of the searched bytes
    Marker marker;
};

enum class FinderKind { Scalar, Sse2, Avx2, Avx512, Best };

// False when this build or this processor cannot run that kind.
bool FinderAvailable(FinderKind kind);

// Appends every marker that lies wholly inside bytes, in ascending offset order. One pass: a
// vector compare of each byte and its successor against the markers' first two bytes, then a
// check of the few places that pass. bytes may hold at most 4 GiB.
void FindMarkers(std::span<const unsigned char> bytes, std::vector<MarkerHit>& hits,
                 FinderKind kind = FinderKind::Best);

// FindMarkers over `bytes`, and the first pass's SummarizeLines over bytes [from, to), with the
// results of the two, in one pass over the bytes they share: the loads and the pair test serve
// both, and the bytes are read once.
void FindMarkersAndSummarize(std::span<const unsigned char> bytes, std::size_t from, std::size_t to,
                             std::vector<MarkerHit>& hits, album::LineSummary& summary,
                             FinderKind kind = FinderKind::Best);

}  // namespace vyr::recovery
