#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "album/AlbumState.h"
#include "recovery/ScanAndRecover.h"
#include "tests/RecordingWindow.h"
#include "tests/TestFiles.h"

// Real encoder output (scripts/make-mp3-material): lame's files with and without ID3 tags, CBR
// with an "Info" frame and VBR with "Xing", joined here end to end, and one mp3wrap file.
namespace vyr::recovery {
namespace {

const std::string kMaterial = std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/";

std::string Material(const std::string& name)
{
    const std::string bytes = test::ReadFile(kMaterial + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// The bytes each row stands for: row 0 from the base the scan recorded, the rest end to end.
std::vector<std::string> Parts(const album::AlbumState& state, const std::string& file)
{
    std::vector<std::string> parts;
    auto offset = static_cast<std::size_t>(state.dataBase);
    for (const album::TrackEntry& row : state.tracks) {
        parts.push_back(file.substr(std::min(offset, file.size()), static_cast<std::size_t>(row.byteCount)));
        offset += static_cast<std::size_t>(row.byteCount);
    }
    return parts;
}

std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
        ::pclose(pipe);
    }
    return text;
}

struct MaterialCase {
    const char* name;
    std::vector<std::string> inputs;  // file names, joined in this order
    std::string expectedFirst;  // what row 0 holds
    std::vector<std::string> expectedRest;  // what every later row holds
};

std::vector<MaterialCase> Cases()
{
    const std::string cbr44 = Material("cbr44-id3v2-id3v1.mp3");
    const std::string vbr48 = Material("vbr48-id3v1.mp3");
    const std::string cbr32 = Material("cbr32-mono-plain.mp3");
    const std::string vbr44 = Material("vbr44-id3v2.mp3");
    const std::string wrapped = Material("wrapped_MP3WRAP.mp3");
    return {
        // Every part ends in its ID3v1 tag; the first one counts from its first frame on.
        {"joined, ending in ID3v1 tags",
         {"cbr44-id3v2-id3v1.mp3", "vbr48-id3v1.mp3", "cbr44-id3v2-id3v1.mp3"},
         cbr44.substr(cbr44.find("\xFF\xFB")),
         {vbr48, cbr44}},
        // Parts start at their ID3v2.3 header or their Info frame; the last one is what remains.
        {"joined, without ID3v1 tags",
         {"cbr32-mono-plain.mp3", "vbr44-id3v2.mp3", "cbr32-mono-plain.mp3", "vbr48-id3v1.mp3"},
         cbr32,
         {vbr44, cbr32, vbr48}},
        // mp3wrap's own tag and index, then its inputs unchanged, then one zero byte.
        {"mp3wrap",
         {"wrapped_MP3WRAP.mp3"},
         wrapped.substr(0, wrapped.find("ID3\x03", 1)),
         {cbr44, vbr44 + std::string(1, '\0')}},
    };
}

// Scans the joined inputs and cuts the file at the rows the scan left.
std::vector<std::string> ScannedParts(const MaterialCase& c)
{
    test::TempDir dir;
    std::string joined;
    for (const std::string& input : c.inputs) joined += Material(input);
    test::WriteFile(dir / "joined.mp3", joined);
    album::AlbumState state;
    test::RecordingWindow window;
    EXPECT_EQ(ScanOutcome::Recovered, ScanAndRecover(state, window, dir / "joined.mp3"));
    return Parts(state, joined);
}

TEST(recovery_mp3_material, parts_come_out_byte_identical)
{
    for (const MaterialCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> parts = ScannedParts(c);
        ASSERT_EQ(c.expectedRest.size() + 1, parts.size());
        EXPECT_TRUE(parts[0] == c.expectedFirst)
            << "row 0: " << parts[0].size() << " bytes, expected " << c.expectedFirst.size();
        for (std::size_t i = 1; i < parts.size(); ++i)
            EXPECT_TRUE(parts[i] == c.expectedRest[i - 1])
                << "row " << i << ": " << parts[i].size() << " bytes, expected " << c.expectedRest[i - 1].size();
    }
}

TEST(recovery_mp3_material, every_part_decodes)
{
    if (std::system("command -v mpg123 >/dev/null 2>&1") != 0) GTEST_SKIP() << "mpg123 is not installed";
    for (const MaterialCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::vector<std::string> parts = ScannedParts(c);
        // mp3wrap's index holds no audio.
        const std::size_t first = std::string(c.name) == "mp3wrap" ? 1 : 0;
        for (std::size_t i = first; i < parts.size(); ++i) {
            const std::string path = dir / ("part" + std::to_string(i) + ".mp3");
            test::WriteFile(path, parts[i]);
            // mpg123 exits 0 even on garbage: what it says is the verdict.
            const std::string said = Output("mpg123 -t -v '" + path + "' 2>&1");
            EXPECT_NE(std::string::npos, said.find("MPEG 1.0 L III")) << said;
            EXPECT_NE(std::string::npos, said.find("finished")) << said;
            EXPECT_EQ(std::string::npos, said.find("Illegal")) << said;
            EXPECT_EQ(std::string::npos, said.find("resync")) << said;
        }
    }
}

}  // namespace
}  // namespace vyr::recovery
