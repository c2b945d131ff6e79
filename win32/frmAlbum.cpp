#include "win32/frmAlbum.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "album/TrackList.h"
#include "support/Messages.h"
#include "support/UserLocale.h"
#include "win32/Dpi.h"
#include "win32/LinkColours.h"
#include "win32/ShellServices.h"
#include "win32/TrackListView.h"
#include "win32/WideText.h"

namespace vyr::win32 {

namespace {

// Often enough that the window and the progress bar keep moving, rarely enough that a scan of
// many 512-byte blocks does not spend its time in the message queue.
constexpr std::chrono::milliseconds kPumpInterval{20};
// A rename is made once the editor that typed it has closed.
constexpr UINT kRenameMessage = WM_APP + 1;

// The focus order of the controls that take it: the list, then the right panel from the end,
// then the left panel from the open button.
constexpr Control kTabOrder[] = {Control::ListView1,   Control::cmdCancel,  Control::cmdExtract, Control::chkChsTarg,
                                 Control::cmdOpenFile, Control::cmdChoose1, Control::cmdChoose0};

// The scan code names a key whatever the modifiers make of it (Shift+1 is "!" when pressed, "1"
// when Shift is let go first); a message made up by a program may carry none, and then the key
// code does.
std::uint32_t KeyCode(const MSG& message)
{
    const auto scan = static_cast<std::uint32_t>((message.lParam >> 16) & 0x1FF);
    return scan != 0 ? scan : 0x10000u | static_cast<std::uint32_t>(message.wParam);
}

frmAlbum* WindowOf(HWND window) { return reinterpret_cast<frmAlbum*>(::GetWindowLongPtrW(window, GWLP_USERDATA)); }

}  // namespace

frmAlbum::frmAlbum(ShellServices& shell, const extract::VolumeQuery* volumes)
    : m_shell(shell), m_dpi(WindowDpi(nullptr)), m_commands(*this, volumes)
{
    TrackListView::Events events;
    events.tickClicked = [this](int item) { m_commands.Tick(item, !album::IsTicked(State(), item)); };
    events.editEnded = [this](int item, const std::wstring& text) {
        m_renames.emplace_back(item, text);
        ::PostMessageW(m_window, kRenameMessage, 0, 0);
    };
    events.mayEdit = [this] { return !m_commands.Busy(); };
    events.filesDropped = [this](const std::vector<std::string>& paths) { m_commands.Drop(paths); };
    m_list = std::make_unique<TrackListView>(State(), support::UserGroupSeparator(), std::move(events));
    BuildControls();
}

frmAlbum::~frmAlbum()
{
    if (m_window) ::DestroyWindow(m_window);
}

HWND frmAlbum::Item(Control control) const
{
    const auto index = static_cast<std::size_t>(static_cast<int>(control) - static_cast<int>(Control::ListView1));
    return index < m_controls.size() ? m_controls[index] : nullptr;
}

LRESULT CALLBACK frmAlbum::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<frmAlbum*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    frmAlbum* self = WindowOf(window);
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        self->m_controls.fill(nullptr);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT frmAlbum::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == Item(Control::ListView1)) return m_list->OnNotify(header);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return OnColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MOUSEMOVE: OnMouseMove(MAKEPOINTS(lParam)); return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != Item(Control::ListView1)) break;
        ShowListMenu(lParam);
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Item(Control::lblSite) && m_linkHot && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_ACTIVATE: OnActivate(LOWORD(wParam) != WA_INACTIVE); return 0;
    case WM_SETFOCUS: ::SetFocus(m_focus ? m_focus : Item(Control::ListView1)); return 0;
    case WM_CLOSE:
        if (m_commands.CloseRequested()) ::DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        if (m_quitWhenClosed) ::PostQuitMessage(0);
        return 0;
    case WM_DPICHANGED: OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
    case WM_SETTINGCHANGE:
        // A high-contrast scheme switched on or off, a new theme or new fonts.
        ::SendMessageW(Item(Control::ListView1), message, wParam, lParam);
        MakeFonts();
        PaintFaces();
        ::InvalidateRect(m_window, nullptr, TRUE);
        return 0;
    case kRenameMessage: RunRenames(); return 0;
    default: break;
    }
    return ::DefWindowProcW(m_window, message, wParam, lParam);
}

// Over the window's own surface the link turns blue again: measured against the link's size,
// not its place.
void frmAlbum::OnMouseMove(POINTS at)
{
    RECT link{};
    ::GetClientRect(Item(Control::lblSite), &link);
    if (commands::LinkLeft(at.x, at.y, link.right, link.bottom)) SetLinkHot(false);
}

void frmAlbum::OnActivate(bool active)
{
    if (active) {
        ::SetFocus(m_focus ? m_focus : Item(Control::ListView1));
        return;
    }
    if (HWND focus = ::GetFocus(); focus && ::IsChild(m_window, focus)) m_focus = focus;
    m_pressedKeys.clear();
}

void frmAlbum::RunRenames()
{
    while (!m_renames.empty()) {
        auto [item, text] = std::move(m_renames.front());
        m_renames.pop_front();
        m_commands.Rename(item, Utf8(text));
    }
}

void frmAlbum::OnCommand(int id, int code)
{
    if (id == mnuRecoverPrecisely) {
        m_commands.RecoverPrecisely();
        return;
    }
    switch (static_cast<Control>(id)) {
    case Control::cmdOpenFile:
        if (code == BN_CLICKED) m_commands.Open();
        break;
    case Control::cmdChoose0:
    case Control::cmdChoose1:
        if (code == BN_CLICKED) m_commands.Choose(id == static_cast<int>(Control::cmdChoose0) ? 0 : 1);
        break;
    case Control::cmdExtract:
        if (code == BN_CLICKED) m_commands.Extract();
        break;
    case Control::cmdCancel:
        if (code == BN_CLICKED) ::SendMessageW(m_window, WM_CLOSE, 0, 0);
        break;
    case Control::chkChsTarg:
        if (code == BN_CLICKED) PaintFaces();
        break;
    case Control::lblSite:
        if (code == STN_CLICKED) m_commands.OpenWebPage();
        break;
    default: break;
    }
}

HMENU frmAlbum::ListMenu() const
{
    HMENU menu = ::CreatePopupMenu();
    const UINT state = m_commands.CanRecoverPrecisely() ? MF_ENABLED : MF_GRAYED;
    ::AppendMenuW(menu, MF_STRING | state, mnuRecoverPrecisely, Wide(support::msg::kRecoverPreciselyMenu).c_str());
    return menu;
}

// The precise recovery is offered from the list's own menu, so the fixed layout stays.
void frmAlbum::ShowListMenu(LPARAM at)
{
    POINT place{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    HWND list = Item(Control::ListView1);
    if (at == -1) {
        // From the keyboard (Shift+F10, the menu key): at the selected item, else the list's corner.
        RECT item{LVIR_LABEL, 0, 0, 0};
        const int selected = SelectedItem();
        if (selected < 0 || !::SendMessageW(list, LVM_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&item)))
            item = RECT{};
        place = POINT{item.left, item.bottom};
        ::ClientToScreen(list, &place);
    }
    HMENU menu = ListMenu();
    // The choice comes back as WM_COMMAND once the menu has closed.
    ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, place.x, place.y, 0, m_window, nullptr);
    ::DestroyMenu(menu);
}

LRESULT frmAlbum::OnColour(HDC dc, HWND control)
{
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    if (control == Item(Control::lblSite))
        ::SetTextColor(dc, LinkColour(m_linkHot, CurrentLinkScheme()));
    else
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void frmAlbum::SetLinkHot(bool hot)
{
    if (hot == m_linkHot) return;
    m_linkHot = hot;
    ::InvalidateRect(Item(Control::lblSite), nullptr, TRUE);
}

LRESULT CALLBACK frmAlbum::LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    if (message == WM_MOUSEMOVE) {
        RECT size{};
        ::GetClientRect(link, &size);
        const POINTS at = MAKEPOINTS(lParam);
        if (commands::LinkHovered(at.x, at.y, size.right, size.bottom))
            reinterpret_cast<frmAlbum*>(self)->SetLinkHot(true);
        return 0;
    }
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(link, LinkProc, 1);
    return ::DefSubclassProc(link, message, wParam, lParam);
}

LRESULT CALLBACK frmAlbum::PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    // The buttons tell their parent, the panel; the window acts on them.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return ::SendMessageW(::GetParent(panel), message, wParam, lParam);
    default: return ::DefWindowProcW(panel, message, wParam, lParam);
    }
}

bool frmAlbum::PreTranslate(const MSG& message)
{
    if (!m_window || (message.hwnd != m_window && !::IsChild(m_window, message.hwnd))) return false;
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // Bit 30: the key was down already, a repeat.
        if ((message.lParam & (LPARAM{1} << 30)) == 0) {
            m_pressedKeys.insert(KeyCode(message));
            m_keyPressedWhileEditing = m_list->IsEditing();
        }
        if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && ::GetKeyState(VK_CONTROL) >= 0 &&
            ::GetKeyState(VK_MENU) >= 0) {
            MoveFocus(::GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        return false;
    case WM_KEYUP:
    case WM_SYSKEYUP: OnKeyReleased(message); return false;
    default: return false;
    }
}

void frmAlbum::OnKeyReleased(const MSG& message)
{
    if (m_pressedKeys.erase(KeyCode(message)) == 0) return;
    // The release of the key that ended an edit (Enter, Esc) would open the editor again at once.
    const bool endedEdit = m_keyPressedWhileEditing && !m_list->IsEditing();
    m_keyPressedWhileEditing = false;
    if (!endedEdit) m_commands.StartRenaming();
}

void frmAlbum::MoveFocus(bool forward)
{
    HWND focus = ::GetFocus();
    HWND list = Item(Control::ListView1);
    // The list's editor and header count as the list.
    if (focus && ::IsChild(list, focus)) focus = list;
    const int count = static_cast<int>(std::size(kTabOrder));
    int at = 0;
    for (int i = 0; i < count; ++i)
        if (Item(kTabOrder[i]) == focus) at = i;
    for (int step = 1; step <= count; ++step) {
        const int next = ((at + (forward ? step : -step)) % count + count) % count;
        HWND candidate = Item(kTabOrder[next]);
        if (candidate && ::IsWindowEnabled(candidate) && ::IsWindowVisible(candidate)) {
            // Focus moved by the keyboard shows where it is.
            ::SendMessageW(m_window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
            ::SetFocus(candidate);
            return;
        }
    }
}

void frmAlbum::OnDpiChanged(unsigned dpi, const RECT* suggested)
{
    m_dpi = dpi;
    MakeFonts();
    PaintFaces();
    SetWindowIcons();
    Layout();
    m_list->ScaleColumns(dpi);
    RECT now{};
    ::GetWindowRect(m_window, &now);
    const RECT place = WindowRect(suggested ? suggested->left : now.left, suggested ? suggested->top : now.top);
    ::SetWindowPos(m_window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientArea();
}

void frmAlbum::Pump(bool input)
{
    // The tick count moves in steps of up to 16 ms, as long as the interval itself.
    if (!m_pumpDue && std::chrono::steady_clock::now() - m_lastPump < kPumpInterval) return;
    m_pumpDue = false;
    // Without input the queue gives up paints, sent and posted messages only: the window keeps
    // painting and answering the system, and a click waits until the command has ended.
    const UINT filter = input ? PM_REMOVE : PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, filter)) {
        if (message.message == WM_QUIT) {
            // For the loop that runs once the command has returned.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    m_lastPump = std::chrono::steady_clock::now();
}

void frmAlbum::ListChanged()
{
    m_list->ShowList(m_dpi);
    m_pumpDue = true;  // the next yield shows the new list
}

void frmAlbum::ItemsChanged(int first, int last) { m_list->ShowItems(first, last); }

// A label that changes is painted at the next yield: the scan notice must show before a scan.
void frmAlbum::SetAlbumLabel(std::string_view text)
{
    ::SetWindowTextW(Item(Control::lblEXTALB), Wide(text).c_str());
    m_pumpDue = true;
}

void frmAlbum::SetArtistLabel(std::string_view text)
{
    ::SetWindowTextW(Item(Control::lblEXTART), Wide(text).c_str());
    m_pumpDue = true;
}

void frmAlbum::SetProgressRange(int minimum, int maximum)
{
    ::SendMessageW(Item(Control::ProgressBar1), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void frmAlbum::SetProgressValue(int value)
{
    ::SendMessageW(Item(Control::ProgressBar1), PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

album::MessageAnswer frmAlbum::ShowMessage(const album::Message& message)
{
    return m_shell.ShowMessage(m_window, message);
}

bool frmAlbum::Yield()
{
    Pump(true);
    return true;
}

void frmAlbum::Repaint() { Pump(false); }

std::string frmAlbum::BrowseForFolder(std::string_view startFolder, std::string_view title)
{
    return m_shell.BrowseForFolder(m_window, startFolder, title);
}

bool frmAlbum::OpenDocument(std::string_view path) { return m_shell.Open(m_window, path); }

void frmAlbum::SetCaption(std::string_view caption) { ::SetWindowTextW(m_window, Wide(caption).c_str()); }

void frmAlbum::ShowWindow()
{
    // The first show takes the state the starting program asked for (minimized, say).
    ::ShowWindow(m_window, m_shown ? SW_SHOW : SW_SHOWDEFAULT);
    m_shown = true;
    ::SetFocus(m_focus ? m_focus : Item(Control::ListView1));
    m_pumpDue = true;  // painted at the next yield, whenever the last one was
}

std::string frmAlbum::DocumentsFolder() { return m_shell.DocumentsFolder(); }

std::string frmAlbum::ShowOpenDialog(std::string_view filter, std::string_view title, std::string_view initialFolder)
{
    return m_shell.ShowOpenDialog(m_window, filter, title, initialFolder);
}

bool frmAlbum::ChooseTargetFolder() const
{
    return ::SendMessageW(Item(Control::chkChsTarg), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int frmAlbum::SelectedItem() const { return m_list->SelectedItem(); }

void frmAlbum::StartEditing(int item) { m_list->StartEditing(item); }

void frmAlbum::EnableCommands(bool enabled)
{
    HWND focus = ::GetFocus();
    for (const Control control :
         {Control::cmdOpenFile, Control::cmdChoose0, Control::cmdChoose1, Control::cmdExtract}) {
        HWND button = Item(control);
        // A disabled button cannot keep the focus: the list holds it until the command is over.
        if (!enabled && button == focus) {
            m_focusBeforeBusy = button;
            ::SetFocus(Item(Control::ListView1));
        }
        ::EnableWindow(button, enabled ? TRUE : FALSE);
    }
    m_list->SetDropsAccepted(enabled);
    if (enabled && m_focusBeforeBusy) {
        if (::GetFocus() == Item(Control::ListView1)) ::SetFocus(m_focusBeforeBusy);
        m_focusBeforeBusy = nullptr;
    }
}

void frmAlbum::OpenWebAddress(std::string_view address) { m_shell.Open(m_window, address); }

void frmAlbum::CloseWindow()
{
    if (m_window) ::DestroyWindow(m_window);
}

int RunMessageLoop(frmAlbum& window)
{
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.PreTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace vyr::win32
