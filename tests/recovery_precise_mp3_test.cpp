#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "album/AlbumState.h"
#include "recovery/ScanPrecisely.h"
#include "tests/RecordingWindow.h"
#include "tests/TestFiles.h"

// Real encoder output (scripts/make-mp3-material), one small file per family, joined here end
// to end: every part must come back byte for byte, decode, and with the gaps cover the file.
namespace vyr::recovery {
namespace {

using album::NameSource;

const std::string kMaterial = std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/";

std::string Material(const std::string& name)
{
    const std::string bytes = test::ReadFile(kMaterial + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// Every family but the wrapper, whose file is a join of its own.
const std::vector<std::string> kFamilies = {
    "cbr44-id3v2-id3v1.mp3", "vbr48-id3v1.mp3",   "vbr44-id3v2.mp3", "cbr32-mono-plain.mp3", "ffmpeg-id3v24.mp3",
    "cover-id3v24.mp3",      "mpeg2-22k.mp3",     "mpeg25-11k.mp3",  "crc-protected.mp3",    "apev2.mp3",
    "lyrics3v2-id3v1.mp3",   "id3v1-latin1.mp3",  "layer2-48k.mp3",  "sox-48k.mp3",          "padding-4k.mp3",
    "id3v23-unsync.mp3",     "id3v24-footer.mp3", "apev2-id3v1.mp3", "id3v1-tag-id3.mp3",    "untagged-cbr.mp3",
};

struct Scanned {
    ScanOutcome outcome = ScanOutcome::Failed;
    album::AlbumState state;
    test::RecordingWindow window;
    std::string file;

    std::string Part(int row) const
    {
        return file.substr(static_cast<std::size_t>(state.rowOffsets.at(static_cast<std::size_t>(row))),
                           static_cast<std::size_t>(state.tracks[row].byteCount));
    }
};

std::unique_ptr<Scanned> Scan(const std::string& bytes, const std::string& name = "joined.mp3")
{
    test::TempDir dir;
    test::WriteFile(dir / name, bytes);
    auto scanned = std::make_unique<Scanned>();
    scanned->file = bytes;
    scanned->outcome = ScanPrecisely(scanned->state, scanned->window, dir / name);
    return scanned;
}

// Rows and gaps, in file order, must meet end to end from 0 to the file's length.
void ExpectCoversOnce(const Scanned& s)
{
    std::vector<album::ByteRange> pieces = s.state.recovery.gaps;
    for (int row = 0; row < s.state.tracks.Count(); ++row)
        pieces.push_back({s.state.rowOffsets.at(static_cast<std::size_t>(row)), s.state.tracks[row].byteCount});
    std::sort(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
    std::int64_t at = 0;
    for (const album::ByteRange& piece : pieces) {
        EXPECT_EQ(at, piece.offset);
        EXPECT_GT(piece.byteCount, 0);
        at = piece.End();
    }
    EXPECT_EQ(static_cast<std::int64_t>(s.file.size()), at);
}

std::string Decoded(const std::string& path)
{
    std::string text;
    if (FILE* pipe = ::popen(("mpg123 -t -v '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
        ::pclose(pipe);
    }
    return text;
}

struct JoinCase {
    std::string name;
    std::vector<std::string> inputs;  // joined in this order; each must come back as one part
};

std::vector<JoinCase> JoinCases()
{
    std::vector<JoinCase> cases;
    // Each family beside itself and beside two others, so it is met both as a neighbour's
    // successor and as its predecessor.
    for (const std::string& family : kFamilies) {
        if (family == "untagged-cbr.mp3") continue;  // two of them join without any boundary
        const std::string other = family == "vbr48-id3v1.mp3" ? "cbr44-id3v2-id3v1.mp3" : "vbr48-id3v1.mp3";
        cases.push_back({family, {family, other, family, "ffmpeg-id3v24.mp3"}});
    }
    cases.push_back({"every family in one join", kFamilies});
    return cases;
}

TEST(recovery_precise_mp3, every_part_of_a_join_comes_back_byte_identical)
{
    for (const JoinCase& c : JoinCases()) {
        SCOPED_TRACE(c.name);
        std::string joined;
        for (const std::string& input : c.inputs) joined += Material(input);
        const auto s = Scan(joined);
        ASSERT_EQ(ScanOutcome::Recovered, s->outcome);
        ASSERT_EQ(static_cast<int>(c.inputs.size()), s->state.tracks.Count());
        for (int row = 0; row < s->state.tracks.Count(); ++row)
            EXPECT_TRUE(s->Part(row) == Material(c.inputs[static_cast<std::size_t>(row)])) << "row " << row;
        EXPECT_TRUE(s->state.recovery.gaps.empty());
        ExpectCoversOnce(*s);
    }
}

TEST(recovery_precise_mp3, every_part_decodes)
{
    if (std::system("command -v mpg123 >/dev/null 2>&1") != 0) GTEST_SKIP() << "mpg123 is not installed";
    std::string joined;
    for (const std::string& family : kFamilies) joined += Material(family);
    const auto s = Scan(joined);
    ASSERT_EQ(ScanOutcome::Recovered, s->outcome);
    test::TempDir dir;
    for (int row = 0; row < s->state.tracks.Count(); ++row) {
        const std::string path = dir / ("part" + std::to_string(row) + ".mp3");
        test::WriteFile(path, s->Part(row));
        // mpg123 exits 0 even on garbage: what it says is the verdict.
        const std::string said = Decoded(path);
        EXPECT_NE(std::string::npos, said.find("finished")) << said;
        // mpg123 knows no Lyrics3 block ("LYRI"): it resyncs over it in the original file too.
        if (said.find("Header 0x4c595249") != std::string::npos) continue;
        EXPECT_EQ(std::string::npos, said.find("Illegal")) << said;
        EXPECT_EQ(std::string::npos, said.find("resync")) << said;
    }
}

TEST(recovery_precise_mp3, a_single_file_of_any_family_is_one_part)
{
    for (const std::string& family : kFamilies) {
        SCOPED_TRACE(family);
        const auto s = Scan(Material(family));
        ASSERT_EQ(ScanOutcome::Recovered, s->outcome);
        ASSERT_EQ(1, s->state.tracks.Count());
        EXPECT_TRUE(s->Part(0) == s->file);
        EXPECT_TRUE(s->state.recovery.gaps.empty());
    }
    // Without a tag or a VBR header between them, two untagged CBR files stay one part: a missed
    // join costs less than a cut inside a single file.
    const auto untagged = Scan(Material("untagged-cbr.mp3") + Material("untagged-cbr.mp3"));
    EXPECT_EQ(1, untagged->state.tracks.Count());
}

TEST(recovery_precise_mp3, a_wrapped_file_is_split_by_its_index)
{
    const std::string wrapped = Material("wrapped_MP3WRAP.mp3");
    const auto s = Scan(wrapped, "wrapped_MP3WRAP.mp3");
    ASSERT_EQ(ScanOutcome::Recovered, s->outcome);
    ASSERT_EQ(2, s->state.tracks.Count());
    EXPECT_TRUE(s->Part(0) == Material("cbr44-id3v2-id3v1.mp3"));
    EXPECT_TRUE(s->Part(1) == Material("vbr44-id3v2.mp3"));
    EXPECT_EQ("cbr44-id3v2-id3v1.mp3", s->state.tracks[0].fileName);
    EXPECT_EQ("vbr44-id3v2.mp3", s->state.tracks[1].fileName);
    EXPECT_EQ((std::vector<NameSource>{NameSource::WrapIndex, NameSource::WrapIndex}), s->state.recovery.nameFrom);
    // The wrapper's tag and index in front, its one byte behind.
    const auto last = static_cast<std::int64_t>(wrapped.size()) - 1;
    EXPECT_EQ((std::vector<album::ByteRange>{{0, 526}, {last, 1}}), s->state.recovery.gaps);
    ExpectCoversOnce(*s);
}

TEST(recovery_precise_mp3, junk_between_files_goes_with_the_next_when_it_is_short)
{
    const std::string first = Material("cbr44-id3v2-id3v1.mp3");
    const std::string second = Material("vbr44-id3v2.mp3");
    const auto at = static_cast<std::int64_t>(first.size());
    for (const std::size_t size : {std::size_t{3000}, std::size_t{5000}}) {
        SCOPED_TRACE(size);
        // Stray FF Ex bytes inside the junk must not start a track.
        std::string junk = test::PatternBytes(size, 7);
        for (std::size_t i = 0; i + 1 < junk.size(); i += 97) junk.replace(i, 2, "\xFF\xFB");
        const auto s = Scan(first + junk + second);
        ASSERT_EQ(2, s->state.tracks.Count());
        EXPECT_TRUE(s->Part(0) == first);
        const auto junkRange = album::ByteRange{at, static_cast<std::int64_t>(size)};
        if (size <= 4096) {
            // As it was in the file before the file was joined, and marked so.
            EXPECT_TRUE(s->Part(1) == junk + second);
            EXPECT_TRUE(s->state.recovery.gaps.empty());
            EXPECT_EQ((std::vector<album::ByteRange>{junkRange}), s->state.recovery.damaged[1]);
        } else {
            EXPECT_TRUE(s->Part(1) == second);
            EXPECT_EQ((std::vector<album::ByteRange>{junkRange}), s->state.recovery.gaps);
            EXPECT_TRUE(s->state.recovery.damaged[1].empty());
        }
    }
}

// The size of a file's leading ID3v2 tag made wrong by `change` bytes, as some taggers write it.
std::string WithTagSize(std::string file, int change)
{
    std::size_t size = 0;
    for (std::size_t i = 6; i < 10; ++i) size = (size << 7) | static_cast<unsigned char>(file[i]);
    size += static_cast<std::size_t>(change);
    for (std::size_t i = 6; i < 10; ++i) file[i] = static_cast<char>((size >> (7 * (9 - i))) & 0x7F);
    return file;
}

// An ID3v2.3 tag with a title, 32 bytes of padding and no audio, as a player appends one.
std::string AppendedTag(const std::string& title)
{
    const std::string frame =
        "TIT2" + std::string("\0\0\0", 3) + static_cast<char>(title.size() + 1) + std::string("\0\0\0", 3) + title;
    const std::string body = frame + std::string(32, '\0');
    return std::string("ID3\x03\0\0\0\0\0", 9) + static_cast<char>(body.size()) + body;
}

TEST(recovery_precise_mp3, damaged_joins_come_back_file_by_file)
{
    const std::string cbr = Material("cbr44-id3v2-id3v1.mp3");
    const std::string ffmpeg = Material("ffmpeg-id3v24.mp3");
    const std::string vbr = Material("vbr48-id3v1.mp3");
    const std::string xing = Material("vbr44-id3v2.mp3");
    const std::string ape = Material("apev2.mp3");
    // Downloads cut at 4 KiB, inside a frame: the next file begins where that frame breaks off.
    const std::string cut = cbr.substr(0, 4096);
    const struct {
        const char* name;
        std::vector<std::string> files;  // joined in order, each of them a part
    } cases[] = {
        {"a cut file, then a tagged one", {cut, ffmpeg}},
        {"a cut file, then one with a Xing frame", {cut, vbr}},
        {"a cut file, then one with an ID3v2 tag and a Xing frame", {cut, xing}},
        {"a tag 100 bytes longer than it says", {cbr, WithTagSize(ffmpeg, 100), vbr}},
        {"a tag 100 bytes longer than it says, first", {WithTagSize(ffmpeg, 100), cbr}},
        {"an ID3v2 tag a player appended behind an APE tag", {ape + AppendedTag("Appended"), ffmpeg}},
        {"two of them", {ape + AppendedTag("One") + AppendedTag("Two"), xing}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string joined;
        for (const std::string& file : c.files) joined += file;
        const auto s = Scan(joined);
        ASSERT_EQ(static_cast<int>(c.files.size()), s->state.tracks.Count());
        for (int row = 0; row < s->state.tracks.Count(); ++row) {
            EXPECT_TRUE(s->Part(row) == c.files[static_cast<std::size_t>(row)]) << "row " << row;
            EXPECT_TRUE(s->state.recovery.damaged[static_cast<std::size_t>(row)].empty()) << "row " << row;
        }
        EXPECT_TRUE(s->state.recovery.gaps.empty());
    }
}

TEST(recovery_precise_mp3, a_lost_sector_stays_in_its_track_and_is_marked)
{
    std::string sector = Material("cbr44-id3v2-id3v1.mp3");
    constexpr std::int64_t kFrom = 2000;
    constexpr std::int64_t kTo = kFrom + 4096;
    sector.replace(kFrom, kTo - kFrom, std::string(kTo - kFrom, '\0'));
    const std::string next = Material("ffmpeg-id3v24.mp3");
    const auto s = Scan(sector + next);
    ASSERT_EQ(2, s->state.tracks.Count());
    EXPECT_TRUE(s->Part(0) == sector);
    EXPECT_TRUE(s->Part(1) == next);
    // From the first frame the zeros took to the first they left: 64 kbit/s frames of 208 or
    // 209 bytes.
    ASSERT_EQ(1u, s->state.recovery.damaged[0].size());
    const album::ByteRange damaged = s->state.recovery.damaged[0][0];
    EXPECT_GE(damaged.offset, kFrom);
    EXPECT_LT(damaged.offset, kFrom + 209);
    EXPECT_GE(damaged.End(), kTo);
    EXPECT_LT(damaged.End(), kTo + 209);
}

TEST(recovery_precise_mp3, a_single_file_comes_back_whole)
{
    const std::string file = Material("cbr44-id3v2-id3v1.mp3");
    const std::string junk = test::PatternBytes(700, 3);
    const struct {
        const char* name;
        std::string bytes;
        std::vector<album::ByteRange> damaged;
    } cases[] = {
        {"junk in front of the first frame", junk + file, {{0, 700}}},
        {"junk behind the last tag", file + junk, {{static_cast<std::int64_t>(file.size()), 700}}},
        {"an APE tag and an appended ID3v2 tag", Material("apev2.mp3") + AppendedTag("Appended"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto s = Scan(c.bytes);
        ASSERT_EQ(1, s->state.tracks.Count());
        EXPECT_TRUE(s->Part(0) == c.bytes);
        EXPECT_EQ(c.damaged, s->state.recovery.damaged[0]);
    }
}

// A damaged album: the header's lines are there but its "EXTBIN" line is overwritten (or gone),
// so the loader finds no header.
struct DamagedCase {
    const char* name;
    std::vector<std::string> tracks;
    int wrongCountRow;  // -1: every byte count right
    const char* extBinLine;  // nullptr: the line is gone
    std::vector<std::string> expectedNames;
    NameSource expectedSource;
    std::vector<std::string> headerNames = {};  // empty: "Track N.mp3"
};

std::string DamagedAlbum(const DamagedCase& c)
{
    std::vector<std::string> lines = {"#EXTM3U", "#EXTVYR", "#EXTALB:Damaged", "#EXTART:The Test Generators"};
    std::string data;
    for (std::size_t i = 0; i < c.tracks.size(); ++i) {
        const std::string bytes = Material(c.tracks[i]);
        const std::size_t count = bytes.size() + (static_cast<int>(i) == c.wrongCountRow ? 10 : 0);
        lines.push_back("#EXTBYT:" + std::to_string(count));
        lines.push_back("#EXTINF:1,Track " + std::to_string(i + 1));
        lines.push_back(c.headerNames.empty() ? "Track " + std::to_string(i + 1) + ".mp3" : c.headerNames[i]);
        data += bytes;
    }
    if (c.extBinLine) lines.emplace_back(c.extBinLine);
    std::string album;
    for (const std::string& line : lines) album += line + "\r\n";
    return album + data;
}

TEST(recovery_precise_mp3, a_damaged_album_takes_its_header_ranges_and_names)
{
    const std::vector<std::string> names{"Track 1.mp3", "Track 2.mp3", "Track 3.mp3"};
    const std::vector<std::string> untagged{"untagged-cbr.mp3", "untagged-cbr.mp3", "cbr44-id3v2-id3v1.mp3"};
    const std::vector<std::string> tagged{"cbr44-id3v2-id3v1.mp3", "ffmpeg-id3v24.mp3", "vbr44-id3v2.mp3"};
    const DamagedCase cases[] = {
        // The counts add up, so the header splits even the untagged pair the walk cannot.
        {"EXTBIN overwritten", untagged, -1, "#XXXXXX", names, NameSource::AlbumHeader},
        {"EXTBIN line gone", untagged, -1, nullptr, names, NameSource::AlbumHeader},
        // A count that does not add up: the walk's ranges, the header's names in order.
        {"a wrong byte count", tagged, 1, "#XXXXXX", names, NameSource::AlbumHeader},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto s = Scan(DamagedAlbum(c), "Damaged.vyr");
        ASSERT_EQ(ScanOutcome::Recovered, s->outcome);
        ASSERT_EQ(3, s->state.tracks.Count());
        for (int row = 0; row < 3; ++row) {
            EXPECT_TRUE(s->Part(row) == Material(c.tracks[static_cast<std::size_t>(row)])) << row;
            EXPECT_EQ(c.expectedNames[static_cast<std::size_t>(row)], s->state.tracks[row].fileName);
            EXPECT_EQ(c.expectedSource, s->state.recovery.nameFrom[static_cast<std::size_t>(row)]);
        }
        // The header's remains are a gap of their own, never row 0's.
        ASSERT_EQ(1u, s->state.recovery.gaps.size());
        EXPECT_EQ(0, s->state.recovery.gaps[0].offset);
        EXPECT_EQ(s->state.rowOffsets[0], s->state.recovery.gaps[0].byteCount);
        ExpectCoversOnce(*s);
    }
}

TEST(recovery_precise_mp3, every_part_gets_a_name_of_its_own)
{
    const std::vector<std::string> untagged{"untagged-cbr.mp3", "untagged-cbr.mp3", "cbr44-id3v2-id3v1.mp3"};
    // The header names row 0 as the scan numbers row 1, whose own name is no file name; on
    // Windows, and on most desktops' file systems, letter case does not tell names apart.
    const DamagedCase cases[] = {
        {"the same name",
         untagged,
         -1,
         "#XXXXXX",
         {"[02] Damaged.mp3", "[02] Damaged (2).mp3", "Track 3.mp3"},
         NameSource::AlbumHeader,
         {"[02] Damaged.mp3", "a/b.mp3", "Track 3.mp3"}},
        {"in other letters",
         untagged,
         -1,
         "#XXXXXX",
         {"[02] DAMAGED.mp3", "[02] Damaged (2).mp3", "Track 3.mp3"},
         NameSource::AlbumHeader,
         {"[02] DAMAGED.mp3", "a/b.mp3", "Track 3.mp3"}},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto s = Scan(DamagedAlbum(c), "Damaged.vyr");
        ASSERT_EQ(3, s->state.tracks.Count());
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(c.expectedNames[static_cast<std::size_t>(row)], s->state.tracks[row].fileName);
        EXPECT_EQ((std::vector<NameSource>{NameSource::AlbumHeader, NameSource::Numbered, NameSource::AlbumHeader}),
                  s->state.recovery.nameFrom);
    }
}

}  // namespace
}  // namespace vyr::recovery
