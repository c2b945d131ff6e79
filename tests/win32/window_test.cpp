#include <string>

#include "commands/AlbumCommands.h"
#include "tests/win32/WindowFixture.h"
#include "win32/ButtonFaces.h"
#include "win32/LinkColours.h"

// frmAlbum's controls as they are made: places, hints, faces, focus order, the link and DPI.
namespace vyr::test {
namespace {

using win32::Control;
namespace layout = commands::layout;

struct Placed {
    Control control;
    Control parent;  // ListView1 stands for the window itself
    layout::Twips twips;
};

constexpr Placed kPlaces[] = {
    {Control::ListView1, Control::ListView1, {120, 120, 8055, 2775}},
    {Control::lblEXTART, Control::ListView1, {480, 3000, 7335, 255}},
    {Control::lblEXTALB, Control::ListView1, {480, 3360, 7335, 255}},
    {Control::Picture1, Control::ListView1, {120, 3720, 1635, 495}},
    {Control::cmdOpenFile, Control::Picture1, {0, 0, 500, 440}},
    {Control::cmdChoose0, Control::Picture1, {600, 0, 500, 440}},
    {Control::cmdChoose1, Control::Picture1, {1080, 0, 500, 440}},
    {Control::ProgressBar1, Control::ListView1, {2040, 3720, 3735, 255}},
    {Control::lblSite, Control::ListView1, {2040, 4020, 3735, 255}},
    {Control::Picture4, Control::ListView1, {6120, 3720, 1995, 495}},
    {Control::chkChsTarg, Control::Picture4, {0, 0, 495, 435}},
    {Control::cmdExtract, Control::Picture4, {480, 0, 855, 440}},
    {Control::cmdCancel, Control::Picture4, {1440, 0, 495, 440}},
};

class WindowTest : public WindowFixture {
protected:
    void ExpectLayout(unsigned dpi)
    {
        const auto px = [dpi](int twips) { return layout::ToPixels(twips, dpi); };
        for (const Placed& p : kPlaces) {
            SCOPED_TRACE(static_cast<int>(p.control));
            HWND control = Item(p.control);
            const HWND parent = p.parent == Control::ListView1 ? window->Handle() : Item(p.parent);
            EXPECT_EQ(::GetParent(control), parent);
            const RECT place = PlaceInParent(control);
            EXPECT_EQ(place.left, px(p.twips.left));
            EXPECT_EQ(place.top, px(p.twips.top));
            EXPECT_EQ(place.right - place.left, px(p.twips.width));
            EXPECT_EQ(place.bottom - place.top, px(p.twips.height));
        }
        RECT client{};
        ::GetClientRect(window->Handle(), &client);
        EXPECT_EQ(client.right, px(layout::kClientWidth));
        EXPECT_EQ(client.bottom, px(layout::kClientHeight));
        for (const Control button : {Control::cmdOpenFile, Control::cmdChoose0, Control::cmdChoose1,
                                     Control::chkChsTarg, Control::cmdExtract, Control::cmdCancel}) {
            SCOPED_TRACE(static_cast<int>(button));
            auto* face = reinterpret_cast<HICON>(::SendMessageW(Item(button), BM_GETIMAGE, IMAGE_ICON, 0));
            ASSERT_NE(face, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(::GetIconInfo(face, &info));
            BITMAP bitmap{};
            ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
            ::DeleteObject(info.hbmColor);
            ::DeleteObject(info.hbmMask);
            EXPECT_EQ(bitmap.bmWidth, ::MulDiv(16, static_cast<int>(dpi), 96));
        }
    }

    std::string Hint(HWND control) const
    {
        wchar_t text[512] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window->Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        ::SendMessageW(window->Tooltip(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        return win32::Utf8(text);
    }

    COLORREF LinkColour() const
    {
        HDC dc = ::CreateCompatibleDC(nullptr);
        ::SendMessageW(window->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(Item(Control::lblSite)));
        const COLORREF colour = ::GetTextColor(dc);
        ::DeleteDC(dc);
        return colour;
    }
};

TEST_F(WindowTest, controls_sit_at_their_places_in_twips_at_the_window_dpi)
{
    ExpectLayout(window->Dpi());
    // Moved to a screen of 150 %: every place, the client area and the faces follow.
    RECT suggested{100, 100, 900, 600};
    ::SendMessageW(window->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window->Dpi(), 144u);
    ExpectLayout(144);
    RECT outer{};
    ::GetWindowRect(window->Handle(), &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 100);
}

TEST_F(WindowTest, hints_are_the_controls_own)
{
    const std::pair<Control, std::string> hints[] = {
        {Control::ListView1,
         "To modify filenames shown, select item with mouse then click on it again (or SHIFT+E) to Edit filename."},
        {Control::cmdOpenFile,
         "Open album file, files that already exist in the folder will be un-ticked in the list."},
        {Control::cmdChoose0, "Select all files"},
        {Control::cmdChoose1, "De-select all files"},
        {Control::lblSite, "Click HERE To go to " VYR_SITE_ADDRESS},
        {Control::chkChsTarg, "Prompt for target folder to extract to (on/off)"},
        {Control::cmdExtract,
         "Extract files \"ticked\" in list from Album (does not overwrite files that already exist)"},
        {Control::cmdCancel, "Close"},
    };
    for (const auto& [control, hint] : hints) EXPECT_EQ(Hint(Item(control)), hint);
    for (const Control quiet :
         {Control::lblEXTART, Control::lblEXTALB, Control::ProgressBar1, Control::Picture1, Control::Picture4})
        EXPECT_EQ(Hint(Item(quiet)), "") << static_cast<int>(quiet);
}

TEST_F(WindowTest, starts_empty_fixed_in_size_with_the_toggle_off)
{
    EXPECT_EQ(ItemCount(List()), 0);
    EXPECT_EQ(ColumnCount(List()), 0);
    EXPECT_EQ(Text(Item(Control::lblEXTART)), "");
    EXPECT_EQ(Text(Item(Control::lblEXTALB)), "");
    EXPECT_EQ(Text(Item(Control::lblSite)), VYR_SITE_ADDRESS);
    PBRANGE range{};
    ::SendMessageW(Item(Control::ProgressBar1), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(::SendMessageW(Item(Control::ProgressBar1), PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(LinkColour(), RGB(0, 0, 255));

    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window->Handle(), GWL_STYLE));
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_SYSMENU | WS_CAPTION), WS_MINIMIZEBOX | WS_SYSMENU | WS_CAPTION);
    EXPECT_NE(::SendMessageW(window->Handle(), WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(::SendMessageW(window->Handle(), WM_GETICON, ICON_BIG, 0), 0);

    HWND toggle = Item(Control::chkChsTarg);
    EXPECT_EQ(::SendMessageW(toggle, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(window->ChooseTargetFolder());
    const auto offFace = ::SendMessageW(toggle, BM_GETIMAGE, IMAGE_ICON, 0);
    Click(Control::chkChsTarg);
    EXPECT_EQ(::SendMessageW(toggle, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(window->ChooseTargetFolder());
    EXPECT_NE(::SendMessageW(toggle, BM_GETIMAGE, IMAGE_ICON, 0), offFace);
}

TEST_F(WindowTest, tab_visits_the_controls_in_their_order)
{
    window->ShowWindow();
    Pump(*window);
    std::vector<Control> visited;
    for (int i = 0; i < 8; ++i) {
        HWND focus = ::GetFocus();
        for (int id = static_cast<int>(Control::ListView1); id <= static_cast<int>(Control::cmdCancel); ++id)
            if (Item(static_cast<Control>(id)) == focus) visited.push_back(static_cast<Control>(id));
        PressKey(*window, VK_TAB);
    }
    const std::vector<Control> order = {Control::ListView1,  Control::cmdCancel,   Control::cmdExtract,
                                        Control::chkChsTarg, Control::cmdOpenFile, Control::cmdChoose1,
                                        Control::cmdChoose0, Control::ListView1};
    EXPECT_EQ(visited, order);
}

TEST_F(WindowTest, link_turns_red_under_the_pointer_and_blue_over_the_window)
{
    HWND site = Item(Control::lblSite);
    ::SendMessageW(site, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(LinkColour(), RGB(255, 0, 0));
    EXPECT_EQ(::SendMessageW(window->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(site),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));

    // Over another control nothing changes; over the window's own surface it turns blue again,
    // except in the corner that lies within the link's size.
    ::SendMessageW(window->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(Px(3000), Px(200)));
    EXPECT_EQ(LinkColour(), RGB(255, 0, 0));
    ::SendMessageW(window->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(Px(6000), Px(4300)));
    EXPECT_EQ(LinkColour(), RGB(0, 0, 255));
    EXPECT_EQ(::SendMessageW(window->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(site),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              FALSE);

    ::SendMessageW(site, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(site, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(shell.opened, std::vector<std::string>{VYR_SITE_ADDRESS "/index1.html"});
}

TEST(LinkColour, is_blue_and_red_unless_the_scheme_makes_them_hard_to_read)
{
    constexpr COLORREF kYellow = RGB(255, 255, 0);
    constexpr COLORREF kCyan = RGB(26, 235, 255);
    struct Case {
        const char* scheme;
        win32::LinkScheme colours;
        COLORREF normal;
        COLORREF hot;
    };
    const Case cases[] = {
        {"light", {RGB(240, 240, 240), RGB(0, 102, 204), RGB(0, 120, 215), false}, RGB(0, 0, 255), RGB(255, 0, 0)},
        // Blue on black or on a dark grey is below 3:1; red still reads.
        {"black", {RGB(0, 0, 0), kYellow, kCyan, false}, kYellow, RGB(255, 0, 0)},
        {"dark", {RGB(43, 43, 43), kYellow, kCyan, false}, kYellow, RGB(255, 0, 0)},
        // A high-contrast scheme has its own link colours, whatever the ground.
        {"high contrast white",
         {RGB(255, 255, 255), RGB(0, 0, 159), RGB(55, 0, 110), true},
         RGB(0, 0, 159),
         RGB(55, 0, 110)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(win32::LinkColour(false, c.colours), c.normal) << c.scheme;
        EXPECT_EQ(win32::LinkColour(true, c.colours), c.hot) << c.scheme;
    }
}

// The mean colour of the pixels a face paints and the share of its pixels painted.
struct Ink {
    COLORREF colour;
    double painted;
};

Ink InkOf(HICON icon)
{
    ICONINFO info{};
    ::GetIconInfo(icon, &info);
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bitmap.bmWidth) * bitmap.bmHeight);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, bitmap.bmWidth, -bitmap.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &format, DIB_RGB_COLORS);
    ::DeleteDC(dc);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (const std::uint32_t p : pixels)
        if ((p >> 24) > 160) {
            r += (p >> 16) & 0xFF, g += (p >> 8) & 0xFF, b += p & 0xFF;
            ++n;
        }
    if (n == 0) return {CLR_INVALID, 0};
    return {RGB(r / n, g / n, b / n), static_cast<double>(n) / static_cast<double>(pixels.size())};
}

TEST(ButtonFaces, are_drawn_in_the_scheme_s_colours_at_any_size)
{
    struct Scheme {
        const char* name;
        win32::FaceColours colours;
    };
    const Scheme schemes[] = {
        {"light", {RGB(0, 0, 0), RGB(0, 120, 215), RGB(255, 255, 255)}},
        {"high contrast black", {RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0)}},
    };
    for (const Scheme& scheme : schemes) {
        for (const int size : {16, 24, 32}) {
            SCOPED_TRACE(std::string(scheme.name) + " " + std::to_string(size));
            for (const auto face :
                 {win32::ButtonFace::Open, win32::ButtonFace::SelectAll, win32::ButtonFace::DeselectAll,
                  win32::ButtonFace::TargetFolder, win32::ButtonFace::Extract, win32::ButtonFace::Close}) {
                HICON icon = win32::DrawButtonFace(face, size, scheme.colours);
                ASSERT_NE(icon, nullptr);
                const Ink ink = InkOf(icon);
                ::DestroyIcon(icon);
                // Strokes, not a filled square, in the ink colour where they are opaque.
                EXPECT_GT(ink.painted, 0.05);
                EXPECT_LT(ink.painted, 0.6);
                EXPECT_EQ(ink.colour, scheme.colours.ink);
            }
            // On, the toggle is the highlight colour over most of its face.
            HICON on = win32::DrawButtonFace(win32::ButtonFace::TargetFolderOn, size, scheme.colours);
            const Ink ink = InkOf(on);
            ::DestroyIcon(on);
            EXPECT_GT(ink.painted, 0.8);
        }
    }
}

}  // namespace
}  // namespace vyr::test
