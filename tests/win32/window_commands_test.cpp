#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/win32/WindowFixture.h"

// What the window does when it is worked, through its controls' messages: the load step, extract,
// drops, renames, the key rule, ticks, the dialogs it asks and a close during a scan.
namespace vyr::test {
namespace {

using album::MessageAnswer;
using album::MessageIcon;
using win32::Control;

constexpr std::string_view kOpenAlbumFirst = "Open and Album file first.";

std::vector<std::string> FolderNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A small album of two tracks whose bytes are the track's own letter.
std::string SmallAlbum(const TempDir& dir, const std::string& name)
{
    const std::string path = dir / (name + ".vyr");
    WriteFile(path, "#EXTM3U\r\n#EXTALB:" + name + "\r\n#EXTART:Band\r\n#EXTBYT:3000\r\n" + name +
                        " 1.mp3\r\n#EXTBYT:2000\r\n" + name + " 2.mp3\r\n#EXTBIN\r\n" + std::string(3000, 'a') +
                        std::string(2000, 'b'));
    return path;
}

using WindowCommandsTest = WindowFixture;

TEST_F(WindowCommandsTest, the_demo_album_on_the_command_line_fills_the_list)
{
    // Quoted, as the shell passes a double-clicked album.
    Start("\"" + DemoAlbum() + "\"");
    EXPECT_TRUE(::IsWindowVisible(window->Handle()));
    EXPECT_EQ(Text(window->Handle()), "vyr Extract   version 1.2.0");
    EXPECT_EQ(Text(Item(Control::lblEXTART)), "The Demo Generators");
    EXPECT_EQ(Text(Item(Control::lblEXTALB)), "Sine Sketches");

    const std::vector<std::vector<std::string>> cells = {
        {"01 Morning Tone.mp3", "Morning Tone", "00:03", "12Kb"},
        {"02 Two Voices.mp3", "Two Voices", "00:04", "18Kb"},
        {"03 Falling Steps.mp3", "Falling Steps", "00:03", "14Kb"},
    };
    ASSERT_EQ(ItemCount(List()), 3);
    ASSERT_EQ(ColumnCount(List()), 4);
    const std::vector<std::string> captions = {"File Name", "Display Name", "Time", "Size"};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(ColumnCaption(List(), c), captions[c]);
    for (int item = 0; item < 3; ++item) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(Cell(List(), item, c), cells[item][c]) << item << "," << c;
        EXPECT_TRUE(Ticked(List(), item)) << item;
    }
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(WindowCommandsTest, extract_writes_the_three_tracks_byte_for_byte_and_then_nothing)
{
    const std::string album = DemoAlbum();
    Start(album);
    Click(Control::cmdExtract);

    const std::string bytes = ReadFile(album);
    std::string written;
    for (const std::string& track : kDemoTracks) {
        const std::string copy = ReadFile(dir / track);
        EXPECT_FALSE(copy.empty()) << track;
        written += copy;
    }
    EXPECT_EQ(written, bytes.substr(kDemoHeaderLength));
    EXPECT_EQ(::SendMessageW(Item(Control::ProgressBar1), PBM_GETPOS, 0, 0), 0);
    EXPECT_TRUE(::IsWindowEnabled(Item(Control::cmdExtract)));
    EXPECT_TRUE(shell.messages.empty());

    std::vector<std::filesystem::file_time_type> times;
    for (const std::string& track : kDemoTracks) times.push_back(std::filesystem::last_write_time(dir / track));
    const std::vector<std::string> before = FolderNames(dir.path());
    Click(Control::cmdExtract);
    EXPECT_EQ(FolderNames(dir.path()), before);
    for (std::size_t i = 0; i < kDemoTracks.size(); ++i)
        EXPECT_EQ(std::filesystem::last_write_time(dir / kDemoTracks[i]), times[i]) << kDemoTracks[i];
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(WindowCommandsTest, a_drop_on_the_list_loads_the_first_file)
{
    const std::string first = SmallAlbum(dir, "first");
    const std::string second = SmallAlbum(dir, "second");
    ::PostMessageW(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropList({first, second})), 0);
    Pump(*window);
    EXPECT_EQ(Text(Item(Control::lblEXTALB)), "first");
    ASSERT_EQ(ItemCount(List()), 2);
    EXPECT_EQ(Cell(List(), 0, 0), "first 1.mp3");
    EXPECT_EQ(window->State().albumPath, first);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(WindowCommandsTest, a_rename_in_the_list_s_editor_names_the_next_extraction)
{
    const std::string album = DemoAlbum();
    Start(album);
    Select(List(), 1);
    PressKey(*window, VK_F2);
    HWND editor = Editor(List());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Text(editor), "02 Two Voices.mp3");
    ::SetWindowTextW(editor, L"Zwei Stimmen.mp3");
    // Enter ends the edit; its release must not open the editor again.
    PressKey(*window, VK_RETURN);
    EXPECT_EQ(Editor(List()), nullptr);
    EXPECT_EQ(Cell(List(), 1, 0), "Zwei Stimmen.mp3");

    Click(Control::cmdExtract);
    EXPECT_EQ(ReadFile(dir / "Zwei Stimmen.mp3"), ReadFile(album).substr(kDemoHeaderLength + 12468, 18368));
    EXPECT_FALSE(std::filesystem::exists(dir / "02 Two Voices.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir / "01 Morning Tone.mp3"));
}

TEST_F(WindowCommandsTest, a_name_refused_in_the_editor_keeps_the_old_one)
{
    Start(DemoAlbum());
    Select(List(), 0);
    PressKey(*window, VK_F2);
    ASSERT_NE(Editor(List()), nullptr);
    ::SetWindowTextW(Editor(List()), L"..\\escape.mp3");
    PressKey(*window, VK_RETURN);
    EXPECT_EQ(Cell(List(), 0, 0), "01 Morning Tone.mp3");
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(shell.owners.back(), window->Handle());
}

TEST_F(WindowCommandsTest, any_key_released_in_the_window_starts_renaming_the_selected_row)
{
    Start(DemoAlbum());
    HWND cancel = Item(Control::cmdCancel);
    ::SetFocus(cancel);
    PressKey(*window, VK_LEFT);
    EXPECT_EQ(Editor(List()), nullptr);  // nothing selected yet

    Select(List(), 2);
    // A release whose press went elsewhere (to a dialog that has closed since) does nothing.
    ::SetFocus(cancel);
    ::PostMessageW(cancel, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(1 | 1u << 16 | 3u << 30));
    Pump(*window);
    EXPECT_EQ(Editor(List()), nullptr);

    for (const UINT key : {UINT{VK_LEFT}, UINT{'E'}, UINT{VK_SHIFT}, UINT{VK_F5}}) {
        SCOPED_TRACE(key);
        ::SetFocus(cancel);
        PressKey(*window, key);
        HWND editor = Editor(List());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(Text(editor), "03 Falling Steps.mp3");
        PressKey(*window, VK_ESCAPE);
        ASSERT_EQ(Editor(List()), nullptr);
    }
    EXPECT_EQ(window->State().tracks[2].fileName, "03 Falling Steps.mp3");
}

TEST_F(WindowCommandsTest, check_boxes_tick_and_untick_and_extract_skips_the_unticked)
{
    Start(DemoAlbum());
    ASSERT_TRUE(ClickCheckBox(List(), 0));
    EXPECT_FALSE(Ticked(List(), 0));
    EXPECT_TRUE(Ticked(List(), 1));
    Select(List(), 2);
    ::SetFocus(List());
    PressKey(*window, VK_SPACE);
    ::SendMessageW(List(), WM_KEYDOWN, VK_ESCAPE, 0);  // the key rule opened the editor
    EXPECT_FALSE(Ticked(List(), 2));
    ASSERT_TRUE(ClickCheckBox(List(), 2));
    EXPECT_TRUE(Ticked(List(), 2));

    Click(Control::cmdExtract);
    EXPECT_FALSE(std::filesystem::exists(dir / kDemoTracks[0]));
    EXPECT_TRUE(std::filesystem::exists(dir / kDemoTracks[1]));
    EXPECT_TRUE(std::filesystem::exists(dir / kDemoTracks[2]));
}

TEST_F(WindowCommandsTest, select_and_deselect_all_touch_only_the_ticks)
{
    Start(DemoAlbum());
    Click(Control::cmdChoose1);
    for (int item = 0; item < 3; ++item) EXPECT_FALSE(Ticked(List(), item));
    Click(Control::cmdChoose0);
    for (int item = 0; item < 3; ++item) EXPECT_TRUE(Ticked(List(), item));
    EXPECT_EQ(Cell(List(), 1, 0), kDemoTracks[1]);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(WindowCommandsTest, commands_on_an_empty_list_ask_for_an_album_then_open)
{
    Start("");
    for (const Control button : {Control::cmdChoose0, Control::cmdChoose1, Control::cmdExtract}) {
        SCOPED_TRACE(static_cast<int>(button));
        shell.messages.clear();
        shell.openCalls.clear();
        Click(button);
        ASSERT_EQ(shell.messages.size(), 1u);
        EXPECT_EQ(shell.messages[0].text, kOpenAlbumFirst);
        EXPECT_EQ(shell.messages[0].icon, MessageIcon::Information);
        ASSERT_EQ(shell.openCalls.size(), 1u);
        EXPECT_EQ(shell.openCalls[0].title, "Open Album file");
        EXPECT_EQ(shell.openCalls[0].filter,
                  "Album (*.vyr;*.m3u;*.mp3;*.albw)|*.vyr;*.m3u;*.mp3;*.albw|(*.vyr)|*.vyr|(*.m3u)|*.m3u|"
                  "(*.mp3)|*.mp3|Any file (*.*)|*.*");
        EXPECT_EQ(shell.openCalls[0].initialFolder, dir.folder());
        EXPECT_EQ(ItemCount(List()), 0);
    }
    EXPECT_EQ(shell.owners.front(), window->Handle());
}

TEST_F(WindowCommandsTest, the_open_button_loads_what_the_dialog_chose)
{
    shell.openAnswers.push_back(SmallAlbum(dir, "chosen"));
    Click(Control::cmdOpenFile);
    EXPECT_EQ(Text(Item(Control::lblEXTALB)), "chosen");
    EXPECT_EQ(ItemCount(List()), 2);
}

TEST_F(WindowCommandsTest, with_the_toggle_on_extract_writes_into_the_chosen_folder)
{
    const std::string album = DemoAlbum();
    Start(album);
    TempDir target;
    shell.folderAnswers.push_back(target.path().string());
    Click(Control::chkChsTarg);
    Click(Control::cmdExtract);
    ASSERT_EQ(shell.browseCalls.size(), 1u);
    EXPECT_EQ(shell.browseCalls[0].startFolder, dir.folder());
    EXPECT_EQ(shell.browseCalls[0].title, "Select a Folder");
    EXPECT_EQ(FolderNames(target.path()), kDemoTracks);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"demo.vyr"});
}

TEST_F(WindowCommandsTest, a_file_without_a_header_is_scanned_only_when_the_user_says_yes)
{
    const std::string plain = dir / "plain.mp3";
    WriteFile(plain, std::string(4000, 'x'));
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        shell.messages.clear();
        shell.messageAnswers.push_back(answer);
        ::PostMessageW(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropList({plain})), 0);
        Pump(*window);
        ASSERT_GE(shell.messages.size(), 1u);
        EXPECT_EQ(shell.messages[0].buttons, album::MessageButtons::YesNo);
        // Yes scans the file; nothing in it is an MP3 part, which the scan says.
        EXPECT_EQ(shell.messages.size(), answer == MessageAnswer::Yes ? 2u : 1u);
    }
}

// The list's menu offers the frame-by-frame recovery once a file was opened: here the one whose
// load found no header, which the user did not want scanned the classic way.
TEST_F(WindowCommandsTest, the_list_menu_recovers_a_file_frame_by_frame)
{
    const auto menuState = [this] {
        HMENU menu = window->ListMenu();
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, win32::mnuRecoverPrecisely, text, 64, MF_BYCOMMAND);
        const UINT state = ::GetMenuState(menu, win32::mnuRecoverPrecisely, MF_BYCOMMAND);
        ::DestroyMenu(menu);
        EXPECT_EQ(win32::Utf8(text), "Recover tracks frame by frame");
        return state;
    };
    EXPECT_TRUE(menuState() & MF_GRAYED);

    const std::string first = ReadFile(VYR_SOURCE_DIR "/tests/data/mp3/cover-id3v24.mp3");
    const std::string second = ReadFile(VYR_SOURCE_DIR "/tests/data/mp3/crc-protected.mp3");
    const std::string mix = dir / "Mix.mp3";
    WriteFile(mix, first + second);
    ::PostMessageW(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropList({mix})), 0);
    Pump(*window);  // the no-header question is answered No
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(ItemCount(List()), 0);
    EXPECT_FALSE(menuState() & MF_GRAYED);

    ::SendMessageW(window->Handle(), WM_COMMAND, win32::mnuRecoverPrecisely, 0);
    Pump(*window);
    EXPECT_EQ(shell.messages.size(), 1u);
    ASSERT_EQ(ItemCount(List()), 2);
    EXPECT_EQ(Cell(List(), 0, 0), "08 Cover Tone.mp3");
    EXPECT_EQ(Cell(List(), 1, 0), "07 Rising Tone.mp3");
    EXPECT_TRUE(Ticked(List(), 1));
    EXPECT_EQ(Text(Item(Control::lblEXTALB)), "");
    EXPECT_EQ(::SendMessageW(Item(Control::ProgressBar1), PBM_GETPOS, 0, 0), 0);
}

// Posts itself a message that the window's first yield dispatches, as a click of the user's
// during a command would arrive.
class DuringCommand {
public:
    explicit DuringCommand(std::function<void()> action) : m_action(std::move(action))
    {
        m_window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ::SetWindowSubclass(m_window, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
        ::PostMessageW(m_window, WM_APP, 0, 0);
    }
    ~DuringCommand() { ::DestroyWindow(m_window); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
    {
        if (message == WM_APP) {
            reinterpret_cast<DuringCommand*>(self)->m_action();
            return 0;
        }
        if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, Proc, 1);
        return ::DefSubclassProc(window, message, wParam, lParam);
    }

    std::function<void()> m_action;
    HWND m_window = nullptr;
};

TEST_F(WindowCommandsTest, a_busy_window_refuses_commands_and_closes_once_the_scan_has_stopped)
{
    const std::string wrap = dir / "long.albw";
    WriteFile(wrap, std::string(4'000'000, 'x'));
    shell.openAnswers.push_back(wrap);
    window->ShowWindow();
    bool disabled = false;
    bool stillOpen = false;
    DuringCommand during([&] {
        disabled = window->Commands().Busy();
        for (const Control button :
             {Control::cmdOpenFile, Control::cmdChoose0, Control::cmdChoose1, Control::cmdExtract})
            disabled = disabled && !::IsWindowEnabled(Item(button));
        Click(Control::cmdCancel);
        stillOpen = ::IsWindow(window->Handle()) != FALSE;
        ::PostMessageW(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropList({dir / "other.vyr"})), 0);
    });
    HWND frame = window->Handle();
    Click(Control::cmdOpenFile);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(::IsWindow(frame));  // closed once the stopped scan returned
    EXPECT_EQ(window->Handle(), nullptr);
    ASSERT_EQ(shell.messages.size(), 1u);  // the scan notice; the drop said nothing
    EXPECT_EQ(shell.messages[0].text.substr(0, 48), "Press OK and the file will be scanned to attempt");
}

// During an extraction the window repaints and answers what is sent and posted to it, but the
// keyboard and the mouse wait until the command is over: no "Not Responding", no second command.
TEST_F(WindowCommandsTest, repaint_paints_and_answers_but_leaves_input_queued)
{
    window->ShowWindow();
    Pump(*window);
    ::SetForegroundWindow(window->Handle());
    ::SetFocus(List());
    bool posted = false;
    DuringCommand answered([&] { posted = true; });
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_F5;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
    ::InvalidateRect(List(), nullptr, TRUE);
    ::Sleep(30);  // past the time the window waits between two looks at its queue

    window->Repaint();
    EXPECT_TRUE(posted);
    RECT unpainted{};
    EXPECT_FALSE(::GetUpdateRect(List(), &unpainted, FALSE));
    MSG input;
    EXPECT_TRUE(::PeekMessageW(&input, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));

    ::Sleep(30);
    window->Yield();
    EXPECT_FALSE(::PeekMessageW(&input, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
}

TEST_F(WindowCommandsTest, the_largest_album_is_listed_and_painted_in_under_a_second)
{
    constexpr int kRows = 32'767;
    std::string header;
    char line[32];
    for (int i = 1; i <= kRows; ++i) header.append(line, std::snprintf(line, sizeof line, "Track %05d.mp3\r\n", i));
    header += "#EXTBIN\r\n";
    const std::string album = dir / "many.vyr";
    WriteFile(album, header + std::string(header.size(), '\0'));
    window->ShowWindow();
    Pump(*window);

    const auto start = std::chrono::steady_clock::now();
    ::PostMessageW(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropList({album})), 0);
    Pump(*window);
    ::UpdateWindow(window->Handle());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(1));
    std::printf("listed and painted %d items in %lld ms\n", kRows,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));

    ASSERT_EQ(ItemCount(List()), kRows);
    EXPECT_EQ(Cell(List(), 0, 0), "Track 00001.mp3");
    EXPECT_EQ(Cell(List(), kRows - 1, 0), "Track 32767.mp3");
    EXPECT_TRUE(Ticked(List(), kRows - 1));
    // Scrolled to the last item.
    const auto top = ::SendMessageW(List(), LVM_GETTOPINDEX, 0, 0);
    const auto perPage = ::SendMessageW(List(), LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_GE(top + perPage, kRows - 1);
}

}  // namespace
}  // namespace vyr::test
