#include "win32/LinkColours.h"

#include <algorithm>
#include <cmath>

namespace vyr::win32 {

namespace {

constexpr double kReadable = 3.0;

// The relative luminance of a colour, as the accessibility guidelines define it.
double Luminance(COLORREF colour)
{
    const auto channel = [](unsigned value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
           0.0722 * channel(GetBValue(colour));
}

double Contrast(COLORREF a, COLORREF b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

LinkScheme CurrentLinkScheme()
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    const bool on = ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                    (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    return LinkScheme{::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_HOTLIGHT), ::GetSysColor(COLOR_HIGHLIGHT), on};
}

COLORREF LinkColour(bool hot, const LinkScheme& scheme)
{
    const COLORREF own = hot ? kLinkHoverColour : kLinkColour;
    if (!scheme.highContrast && Contrast(own, scheme.ground) >= kReadable) return own;
    return hot ? scheme.highlight : scheme.hotTrack;
}

}  // namespace vyr::win32
