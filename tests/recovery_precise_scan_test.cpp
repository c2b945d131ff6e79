#include <gtest/gtest.h>

#include <string>

#include "album/AlbumState.h"
#include "album/LoadAlbum.h"
#include "extract/ExtractTicked.h"
#include "extract/clsDiskSpace.h"
#include "recovery/RecoveryScanner.h"
#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "tests/AlbumBuilder.h"
#include "tests/RecordingWindow.h"
#include "tests/ShownList.h"
#include "tests/TestFiles.h"

// ScanPrecisely as the window and the CLI run it: the same reset, messages, list and end step
// as the classic scan, and rows at their own offsets that ExtractTicked writes unchanged.
namespace vyr::recovery {
namespace {

const std::string kMaterial = std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/";
const std::string kFirst = test::ReadFile(kMaterial + "cbr44-id3v2-id3v1.mp3");
const std::string kSecond = test::ReadFile(kMaterial + "ffmpeg-id3v24.mp3");

class RoomyVolume final : public extract::VolumeQuery {
public:
    std::optional<extract::ExtendedFigures> Extended(const std::string&) const override
    {
        constexpr std::uint64_t kPlenty = std::uint64_t{1} << 50;
        return extract::ExtendedFigures{kPlenty, kPlenty, kPlenty};
    }
    std::optional<extract::LegacyFigures> Legacy(const std::string&) const override { return std::nullopt; }
};

struct Scan {
    test::TempDir dir;
    album::AlbumState state;
    test::RecordingWindow window;

    ScanOutcome Run(const std::string& name, const std::string& bytes)
    {
        test::WriteFile(dir / name, bytes);
        window.albumLabel = "Now Scanning file for parts";
        window.artistLabel = "Please wait!";
        return ScanPrecisely(state, window, dir / name);
    }
};

void ExpectMessages(const test::RecordingWindow& window, const std::vector<std::string>& texts)
{
    ASSERT_EQ(texts.size(), window.messages.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], window.messages[i].text);
        EXPECT_EQ("vyr Extract", window.messages[i].title);
        EXPECT_EQ(album::MessageIcon::Exclamation, window.messages[i].icon);
    }
}

TEST(recovery_precise_scan, outcomes_messages_and_the_end_step)
{
    const struct {
        const char* name;
        std::string bytes;
        bool create;
        ScanOutcome outcome;
        std::vector<std::string> messages;
    } cases[] = {
        {"two parts", "junk" + kFirst + kSecond, true, ScanOutcome::Recovered, {}},
        {"one part is listed too", kFirst, true, ScanOutcome::Recovered, {}},
        {"no frames at all",
         std::string(5000, 'x'),
         true,
         ScanOutcome::NothingFound,
         {"Sorry cannot locate files to recover."}},
        {"a missing file",
         "",
         false,
         ScanOutcome::Failed,
         {"Cannot read the file\r\n{path}\r\nNo such file or directory"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scan scan;
        const std::string path = scan.dir / "Song.mp3";
        if (c.create) test::WriteFile(path, c.bytes);
        scan.window.albumLabel = "Now Scanning file for parts";
        EXPECT_EQ(c.outcome, ScanPrecisely(scan.state, scan.window, path));
        std::vector<std::string> messages = c.messages;
        for (std::string& text : messages)
            if (const auto at = text.find("{path}"); at != std::string::npos) text.replace(at, 6, path);
        ExpectMessages(scan.window, messages);
        EXPECT_EQ(0, scan.window.progressValue);
        EXPECT_EQ("", scan.window.albumLabel);
        EXPECT_EQ("", scan.window.artistLabel);
        EXPECT_EQ(album::RecoveryMethod::Precise, scan.state.recovery.method);
        EXPECT_TRUE(scan.state.Scanned());
        EXPECT_EQ(path, scan.state.albumPath);
        if (c.outcome == ScanOutcome::NothingFound) {
            ASSERT_EQ(1, scan.state.tracks.Count());
            EXPECT_EQ("[01] Song.mp3", scan.state.tracks[0].fileName);
            EXPECT_EQ(0, scan.state.list.items);
        }
    }
}

TEST(recovery_precise_scan, rows_are_listed_ticked_and_extracted_from_their_own_offsets)
{
    Scan scan;
    const std::string junk(333, 'j');
    ASSERT_EQ(ScanOutcome::Recovered, scan.Run("Mix.mp3", junk + kFirst + junk + kSecond));
    // A file of the first row's name in the target folder leaves that row unticked.
    test::WriteFile(scan.dir / "01 Rising Tone.mp3", "there");
    ASSERT_EQ(ScanOutcome::Recovered, ScanPrecisely(scan.state, scan.window, scan.dir / "Mix.mp3"));

    EXPECT_EQ((std::vector<std::string>{"File Name", "Size"}), test::ColumnCaptions(scan.state));
    const std::vector<test::ShownItem> items = test::ShownItems(scan.state);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ((std::vector<std::string>{"01 Rising Tone.mp3", "7Kb"}), items[0].cells);
    EXPECT_EQ("03 Default Tone.mp3", items[1].cells[0]);
    EXPECT_FALSE(items[0].ticked);
    EXPECT_TRUE(items[1].ticked);
    EXPECT_EQ((std::vector<std::int64_t>{333, 333 + 7273 + 333}), scan.state.rowOffsets);
    EXPECT_EQ(333, scan.state.dataBase);

    // The rows do not lie end to end; the extract command still writes each from its offset.
    test::TempDir out;
    scan.state.targetFolder = out.folder();
    album::SetTicked(scan.state, scan.window, 0, true);
    const extract::ExtractReport report = extract::ExtractTicked(scan.state, scan.window, RoomyVolume());
    EXPECT_EQ(2, report.Count(extract::RowStatus::Written));
    EXPECT_TRUE(test::ReadFile(out / "01 Rising Tone.mp3") == kFirst);
    EXPECT_TRUE(test::ReadFile(out / "03 Default Tone.mp3") == kSecond);
}

TEST(recovery_precise_scan, progress_yields_and_a_stop)
{
    Scan scan;
    std::string big;
    while (big.size() < (std::size_t{3} << 20)) big += kFirst;
    EXPECT_EQ(ScanOutcome::Recovered, scan.Run("Big.mp3", big));
    EXPECT_GE(scan.window.yields, 3);
    EXPECT_EQ(100, scan.window.progressMaximum);

    Scan stopped;
    stopped.window.stopRequested = true;
    EXPECT_EQ(ScanOutcome::Stopped, stopped.Run("Big.mp3", big));
    EXPECT_TRUE(stopped.window.messages.empty());
    EXPECT_EQ(0, stopped.state.list.items);
    EXPECT_EQ(0, stopped.window.progressValue);
}

TEST(recovery_precise_scan, a_later_load_or_classic_scan_drops_the_offsets_and_gaps)
{
    Scan scan;
    ASSERT_EQ(ScanOutcome::Recovered, scan.Run("Mix.mp3", "junk" + kFirst + kSecond));
    ASSERT_FALSE(scan.state.rowOffsets.empty());
    ASSERT_FALSE(scan.state.recovery.gaps.empty());

    ScanAndRecover(scan.state, scan.window, scan.dir / "Mix.mp3");
    EXPECT_TRUE(scan.state.rowOffsets.empty());
    EXPECT_EQ(album::RecoveryMethod::Classic, scan.state.recovery.method);
    EXPECT_TRUE(scan.state.recovery.gaps.empty());

    ScanPrecisely(scan.state, scan.window, scan.dir / "Mix.mp3");
    test::WriteFile(scan.dir / "A.vyr", test::Album({"#EXTBYT:4", "a.mp3", "#EXTBIN"}, std::string(100, 'x')));
    RecoveryScanner scanner;
    album::LoadAlbum(scan.state, scan.window, scan.dir / "A.vyr", scanner);
    EXPECT_TRUE(scan.state.rowOffsets.empty());
    EXPECT_EQ(album::RecoveryMethod::None, scan.state.recovery.method);
    EXPECT_EQ((std::vector<std::int64_t>{scan.state.headerLength}), album::RowOffsets(scan.state));
}

TEST(recovery_precise_scan, the_loader_runs_the_precise_scan_when_asked)
{
    Scan scan;
    test::WriteFile(scan.dir / "Mix.mp3", kFirst + kSecond);
    scan.window.defaultAnswer = album::MessageAnswer::Yes;
    RecoveryScanner scanner(album::RecoveryMethod::Precise);
    const album::LoadResult result = album::LoadAlbum(scan.state, scan.window, scan.dir / "Mix.mp3", scanner);
    EXPECT_EQ(ScanOutcome::Recovered, result.scan);
    EXPECT_EQ(album::RecoveryMethod::Precise, scan.state.recovery.method);
    EXPECT_EQ(2, scan.state.tracks.Count());
}

}  // namespace
}  // namespace vyr::recovery
