#pragma once

#include "win32/Api.h"

namespace vyr::win32 {

// lblSite's text: pure blue, pure red while the pointer is over it.
inline constexpr COLORREF kLinkColour = RGB(0, 0, 255);
inline constexpr COLORREF kLinkHoverColour = RGB(255, 0, 0);

// What the user's scheme says about links: the ground the label lies on, its own link and
// highlight colours, and whether a high-contrast scheme is on.
struct LinkScheme {
    COLORREF ground;
    COLORREF hotTrack;
    COLORREF highlight;
    bool highContrast;
};

LinkScheme CurrentLinkScheme();

// The link's colour: blue or red as the layout has it, unless a high-contrast scheme is on or
// the colour would be hard to read on the ground (below 3:1, as on black): then the scheme's
// link colour, and its highlight colour under the pointer.
COLORREF LinkColour(bool hot, const LinkScheme& scheme);

}  // namespace vyr::win32
