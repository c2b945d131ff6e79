#pragma once

#include "win32/Api.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "album/AlbumState.h"
#include "commands/AlbumCommands.h"
#include "commands/CommandWindow.h"
#include "commands/Layout.h"
#include "win32/Handles.h"

namespace vyr::extract {
class VolumeQuery;
}  // namespace vyr::extract

namespace vyr::win32 {

class ShellServices;
class TrackListView;

// frmAlbum's controls, by the names the layout gives them; each is also its control id
// (GetDlgItem on its parent finds it). The two cmdChoose buttons carry their index.
enum class Control : int {
    ListView1 = 100,
    lblEXTART,
    lblEXTALB,
    Picture1,
    cmdOpenFile,
    cmdChoose0,
    cmdChoose1,
    ProgressBar1,
    lblSite,
    Picture4,
    chkChsTarg,
    cmdExtract,
    cmdCancel,
};
inline constexpr std::size_t kControlCount = 13;

// The list's menu and its one command: the frame-by-frame recovery.
inline constexpr int mnuRecoverPrecisely = 200;

// The program's one window on the Windows common controls: its controls, their events and the
// dialogs. What the buttons, the list and the command line do is the commands' (AlbumCommands),
// which own the shared state; the window shows that state and hands them its events.
class frmAlbum final : public commands::CommandWindow {
public:
    static constexpr const wchar_t* kClassName = L"vyrExtract.frmAlbum";

    // `volumes`: the free-space query for extracting; the platform's unless a test passes one.
    explicit frmAlbum(ShellServices& shell, const extract::VolumeQuery* volumes = nullptr);
    ~frmAlbum() override;
    frmAlbum(const frmAlbum&) = delete;
    frmAlbum& operator=(const frmAlbum&) = delete;

    HWND Handle() const { return m_window; }
    HWND Item(Control control) const;
    HWND Tooltip() const { return m_tooltip; }
    unsigned Dpi() const { return m_dpi; }
    commands::AlbumCommands& Commands() { return m_commands; }
    const album::AlbumState& State() const { return m_commands.State(); }
    // ListView1's menu as it would pop up now; the caller destroys it.
    HMENU ListMenu() const;
    // Ends the thread's message loop when the window is gone (the program's window does).
    void QuitWhenClosed() { m_quitWhenClosed = true; }

    // Every message the thread takes from its queue passes here before it is dispatched: the
    // window's own tab order and the key rule. True when the message was used up.
    bool PreTranslate(const MSG& message);

    // album::AlbumWindow
    void ListChanged() override;
    void ItemsChanged(int first, int last) override;
    void SetAlbumLabel(std::string_view text) override;
    void SetArtistLabel(std::string_view text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;
    album::MessageAnswer ShowMessage(const album::Message& message) override;
    bool Yield() override;
    void Repaint() override;
    std::string BrowseForFolder(std::string_view startFolder, std::string_view title) override;
    bool OpenDocument(std::string_view path) override;

    // commands::CommandWindow
    void SetCaption(std::string_view caption) override;
    void ShowWindow() override;
    std::string DocumentsFolder() override;
    std::string ShowOpenDialog(std::string_view filter, std::string_view title,
                               std::string_view initialFolder) override;
    bool ChooseTargetFolder() const override;
    int SelectedItem() const override;
    void StartEditing(int item) override;
    void EnableCommands(bool enabled) override;
    void OpenWebAddress(std::string_view address) override;
    void CloseWindow() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnMouseMove(POINTS at);
    void OnActivate(bool active);
    void RunRenames();
    LRESULT OnColour(HDC dc, HWND control);
    void OnDpiChanged(unsigned dpi, const RECT* suggested);
    void OnKeyReleased(const MSG& message);
    void MoveFocus(bool forward);
    void SetLinkHot(bool hot);
    void ShowListMenu(LPARAM at);

    // frmAlbumControls.cpp: the controls in their places, their fonts, faces and hints.
    void BuildControls();
    HWND AddControl(const wchar_t* kind, Control id, DWORD style, HWND parent, std::string_view text = {});
    void AddHint(HWND control, std::string_view hint);
    void Layout();
    void Place(Control control, const commands::layout::Twips& twips) const;
    void MakeFonts();
    void PaintFaces();
    void SetWindowIcons();
    RECT WindowRect(int left, int top) const;
    void FitClientArea();

    // Dispatches the waiting messages, keyboard and mouse input too unless `input` is false.
    // Runs at most every few milliseconds unless something on the screen changed since.
    void Pump(bool input);

    ShellServices& m_shell;
    unsigned m_dpi;
    commands::AlbumCommands m_commands;
    std::unique_ptr<TrackListView> m_list;
    HWND m_window = nullptr;
    std::array<HWND, kControlCount> m_controls{};
    HWND m_tooltip = nullptr;
    Font m_font;
    Font m_linkFont;
    Icon m_faces[6];
    Icon m_bigIcon;
    Icon m_smallIcon;
    bool m_linkHot = false;
    bool m_quitWhenClosed = false;
    bool m_shown = false;

    // Keys pressed while a control of this window had the focus and not released yet. A release
    // counts only when its press is here: the press of the Esc or Enter that closed a dialog
    // went to the dialog.
    std::set<std::uint32_t> m_pressedKeys;
    bool m_keyPressedWhileEditing = false;
    HWND m_focus = nullptr;  // the control that had the focus when the window last lost it
    HWND m_focusBeforeBusy = nullptr;  // a button that lost the focus when the commands were disabled
    // Renames wait until the editor that typed them is gone.
    std::deque<std::pair<int, std::wstring>> m_renames;
    std::chrono::steady_clock::time_point m_lastPump;
    bool m_pumpDue = true;
};

// Runs the thread's messages until WM_QUIT, each through the window's PreTranslate; returns its
// exit code.
int RunMessageLoop(frmAlbum& window);

}  // namespace vyr::win32
