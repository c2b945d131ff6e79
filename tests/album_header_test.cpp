#include <gtest/gtest.h>

#include "album/AlbumHeader.h"
#include "album/FirstPass.h"
#include "support/ByteStream.h"
#include "support/File.h"
#include "tests/AlbumBuilder.h"
#include "tests/TestFiles.h"

namespace vyr::album {
namespace {

HeaderScan Scan(std::string_view bytes)
{
    support::MemoryStream source(bytes);
    return ScanHeader(source);
}

ParsedHeader Parse(std::string_view bytes)
{
    const HeaderScan scan = Scan(bytes);
    EXPECT_EQ(scan.kind, HeaderKind::Album);
    return ParseHeader(scan.lines);
}

const std::string kWorkedExample =
    test::Album({"#EXTM3U", "#EXTVYR", "#EXTALB:Summer Songs", "#EXTART:The Example Band", "#EXTBYT:3145728",
                 "#EXTINF:215,Opening Theme", "01 Opening Theme.mp3", "#EXTBYT:2097152", "#EXTINF:187,Last Call",
                 "02 Last Call.mp3", "#EXTBIN"},
                std::string(5'243'079 - 199, '\0'));

TEST(album_header, reads_the_two_track_worked_example)
{
    const HeaderScan scan = Scan(kWorkedExample);
    ASSERT_EQ(scan.kind, HeaderKind::Album);
    EXPECT_EQ(scan.headerLength, 199);
    EXPECT_EQ(scan.linesCounted, 11);
    const ParsedHeader header = ParseHeader(scan.lines);
    ASSERT_FALSE(header.refusal);
    EXPECT_EQ(header.title, "Summer Songs");
    EXPECT_EQ(header.artist, "The Example Band");
    ASSERT_EQ(header.tracks.Count(), 2);
    EXPECT_EQ(header.tracks[0].fileName, "01 Opening Theme.mp3");
    EXPECT_EQ(header.tracks[0].byteCount, 3'145'728);
    EXPECT_TRUE(header.tracks[0].hasByteCount);
    EXPECT_EQ(header.tracks[0].duration.raw, 215'0000);
    EXPECT_EQ(header.tracks[0].displayName, "Opening Theme");
    EXPECT_EQ(header.tracks[1].fileName, "02 Last Call.mp3");
    EXPECT_EQ(header.tracks[1].byteCount, 2'097'152);
    EXPECT_EQ(header.tracks[1].displayName, "Last Call");
}

TEST(album_header, pending_values_carry_over_to_later_tracks)
{
    const ParsedHeader header =
        Parse(test::Album({"#EXTBYT:300", "#EXTINF:10,First", "a.mp3", "b.mp3", "#EXTINF:20,Third", "c.mp3", "#EXTBIN"},
                          std::string(1000, 'x')));
    ASSERT_EQ(header.tracks.Count(), 3);
    EXPECT_EQ(header.tracks[1].byteCount, 300);
    EXPECT_EQ(header.tracks[1].displayName, "First");
    EXPECT_EQ(header.tracks[2].byteCount, 300);
    EXPECT_EQ(header.tracks[2].duration.raw, 20'0000);
}

TEST(album_header, classifies_lines_by_the_first_tag_in_priority_order)
{
    const std::pair<const char*, LineKind> cases[] = {
        {"#EXTM3U", LineKind::PlaylistMarker},
        {"#EXTINF:1,EXTM3U", LineKind::PlaylistMarker},
        {"EXTALB EXTVYR", LineKind::FormatMarker},
        {"#EXTART:x EXTALB", LineKind::AlbumTitle},
        {"TEXTBYTES.mp3", LineKind::ByteCount},
        {"#EXTINF:1,x EXTART", LineKind::Artist},
        {"#extalb:lower case", LineKind::FileName},
        {"01 Song.mp3", LineKind::FileName},
        {"", LineKind::FileName},
    };
    for (const auto& [line, kind] : cases) EXPECT_EQ(ClassifyLine(line), kind) << line;
}

TEST(album_header, values_are_taken_by_position_after_the_tag)
{
    EXPECT_EQ(TagValue("#EXTALB:Summer Songs", "EXTALB"), "Summer Songs");
    EXPECT_EQ(TagValue("junk #EXTALB=Title", "EXTALB"), "Title");
    EXPECT_EQ(TagValue("#EXTALB:", "EXTALB"), "");
    EXPECT_EQ(TagValue("#EXTALB", "EXTALB"), "");

    struct Case {
        const char* line;
        const char* duration;
        const char* display;
    };
    const Case cases[] = {
        {"#EXTINF:215,Opening Theme", "215", "Opening Theme"},
        {"#EXTINF:,Song", "", "Song"},
        {"#EXTINF:12,  Song, Part 2  ", "12", "  Song, Part 2  "},
        {"#EXTINF:215", "", ""},
        {"#EXTINF,7,Song", "", "7,Song"},
        {"a,#EXTINF:215,Song", "", ""},
    };
    for (const Case& c : cases) {
        const TrackInfoText info = SplitTrackInfo(c.line);
        EXPECT_EQ(info.duration, c.duration) << c.line;
        EXPECT_EQ(info.display, c.display) << c.line;
    }
}

TEST(album_header, trims_display_names_only_at_their_ends)
{
    const ParsedHeader header =
        Parse(test::Album({"#EXTINF:12,  Song, Part 2  ", " spaced name.mp3 ", "#EXTBIN"}, std::string(200, 'x')));
    ASSERT_EQ(header.tracks.Count(), 1);
    EXPECT_EQ(header.tracks[0].displayName, "Song, Part 2");
    EXPECT_EQ(header.tracks[0].fileName, " spaced name.mp3 ");
}

TEST(album_header, needs_no_marker_lines_and_skips_empty_lines_at_the_top)
{
    const HeaderScan scan = Scan(test::Album({"", "", "a.mp3", "", "b.mp3", "#EXTBIN"}, std::string(100, 'x')));
    ASSERT_EQ(scan.kind, HeaderKind::Album);
    EXPECT_EQ(scan.headerLength, 2 + 2 + 7 + 2 + 7 + 9);
    const ParsedHeader header = ParseHeader(scan.lines);
    // The empty line after a.mp3 is a track of its own with an empty name.
    ASSERT_EQ(header.tracks.Count(), 3);
    EXPECT_EQ(header.tracks[0].fileName, "a.mp3");
    EXPECT_EQ(header.tracks[1].fileName, "");
    EXPECT_EQ(header.tracks[2].fileName, "b.mp3");
}

TEST(album_header, an_empty_first_track_is_filled_again_by_the_next_name)
{
    // Element 0 holds "#EXTBYT:5"; the empty line after it is a track in row 0, which stays free.
    const ParsedHeader header = Parse(test::Album({"#EXTBYT:5", "", "a.mp3", "#EXTBIN"}, std::string(100, 'x')));
    ASSERT_EQ(header.tracks.Count(), 1);
    EXPECT_EQ(header.tracks[0].fileName, "a.mp3");
    EXPECT_EQ(header.tracks[0].byteCount, 5);
}

TEST(album_header, counts_two_bytes_per_line_end_whatever_the_file_has)
{
    // A bare CR ends a line; a lone LF stays inside it.
    const HeaderScan bareCr = Scan(std::string("a.mp3\rb.mp3\r#EXTBIN\r") + std::string(100, 'x'));
    ASSERT_EQ(bareCr.kind, HeaderKind::Album);
    EXPECT_EQ(bareCr.headerLength, 7 + 7 + 9);
    const HeaderScan lineFeeds = Scan(std::string("a.mp3\nb.mp3\n#EXTBIN\n") + std::string(100, 'x'));
    ASSERT_EQ(lineFeeds.kind, HeaderKind::Album);
    // Without a CR the whole file is one line, which holds "EXTBIN": an album whose data would
    // start past its end.
    EXPECT_EQ(lineFeeds.headerLength, 6 + 6 + 8 + 100 + 2);
    EXPECT_EQ(lineFeeds.linesCounted, 1);
}

TEST(album_header, stops_once_the_header_passes_half_of_the_file)
{
    // 1,000 bytes in all; lines of 498 + 2 reach exactly half and read on, one more byte does not.
    const std::string atHalf = std::string(498, 'a') + "\r\n#EXTBIN\r\n";
    EXPECT_EQ(Scan(atHalf + std::string(1000 - atHalf.size(), 'x')).kind, HeaderKind::Album);
    const std::string pastHalf = std::string(499, 'a') + "\r\n#EXTBIN\r\n";
    const HeaderScan scan = Scan(pastHalf + std::string(1000 - pastHalf.size(), 'x'));
    EXPECT_EQ(scan.kind, HeaderKind::NoHeader);
    EXPECT_EQ(scan.headerLength, 501);
}

TEST(album_header, tells_zip_archives_albumwrap_files_and_headerless_files_apart)
{
    struct Case {
        std::string bytes;
        HeaderKind kind;
        int linesCounted;
    };
    const Case cases[] = {
        {std::string("PK\x03\x04rest\r\n", 10) + std::string(50, 'x'), HeaderKind::ZipArchive, 0},
        {std::string("PK\x05\x06", 4), HeaderKind::ZipArchive, 0},
        {test::Album({"#EXTALB:SPKR Live", "a.mp3", "#EXTBIN"}, std::string(100, 'x')), HeaderKind::Album, 3},
        {test::Album({"PKZIP notes", "#EXTBIN"}, std::string(100, 'x')), HeaderKind::Album, 2},
        {test::Album({"a.mp3", "ID3 AlbumWrap v1", "#EXTBIN"}, std::string(100, 'x')), HeaderKind::AlbumWrap, 1},
        {test::Album({"AlbumWrap", "ID3", "#EXTBIN"}, std::string(100, 'x')), HeaderKind::Album, 3},
        {"", HeaderKind::NoHeader, 0},
        {test::Album({"#EXTM3U", "a.mp3", "b.mp3"}), HeaderKind::NoHeader, 2},
    };
    for (const Case& c : cases) {
        const HeaderScan scan = Scan(c.bytes);
        EXPECT_EQ(scan.kind, c.kind) << c.bytes.substr(0, 20);
        EXPECT_EQ(scan.linesCounted, c.linesCounted) << c.bytes.substr(0, 20);
    }
}

TEST(album_header, finds_tags_in_a_line_far_longer_than_what_it_keeps)
{
    std::string line(kMaxStoredLineBytes + 100'000, 'x');
    line.replace(line.size() - 50'000, 6, "EXTBIN");
    const HeaderScan scan = Scan(line + "\r\n" + std::string(line.size(), 'd'));
    EXPECT_EQ(scan.kind, HeaderKind::Album);
    EXPECT_EQ(scan.headerLength, static_cast<std::int64_t>(line.size()) + 2);

    std::string wrapped(kMaxStoredLineBytes + 70'000, 'x');
    wrapped.replace(kMaxStoredLineBytes + 65'533, 9, "AlbumWrap");  // across a read boundary
    wrapped.replace(10, 3, "ID3");
    EXPECT_EQ(Scan(wrapped + "\r\n").kind, HeaderKind::AlbumWrap);
}

TEST(album_header, refuses_albums_beyond_the_format_limits)
{
    struct Case {
        std::string bytes;
        const char* reason;
    };
    std::string manyLines;
    for (int i = 0; i < kMaxHeaderLines + 1; ++i) manyLines += "t.mp3\r\n";
    const std::string data(2'000'000, 'x');
    const Case cases[] = {
        {test::Album({"#EXTBYT:3000000000", "a.mp3", "#EXTBIN"}, data), "is outside the range"},
        {test::Album({"#EXTBYT:-2147483649", "a.mp3", "#EXTBIN"}, data), "is outside the range"},
        {manyLines + "#EXTBIN\r\n" + data, "more than 32,767 lines"},
        {test::Album({"#EXTINF:1" + std::string(40'000, ' ') + ",x", "a.mp3", "#EXTBIN"}, data), "comma past"},
        {std::string(kMaxStoredLineBytes + 1, 'n') + "\r\n#EXTBIN\r\n" + data + data, "longer than"},
    };
    for (const Case& c : cases) {
        const HeaderScan scan = Scan(c.bytes);
        ASSERT_EQ(scan.kind, HeaderKind::Album);
        const auto refusal = scan.refusal ? scan.refusal : ParseHeader(scan.lines).refusal;
        ASSERT_TRUE(refusal) << c.reason;
        EXPECT_NE(refusal->find(c.reason), std::string::npos) << *refusal;
    }
}

TEST(album_header, byte_counts_of_zero_or_less_are_no_byte_count)
{
    const ParsedHeader header =
        Parse(test::Album({"#EXTBYT:0", "a.mp3", "#EXTBYT:-5", "b.mp3", "#EXTBIN"}, std::string(100, 'x')));
    ASSERT_EQ(header.tracks.Count(), 2);
    EXPECT_FALSE(header.tracks[0].hasByteCount);
    EXPECT_FALSE(header.tracks[1].hasByteCount);
    EXPECT_EQ(header.tracks[1].byteCount, -5);
}

TEST(album_header, header_text_that_is_not_utf8_is_read_as_windows_1252)
{
    const ParsedHeader header = Parse(test::Album({"#EXTALB:Caf\xE9", "#EXTINF:1,Na\xEFve",
                                                   "S\xE9"
                                                   "ance.mp3",
                                                   "#EXTBIN"},
                                                  std::string(100, 'x')));
    EXPECT_EQ(header.title, "Caf\xC3\xA9");
    ASSERT_EQ(header.tracks.Count(), 1);
    EXPECT_EQ(header.tracks[0].fileName,
              "S\xC3\xA9"
              "ance.mp3");
    EXPECT_EQ(header.tracks[0].displayName, "Na\xC3\xAFve");
}

TEST(album_header, reads_a_file_from_disk_and_reports_what_cannot_be_read)
{
    test::TempDir dir;
    test::WriteFile(dir / "a.vyr", kWorkedExample);
    support::File file;
    ASSERT_TRUE(file.Open(dir / "a.vyr").Ok());
    const HeaderScan scan = ScanHeader(file);
    EXPECT_EQ(scan.headerLength, 199);
    EXPECT_EQ(scan.readError, 0);
    EXPECT_EQ(file.Open(dir / "missing.vyr").error, support::OpenError::CannotOpen);
    EXPECT_EQ(file.Open(dir.path().string()).error, support::OpenError::Folder);
}

}  // namespace
}  // namespace vyr::album
