#include "recovery/PreciseSplit.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <optional>
#include <set>

#include "album/AlbumHeader.h"
#include "recovery/HeaderNames.h"
#include "recovery/Id3v2Tag.h"
#include "recovery/Mp3WrapIndex.h"
#include "support/Text.h"

namespace vyr::recovery {

namespace {

using album::NameSource;

// What the file says about its own parts, beside the walk.
struct Plan {
    std::vector<ByteRange> ranges;
    std::vector<std::optional<std::string>> headerNames;  // raw album-header bytes
    std::vector<std::optional<std::string>> wrapNames;  // raw index bytes
    std::vector<const WalkedTrack*> tracks;  // the walked track at each range's start, if any
};

std::string LeadingBytes(support::ByteStream& source, std::int64_t count)
{
    std::string bytes(static_cast<std::size_t>(std::min(count, kMaxLeadingBytes)), '\0');
    const support::IoResult read = source.ReadAt(0, {reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()});
    bytes.resize(read.Ok() ? read.count : 0);
    return bytes;
}

// The album's line rule: a CR ends a line and a LF right after it belongs to that end; text
// after the last line end runs into the audio and is no line. Element 0 is overwritten until
// the first non-empty line, as the loader stores them.
std::vector<std::string> HeaderLines(std::string_view bytes)
{
    std::vector<std::string> lines{std::string()};
    std::size_t start = 0;
    for (std::size_t cr = bytes.find('\r'); cr != std::string_view::npos; cr = bytes.find('\r', start)) {
        if (!lines.front().empty()) lines.emplace_back();
        lines.back() = std::string(bytes.substr(start, cr - start));
        start = cr + 1;
        if (start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return lines;
}

bool HasAlbumTag(const std::vector<std::string>& lines)
{
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& line) { return album::ClassifyLine(line) != album::LineKind::FileName; });
}

std::string LastComponent(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const WalkedTrack* TrackStartingAt(const FrameWalkResult& walk, std::int64_t offset)
{
    const auto it = std::lower_bound(walk.tracks.begin(), walk.tracks.end(), offset,
                                     [](const WalkedTrack& t, std::int64_t at) { return t.range.offset < at; });
    return it != walk.tracks.end() && it->range.offset == offset ? &*it : nullptr;
}

bool ApplyWrapIndex(support::ByteStream& source, const FrameWalkResult& walk, std::string_view leading, Plan& plan)
{
    const auto bytes = std::span(reinterpret_cast<const unsigned char*>(leading.data()), leading.size());
    const auto tag = Id3v2Tag::Parse(bytes);
    if (!tag || tag->TotalBytes() >= static_cast<std::int64_t>(bytes.size())) return false;
    const auto base = static_cast<std::size_t>(tag->TotalBytes());
    const auto index = Mp3WrapIndex::Parse(bytes.subspan(base), tag->TotalBytes(), source.Length());
    if (!index) return false;
    // The index is believed only where the walk agrees that a file begins.
    for (const Mp3WrapIndex::Entry& entry : index->entries)
        if (TrackStartingAt(walk, entry.offset) == nullptr) return false;
    plan = Plan{};
    for (const Mp3WrapIndex::Entry& entry : index->entries) {
        plan.ranges.push_back(ByteRange{entry.offset, entry.byteCount});
        plan.wrapNames.emplace_back(LastComponent(entry.name));
        plan.tracks.push_back(TrackStartingAt(walk, entry.offset));
    }
    return true;
}

// The header's tracks, and the same without the last one, whose file-name line may be what
// overwrote the "EXTBIN" line.
std::vector<std::vector<album::TrackEntry>> HeaderReadings(const std::vector<std::string>& lines)
{
    album::ParsedHeader header = album::ParseHeader(lines);
    std::vector<album::TrackEntry> all;
    for (const album::TrackEntry& track : header.tracks)
        if (!track.fileName.empty() || track.byteCount != 0) all.push_back(track);
    if (all.empty()) return {};
    std::vector<album::TrackEntry> shorter(all.begin(), all.end() - 1);
    return {all, shorter};
}

void ApplyAlbumHeader(const FrameWalkResult& walk, std::string_view leading, Plan& plan)
{
    const std::vector<std::string> lines = HeaderLines(leading);
    if (!HasAlbumTag(lines)) return;
    const std::int64_t data = walk.tracks.front().range.offset;
    for (const auto& tracks : HeaderReadings(lines)) {
        const bool positive = std::all_of(tracks.begin(), tracks.end(), [](const auto& t) { return t.byteCount > 0; });
        const std::int64_t sum = std::accumulate(tracks.begin(), tracks.end(), std::int64_t{0},
                                                 [](std::int64_t s, const auto& t) { return s + t.byteCount; });
        if (!tracks.empty() && positive && sum == walk.fileLength - data) {
            plan = Plan{};
            std::int64_t offset = data;
            for (const album::TrackEntry& track : tracks) {
                plan.ranges.push_back(ByteRange{offset, track.byteCount});
                plan.headerNames.emplace_back(track.fileName);
                plan.tracks.push_back(TrackStartingAt(walk, offset));
                offset += track.byteCount;
            }
            return;
        }
    }
    for (const auto& tracks : HeaderReadings(lines))
        if (tracks.size() == plan.ranges.size()) {
            plan.headerNames.clear();
            for (const album::TrackEntry& track : tracks) plan.headerNames.emplace_back(track.fileName);
            return;
        }
}

std::string NameFor(const Plan& plan, std::size_t i, std::string_view listedName, const std::set<std::string>& taken,
                    NameSource& source)
{
    // As for the classic scan's names: one longer than a file system takes would fail the row
    // when the next source could still name it.
    const auto usable = [&taken](const std::string& name) {
        return !name.empty() && name.size() <= HeaderNames::kMaxNameBytes && support::IsPlainFileName(name) &&
               !taken.contains(name);
    };
    const int row = static_cast<int>(i);
    if (i < plan.headerNames.size() && plan.headerNames[i]) {
        if (std::string name = support::ToDisplayText(*plan.headerNames[i]); usable(name)) {
            source = NameSource::AlbumHeader;
            return name;
        }
    }
    if (i < plan.wrapNames.size() && plan.wrapNames[i]) {
        if (std::string name = support::ToDisplayText(*plan.wrapNames[i]); usable(name)) {
            source = NameSource::WrapIndex;
            return name;
        }
    }
    if (plan.tracks[i] != nullptr)
        if (std::string name = TagFileName(*plan.tracks[i], row); usable(name)) {
            source = NameSource::Tags;
            return name;
        }
    source = NameSource::Numbered;
    return RowFileName(row, {}, listedName);
}

}  // namespace

std::vector<ByteRange> Complement(const std::vector<ByteRange>& ranges, std::int64_t length)
{
    std::vector<ByteRange> gaps;
    std::int64_t at = 0;
    for (const ByteRange& range : ranges) {
        if (range.offset > at) gaps.push_back(ByteRange{at, range.offset - at});
        at = std::max(at, range.End());
    }
    if (at < length) gaps.push_back(ByteRange{at, length - at});
    return gaps;
}

std::string TagFileName(const WalkedTrack& track, int row)
{
    const bool fromV2 = !support::TrimSpaces(track.id3v2.title).empty();
    const TagNames& names = fromV2 ? track.id3v2 : track.id3v1;
    const std::string title(support::TrimSpaces(support::ToDisplayText(names.title)));
    if (title.empty()) return {};
    int number = 0;
    for (const char ch : names.track) {
        if (ch < '0' || ch > '9' || number > 9999) break;
        number = number * 10 + (ch - '0');
    }
    if (number == 0) number = row + 1;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d ", number);
    return prefix + title + ".mp3";
}

PreciseSplit SplitPrecisely(support::ByteStream& source, WalkListener* listener, std::string_view listedName,
                            const FrameWalkOptions& options)
{
    const FrameWalkResult walk = WalkFrames(source, listener, options);
    PreciseSplit split{walk.outcome, walk.readError, {}, walk.gaps};
    if (walk.outcome != FrameWalkOutcome::Completed) return split;

    Plan plan;
    for (const WalkedTrack& track : walk.tracks) {
        plan.ranges.push_back(track.range);
        plan.tracks.push_back(&track);
    }
    if (!walk.tracks.empty() && !walk.gaps.empty() && walk.gaps.front().offset == 0) {
        const std::string leading = LeadingBytes(source, walk.gaps.front().byteCount);
        if (!ApplyWrapIndex(source, walk, leading, plan)) ApplyAlbumHeader(walk, leading, plan);
    }

    std::set<std::string> taken;
    for (std::size_t i = 0; i < plan.ranges.size(); ++i) {
        PrecisePart part{plan.ranges[i], NameSource::Numbered, {}};
        part.fileName = NameFor(plan, i, listedName, taken, part.nameFrom);
        taken.insert(part.fileName);
        split.parts.push_back(std::move(part));
    }
    split.gaps = Complement(plan.ranges, walk.fileLength);
    return split;
}

}  // namespace vyr::recovery
