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
    "cbr44-id3v2-id3v1.mp3", "vbr48-id3v1.mp3",  "vbr44-id3v2.mp3",  "cbr32-mono-plain.mp3", "ffmpeg-id3v24.mp3",
    "cover-id3v24.mp3",      "mpeg2-22k.mp3",    "mpeg25-11k.mp3",   "crc-protected.mp3",    "apev2.mp3",
    "lyrics3v2-id3v1.mp3",   "id3v1-latin1.mp3", "untagged-cbr.mp3",
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

TEST(recovery_precise_mp3, junk_between_files_is_a_gap_not_part_of_a_track)
{
    const std::string first = Material("cbr44-id3v2-id3v1.mp3");
    // Stray FF Ex bytes inside the junk must not start a track.
    std::string junk = test::PatternBytes(3000, 7);
    for (std::size_t i = 0; i + 1 < junk.size(); i += 97) junk.replace(i, 2, "\xFF\xFB");
    const auto s = Scan(first + junk + Material("vbr44-id3v2.mp3"));
    ASSERT_EQ(2, s->state.tracks.Count());
    EXPECT_TRUE(s->Part(0) == first);
    EXPECT_TRUE(s->Part(1) == Material("vbr44-id3v2.mp3"));
    EXPECT_EQ((std::vector<album::ByteRange>{{static_cast<std::int64_t>(first.size()), 3000}}), s->state.recovery.gaps);
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
        lines.push_back("Track " + std::to_string(i + 1) + ".mp3");
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

}  // namespace
}  // namespace vyr::recovery
