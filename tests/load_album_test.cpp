#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "album/LoadAlbum.h"
#include "recovery/RecoveryScanner.h"
#include "recovery/WalkAlong.h"
#include "tests/AlbumBuilder.h"
#include "tests/RecordingWindow.h"
#include "tests/ScanMaterial.h"
#include "tests/ShownList.h"
#include "tests/TestFiles.h"

namespace vyr::album {
namespace {

class LoadAlbumTest : public ::testing::Test {
protected:
    LoadResult Load(const std::string& name, std::string_view bytes)
    {
        test::WriteFile(dir / name, bytes);
        return LoadAlbum(state, window, dir / name, scanner);
    }

    std::vector<std::string> ColumnCaptions() const { return test::ColumnCaptions(state); }

    // A list left over from an earlier album, to see whether a load empties it.
    void FillListWithAnEarlierAlbum()
    {
        state.tracks.Reset();
        state.tracks[0].fileName = "earlier.mp3";
        state.tracks[0].byteCount = 10;
        state.tracks[0].hasByteCount = true;
        FillList(state, window);
    }

    test::TempDir dir;
    AlbumState state;
    test::RecordingWindow window;
    recovery::RecoveryScanner scanner;
};

// Suites are named after the unit they test.
using load_album = LoadAlbumTest;

const std::string kThreeTracks =
    test::Album({"#EXTM3U", "#EXTALB: Summer Songs ", "#EXTART:The Example Band", "#EXTBYT:1000",
                 "#EXTINF:215,Opening Theme", "01 Opening.mp3", "#EXTBYT:2000", "#EXTINF:187,Last Call",
                 "02 Last Call.mp3", "#EXTBYT:3000", "#EXTINF:3725.5,Encore", "03 Encore.mp3", "#EXTBIN"},
                test::PatternBytes(6000));

TEST_F(load_album, lists_an_album_with_its_columns_cells_ticks_and_labels)
{
    test::WriteFile(dir / "01 Opening.mp3", "already here");
    const LoadResult result = Load("Summer.vyr", kThreeTracks);

    EXPECT_EQ(result.kind, FileKind::Album);
    EXPECT_EQ(state.albumPath, dir / "Summer.vyr");
    EXPECT_EQ(state.targetFolder, dir.folder());
    const auto headerLength = static_cast<std::int64_t>(kThreeTracks.size()) - 6000;
    EXPECT_EQ(state.headerLength, headerLength);
    EXPECT_EQ(state.dataBase, headerLength);
    ASSERT_EQ(state.tracks.Count(), 3);
    EXPECT_EQ(ColumnCaptions(), (std::vector<std::string>{"File Name", "Display Name", "Time", "Size"}));
    EXPECT_DOUBLE_EQ(state.list.columns[0].width, 8055.0 / 2);
    EXPECT_DOUBLE_EQ(state.list.columns[1].width, 8055.0 / 3);
    EXPECT_DOUBLE_EQ(state.list.columns[2].width, 8055.0 / 8);
    EXPECT_EQ(state.list.columns[3].key, "hSize");

    const std::vector<test::ShownItem> items = test::ShownItems(state);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].cells, (std::vector<std::string>{"03 Encore.mp3", "Encore", "1:02:05", "3Kb"}));
    EXPECT_EQ(window.listShown, 2);  // emptied on the first line, then filled
    EXPECT_FALSE(items[0].ticked);  // its file exists in the album's folder
    EXPECT_TRUE(items[1].ticked);
    EXPECT_TRUE(items[2].ticked);
    EXPECT_EQ(window.albumLabel, "Summer Songs");
    EXPECT_EQ(window.artistLabel, "The Example Band");
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(state.title, "Summer Songs");
    EXPECT_EQ(state.artist, "The Example Band");
}

TEST_F(load_album, adds_columns_in_the_order_rows_first_need_them)
{
    Load("a.vyr", test::Album({"#EXTBYT:10", "a.mp3", "b.mp3", "#EXTBIN"}, std::string(100, 'x')));
    EXPECT_EQ(ColumnCaptions(), (std::vector<std::string>{"File Name", "Size"}));

    Load("b.vyr", test::Album({"#EXTBYT:10", "#EXTINF:12,", "a.mp3", "#EXTINF:12,Named", "b.mp3", "#EXTBIN"},
                              std::string(100, 'x')));
    EXPECT_EQ(ColumnCaptions(), (std::vector<std::string>{"File Name", "Time", "Size", "Display Name"}));
}

TEST_F(load_album, gives_every_row_an_item_even_when_names_repeat)
{
    test::WriteFile(dir / "c.mp3", "present");
    Load("dup.vyr", test::Album({"#EXTBYT:10", "a.mp3", "a.mp3", "c.mp3", "#EXTBIN"}, std::string(100, 'x')));
    const std::vector<test::ShownItem> items = test::ShownItems(state);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].cells[0], "a.mp3");
    EXPECT_TRUE(items[1].ticked);
    EXPECT_FALSE(items[2].ticked);  // the tick of c.mp3 stays on c.mp3's row
}

TEST_F(load_album, leaves_the_album_label_empty_without_a_title_line)
{
    window.albumLabel = "old";
    Load("a.vyr", test::Album({"a.mp3", "#EXTBIN"}, std::string(100, 'x')));
    EXPECT_EQ(window.albumLabel, "");
    EXPECT_EQ(window.artistLabel, "");
}

TEST_F(load_album, hands_a_zip_archive_off_without_emptying_the_list)
{
    FillListWithAnEarlierAlbum();
    const LoadResult result = Load("Live.vyr", std::string("PK\x03\x04zipped", 10));

    EXPECT_EQ(result.kind, FileKind::ZipArchive);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "This file is a \"Zip\" file NOT an vyr file\r\n"
              "Press OK to re-name to zip and open file in \"WinZip\".");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(window.messages[0].title, "vyr Extract");
    EXPECT_EQ(window.yields, 1);
    ASSERT_EQ(test::ShownItems(state).size(), 1u);  // the earlier album's item is still on show
    EXPECT_EQ(test::ShownItems(state)[0].cells[0], "earlier.mp3");
    EXPECT_EQ(window.documentsOpened, std::vector<std::string>{dir / "Live.zip"});
    EXPECT_TRUE(std::filesystem::exists(dir / "Live.zip"));
    EXPECT_EQ(state.tracks.Count(), 1);
}

TEST_F(load_album, the_terminal_reports_a_zip_archive_without_renaming_it)
{
    test::WriteFile(dir / "Live.vyr", std::string("PK\x03\x04zipped", 10));
    const LoadResult result = LoadAlbum(state, window, dir / "Live.vyr", scanner, {.handOffArchives = false});
    EXPECT_EQ(result.kind, FileKind::ZipArchive);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(dir / "Live.vyr"));
}

TEST_F(load_album, scans_an_albumwrap_file_after_its_notice)
{
    const LoadResult result = Load("wrap.vyr", test::Album({"ID3 AlbumWrap"}, std::string(600, 'x')));
    EXPECT_EQ(result.kind, FileKind::AlbumWrap);
    ASSERT_TRUE(result.scan);
    ASSERT_GE(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "This file is an ALBW \"Album Wrap\" file NOT an vyr file\r\n"
              "\r\n"
              "Press OK and the file will be scanned to attempt\r\n"
              "to recover tracks contained inside.\r\n"
              "\r\n"
              "This may not recover tracks properly so check results.");
    EXPECT_GE(window.yields, 1);
    EXPECT_TRUE(state.Scanned());
    EXPECT_EQ(window.albumLabel, "");  // the scanner blanks the notice when it ends
}

TEST_F(load_album, offers_a_scan_when_no_header_is_found)
{
    struct Case {
        MessageAnswer answer;
        bool scanned;
    };
    for (const Case c : {Case{MessageAnswer::No, false}, Case{MessageAnswer::Yes, true}}) {
        FillListWithAnEarlierAlbum();
        window.messages.clear();
        window.answers = {c.answer};
        const LoadResult result = Load("Plain.mp3", test::Album({"#EXTM3U", "a.mp3"}, std::string(100, 'x')));
        EXPECT_EQ(result.kind, FileKind::NoHeader);
        EXPECT_EQ(result.scan.has_value(), c.scanned);
        ASSERT_GE(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text,
                  "No valid vyr type Album header found.\r\n"
                  "\r\n"
                  "Plain.mp3\r\n"
                  "is not an vyr Album file.\r\n"
                  "\r\n"
                  "Do you want to try a scan and recovery action ??");
        EXPECT_EQ(window.messages[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(state.list.items, 0);
        EXPECT_EQ(state.Scanned(), c.scanned);
        if (!c.scanned) {
            EXPECT_EQ(state.tracks.Count(), 1);
            EXPECT_EQ(state.headerLength, 9 + 7 + 100 + 2);  // the data is a last line
        }
    }
}

TEST_F(load_album, an_empty_file_keeps_the_list)
{
    FillListWithAnEarlierAlbum();
    EXPECT_EQ(Load("empty.vyr", "").kind, FileKind::NoHeader);
    EXPECT_EQ(state.list.items, 1);
    EXPECT_EQ(state.tracks.Count(), 1);
    EXPECT_EQ(state.tracks[0].fileName, "");
}

TEST_F(load_album, reports_a_path_it_cannot_read_and_keeps_the_reset_state)
{
    state.albumPath = "earlier.vyr";
    state.tracks.Reset();
    state.tracks[0].fileName = "earlier.mp3";
    std::filesystem::create_directory(dir / "folder.vyr");
    for (const std::string& path : {dir / "missing.vyr", dir / "folder.vyr"}) {
        window.messages.clear();
        EXPECT_EQ(LoadAlbum(state, window, path, scanner).kind, FileKind::Unreadable);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_NE(window.messages[0].text.find(path), std::string::npos);
        EXPECT_EQ(state.tracks.Count(), 1);
        EXPECT_EQ(state.tracks[0].fileName, "");
    }
}

TEST_F(load_album, refuses_an_album_beyond_the_limits_with_the_reason)
{
    EXPECT_EQ(Load("big.vyr", test::Album({"#EXTBYT:4294967296", "a.mp3", "#EXTBIN"}, std::string(100, 'x'))).kind,
              FileKind::Refused);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(window.messages[0].text.find("4294967296"), std::string::npos);
    EXPECT_EQ(state.list.items, 0);
    EXPECT_EQ(state.albumPath, "");
}

// What a load leaves behind that a user or a script can see.
struct LoadSeen {
    LoadResult result;
    std::vector<std::string> rows;  // each track's byte count and name
    std::int64_t headerLength = 0;
    std::int64_t dataBase = 0;
    std::string title;
    std::string artist;
    std::string albumPath;
    std::vector<std::string> items;  // each item's text and cells
    std::vector<std::string> messages;
    std::string labels;
};

LoadSeen LoadAndLook(const std::string& path, bool scanUnasked)
{
    AlbumState state;
    test::RecordingWindow window;
    window.defaultAnswer = MessageAnswer::Yes;
    LoadSeen seen;
    recovery::RecoveryScanner scanner(RecoveryMethod::Classic, scanUnasked);
    seen.result = LoadAlbum(state, window, path, scanner, {.handOffArchives = false});
    for (int i = 0; i < state.tracks.Count(); ++i)
        seen.rows.push_back(std::to_string(state.tracks[i].byteCount) + " " + state.tracks[i].fileName);
    seen.headerLength = state.headerLength;
    seen.dataBase = state.dataBase;
    seen.title = state.title;
    seen.artist = state.artist;
    seen.albumPath = state.albumPath;
    for (const test::ShownItem& item : test::ShownItems(state)) {
        std::string text = item.ticked ? "[x]" : "[ ]";
        for (const std::string& cell : item.cells) text += " " + cell;
        seen.items.push_back(text);
    }
    for (const Message& message : window.messages) seen.messages.push_back(message.text);
    seen.labels = window.albumLabel + "|" + window.artistLabel;
    return seen;
}

// More parts than the table holds, a tag each, then an AlbumWrap line within half of the file:
// the walk ends on its limit long before the pass has its verdict.
std::string ManyPartsThenAlbumWrap()
{
    std::string bytes;
    for (int i = 0; i < 33'000; ++i) bytes += test::TextTag() + std::string(400, 'z');
    bytes.append(std::size_t{3} << 20, 'z');  // past the window where the walk ends
    bytes += "\rID3 AlbumWrap\r";
    bytes.append(bytes.size() + 100, 'z');
    return bytes;
}

// A caller that scans without asking has the first pass read along with the scan's walk: every
// kind of file must load exactly as it does read by the first pass on its own.
TEST_F(load_album, a_first_pass_read_along_with_the_scan_loads_every_kind_of_file_alike)
{
    std::string manyTracks;  // a header past the first 64 KiB read and across the walk's windows
    for (int i = 0; i < 3000; ++i)
        manyTracks += "#EXTBYT:10\r\n#EXTINF:1,Track\r\nTrack " + std::to_string(i) + ".mp3\r\n";
    std::string joined;  // parts across several windows, with line ends in their bytes
    for (int i = 0; i < 40; ++i) joined += test::TaggedPart(70'000 + 999 * i, i % 2 == 0 ? 'c' : '\r');
    std::string plain;  // parts without a line end
    for (int i = 0; i < 30; ++i) plain += test::TaggedPart(70'000);
    const std::string noLineEnd =
        test::kSync + std::string((1u << 20) + 70'000, 'U') + test::TextTag() + test::TaggedPart(5000);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"album.vyr", kThreeTracks},
        {"many.vyr", test::Album({"#EXTM3U", "#EXTALB:Many", manyTracks, "#EXTBIN"}, std::string(300'000, 'x'))},
        {"refused.vyr", test::Album({"#EXTBYT:4294967296", "a.mp3", "#EXTBIN"}, std::string(100, 'x'))},
        {"archive.vyr", "PK\x03\x04" + std::string(5000, 'z')},
        {"wrap.vyr", test::Album({"ID3 AlbumWrap"}, joined)},
        {"joined.mp3", joined},
        // An album header only past the first window: the walk along ends there.
        {"late.mp3", plain + "\r#EXTBIN\r\n" + plain + plain},
        {"plain.mp3", test::Album({"#EXTM3U", "a.mp3"}, std::string(100, 'x'))},
        {"one part.mp3", test::TaggedPart(6000)},
        {"no line end.mp3", noLineEnd},
        {"empty.vyr", ""},
        {"many.mp3", ManyPartsThenAlbumWrap()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / c.name, c.bytes);
        const LoadSeen alone = LoadAndLook(dir / c.name, false);
        const LoadSeen along = LoadAndLook(dir / c.name, true);
        EXPECT_EQ(alone.result.kind, along.result.kind);
        EXPECT_EQ(alone.result.scan, along.result.scan);
        EXPECT_EQ(alone.result.reason, along.result.reason);
        EXPECT_EQ(alone.rows, along.rows);
        EXPECT_EQ(alone.headerLength, along.headerLength);
        EXPECT_EQ(alone.dataBase, along.dataBase);
        EXPECT_EQ(alone.title, along.title);
        EXPECT_EQ(alone.artist, along.artist);
        EXPECT_EQ(alone.albumPath, along.albumPath);
        EXPECT_EQ(alone.items, along.items);
        EXPECT_EQ(alone.messages, along.messages);
        EXPECT_EQ(alone.labels, along.labels);
    }
    // The cases reach every outcome: an album, a refusal, an archive, scans that found parts.
    EXPECT_EQ(LoadAndLook(dir / "many.vyr", true).result.kind, FileKind::Album);
    EXPECT_EQ(LoadAndLook(dir / "joined.mp3", true).rows.size(), 40u);
    EXPECT_EQ(LoadAndLook(dir / "late.mp3", true).result.kind, FileKind::Refused);
    EXPECT_EQ(LoadAndLook(dir / "refused.vyr", true).result.kind, FileKind::Refused);
    EXPECT_EQ(LoadAndLook(dir / "archive.vyr", true).result.kind, FileKind::ZipArchive);

    // The walk along is the one the scan takes; where the pass finds an album it ends there,
    // long before the parts after the header.
    const std::optional<recovery::FirstPassAndWalk> joinedWalk =
        recovery::WalkWithFirstPass(dir / "joined.mp3", window);
    ASSERT_TRUE(joinedWalk);
    EXPECT_EQ(joinedWalk->header.kind, HeaderKind::NoHeader);
    EXPECT_EQ(joinedWalk->walk.outcome, recovery::WalkOutcome::Completed);
    const std::optional<recovery::FirstPassAndWalk> lateWalk = recovery::WalkWithFirstPass(dir / "late.mp3", window);
    ASSERT_TRUE(lateWalk);
    EXPECT_EQ(lateWalk->header.kind, HeaderKind::Album);
    EXPECT_EQ(lateWalk->walk.outcome, recovery::WalkOutcome::Stopped);
    EXPECT_LT(lateWalk->walk.boundaries.size(), 50u);
    // A walk that ends on the table's limit still has the rest read for the pass's verdict.
    const std::optional<recovery::FirstPassAndWalk> manyWalk = recovery::WalkWithFirstPass(dir / "many.mp3", window);
    ASSERT_TRUE(manyWalk);
    EXPECT_EQ(manyWalk->header.kind, HeaderKind::AlbumWrap);
    EXPECT_EQ(manyWalk->walk.outcome, recovery::WalkOutcome::TooManyRows);
}

// A stop asked for during the walk along ends the load there: the loader must not read the file
// once more on its own, and nothing is listed.
TEST_F(load_album, a_stop_during_the_walk_along_ends_the_load_without_a_second_reading)
{
    std::string joined;
    for (int i = 0; i < 60; ++i) joined += test::TaggedPart(70'000);
    test::WriteFile(dir / "joined.mp3", joined);
    window.stopRequested = true;
    const std::optional<recovery::FirstPassAndWalk> walked = recovery::WalkWithFirstPass(dir / "joined.mp3", window);
    ASSERT_TRUE(walked);
    EXPECT_TRUE(walked->header.stopped);
    EXPECT_EQ(window.yields, 1);

    window.yields = 0;
    recovery::RecoveryScanner along(RecoveryMethod::Classic, true);
    const LoadResult result = LoadAlbum(state, window, dir / "joined.mp3", along);
    EXPECT_EQ(result.scan, ScanOutcome::Stopped);
    EXPECT_EQ(window.yields, 1);
    EXPECT_EQ(state.list.items, 0);
    EXPECT_TRUE(window.messages.empty());
}

}  // namespace
}  // namespace vyr::album
