#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "album/AlbumState.h"
#include "extract/ExtractTicked.h"
#include "extract/clsDiskSpace.h"
#include "tests/RecordingWindow.h"
#include "tests/TestFiles.h"
#include "tests/extract_mounts.h"

namespace vyr::extract {
namespace {

using album::MessageButtons;
using album::MessageIcon;
using test::Entries;
using test::PatternBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

// A volume with a fixed number of free bytes; `whileAsked` runs inside the query, which the
// command makes after its existence check and before the copy.
class FixedVolume : public VolumeQuery {
public:
    std::uint64_t freeBytes = 10'000'000'000;
    std::function<void()> whileAsked;
    mutable int asked = 0;

    std::optional<ExtendedFigures> Extended(const std::string&) const override
    {
        ++asked;
        if (whileAsked) whileAsked();
        return ExtendedFigures{freeBytes, freeBytes * 2, freeBytes};
    }
};

struct Row {
    std::string fileName;
    std::int32_t byteCount;
    bool hasByteCount = true;
    bool ticked = true;
};

// An album on disk, its rows in the state and the list, and an empty target folder.
struct Scene {
    // An album of `dataBase` header bytes and then the rows' data; the list mirrors the rows.
    void Load(const std::vector<Row>& rows, std::int64_t dataBase = 300, std::size_t extra = 0)
    {
        std::size_t total = static_cast<std::size_t>(dataBase) + extra;
        for (const Row& r : rows) total += static_cast<std::size_t>(std::max(r.byteCount, 0));
        bytes = PatternBytes(total);
        WriteFile(state.albumPath = source / "album.vyr", bytes);
        state.headerLength = state.dataBase = dataBase;
        state.targetFolder = target.folder();
        state.tracks.Reset();
        bool first = true;
        for (const Row& r : rows) {
            album::TrackEntry& entry = state.tracks.NextRow(first);
            first = false;
            entry.fileName = r.fileName;
            entry.byteCount = r.byteCount;
            entry.hasByteCount = r.hasByteCount;
            entry.ticked = r.ticked;
        }
        state.list.items = state.tracks.Count();
    }
    std::string Bytes(std::size_t from, std::size_t count) const { return bytes.substr(from, count); }
    ExtractReport Extract() { return ExtractTicked(state, window, volume, settings); }

    TempDir source;
    TempDir target;
    album::AlbumState state;
    test::RecordingWindow window;
    FixedVolume volume;
    extract::ExtractSettings settings;
    std::string bytes;
};

std::vector<RowStatus> Statuses(const ExtractReport& report)
{
    std::vector<RowStatus> statuses;
    for (const RowReport& r : report.rows) statuses.push_back(r.status);
    return statuses;
}

class ExtractTickedTest : public ::testing::Test, protected Scene {};

// Suites are named after the unit they test.
using extract_ticked = ExtractTickedTest;

TEST_F(extract_ticked, writes_each_ticked_row_from_its_place_after_the_base)
{
    struct Case {
        const char* name;
        std::vector<bool> ticks;
        Strings written;
    };
    const Case cases[] = {
        {"none ticked", {false, false, false}, {}},
        {"all ticked", {true, true, true}, {"a.mp3", "b.mp3", "c.mp3"}},
        {"only the third", {false, false, true}, {"c.mp3"}},
        {"first and last", {true, false, true}, {"a.mp3", "c.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        window = {};
        Load({{"a.mp3", 1000, true, c.ticks[0]}, {"b.mp3", 2000, true, c.ticks[1]}, {"c.mp3", 3000, true, c.ticks[2]}});
        state.targetFolder = folder.folder();
        const ExtractReport report = Extract();
        EXPECT_EQ(Entries(folder.folder()), c.written);
        const std::size_t starts[] = {300, 1300, 3300};
        const std::size_t counts[] = {1000, 2000, 3000};
        for (std::size_t i = 0; i < 3; ++i)
            if (c.ticks[i]) {
                EXPECT_EQ(ReadFile(folder / state.tracks[static_cast<int>(i)].fileName), Bytes(starts[i], counts[i]));
            }
        const int eligible = static_cast<int>(c.written.size());
        EXPECT_EQ(window.progressMaximum, std::max(eligible, 1));  // never an empty range
        EXPECT_EQ(window.progressValues.front(), 0);
        EXPECT_EQ(window.progressValues.back(), 0);
        EXPECT_EQ(static_cast<int>(window.progressValues.size()), eligible + 2);
        EXPECT_EQ(report.Count(RowStatus::Written), eligible);
        EXPECT_TRUE(window.messages.empty());
    }
}

TEST_F(extract_ticked, the_base_is_where_the_loader_or_scanner_said_row_zero_begins)
{
    // Row 0 not longer than the header: its data still begins at the base, not at 0.
    Load({{"short.mp3", 200}, {"next.mp3", 500}}, 300);
    Extract();
    EXPECT_EQ(ReadFile(target / "short.mp3"), Bytes(300, 200));
    EXPECT_EQ(ReadFile(target / "next.mp3"), Bytes(500, 500));

    // A scanned file whose first boundary lies inside the header counts from 0.
    TempDir scanned;
    window = {};
    Load({{"part1.mp3", 250}, {"part2.mp3", 400}}, 0, 300);
    state.headerLength = 300;
    state.targetFolder = scanned.folder();
    Extract();
    EXPECT_EQ(ReadFile(scanned / "part1.mp3"), Bytes(0, 250));
    EXPECT_EQ(ReadFile(scanned / "part2.mp3"), Bytes(250, 400));
}

TEST_F(extract_ticked, rows_that_are_not_written_still_move_the_later_rows)
{
    WriteFile(target / "present.mp3", "old");
    Load({{"nosize.mp3", 700, false}, {"unticked.mp3", 100, true, false}, {"present.mp3", 50}, {"last.mp3", 10}});
    const ExtractReport report = Extract();
    EXPECT_EQ(Statuses(report),
              (std::vector{RowStatus::NoSize, RowStatus::Unticked, RowStatus::Exists, RowStatus::Written}));
    EXPECT_EQ(ReadFile(target / "last.mp3"), Bytes(300 + 700 + 100 + 50, 10));
    EXPECT_EQ(ReadFile(target / "present.mp3"), "old");
    // The row without a size is not eligible; the present file takes no progress step.
    EXPECT_EQ(window.progressMaximum, 2);
    EXPECT_EQ(window.progressValues, (std::vector{0, 1, 0}));
    EXPECT_FALSE(report.AnyRefusedOrFailed());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(extract_ticked, a_row_to_the_end_is_written_and_one_byte_past_is_reported)
{
    Load({{"whole.mp3", 1000}});
    EXPECT_EQ(Extract().rows[0].status, RowStatus::Written);
    EXPECT_EQ(ReadFile(target / "whole.mp3"), Bytes(300, 1000));

    TempDir other;
    window = {};
    Load({{"long.mp3", 1000}});
    std::filesystem::resize_file(state.albumPath, 1299);
    state.targetFolder = other.folder();
    const ExtractReport report = Extract();
    EXPECT_EQ(report.rows[0].status, RowStatus::Failed);
    EXPECT_EQ(report.rows[0].reason, "the track runs past the end of the album");
    EXPECT_TRUE(Entries(other.folder()).empty());
    EXPECT_EQ(window.progressValues, (std::vector{0, 1, 0})) << "a failed copy is still an attempt";
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "These files were not written:\r\nlong.mp3: the track runs past the end of the album");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(window.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(window.messages[0].title, "vyr Extract");
}

TEST_F(extract_ticked, keeps_the_free_space_margin_per_track)
{
    volume.freeBytes = 150'000'000;
    Load({{"fits.mp3", 1}, {"toobig.mp3", 1}, {"fits2.mp3", 10}});
    // Sparse: only the byte counts matter to the check.
    state.tracks[0].byteCount = 40'000'000;
    state.tracks[1].byteCount = 50'000'000;
    std::filesystem::resize_file(state.albumPath, 300 + 90'000'010);
    const ExtractReport report = Extract();
    EXPECT_EQ(Statuses(report), (std::vector{RowStatus::Written, RowStatus::LowSpace, RowStatus::Written}));
    EXPECT_EQ(volume.asked, 3);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].title, "Low Disk Space Warning");
    EXPECT_EQ(window.messages[0].text,
              "Insufficient Disk Space!!\r\n"
              "Cannot Create File\r\n"
              "Choose another target Drive");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(report.AnyRefusedOrFailed());
    EXPECT_EQ(window.progressValues, (std::vector{0, 1, 2, 0}));
}

TEST_F(extract_ticked, a_volume_that_cannot_be_asked_refuses_every_row_with_its_own_box)
{
    volume.freeBytes = 0;
    Load({{"a.mp3", 10}, {"b.mp3", 10}});
    const ExtractReport report = Extract();
    EXPECT_EQ(Statuses(report), (std::vector{RowStatus::NoSpace, RowStatus::NoSpace}));
    ASSERT_EQ(window.messages.size(), 2u);
    for (const album::Message& m : window.messages) {
        EXPECT_EQ(m.title, "No Free Space");
        EXPECT_EQ(m.text,
                  "No Free space detected, may be a CD-rom\r\n"
                  "Cannot Create File\r\n"
                  "Choose another target Drive");
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(Entries(target.folder()).empty());
}

TEST_F(extract_ticked, an_empty_list_is_reported_and_nothing_is_done)
{
    // The front end says "Open and Album file first." and opens the dialog; the command only
    // tells it that there was nothing to extract.
    const ExtractReport report = Extract();
    EXPECT_TRUE(report.noAlbum);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.progressValues.empty());
    EXPECT_TRUE(report.rows.empty());
}

TEST_F(extract_ticked, the_folder_choice_replaces_the_target_and_a_cancel_keeps_it)
{
    TempDir chosen;
    Load({{"a.mp3", 10}});
    settings.chooseTargetFolder = true;
    window.folderAnswers = {chosen.path().string()};
    Extract();
    EXPECT_EQ(window.foldersAsked, Strings{target.folder()});
    EXPECT_EQ(state.targetFolder, chosen.folder());
    EXPECT_EQ(ReadFile(chosen / "a.mp3"), Bytes(300, 10));

    window.folderAnswers = {""};
    state.targetFolder = target.folder();
    Extract();
    EXPECT_EQ(state.targetFolder, target.folder());
    EXPECT_EQ(ReadFile(target / "a.mp3"), Bytes(300, 10));
}

TEST_F(extract_ticked, unsafe_and_duplicate_names_are_refused_and_listed)
{
    TempDir inner;
    Load({{"../escape.mp3", 10},
          {"..", 10},
          {"", 10},
          {"tab\there.mp3", 10},
          {"same.mp3", 10},
          {"same.mp3", 20},
          {"ok.mp3", 10}});
    state.targetFolder = inner.folder();
    const ExtractReport report = Extract();
    EXPECT_EQ(Statuses(report),
              (std::vector{RowStatus::UnsafeName, RowStatus::UnsafeName, RowStatus::UnsafeName, RowStatus::UnsafeName,
                           RowStatus::Written, RowStatus::Failed, RowStatus::Written}));
    EXPECT_EQ(Entries(inner.folder()), (Strings{"ok.mp3", "same.mp3"}));
    EXPECT_EQ(ReadFile(inner / "same.mp3"), Bytes(340, 10));
    EXPECT_FALSE(std::filesystem::exists(inner.path().parent_path() / "escape.mp3"));
    const std::string bad = "the name is not a plain file name";
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "These files were not written:\r\n../escape.mp3: " + bad + "\r\n..: " + bad +
                                           "\r\n: " + bad + "\r\ntab?here.mp3: " + bad +
                                           "\r\nsame.mp3: row 5 of this run has the same name");
}

// No file system takes a name past 255 bytes (Windows: 255 UTF-16 units): such a row is refused
// before anything is copied, and the failure box shows its name cut.
TEST_F(extract_ticked, a_name_longer_than_the_file_system_takes_is_refused_before_the_copy)
{
    const std::string fits(255, 'f');
    const std::string tooLong(256, 'g');
    Load({{fits, 10}, {tooLong, 10}, {"after.mp3", 10}});
    const ExtractReport report = Extract();
    EXPECT_EQ(Statuses(report), (std::vector{RowStatus::Written, RowStatus::UnsafeName, RowStatus::Written}));
    EXPECT_EQ(volume.asked, 2) << "the refused row was checked for room";
    const std::string reason = "the name is longer than the file system takes";
    EXPECT_EQ(report.rows[1].reason, reason);
    EXPECT_EQ(ReadFile(target / fits), Bytes(300, 10));
    EXPECT_EQ(Entries(target.folder()), (Strings{"after.mp3", fits}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "These files were not written:\r\n" + std::string(64, 'g') + "\xE2\x80\xA6: " + reason);
}

// With sync, copies wait to be named until their batch is on the medium: a stop then names none
// of those still waiting, and every row reads as what happened to it.
TEST_F(extract_ticked, a_stop_in_the_middle_of_a_batch_names_nothing_more_and_leaves_nothing)
{
    std::vector<Row> rows;
    for (int i = 0; i < 60; ++i) rows.push_back({"t" + std::to_string(i) + ".mp3", 2000});
    Load(rows);
    ExtractSettings settings;
    settings.sync = true;
    int asked = 0;
    settings.stopRequested = [&] { return ++asked > 60; };  // once at each row and in each copy
    const ExtractReport report = ExtractTicked(state, window, volume, settings);
    EXPECT_TRUE(report.stopped);
    ASSERT_LT(report.rows.size(), rows.size());
    Strings written;
    for (const RowReport& row : report.rows) {
        if (row.status == RowStatus::Written) {
            written.push_back(std::string(row.fileName));
            EXPECT_EQ(ReadFile(target / row.fileName), Bytes(300 + 2000 * static_cast<std::size_t>(row.row), 2000));
        } else {
            EXPECT_EQ(row.status, RowStatus::Failed) << row.row;
            EXPECT_EQ(row.reason, "the run was stopped") << row.row;
        }
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(Entries(target.folder()), written);
}

TEST_F(extract_ticked, rows_without_a_list_item_count_as_unticked)
{
    Load({{"a.mp3", 10}, {"b.mp3", 10}});
    --state.list.items;  // a scan's rows before the list is filled
    const ExtractReport report = Extract();
    EXPECT_EQ(Statuses(report), (std::vector{RowStatus::Written, RowStatus::Unticked}));
    EXPECT_EQ(window.progressMaximum, 1);
}

TEST_F(extract_ticked, a_second_run_skips_what_the_first_wrote)
{
    Load({{"a.mp3", 10}, {"b.mp3", 20}});
    Extract();
    window.progressValues.clear();
    const ExtractReport again = Extract();
    EXPECT_EQ(Statuses(again), (std::vector{RowStatus::Exists, RowStatus::Exists}));
    EXPECT_EQ(window.progressValues, (std::vector{0, 0}));
}

// The files change between the load and the extraction. Whatever happens, no file that was
// there changes, nothing half-written stays, and the row is reported with its reason.
TEST(extract_ticked_faults, are_reported_and_change_nothing)
{
#ifdef _WIN32
    GTEST_SKIP() << "its faults include symbolic links, not made under wine here";
#endif
    struct Case {
        const char* name;
        std::function<void(Scene&)> fault;
        std::string_view reason;
        Strings targetAfter;
        Strings sourceAfter;
    };
    const Case cases[] = {
        {"album removed",
         [](Scene& s) { std::filesystem::remove(s.state.albumPath); },
         "cannot open the album",
         {},
         {}},
        {"album truncated",
         [](Scene& s) { std::filesystem::resize_file(s.state.albumPath, 400); },
         "the track runs past the end of the album",
         {},
         {"album.vyr"}},
        {"name taken after the check",
         [](Scene& s) { s.volume.whileAsked = [&s] { WriteFile(s.target / "a.mp3", "theirs"); }; },
         "a file of that name exists",
         {"a.mp3"},
         {"album.vyr"}},
        {"link placed at the name",
         [](Scene& s) {
             s.volume.whileAsked = [&s] { std::filesystem::create_symlink(s.source / "victim", s.target / "a.mp3"); };
         },
         "a file of that name exists",
         {"a.mp3"},
         {"album.vyr"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.Load({{"a.mp3", 1000}});
        c.fault(scene);
        const ExtractReport report = scene.Extract();
        ASSERT_EQ(report.rows.size(), 1u);
        EXPECT_EQ(report.rows[0].status, RowStatus::Failed);
        EXPECT_EQ(report.rows[0].reason.substr(0, c.reason.size()), c.reason);
        EXPECT_EQ(Entries(scene.target.folder()), c.targetAfter);
        EXPECT_EQ(Entries(scene.source.folder()), c.sourceAfter);
        if (c.sourceAfter.size() == 1) {
            EXPECT_EQ(test::ReadWhole(scene.source / "album.vyr").substr(0, 400), scene.Bytes(0, 400));
        }
        if (std::filesystem::is_regular_file(scene.target / "a.mp3") &&
            !std::filesystem::is_symlink(scene.target / "a.mp3")) {
            EXPECT_EQ(ReadFile(scene.target / "a.mp3"), "theirs");
        }
        ASSERT_EQ(scene.window.messages.size(), 1u);
        EXPECT_NE(scene.window.messages[0].text.find(report.rows[0].reason), std::string::npos);
    }
}

// The album and the folder are the ones the run began with, whatever is renamed or swapped
// between its tracks; a folder named through a link is the folder it leads to.
TEST_F(extract_ticked, reads_one_album_and_writes_into_one_folder_whatever_changes_during_the_run)
{
#ifdef _WIN32
    GTEST_SKIP() << "its changes swap folders for symbolic links, not made under wine here";
#endif
    struct Case {
        const char* name;
        // Runs once, before the second track; returns the folder the tracks must be in.
        std::function<std::string(Scene&)> change;
        std::function<void(Scene&)> before = [](Scene&) {};
    };
    const Case cases[] = {
        {"album replaced",
         [](Scene& s) {
             WriteFile(s.source / "other.vyr", std::string(s.bytes.size(), 'X'));
             std::filesystem::rename(s.source / "other.vyr", s.state.albumPath);
             return s.target.folder();
         }},
        {"folder swapped for a link",
         [](Scene& s) {
             std::filesystem::create_directory(s.source / "elsewhere");
             std::filesystem::rename(s.target.path(), s.source / "moved");
             std::filesystem::create_directory_symlink(s.source / "elsewhere", s.target.path());
             return s.source / "moved/";
         }},
        {"folder named through a link", [](Scene& s) { return s.target.folder(); },
         [](Scene& s) {
             std::filesystem::create_directory_symlink(s.target.path(), s.source / "link");
             s.state.targetFolder = s.source / "link/";
         }},
        {"folder named through a link, with a dot", [](Scene& s) { return s.target.folder(); },
         [](Scene& s) {
             std::filesystem::create_directory_symlink(s.target.path(), s.source / "link");
             s.state.targetFolder = s.source / "link/./";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.Load({{"a.mp3", 1000}, {"b.mp3", 2000}});
        c.before(scene);
        std::string expected;
        scene.volume.whileAsked = [&] {
            if (scene.volume.asked == 2) expected = c.change(scene);
        };
        const ExtractReport report = scene.Extract();
        EXPECT_EQ(Statuses(report), (std::vector{RowStatus::Written, RowStatus::Written}));
        EXPECT_EQ(ReadFile(expected + "a.mp3"), scene.Bytes(300, 1000));
        EXPECT_EQ(ReadFile(expected + "b.mp3"), scene.Bytes(1300, 2000));
        if (std::filesystem::exists(scene.source / "elsewhere")) {
            EXPECT_TRUE(Entries(scene.source / "elsewhere").empty());
        }
        EXPECT_TRUE(scene.window.messages.empty());
    }
}

}  // namespace
}  // namespace vyr::extract
