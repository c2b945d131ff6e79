#include "recovery/PreciseSplit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <optional>
#include <set>
#include <span>

#include "album/AlbumHeader.h"
#include "album/FirstPass.h"
#include "recovery/HeaderNames.h"
#include "recovery/Id3v2Tag.h"
#include "recovery/Mp3WrapIndex.h"
#include "support/Text.h"
#include "support/Utf8.h"

namespace vyr::recovery {

namespace {

using album::NameSource;

// What the file says about its own parts, beside the walk.
struct Plan {
    std::vector<ByteRange> ranges;
    std::vector<std::optional<std::string>> headerNames;  // raw album-header bytes
    std::vector<std::optional<std::string>> wrapNames;  // raw index bytes
    std::vector<const WalkedTrack*> tracks;  // the walked track at each range's start, if any
    bool fromWalk = true;  // the ranges are the walk's, not a header's or an index's
    bool leadingHeader = false;  // the bytes in front of the first range are an album header's
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
// the first non-empty line, as the loader stores them. More lines than a header may have are
// no header's: none are kept then, so a run of CRs costs no string each.
std::vector<std::string> HeaderLines(std::string_view bytes)
{
    std::vector<std::string> lines{std::string()};
    std::size_t start = 0;
    for (std::size_t cr = bytes.find('\r'); cr != std::string_view::npos; cr = bytes.find('\r', start)) {
        if (!lines.front().empty()) {
            if (lines.size() >= static_cast<std::size_t>(album::kMaxHeaderLines)) return {};
            lines.emplace_back();
        }
        lines.back() = std::string(bytes.substr(start, cr - start));
        start = cr + 1;
        if (start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return lines;
}

// Junk as opposed to text: a byte no text holds. An album header's remains, however damaged,
// are lines of text, and stay apart from the tracks.
bool IsBinary(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
    });
}

// A name's key in the set of names taken: Windows and most Linux desktops' file systems do not
// tell "A.mp3" from "a.mp3".
std::string NameKey(std::string_view name) { return support::FoldAsciiCase(name); }

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
    plan.fromWalk = false;
    for (const Mp3WrapIndex::Entry& entry : index->entries) {
        plan.ranges.push_back(ByteRange{entry.offset, entry.byteCount});
        plan.wrapNames.emplace_back(LastComponent(entry.name));
        plan.tracks.push_back(TrackStartingAt(walk, entry.offset));
    }
    return true;
}

// The header's tracks. The reading without the last one is tried too: its file-name line may
// be what overwrote the "EXTBIN" line.
std::vector<album::TrackEntry> HeaderTracks(const std::vector<std::string>& lines)
{
    album::ParsedHeader header = album::ParseHeader(lines);
    std::vector<album::TrackEntry> all;
    for (const album::TrackEntry& track : header.tracks)
        if (!track.fileName.empty() || track.byteCount != 0) all.push_back(track);
    return all;
}

void ApplyAlbumHeader(const FrameWalkResult& walk, std::string_view leading, Plan& plan)
{
    const std::vector<std::string> lines = HeaderLines(leading);
    if (!HasAlbumTag(lines)) return;
    plan.leadingHeader = true;
    const std::vector<album::TrackEntry> all = HeaderTracks(lines);
    if (all.empty()) return;
    const std::span<const album::TrackEntry> readings[] = {all, std::span(all).first(all.size() - 1)};
    const std::int64_t data = walk.tracks.front().range.offset;
    for (const auto tracks : readings) {
        const bool positive = std::all_of(tracks.begin(), tracks.end(), [](const auto& t) { return t.byteCount > 0; });
        const std::int64_t sum = std::accumulate(tracks.begin(), tracks.end(), std::int64_t{0},
                                                 [](std::int64_t s, const auto& t) { return s + t.byteCount; });
        if (!tracks.empty() && positive && sum == walk.fileLength - data) {
            plan = Plan{};
            plan.fromWalk = false;
            plan.leadingHeader = true;
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
    for (const auto tracks : readings)
        if (tracks.size() == plan.ranges.size()) {
            plan.headerNames.clear();
            for (const album::TrackEntry& track : tracks) plan.headerNames.emplace_back(track.fileName);
            return;
        }
}

// Damage is what the walk found inside each range, and the junk that goes with a walked track:
// binary junk of at most kMaxJunkBytes in front of it (not an album header's remains) and, for
// the last, at the end of the file.
std::vector<std::vector<ByteRange>> AttachJunk(support::ByteStream& source, const FrameWalkResult& walk, Plan& plan)
{
    std::vector<std::vector<ByteRange>> damaged(plan.ranges.size());
    for (std::size_t i = 0; i < plan.ranges.size(); ++i)
        if (plan.tracks[i] != nullptr)
            for (const ByteRange& range : plan.tracks[i]->damaged)
                if (range.offset >= plan.ranges[i].offset && range.End() <= plan.ranges[i].End())
                    damaged[i].push_back(range);
    if (!plan.fromWalk) return damaged;
    const auto junk = [&source](ByteRange range) {
        if (range.byteCount <= 0 || range.byteCount > kMaxJunkBytes) return false;
        std::string bytes(static_cast<std::size_t>(range.byteCount), '\0');
        const support::IoResult read =
            source.ReadAt(range.offset, {reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()});
        return read.Ok() && read.count == bytes.size() && IsBinary(bytes);
    };
    std::int64_t end = 0;
    for (std::size_t i = 0; i < plan.ranges.size(); ++i) {
        ByteRange& range = plan.ranges[i];
        const ByteRange before{end, range.offset - end};
        end = range.End();
        if ((before.offset == 0 && plan.leadingHeader) || !junk(before)) continue;
        range = ByteRange{before.offset, range.End() - before.offset};
        damaged[i].insert(damaged[i].begin(), before);
    }
    if (!plan.ranges.empty()) {
        const ByteRange after{end, walk.fileLength - end};
        if (junk(after)) {
            plan.ranges.back().byteCount += after.byteCount;
            damaged.back().push_back(after);
        }
    }
    return damaged;
}

std::string NameFor(const Plan& plan, std::size_t i, std::string_view listedName, const std::set<std::string>& taken,
                    NameSource& source)
{
    // As for the classic scan's names: one longer than a file system takes would fail the row
    // when the next source could still name it.
    const auto usable = [&taken](const std::string& name) {
        return !name.empty() && name.size() <= HeaderNames::kMaxNameBytes && support::IsPlainFileName(name) &&
               !taken.contains(NameKey(name));
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
    const std::string numbered = RowFileName(row, {}, listedName);
    // "[02] Mix.mp3" may already name a row by the album header's or a tag's name.
    std::string name = numbered;
    for (int copy = 2; taken.contains(NameKey(name)); ++copy) {
        const std::string suffix = " (" + std::to_string(copy) + ")";
        name =
            numbered.ends_with(".mp3") ? numbered.substr(0, numbered.size() - 4) + suffix + ".mp3" : numbered + suffix;
    }
    return name;
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
    // A long title is cut so the name still fits.
    const std::size_t room = HeaderNames::kMaxNameBytes - std::strlen(prefix) - std::string_view(".mp3").size();
    return prefix + std::string(support::utf8::Prefix(title, room)) + ".mp3";
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

    std::vector<std::vector<ByteRange>> damaged = AttachJunk(source, walk, plan);
    std::set<std::string> taken;
    for (std::size_t i = 0; i < plan.ranges.size(); ++i) {
        PrecisePart part{plan.ranges[i], NameSource::Numbered, {}, std::move(damaged[i])};
        part.fileName = NameFor(plan, i, listedName, taken, part.nameFrom);
        taken.insert(NameKey(part.fileName));
        split.parts.push_back(std::move(part));
    }
    split.gaps = Complement(plan.ranges, walk.fileLength);
    return split;
}

}  // namespace vyr::recovery
