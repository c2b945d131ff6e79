#pragma once

#include "win32/Api.h"

// The faces of frmAlbum's buttons, drawn at the size the window's DPI asks for in the colours of
// the user's scheme, so that they stand out on a light, a dark and a high-contrast desktop alike.
namespace vyr::win32 {

enum class ButtonFace {
    Open,  // an opened folder
    SelectAll,  // a ticked box
    DeselectAll,  // an empty box
    TargetFolder,  // a folder
    TargetFolderOn,  // the same, light on the highlight colour: the toggle is on
    Extract,  // an arrow down into a tray
    Close,  // a cross
};

struct FaceColours {
    COLORREF ink;
    COLORREF highlight;
    COLORREF highlightText;
};

// The scheme's button text, highlight and highlighted text colours.
FaceColours SchemeColours();

// An icon `size` pixels square with a transparent ground, its edges smoothed; null when the
// system has no memory for it. The caller destroys it.
HICON DrawButtonFace(ButtonFace face, int size, const FaceColours& colours);

}  // namespace vyr::win32
