#include "win32/ButtonFaces.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "win32/Handles.h"

namespace vyr::win32 {

namespace {

// The shapes are drawn this many times larger, one colour at a time, and each pixel of the face
// takes the share of its square that was covered: GDI itself does not smooth edges.
constexpr int kOversample = 4;
constexpr double kGrid = 16;  // the faces are designed on a 16 x 16 grid

struct Point {
    double x;
    double y;
};

// One colour's shapes on a white-on-black canvas, read back as coverage per face pixel (0..255).
class CoverageCanvas {
public:
    explicit CoverageCanvas(int size) : m_size(size), m_side(size * kOversample), m_dc(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = m_side;
        info.bmiHeader.biHeight = -m_side;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap.Reset(::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_bits = static_cast<const std::uint32_t*>(bits);
        if (m_bitmap) m_previous = ::SelectObject(m_dc, m_bitmap.Get());
    }
    ~CoverageCanvas()
    {
        if (m_previous) ::SelectObject(m_dc, m_previous);
        ::DeleteDC(m_dc);
    }
    CoverageCanvas(const CoverageCanvas&) = delete;
    CoverageCanvas& operator=(const CoverageCanvas&) = delete;

    bool Ok() const { return m_bits != nullptr; }

    void Stroke(std::initializer_list<Point> points, double width, bool closed = false)
    {
        LOGBRUSH brush{BS_SOLID, RGB(255, 255, 255), 0};
        HPEN pen = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                  static_cast<DWORD>(std::lround(width * Unit())), &brush, 0, nullptr);
        HGDIOBJ oldPen = ::SelectObject(m_dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(m_dc, ::GetStockObject(NULL_BRUSH));
        std::vector<POINT> device;
        for (const Point& p : points) device.push_back(Device(p));
        if (closed)
            ::Polygon(m_dc, device.data(), static_cast<int>(device.size()));
        else
            ::Polyline(m_dc, device.data(), static_cast<int>(device.size()));
        ::SelectObject(m_dc, oldBrush);
        ::SelectObject(m_dc, oldPen);
        ::DeleteObject(pen);
    }

    void FillRoundedSquare(double radius)
    {
        HGDIOBJ oldPen = ::SelectObject(m_dc, ::GetStockObject(NULL_PEN));
        HGDIOBJ oldBrush = ::SelectObject(m_dc, ::GetStockObject(WHITE_BRUSH));
        const int corner = static_cast<int>(std::lround(2 * radius * Unit()));
        // A null pen leaves the right and bottom edges out, so the shape goes one pixel past them.
        ::RoundRect(m_dc, 0, 0, m_side + 1, m_side + 1, corner, corner);
        ::SelectObject(m_dc, oldBrush);
        ::SelectObject(m_dc, oldPen);
    }

    std::vector<std::uint8_t> Coverage() const
    {
        ::GdiFlush();
        std::vector<std::uint8_t> coverage(static_cast<std::size_t>(m_size) * m_size);
        for (int y = 0; y < m_size; ++y)
            for (int x = 0; x < m_size; ++x) {
                int sum = 0;
                for (int dy = 0; dy < kOversample; ++dy)
                    for (int dx = 0; dx < kOversample; ++dx)
                        sum += static_cast<int>((m_bits[(y * kOversample + dy) * m_side + x * kOversample + dx] >> 8) &
                                                0xFF);
                coverage[static_cast<std::size_t>(y) * m_size + x] =
                    static_cast<std::uint8_t>(sum / (kOversample * kOversample));
            }
        return coverage;
    }

private:
    double Unit() const { return m_side / kGrid; }
    POINT Device(Point p) const
    {
        return POINT{static_cast<LONG>(std::lround(p.x * Unit())), static_cast<LONG>(std::lround(p.y * Unit()))};
    }

    int m_size;
    int m_side;
    HDC m_dc;
    Bitmap m_bitmap;
    HGDIOBJ m_previous = nullptr;
    const std::uint32_t* m_bits = nullptr;
};

constexpr double kStroke = 1.5;

void Folder(CoverageCanvas& canvas, bool opened)
{
    if (!opened) {
        canvas.Stroke({{1.5, 13.5}, {1.5, 3.5}, {5.5, 3.5}, {7, 5}, {13.5, 5}, {13.5, 13.5}}, kStroke, true);
        return;
    }
    canvas.Stroke({{1.5, 13.5}, {1.5, 3.5}, {5.5, 3.5}, {7, 5}, {13.5, 5}, {13.5, 7.5}}, kStroke);
    canvas.Stroke({{1.5, 13.5}, {4, 7.5}, {15, 7.5}, {12.5, 13.5}}, kStroke, true);
}

void DrawInk(CoverageCanvas& canvas, ButtonFace face)
{
    switch (face) {
    case ButtonFace::Open: Folder(canvas, true); break;
    case ButtonFace::SelectAll: canvas.Stroke({{4.5, 8}, {7, 10.5}, {11.5, 5}}, kStroke); [[fallthrough]];
    case ButtonFace::DeselectAll:
        canvas.Stroke({{2.5, 2.5}, {13.5, 2.5}, {13.5, 13.5}, {2.5, 13.5}}, 1.25, true);
        break;
    case ButtonFace::TargetFolder:
    case ButtonFace::TargetFolderOn: Folder(canvas, false); break;
    case ButtonFace::Extract:
        canvas.Stroke({{8, 1.5}, {8, 9.5}}, kStroke);
        canvas.Stroke({{4.5, 6.5}, {8, 10}, {11.5, 6.5}}, kStroke);
        canvas.Stroke({{1.5, 10}, {1.5, 14.5}, {14.5, 14.5}, {14.5, 10}}, kStroke);
        break;
    case ButtonFace::Close:
        canvas.Stroke({{3.5, 3.5}, {12.5, 12.5}}, 2);
        canvas.Stroke({{12.5, 3.5}, {3.5, 12.5}}, 2);
        break;
    }
}

// One channel of `over` laid on `under` by their coverages, as straight (not premultiplied) colour.
std::uint32_t Blend(COLORREF over, int overCover, COLORREF under, int underCover)
{
    const int alpha = overCover + underCover * (255 - overCover) / 255;
    if (alpha == 0) return 0;
    const auto channel = [&](int shift) {
        const int top = (static_cast<int>(over >> shift) & 0xFF) * overCover;
        const int bottom = (static_cast<int>(under >> shift) & 0xFF) * underCover * (255 - overCover) / 255;
        return static_cast<std::uint32_t>((top + bottom) / alpha);
    };
    // COLORREF is 0x00BBGGRR; a DIB pixel 0xAARRGGBB.
    return static_cast<std::uint32_t>(alpha) << 24 | channel(0) << 16 | channel(8) << 8 | channel(16);
}

}  // namespace

FaceColours SchemeColours()
{
    return FaceColours{::GetSysColor(COLOR_BTNTEXT), ::GetSysColor(COLOR_HIGHLIGHT),
                       ::GetSysColor(COLOR_HIGHLIGHTTEXT)};
}

HICON DrawButtonFace(ButtonFace face, int size, const FaceColours& colours)
{
    if (size <= 0) return nullptr;
    const bool on = face == ButtonFace::TargetFolderOn;
    CoverageCanvas ink(size);
    CoverageCanvas ground(size);
    if (!ink.Ok() || !ground.Ok()) return nullptr;
    DrawInk(ink, face);
    // On: the whole face in the highlight colour, so the state reads at a glance and not only
    // from the button's pressed frame.
    if (on) ground.FillRoundedSquare(3);
    const std::vector<std::uint8_t> inkCover = ink.Coverage();
    const std::vector<std::uint8_t> groundCover = ground.Coverage();
    const COLORREF inkColour = on ? colours.highlightText : colours.ink;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap colour(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour) return nullptr;
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < inkCover.size(); ++i)
        pixels[i] = Blend(inkColour, inkCover[i], colours.highlight, groundCover[i]);

    // The mask is read only where the colour has no alpha; all zero, it hides nothing.
    const std::vector<std::uint8_t> maskBits(static_cast<std::size_t>((size + 15) / 16 * 2) * size, 0);
    Bitmap mask(::CreateBitmap(size, size, 1, 1, maskBits.data()));
    ICONINFO icon{TRUE, 0, 0, mask.Get(), colour.Get()};
    return mask ? ::CreateIconIndirect(&icon) : nullptr;
}

}  // namespace vyr::win32
