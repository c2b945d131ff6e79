#pragma once

#include <cmath>

// frmAlbum's fixed layout in twips (1440 to the inch; 15 to a pixel at 96 dpi), measured from
// the top-left corner of each control's parent. Both windows place their controls by it.
namespace vyr::commands::layout {

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

struct Pixels {
    int left;
    int top;
    int width;
    int height;
};

inline constexpr int kClientWidth = 8325;
inline constexpr int kClientHeight = 4380;

inline constexpr Twips kListView1{120, 120, 8055, 2775};
inline constexpr Twips kLblEXTART{480, 3000, 7335, 255};
inline constexpr Twips kLblEXTALB{480, 3360, 7335, 255};
inline constexpr Twips kPicture1{120, 3720, 1635, 495};
inline constexpr Twips kCmdOpenFile{0, 0, 500, 440};
inline constexpr Twips kCmdChoose0{600, 0, 500, 440};
inline constexpr Twips kCmdChoose1{1080, 0, 500, 440};
inline constexpr Twips kProgressBar1{2040, 3720, 3735, 255};
inline constexpr Twips kLblSite{2040, 4020, 3735, 255};
inline constexpr Twips kPicture4{6120, 3720, 1995, 495};
inline constexpr Twips kChkChsTarg{0, 0, 495, 435};  // overlaps cmdExtract by 15 twips
inline constexpr Twips kCmdExtract{480, 0, 855, 440};
inline constexpr Twips kCmdCancel{1440, 0, 495, 440};

// lblSite's font: 9.75 point, regular, underlined.
inline constexpr double kLblSitePoints = 9.75;

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel.
inline int ToPixels(double twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

inline Pixels ToPixels(const Twips& t, double dpi)
{
    return Pixels{ToPixels(t.left, dpi), ToPixels(t.top, dpi), ToPixels(t.width, dpi), ToPixels(t.height, dpi)};
}

}  // namespace vyr::commands::layout
