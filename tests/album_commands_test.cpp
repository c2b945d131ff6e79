#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "album/TrackList.h"
#include "commands/AlbumCommands.h"
#include "commands/CommandLine.h"
#include "extract/clsDiskSpace.h"
#include "tests/AlbumBuilder.h"
#include "tests/ScanMaterial.h"
#include "tests/ScriptedWindow.h"
#include "tests/ShownList.h"
#include "tests/TestFiles.h"

namespace vyr::commands {
namespace {

using album::MessageIcon;
using Strings = std::vector<std::string>;

constexpr std::string_view kOpenAlbumFirst = "Open and Album file first.";
constexpr std::string_view kScanNotice =
    "Press OK and the file will be scanned to attempt\r\n"
    "to recover tracks contained inside.\r\n"
    "\r\n"
    "This may not recover tracks properly so check results.";

class RoomyVolume : public extract::VolumeQuery {
public:
    std::optional<extract::ExtendedFigures> Extended(const std::string&) const override
    {
        return extract::ExtendedFigures{10'000'000'000, 20'000'000'000, 10'000'000'000};
    }
};

class AlbumCommandsTest : public ::testing::Test {
protected:
    // An album of three tracks in the test's folder, its data each track's own letter.
    std::string ThreeTracks(const std::string& name = "Three.vyr")
    {
        test::WriteFile(dir / name,
                        test::Album({"#EXTALB:Three", "#EXTART:Band", "#EXTBYT:1000", "#EXTINF:61,One", "one.mp3",
                                     "#EXTBYT:2000", "two.mp3", "#EXTBYT:3000", "three.mp3", "#EXTBIN"},
                                    std::string(1000, 'a') + std::string(2000, 'b') + std::string(3000, 'c')));
        return dir / name;
    }

    Strings Texts() const
    {
        Strings texts;
        for (const album::Message& message : window.messages) texts.push_back(message.text);
        return texts;
    }

    test::TempDir dir;
    test::ScriptedWindow window;
    RoomyVolume volume;
    AlbumCommands commands{window, &volume};
};

using album_commands = AlbumCommandsTest;

TEST(command_line, is_one_path_with_one_quote_taken_from_each_end)
{
    EXPECT_EQ(JoinArguments({}), "");
    EXPECT_EQ(JoinArguments({"/music/My", "Album.vyr"}), "/music/My Album.vyr");
    EXPECT_EQ(JoinArguments({"a", "", "b"}), "a  b");

    const struct {
        const char* commandLine;
        StartAction action;
        const char* path;
    } cases[] = {
        {"", StartAction::Nothing, ""},
        {"   ", StartAction::Nothing, ""},
        {"\"/a b/x.vyr\"", StartAction::Load, "/a b/x.vyr"},
        {"/a b/x.vyr", StartAction::Load, "/a b/x.vyr"},
        {"/a.vyr /b.vyr", StartAction::CommandLineError, "/a.vyr /b.vyr"},  // two names are one
        {"\"/a b/x.vyr\" ", StartAction::CommandLineError, "/a b/x.vyr\" "},  // a space after the quote
        {"\"", StartAction::CommandLineError, ""},
        {"/w/WRAP.ALB", StartAction::ScanAlbumWrap, "/w/WRAP.ALB"},
        {"/w/wrap.albw", StartAction::Load, "/w/wrap.albw"},
        {" /a.vyr ", StartAction::Load, "/a.vyr"},  // trimmed for the load, not for the test
        {"\"/a b/x.vyr", StartAction::Load, "/a b/x.vyr"},
    };
    // The names that "exist", exactly as the plan asks for them.
    const std::set<std::string> files = {"/a b/x.vyr", "/w/WRAP.ALB", "/w/wrap.albw", " /a.vyr "};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        const StartPlan plan = PlanCommandLine(c.commandLine, [&](const std::string& p) { return files.count(p) > 0; });
        EXPECT_EQ(plan.action, c.action);
        EXPECT_EQ(plan.path, c.path);
    }

    EXPECT_TRUE(IsAlbwName("/x/a.albw") && IsAlbwName("/x/aalbw"));  // no dot needed
    EXPECT_FALSE(IsAlbwName("/x/a.ALBW") || IsAlbwName("/x/a.albw "));
    EXPECT_TRUE(IsAlbumWrapName("a.alb") && IsAlbumWrapName("a.AlB"));
    EXPECT_FALSE(IsAlbumWrapName("a.albw") || IsAlbumWrapName("alb") || IsAlbumWrapName("a.alb "));
}

TEST_F(album_commands, the_load_step_sets_the_caption_and_folder_paints_then_loads)
{
    window.documentsFolder = "/home/user/Documents";
    commands.LoadStep("\"" + ThreeTracks() + "\"");
    EXPECT_EQ(window.caption, "vyr Extract   version 1.2.0");
    EXPECT_TRUE(window.shown);
    EXPECT_EQ(window.yieldsBeforeShown, 0);
    EXPECT_GE(window.yields, 1);  // shown, then painted before the load
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(commands.State().list.items, 3);
    EXPECT_EQ(window.albumLabel, "Three");
    EXPECT_EQ(commands.State().targetFolder, dir.folder());

    test::ScriptedWindow bare;
    AlbumCommands none(bare);
    none.LoadStep("  ");
    EXPECT_EQ(none.State().targetFolder, "");  // no documents folder, and nothing loaded
    EXPECT_TRUE(bare.messages.empty());
}

TEST_F(album_commands, the_load_step_names_a_missing_file_and_scans_an_alb_file)
{
    commands.LoadStep("\"/nowhere/at all.vyr\"");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "/nowhere/at all.vyr\r\n is not a valid file");
    EXPECT_EQ(window.messages[0].title, "Command line error");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(window.documentsOpened.empty());

    window.messages.clear();
    test::WriteFile(dir / "joined.ALB", std::string(600, 'a') + test::TaggedPart(3000) + test::TaggedPart(3000));
    commands.LoadStep(dir / "joined.ALB");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text.substr(0, window.messages[0].text.find('\r')),
              "This file is an ALBW \"Album Wrap\" file NOT an vyr file");
    EXPECT_TRUE(commands.State().Scanned());
    EXPECT_EQ(commands.State().list.items, 2);
}

TEST_F(album_commands, open_asks_with_the_filter_and_routes_albw_names_to_the_scanner)
{
    test::WriteFile(dir / "mix.albw", std::string(600, 'a') + test::TaggedPart(3000) + test::TaggedPart(3000));
    test::WriteFile(dir / "JOINED.ALBW", std::string(5000, 'x'));
    commands.LoadStep("");
    window.documentsFolder.clear();
    window.openAnswers = {dir / "mix.albw", dir / "JOINED.ALBW"};

    commands.Open();
    ASSERT_EQ(window.openCalls.size(), 1u);
    EXPECT_EQ(window.openCalls[0].title, "Open Album file");
    EXPECT_EQ(window.openCalls[0].filter,
              "Album (*.vyr;*.m3u;*.mp3;*.albw)|*.vyr;*.m3u;*.mp3;*.albw|(*.vyr)|*.vyr|(*.m3u)|*.m3u|(*.mp3)|*.mp3|"
              "Any file (*.*)|*.*");
    EXPECT_EQ(Texts(), Strings{std::string(kScanNotice)});
    EXPECT_EQ(commands.State().list.items, 2);
    EXPECT_EQ(window.albumLabel, "");  // the notice went once the scan ended

    window.messages.clear();
    commands.Open();  // the loader finds no header and asks; the test says No
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].buttons, album::MessageButtons::YesNo);
    EXPECT_EQ(window.openCalls[1].initialFolder, dir.folder());  // the last file's folder

    commands.Open();  // cancelled
    EXPECT_EQ(window.messages.size(), 1u);
}

TEST_F(album_commands, choose_and_extract_on_an_empty_list_ask_for_an_album_then_open)
{
    for (int button = 0; button < 3; ++button) {
        window.messages.clear();
        window.openCalls.clear();
        if (button < 2)
            commands.Choose(button);
        else
            commands.Extract();
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, kOpenAlbumFirst);
        EXPECT_EQ(window.messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(window.messages[0].title, "vyr Extract");
        EXPECT_EQ(window.openCalls.size(), 1u);
    }
}

TEST_F(album_commands, ticks_choose_and_extract_write_what_the_list_shows)
{
    commands.Drop({ThreeTracks()});
    commands.Choose(1);
    EXPECT_FALSE(test::ShownItems(commands.State())[2].ticked);
    commands.Choose(0);
    commands.Tick(1, false);
    EXPECT_EQ(window.itemsShown.back(), (std::pair{1, 1}));

    test::TempDir chosen;
    window.chooseTargetFolder = true;
    window.folderAnswers = {chosen.path().string()};
    commands.Extract();
    EXPECT_EQ(test::ReadFile(chosen / "one.mp3"), std::string(1000, 'a'));
    EXPECT_FALSE(std::filesystem::exists(chosen / "two.mp3"));
    EXPECT_EQ(test::ReadFile(chosen / "three.mp3"), std::string(3000, 'c'));
    EXPECT_EQ(commands.State().targetFolder, chosen.folder());
    EXPECT_EQ(window.enabled, (std::vector<bool>{false, true, false, true}));  // the load, the run

    window.chooseTargetFolder = false;
    window.progressValues.clear();
    commands.Extract();  // again: every file is there already
    EXPECT_EQ(window.progressValues, (std::vector<int>{0, 0}));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(album_commands, renaming_edits_the_selected_item_and_takes_only_plain_names)
{
    commands.StartRenaming();
    EXPECT_TRUE(window.edited.empty());  // nothing selected
    commands.Drop({ThreeTracks()});
    window.selectedItem = 2;
    commands.StartRenaming();
    EXPECT_EQ(window.edited, std::vector<int>{2});

    commands.Rename(1, "");
    commands.Rename(1, "a/b.mp3");
    EXPECT_EQ(commands.State().tracks[1].fileName, "two.mp3");
    ASSERT_EQ(window.messages.size(), 1u);  // the empty name says nothing
    EXPECT_EQ(window.messages[0].text,
              "This name cannot be used for a file:\r\na/b.mp3\r\n"
              "Names may not contain / or \\ or control characters, nor be . or ..");
    commands.Rename(1, "  New.mp3");
    EXPECT_EQ(commands.State().tracks[1].fileName, "  New.mp3");  // as typed
    EXPECT_EQ(test::ShownItems(commands.State())[1].cells[0], "  New.mp3");

    commands.Extract();
    EXPECT_EQ(test::ReadFile(dir / "  New.mp3"), std::string(2000, 'b'));
}

TEST_F(album_commands, a_drop_loads_the_first_file_trimmed)
{
    const std::string first = ThreeTracks("first.vyr");
    commands.Drop({" " + first + " ", dir / "second.vyr"});
    EXPECT_EQ(commands.State().albumPath, first);
    EXPECT_EQ(commands.State().list.items, 3);
    commands.Drop({});
    EXPECT_EQ(commands.State().albumPath, first);
}

// A scan yields to the window between its blocks; a click then must not start a second command,
// and Close stops the scan and closes the window once it has returned.
TEST_F(album_commands, while_a_command_runs_others_wait_and_close_stops_it)
{
    test::WriteFile(dir / "long.albw", std::string(400'000, 'x'));
    window.openAnswers = {dir / "long.albw"};
    bool closedAtOnce = true;
    window.onYield = [&] {
        if (!commands.Busy()) return;
        window.onYield = nullptr;
        commands.Drop({ThreeTracks()});
        commands.Extract();
        commands.Choose(0);
        commands.Open();
        commands.StartRenaming();
        EXPECT_FALSE(commands.CanRecoverPrecisely());
        closedAtOnce = commands.CloseRequested();
    };
    commands.Open();
    EXPECT_FALSE(closedAtOnce);
    EXPECT_TRUE(window.closed);
    EXPECT_FALSE(commands.Busy());
    EXPECT_EQ(Texts(), Strings{std::string(kScanNotice)});  // the stopped scan says nothing
    EXPECT_EQ(window.openCalls.size(), 1u);
    EXPECT_EQ(commands.State().albumPath, dir / "long.albw");
    EXPECT_EQ(window.progressValue, 0);
    EXPECT_TRUE(commands.CloseRequested());  // idle: the window closes at once
}

// The window takes no input while tracks are written, but it paints between them and still
// hears the system ask it to close; the run then ends, and leaves no track half made.
TEST_F(album_commands, an_extraction_paints_between_tracks_and_a_close_ends_it)
{
    commands.Drop({ThreeTracks()});
    bool closedAtOnce = true;
    window.onRepaint = [&] {
        if (window.repaints == 1) closedAtOnce = commands.CloseRequested();
    };
    commands.Extract();
    EXPECT_FALSE(closedAtOnce);
    EXPECT_TRUE(window.closed);
    // The track written before the stop was not yet named: nothing is left of it, and no later
    // track was started.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, Strings{"Three.vyr"});

    test::ScriptedWindow calm;
    AlbumCommands again(calm, &volume);
    test::TempDir other;
    calm.chooseTargetFolder = true;
    calm.folderAnswers = {other.path().string()};
    again.Drop({dir / "Three.vyr"});
    again.Extract();
    EXPECT_GE(calm.repaints, 3);  // one at least after each track
}

TEST_F(album_commands, the_menu_recovers_the_last_headerless_file_or_the_one_shown)
{
    EXPECT_FALSE(commands.CanRecoverPrecisely());
    const std::string joined = test::ReadFile(std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/cbr44-id3v2-id3v1.mp3") +
                               test::ReadFile(std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/vbr44-id3v2.mp3");
    test::WriteFile(dir / "Mix.mp3", joined);
    commands.Drop({dir / "Mix.mp3"});  // no header: the question is answered No
    EXPECT_EQ(commands.State().list.items, 0);
    ASSERT_TRUE(commands.CanRecoverPrecisely());
    commands.RecoverPrecisely();
    EXPECT_EQ(commands.State().recovery.method, album::RecoveryMethod::Precise);
    EXPECT_EQ(commands.State().albumPath, dir / "Mix.mp3");
    EXPECT_EQ(commands.State().list.items, 2);

    commands.Drop({ThreeTracks()});
    commands.RecoverPrecisely();  // the album shown, split by its frames
    EXPECT_EQ(commands.State().albumPath, dir / "Three.vyr");
    EXPECT_TRUE(commands.State().Scanned());
}

TEST(site_link, turns_red_inside_its_size_and_blue_past_it)
{
    const struct {
        int x, y;
        bool hovered, left;
    } cases[] = {
        {0, 0, true, false},   {248, 16, true, false}, {249, 16, false, false},
        {250, 5, false, true}, {5, 18, false, true},   {3000, 3000, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(LinkHovered(c.x, c.y, 249, 17), c.hovered);
        EXPECT_EQ(LinkLeft(c.x, c.y, 249, 17), c.left);
    }
    test::ScriptedWindow window;
    AlbumCommands commands(window);
    commands.OpenWebPage();
    EXPECT_EQ(window.webAddresses, Strings{std::string(SiteAddress()) + "/index1.html"});
}

}  // namespace
}  // namespace vyr::commands
