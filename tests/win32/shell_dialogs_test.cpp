#include <gtest/gtest.h>

#include "win32/Api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestFiles.h"
#include "tests/win32/WindowDriver.h"
#include "win32/ShellServices.h"
#include "win32/WideText.h"

// The real shell's dialogs, answered from a timer the way a user would: what they show, what
// they start on, and what comes back.
namespace vyr::test {
namespace {

using album::MessageAnswer;
using album::MessageButtons;
using album::MessageIcon;

// Hands the next dialog this thread opens to `act`, from a timer that its modal loop runs, once
// `ready` says the dialog has settled, as a user would wait for it (or after five seconds, so that
// a dialog that never settles fails the test instead of hanging it).
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(HWND)> act, std::function<bool(HWND)> ready = {})
        : m_timer(::SetTimer(nullptr, 0, kTickMs, Tick))
    {
        Pending() = std::move(act);
        Ready() = std::move(ready);
        Waited() = 0;
    }
    ~DialogAnswer()
    {
        ::KillTimer(nullptr, m_timer);
        Pending() = nullptr;
        Ready() = nullptr;
    }
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;

    static bool Answered() { return !Pending(); }

private:
    static constexpr UINT kTickMs = 50;
    static constexpr int kMostTicks = 5000 / kTickMs;

    static std::function<void(HWND)>& Pending()
    {
        static std::function<void(HWND)> act;
        return act;
    }
    static std::function<bool(HWND)>& Ready()
    {
        static std::function<bool(HWND)> ready;
        return ready;
    }
    static int& Waited()
    {
        static int ticks = 0;
        return ticks;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND dialog = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND window, LPARAM found) -> BOOL {
                wchar_t name[16] = {};
                ::GetClassNameW(window, name, 16);
                if (std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&dialog));
        if (!dialog || !Pending()) return;
        if (Ready() && !Ready()(dialog) && ++Waited() < kMostTicks) return;
        auto act = std::move(Pending());
        Pending() = nullptr;
        act(dialog);
    }

    UINT_PTR m_timer;
};

void Press(HWND dialog, int button) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

// The icon a message box shows, from its one static control that holds an icon.
HICON ShownIcon(HWND box)
{
    HICON shown = nullptr;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
            *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&shown));
    return shown;
}

TEST(DesktopShell, message_boxes_show_their_icon_buttons_and_title)
{
    struct Box {
        album::Message message;
        const wchar_t* systemIcon;
        std::vector<int> buttons;
        int press;
        MessageAnswer answer;
        std::string title;
    };
    const Box boxes[] = {
        {{"Line one\r\nLine two", MessageIcon::Exclamation, MessageButtons::Ok, ""},
         IDI_WARNING,
         {IDOK},
         IDOK,
         MessageAnswer::Ok,
         "vyr Extract"},
        {{"Open and Album file first.", MessageIcon::Information, MessageButtons::Ok, "vyr Extract"},
         IDI_INFORMATION,
         {IDOK},
         IDOK,
         MessageAnswer::Ok,
         "vyr Extract"},
        {{"x\r\n is not a valid file", MessageIcon::Critical, MessageButtons::Ok, "Command line error"},
         IDI_ERROR,
         {IDOK},
         IDOK,
         MessageAnswer::Ok,
         "Command line error"},
        {{"Scan?", MessageIcon::Exclamation, MessageButtons::YesNo, ""},
         IDI_WARNING,
         {IDYES, IDNO},
         IDYES,
         MessageAnswer::Yes,
         "vyr Extract"},
        {{"Scan?", MessageIcon::Exclamation, MessageButtons::YesNo, ""},
         IDI_WARNING,
         {IDYES, IDNO},
         IDNO,
         MessageAnswer::No,
         "vyr Extract"},
    };
    win32::DesktopShell shell;
    for (const Box& box : boxes) {
        SCOPED_TRACE(box.message.text + " " + std::to_string(box.press));
        std::string title, text;
        HICON icon = nullptr;
        std::vector<int> buttons;
        const DialogAnswer answer([&](HWND dialog) {
            title = Text(dialog);
            text = Text(::GetDlgItem(dialog, 0xFFFF));
            icon = ShownIcon(dialog);
            for (const int id : {IDOK, IDCANCEL, IDYES, IDNO})
                if (HWND button = ::GetDlgItem(dialog, id); button && ::IsWindowVisible(button)) buttons.push_back(id);
            Press(dialog, box.press);
        });
        EXPECT_EQ(shell.ShowMessage(nullptr, box.message), box.answer);
        ASSERT_TRUE(DialogAnswer::Answered());
        EXPECT_EQ(title, box.title);
        EXPECT_EQ(text, box.message.text);
        EXPECT_EQ(icon, ::LoadIconW(nullptr, box.systemIcon));
        EXPECT_EQ(buttons, box.buttons);
    }
}

TEST(DesktopShell, the_open_dialog_lists_the_filter_and_starts_in_the_initial_folder)
{
    TempDir dir;
    WriteFile(dir / "demo.vyr", "x");
    win32::DesktopShell shell;
    std::string title;
    std::vector<std::string> types;
    int chosenType = -1;
    const DialogAnswer answer([&](HWND dialog) {
        title = Text(dialog);
        HWND typeList = ::GetDlgItem(dialog, 0x470);  // cmb1: the file types
        const auto count = ::SendMessageW(typeList, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; ++i) {
            wchar_t item[256] = {};
            ::SendMessageW(typeList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            types.push_back(win32::Utf8(item));
        }
        chosenType = static_cast<int>(::SendMessageW(typeList, CB_GETCURSEL, 0, 0));
        // A bare name: the dialog completes it from the folder it shows.
        HWND name = ::GetDlgItem(dialog, 0x47C);  // cmb13, the file name box
        if (!name) name = ::GetDlgItem(dialog, 0x480);  // edt1 in older dialogs
        ::SetWindowTextW(name, L"demo.vyr");
        Press(dialog, IDOK);
    });
    const std::string chosen = shell.ShowOpenDialog(
        nullptr, "Album (*.vyr;*.m3u;*.mp3;*.albw)|*.vyr;*.m3u;*.mp3;*.albw|(*.vyr)|*.vyr|Any file (*.*)|*.*",
        "Open Album file", dir.folder());
    ASSERT_TRUE(DialogAnswer::Answered());
    EXPECT_EQ(title, "Open Album file");
    EXPECT_EQ(types, (std::vector<std::string>{"Album (*.vyr;*.m3u;*.mp3;*.albw)", "(*.vyr)", "Any file (*.*)"}));
    EXPECT_EQ(chosenType, 0);
    EXPECT_EQ(chosen, dir / "demo.vyr");
}

TEST(DesktopShell, the_open_dialog_cancelled_gives_nothing)
{
    win32::DesktopShell shell;
    const DialogAnswer answer([](HWND dialog) { Press(dialog, IDCANCEL); });
    EXPECT_EQ(shell.ShowOpenDialog(nullptr, "(*.vyr)|*.vyr", "Open Album file", ""), "");
    EXPECT_TRUE(DialogAnswer::Answered());
}

// The text of the item the folder browser's tree has selected, or "" before it has one.
std::string SelectedFolder(HWND dialog)
{
    HWND tree = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM found) -> BOOL {
            wchar_t name[32] = {};
            ::GetClassNameW(child, name, 32);
            if (std::wstring(name) != WC_TREEVIEWW) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&tree));
    if (!tree) return {};
    const auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return {};
    wchar_t text[MAX_PATH] = {};
    TVITEMW read{};
    read.mask = TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = MAX_PATH;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read));
    return win32::Utf8(text);
}

// The name the shell shows for `folder` in its tree.
std::string ShownName(const std::string& folder)
{
    SHFILEINFOW info{};
    ::SHGetFileInfoW(win32::Wide(folder).c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
    return win32::Utf8(info.szDisplayName);
}

TEST(DesktopShell, the_folder_browser_opens_on_the_start_folder)
{
    TempDir dir;
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string root = std::string(windows, 3);  // "C:\"
    // The target folder as the commands keep it, with its separator; a root keeps its own.
    const std::pair<std::string, std::string> starts[] = {{dir.folder(), dir.path().string()}, {root, root}};
    win32::DesktopShell shell;
    for (const auto& [start, chosen] : starts) {
        SCOPED_TRACE(start);
        // The dialog walks its tree down to the start folder one level at a time after it shows.
        const std::string shown = ShownName(chosen);
        const DialogAnswer answer([&](HWND dialog) { Press(dialog, IDOK); },
                                  [&](HWND dialog) { return SelectedFolder(dialog) == shown; });
        EXPECT_EQ(shell.BrowseForFolder(nullptr, start, "Select a Folder"), chosen);
        EXPECT_TRUE(DialogAnswer::Answered());
    }
    const DialogAnswer cancel([](HWND dialog) { Press(dialog, IDCANCEL); });
    EXPECT_EQ(shell.BrowseForFolder(nullptr, dir.folder(), "Select a Folder"), "");
}

TEST(DesktopShell, the_documents_folder_is_a_folder_on_disk_without_a_trailing_separator)
{
    win32::DesktopShell shell;
    const std::string folder = shell.DocumentsFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    const DWORD attributes = ::GetFileAttributesW(win32::Wide(folder).c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DesktopShell, open_says_when_nothing_took_the_document)
{
    TempDir dir;
    win32::DesktopShell shell;
    EXPECT_FALSE(shell.Open(nullptr, dir / "no such album.zip"));
}

}  // namespace
}  // namespace vyr::test
