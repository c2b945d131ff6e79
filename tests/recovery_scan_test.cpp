#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>

#include "album/AlbumState.h"
#include "recovery/ScanAndRecover.h"
#include "support/Text.h"
#include "tests/RecordingWindow.h"
#include "tests/ScanMaterial.h"
#include "tests/ShownList.h"
#include "tests/TestFiles.h"

namespace vyr::recovery {
namespace {

using album::MessageIcon;
using test::kSync;
using test::TaggedPart;

struct Scan {
    test::TempDir dir;
    album::AlbumState state;
    test::RecordingWindow window;
    ScanOutcome outcome{};

    ScanOutcome Run(const std::string& name, const std::string& bytes)
    {
        test::WriteFile(dir / name, bytes);
        window.albumLabel = "Now Scanning file for parts";
        window.artistLabel = "Please wait!";
        return outcome = ScanAndRecover(state, window, dir / name);
    }
};

void ExpectEndStep(const test::RecordingWindow& window)
{
    EXPECT_EQ(0, window.progressValue);
    EXPECT_EQ("", window.albumLabel);
    EXPECT_EQ("", window.artistLabel);
}

TEST(recovery_scan, two_named_parts_and_a_numbered_third_are_listed_and_ticked)
{
    Scan scan;
    const std::string header = "#EXTM3U\r\n[01] First.mp3\r\n[02] Second.mp3\r\n" + std::string(900, ' ');
    const std::string file = header + TaggedPart(5000) + TaggedPart(7000) + kSync + std::string(3000, 'd');
    EXPECT_EQ(ScanOutcome::Recovered, scan.Run("Party.Mix.vyr", file));

    EXPECT_EQ(scan.dir / "Party.Mix.vyr", scan.state.albumPath);
    EXPECT_EQ(scan.dir.folder(), scan.state.targetFolder);
    EXPECT_TRUE(scan.state.Scanned());
    EXPECT_EQ(static_cast<std::int64_t>(header.size()), scan.state.headerLength);
    EXPECT_EQ(scan.state.headerLength, scan.state.dataBase);
    ASSERT_EQ(3, scan.state.tracks.Count());
    const char* names[] = {"[01] First.mp3", "[02] Second.mp3", "[03] Party.mp3"};
    const int counts[] = {5000, 7000, 3002};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(names[i], scan.state.tracks[i].fileName);
        EXPECT_EQ(counts[i], scan.state.tracks[i].byteCount);
        EXPECT_TRUE(scan.state.tracks[i].hasByteCount);
    }

    const std::vector<album::ListColumn>& columns = scan.state.list.columns;
    ASSERT_EQ(2u, columns.size());
    EXPECT_EQ("hFileName", columns[0].key);
    EXPECT_EQ("File Name", columns[0].caption);
    EXPECT_DOUBLE_EQ(8055.0 / 2, columns[0].width);
    EXPECT_EQ("hSize", columns[1].key);
    EXPECT_EQ("Size", columns[1].caption);
    EXPECT_DOUBLE_EQ(8055.0 / 8, columns[1].width);
    const std::vector<test::ShownItem> items = test::ShownItems(scan.state);
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ((std::vector<std::string>{"[02] Second.mp3", "7Kb"}), items[1].cells);
    EXPECT_EQ("[03] Party.mp3", items[2].cells[0]);
    EXPECT_TRUE(items[0].ticked && items[1].ticked && items[2].ticked);
    EXPECT_EQ(2, scan.window.listShown);  // emptied as the scan began, then filled
    EXPECT_TRUE(scan.window.messages.empty());
    ExpectEndStep(scan.window);
}

TEST(recovery_scan, progress_and_a_yield_for_every_block)
{
    Scan scan;
    int yieldsSeen = 0;
    scan.window.onYield = [&] { ++yieldsSeen; };
    scan.Run("a.vyr", std::string(2048, 'a'));
    // Blocks at 1, 513, 508, 1020, 1015, 1527, 1522, 2034, 2029: 100 / (L / p) before each,
    // after the 0 of the start and before the 0 of the end.
    const std::vector<int> expected{0, 0, 25, 24, 49, 49, 74, 74, 99, 99, 0};
    EXPECT_EQ(expected, scan.window.progressValues);
    EXPECT_EQ(9, yieldsSeen);
    EXPECT_EQ(0, scan.window.progressMinimum);
    EXPECT_EQ(100, scan.window.progressMaximum);

    // Over a longer file every block's value is still exactly 100 / (L / p).
    Scan longer;
    const std::int64_t length = 300'007;
    longer.Run("b.vyr", std::string(static_cast<std::size_t>(length), 'a'));
    std::vector<int> values{0};
    // Blocks at 1, then 513, 508, 1020, 1015, ...: each quiet block read again 5 bytes earlier.
    bool backedUp = false;
    for (std::int64_t p = 1; p < length;) {
        values.push_back(static_cast<int>(100.0 / (static_cast<double>(length) / static_cast<double>(p))));
        const bool backUp = !backedUp && p > 5;
        p += backUp ? -5 : 512;
        backedUp = backUp;
    }
    values.push_back(0);
    EXPECT_EQ(values, longer.window.progressValues);

    // Past the first frame sync, quiet blocks are read without a report of their own where it
    // would repeat the last: the same values in the same order, far fewer yields.
    Scan synced;
    int syncedYields = 0;
    synced.window.onYield = [&] { ++syncedYields; };
    synced.Run("c.vyr", kSync + std::string(static_cast<std::size_t>(length) - kSync.size(), 'a'));
    std::vector<int> distinct = values;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<int> shown = synced.window.progressValues;
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    EXPECT_EQ(distinct, shown);
    EXPECT_LT(syncedYields, 300);
}

TEST(recovery_scan, nothing_found_shows_the_notice_and_keeps_the_columns)
{
    const struct {
        const char* name;
        std::string bytes;
        const char* rowName;
    } cases[] = {
        {"Song.vyr", "", "[01] Song.mp3"},
        {"Song.vyr", "x", "[01] Song.mp3"},
        {"One.vyr", TaggedPart(6000), "[01] One.mp3"},  // one boundary, at the end: one row
        {"Plain", std::string(3000, 'z'), "[01] mp3"},
    };
    for (const auto& c : cases) {
        Scan scan;
        scan.state.list.columns.push_back({album::Column::FileName, "old", "Old", 10});
        scan.state.headerLength = 777;
        EXPECT_EQ(ScanOutcome::NothingFound, scan.Run(c.name, c.bytes)) << c.name;
        ASSERT_EQ(1u, scan.window.messages.size());
        EXPECT_EQ("Sorry cannot locate files to recover.", scan.window.messages[0].text);
        EXPECT_EQ(MessageIcon::Exclamation, scan.window.messages[0].icon);
        EXPECT_EQ("vyr Extract", scan.window.messages[0].title);
        EXPECT_EQ(0, scan.state.list.items);
        ASSERT_EQ(1u, scan.state.list.columns.size());
        ASSERT_EQ(1, scan.state.tracks.Count());
        EXPECT_EQ(c.rowName, scan.state.tracks[0].fileName);
        // The pass starts from its own header length, not the one the last file left.
        if (c.bytes.find(kSync) == std::string::npos) {
            EXPECT_EQ(0, scan.state.headerLength);
        }
        ExpectEndStep(scan.window);
    }
}

TEST(recovery_scan, existing_targets_stay_unticked_and_unreadable_files_fail)
{
    Scan scan;
    test::WriteFile(scan.dir / "[02] Mix.mp3", "already here");
    test::WriteFile(scan.dir / "[01] Mix.mp3", "");  // an empty file counts as absent
    scan.Run("Mix.vyr", std::string(600, 'a') + TaggedPart(3000) + TaggedPart(3000));
    const std::vector<test::ShownItem> items = test::ShownItems(scan.state);
    ASSERT_EQ(2u, items.size());
    EXPECT_TRUE(items[0].ticked);
    EXPECT_FALSE(items[1].ticked);

    Scan missing;
    EXPECT_EQ(ScanOutcome::Failed, ScanAndRecover(missing.state, missing.window, missing.dir / "absent.vyr"));
    ASSERT_EQ(1u, missing.window.messages.size());
    // The reason is the loader's: why the file cannot be read.
    EXPECT_EQ("Cannot read the file\r\n" + missing.dir / "absent.vyr" + "\r\nNo such file or directory",
              missing.window.messages[0].text);
    EXPECT_EQ(missing.dir.folder(), missing.state.targetFolder);
    ExpectEndStep(missing.window);

    Scan folder;
    EXPECT_EQ(ScanOutcome::Failed, ScanAndRecover(folder.state, folder.window, folder.dir.folder()));
    EXPECT_EQ("Cannot read the file\r\n" + folder.dir.folder() + "\r\nit is a folder, not a file",
              folder.window.messages.at(0).text);
}

TEST(recovery_scan, a_list_that_cannot_be_shown_fails_the_scan)
{
    // A window that runs out of memory showing the filled list.
    struct FailingWindow : test::RecordingWindow {
        void ListChanged() override
        {
            if (++listShown > 1) throw std::bad_alloc();
        }
    };
    test::TempDir dir;
    test::WriteFile(dir / "a.vyr", std::string(600, 'a') + TaggedPart(3000) + TaggedPart(3000));
    album::AlbumState state;
    FailingWindow window;
    EXPECT_EQ(ScanOutcome::Failed, ScanAndRecover(state, window, dir / "a.vyr"));
    ASSERT_EQ(1u, window.messages.size());
    EXPECT_EQ("Sorry cannot recover files.", window.messages[0].text);
    ExpectEndStep(window);
}

TEST(recovery_scan, a_stop_request_ends_the_scan_quietly)
{
    Scan scan;
    scan.window.onYield = [&] { scan.window.stopRequested = scan.window.yields >= 2; };
    EXPECT_EQ(ScanOutcome::Stopped, scan.Run("a.vyr", std::string(5000, 'a') + TaggedPart(3000) + TaggedPart(3000)));
    EXPECT_EQ(2, scan.window.yields);
    EXPECT_TRUE(scan.window.messages.empty());
    EXPECT_EQ(0, scan.state.list.items);
    ExpectEndStep(scan.window);
}

}  // namespace
}  // namespace vyr::recovery
