// Replays the fuzz targets' seeds and every input they ever broke on (fuzz/regressions/<target>/)
// through the same checks, so a fault found once stays fixed in the ordinary sanitizer build.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FileChecks.h"
#include "fuzz/HeaderChecks.h"
#include "fuzz/PreciseChecks.h"
#include "tests/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using vyr::fuzz::Violations;

std::vector<fs::path> Inputs(const std::string& target)
{
    std::vector<fs::path> files;
    for (const char* folder : {"fuzz/corpus/", "fuzz/regressions/"}) {
        const fs::path dir = fs::path(VYR_SOURCE_DIR) / folder / target;
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    return files;
}

std::string Joined(const Violations& violations)
{
    std::string text;
    for (const auto& v : violations) text += v + "; ";
    return text;
}

TEST(fuzz_regression, header_inputs_keep_their_invariants)
{
    const auto files = Inputs("header");
    ASSERT_FALSE(files.empty());
    for (const auto& file : files)
        EXPECT_EQ(Joined(vyr::fuzz::CheckHeaderBytes(vyr::test::ReadFile(file.string()))), "") << file;
}

TEST(fuzz_regression, load_inputs_keep_their_invariants)
{
    const auto files = Inputs("load");
    ASSERT_FALSE(files.empty());
    vyr::fuzz::Workspace workspace;
    for (const auto& file : files)
        EXPECT_EQ(Joined(vyr::fuzz::CheckLoadFile(vyr::test::ReadFile(file.string()), workspace)), "") << file;
}

TEST(fuzz_regression, scan_inputs_keep_their_invariants)
{
    const auto files = Inputs("scan");
    ASSERT_FALSE(files.empty());
    vyr::fuzz::Workspace workspace;
    for (const auto& file : files)
        EXPECT_EQ(Joined(vyr::fuzz::CheckScanFile(vyr::test::ReadFile(file.string()), workspace)), "") << file;
}

TEST(fuzz_regression, precise_inputs_keep_their_invariants)
{
    const auto files = Inputs("precise");
    ASSERT_FALSE(files.empty());
    vyr::fuzz::Workspace workspace;
    for (const auto& file : files) {
        const std::string bytes = vyr::test::ReadFile(file.string());
        EXPECT_EQ(Joined(vyr::fuzz::CheckPreciseBytes(bytes)), "") << file;
        EXPECT_EQ(Joined(vyr::fuzz::CheckPreciseFile(bytes, workspace)), "") << file;
    }
}

// The fuzz checks hold the reader to this second reading; were it wrong, fuzzing would chase
// false alarms or wave real faults through.
TEST(fuzz_regression, reference_reading_of_the_first_pass)
{
    using vyr::album::HeaderKind;
    const std::string example =
        "#EXTM3U\r\n#EXTVYR\r\n#EXTALB:Summer Songs\r\n#EXTART:The Example Band\r\n#EXTBYT:3145728\r\n"
        "#EXTINF:215,Opening Theme\r\n01 Opening Theme.mp3\r\n#EXTBYT:2097152\r\n#EXTINF:187,Last Call\r\n"
        "02 Last Call.mp3\r\n#EXTBIN\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        HeaderKind kind;
        std::int64_t headerLength;
        int rows;
    };
    const Case cases[] = {
        {"worked example", example + std::string(400, 'x'), HeaderKind::Album, 199, 2},
        // A 20-byte line counts 22: a 44-byte file reads on to its EXTBIN line, a 43-byte one stops.
        {"exactly half the file reads on", std::string(20, 'a') + "\r\n#EXTBIN\r\n" + std::string(13, 'x'),
         HeaderKind::Album, 31, 1},
        {"one byte past half stops", std::string(20, 'a') + "\r\n#EXTBIN\r\n" + std::string(12, 'x'),
         HeaderKind::NoHeader, 22, 1},
        {"header past half before EXTBIN", "a.mp3\r\nb.mp3\r\n" + std::string(3, 'x') + "\r\n#EXTBIN\r\n",
         HeaderKind::NoHeader, 19, 1},
        {"bare CR counts two bytes", "a\rb\r#EXTBIN\r" + std::string(20, 'x'), HeaderKind::Album, 15, 2},
        {"lone LF stays in the line", "a\nb\r\n#EXTBIN\r\n" + std::string(20, 'x'), HeaderKind::Album, 14, 1},
        {"empty lines on top, then an empty name", "\r\n\r\nx\r\n\r\ny\r\n#EXTBIN\r\n" + std::string(30, 'x'),
         HeaderKind::Album, 21, 3},
        {"empty name refilled", "#EXTM3U\r\n\r\ny\r\n#EXTBIN\r\n" + std::string(30, 'x'), HeaderKind::Album, 23, 1},
        {"ZIP signature", std::string("PK\3\4#EXTBIN\r\n") + std::string(30, 'x'), HeaderKind::ZipArchive, 0, 1},
        {"PK inside a title", "#EXTALB:SPKR Live\r\n#EXTBIN\r\n" + std::string(40, 'x'), HeaderKind::Album, 28, 1},
        {"AlbumWrap line", "a\r\nID3 AlbumWrap\r\n#EXTBIN\r\n" + std::string(40, 'x'), HeaderKind::AlbumWrap, 3, 1},
        {"no EXTBIN", "a.mp3\r\nb.mp3\r\n" + std::string(100, 'x'), HeaderKind::NoHeader, 116, 1},
    };
    for (const Case& c : cases) {
        const vyr::fuzz::ReferenceHeader reference = vyr::fuzz::ReadReferenceHeader(c.bytes);
        EXPECT_EQ(reference.kind, c.kind) << c.name;
        EXPECT_EQ(reference.headerLength, c.headerLength) << c.name;
        EXPECT_EQ(reference.rows, c.rows) << c.name;
        EXPECT_EQ(Joined(vyr::fuzz::CheckHeaderBytes(c.bytes)), "") << c.name;
    }
}

TEST(fuzz_regression, leaving_the_folder)
{
    for (const char* name : {"", ".", "..", "a/b", "..\\x", "tab\there", "del\x7f"})
        EXPECT_TRUE(vyr::fuzz::LeadsOutOfFolder(name)) << name;
    for (const char* name : {"01 Song.mp3", "...", "caf\xc3\xa9.mp3"})
        EXPECT_FALSE(vyr::fuzz::LeadsOutOfFolder(name)) << name;
}

}  // namespace
