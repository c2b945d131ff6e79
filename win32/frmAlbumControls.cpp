#include "win32/frmAlbum.h"

#include <commctrl.h>

#include "commands/Layout.h"
#include "support/Messages.h"
#include "win32/ButtonFaces.h"
#include "win32/Dpi.h"
#include "win32/Resources.h"
#include "win32/TrackListView.h"
#include "win32/WideText.h"

// Builds frmAlbum's controls in their fixed places, with their fonts, faces and hints.
namespace vyr::win32 {

namespace layout = commands::layout;
namespace msg = support::msg;

namespace {

constexpr const wchar_t* kPanelClass = L"vyrExtract.Panel";
// Nothing in the window follows its size, so it cannot be resized and offers no maximize button.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kLabelStyle = SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr DWORD kButtonStyle = BS_PUSHBUTTON | BS_ICON | WS_TABSTOP;
constexpr int kHintWidth = 400;  // pixels at 96 DPI before a hint wraps
constexpr int kFaceSize = 16;  // a button's face in pixels at 96 DPI
constexpr int kLinkPointsX100 = static_cast<int>(layout::kLblSitePoints * 100);

// The window's and the panels' classes, registered once for the process.
void RegisterClasses(WNDPROC window, WNDPROC panel)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, frmAlbum::kClassName, &existing)) return;
    WNDCLASSEXW frame{};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = window;
    frame.hInstance = instance;
    frame.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frame.lpszClassName = frmAlbum::kClassName;
    ::RegisterClassExW(&frame);
    WNDCLASSEXW box = frame;
    box.lpfnWndProc = panel;
    box.lpszClassName = kPanelClass;
    ::RegisterClassExW(&box);
}

struct Place {
    Control control;
    layout::Twips twips;
};

constexpr Place kPlaces[] = {
    {Control::ListView1, layout::kListView1},     {Control::lblEXTART, layout::kLblEXTART},
    {Control::lblEXTALB, layout::kLblEXTALB},     {Control::Picture1, layout::kPicture1},
    {Control::cmdOpenFile, layout::kCmdOpenFile}, {Control::cmdChoose0, layout::kCmdChoose0},
    {Control::cmdChoose1, layout::kCmdChoose1},   {Control::ProgressBar1, layout::kProgressBar1},
    {Control::lblSite, layout::kLblSite},         {Control::Picture4, layout::kPicture4},
    {Control::chkChsTarg, layout::kChkChsTarg},   {Control::cmdExtract, layout::kCmdExtract},
    {Control::cmdCancel, layout::kCmdCancel},
};

}  // namespace

HWND frmAlbum::AddControl(const wchar_t* kind, Control id, DWORD style, HWND parent, std::string_view text)
{
    // Siblings clip each other: the toggle and the extract button overlap by a pixel.
    HWND control = ::CreateWindowExW(0, kind, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0,
                                     0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    m_controls[static_cast<std::size_t>(static_cast<int>(id) - static_cast<int>(Control::ListView1))] = control;
    return control;
}

void frmAlbum::AddHint(HWND control, std::string_view hint)
{
    std::wstring text = Wide(hint);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The controls are made in the order they stack, the list at the bottom.
void frmAlbum::BuildControls()
{
    RegisterClasses(WindowProc, PanelProc);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!::CreateWindowExW(0, kClassName, L"", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           nullptr, nullptr, instance, this))
        return;
    m_dpi = WindowDpi(m_window);
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                                  instance, nullptr);

    m_list->Create(m_window, static_cast<int>(Control::ListView1));
    m_controls[0] = m_list->Handle();
    AddControl(WC_STATICW, Control::lblEXTART, kLabelStyle, m_window);
    AddControl(WC_STATICW, Control::lblEXTALB, kLabelStyle, m_window);

    HWND left = AddControl(kPanelClass, Control::Picture1, 0, m_window);
    // The buttons have no caption on screen; their text names them to screen readers.
    AddControl(WC_BUTTONW, Control::cmdOpenFile, kButtonStyle, left, msg::kHintOpenFile);
    AddControl(WC_BUTTONW, Control::cmdChoose0, kButtonStyle, left, msg::kHintSelectAll);
    AddControl(WC_BUTTONW, Control::cmdChoose1, kButtonStyle, left, msg::kHintDeselectAll);

    HWND progress = AddControl(PROGRESS_CLASSW, Control::ProgressBar1, 0, m_window);
    ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(progress, PBM_SETPOS, 0, 0);
    HWND site = AddControl(WC_STATICW, Control::lblSite, SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY, m_window,
                           commands::SiteAddress());
    ::SetWindowSubclass(site, LinkProc, 1, reinterpret_cast<DWORD_PTR>(this));

    HWND right = AddControl(kPanelClass, Control::Picture4, 0, m_window);
    HWND toggle = AddControl(WC_BUTTONW, Control::chkChsTarg, BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_ICON | WS_TABSTOP,
                             right, msg::kHintChooseTarget);
    AddControl(WC_BUTTONW, Control::cmdExtract, kButtonStyle, right, msg::kHintExtract);
    AddControl(WC_BUTTONW, Control::cmdCancel, kButtonStyle, right, msg::kHintClose);
    // The toggle lies under cmdExtract's left edge; on top, its whole face can be clicked.
    ::SetWindowPos(toggle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    AddHint(Item(Control::ListView1), msg::kHintListView1);
    AddHint(Item(Control::cmdOpenFile), msg::kHintOpenFile);
    AddHint(Item(Control::cmdChoose0), msg::kHintSelectAll);
    AddHint(Item(Control::cmdChoose1), msg::kHintDeselectAll);
    AddHint(site, commands::SiteHint());
    AddHint(toggle, msg::kHintChooseTarget);
    AddHint(Item(Control::cmdExtract), msg::kHintExtract);
    AddHint(Item(Control::cmdCancel), msg::kHintClose);

    MakeFonts();
    PaintFaces();
    SetWindowIcons();
    Layout();
    m_focus = Item(Control::ListView1);
}

void frmAlbum::Place(Control control, const layout::Twips& twips) const
{
    const layout::Pixels place = layout::ToPixels(twips, m_dpi);
    ::SetWindowPos(Item(control), nullptr, place.left, place.top, place.width, place.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT frmAlbum::WindowRect(int left, int top) const
{
    const RECT client{0, 0, layout::ToPixels(layout::kClientWidth, m_dpi),
                      layout::ToPixels(layout::kClientHeight, m_dpi)};
    RECT outer = WindowRectForClient(client, kWindowStyle, 0, m_dpi);
    ::OffsetRect(&outer, left - outer.left, top - outer.top);
    return outer;
}

void frmAlbum::Layout()
{
    RECT now{};
    ::GetWindowRect(m_window, &now);
    const RECT outer = WindowRect(now.left, now.top);
    ::SetWindowPos(m_window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientArea();
    for (const auto& [control, twips] : kPlaces) Place(control, twips);
    ::SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, Scale(kHintWidth, m_dpi));
}

void frmAlbum::FitClientArea()
{
    // The frame the system draws may differ from the one it computes (another theme's caption,
    // a window manager's border): what is missing or over is added to the outer size once more.
    RECT client{};
    RECT outer{};
    ::GetClientRect(m_window, &client);
    ::GetWindowRect(m_window, &outer);
    const int missingWidth = layout::ToPixels(layout::kClientWidth, m_dpi) - client.right;
    const int missingHeight = layout::ToPixels(layout::kClientHeight, m_dpi) - client.bottom;
    if (missingWidth == 0 && missingHeight == 0) return;
    ::SetWindowPos(m_window, nullptr, 0, 0, outer.right - outer.left + missingWidth,
                   outer.bottom - outer.top + missingHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmAlbum::MakeFonts()
{
    LOGFONTW face = MessageFont(m_dpi);
    Font font(::CreateFontIndirectW(&face));
    // lblSite: the same face at 9.75 point, underlined.
    face.lfHeight = -::MulDiv(kLinkPointsX100, static_cast<int>(m_dpi), 72 * 100);
    face.lfUnderline = TRUE;
    Font link(::CreateFontIndirectW(&face));
    for (HWND control : m_controls) {
        if (!control) continue;
        const bool isLink = control == Item(Control::lblSite);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(isLink ? link.Get() : font.Get()), TRUE);
    }
    ::SendMessageW(m_tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    // The controls hold the new fonts now; the old ones can go.
    m_font = std::move(font);
    m_linkFont = std::move(link);
}

void frmAlbum::PaintFaces()
{
    const FaceColours colours = SchemeColours();
    const int size = Scale(kFaceSize, m_dpi);
    const bool on = ChooseTargetFolder();
    const std::pair<Control, ButtonFace> faces[] = {
        {Control::cmdOpenFile, ButtonFace::Open},
        {Control::cmdChoose0, ButtonFace::SelectAll},
        {Control::cmdChoose1, ButtonFace::DeselectAll},
        {Control::chkChsTarg, on ? ButtonFace::TargetFolderOn : ButtonFace::TargetFolder},
        {Control::cmdExtract, ButtonFace::Extract},
        {Control::cmdCancel, ButtonFace::Close},
    };
    std::size_t i = 0;
    for (const auto& [control, face] : faces) {
        Icon icon(DrawButtonFace(face, size, colours));
        ::SendMessageW(Item(control), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.Get()));
        m_faces[i++] = std::move(icon);  // the button shows the new face; the old one goes
    }
}

void frmAlbum::SetWindowIcons()
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto load = [&](int width, int height) {
        return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(VYR_ICON_APP), IMAGE_ICON, width, height, 0));
    };
    Icon big(load(SystemMetric(SM_CXICON, m_dpi), SystemMetric(SM_CYICON, m_dpi)));
    Icon small(load(SystemMetric(SM_CXSMICON, m_dpi), SystemMetric(SM_CYSMICON, m_dpi)));
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    m_bigIcon = std::move(big);
    m_smallIcon = std::move(small);
}

}  // namespace vyr::win32
