#pragma once

#include <QIcon>

class QPainter;
class QPalette;
class QRect;

namespace vyr::app {

// The program's own icon (a disc with a downward arrow), drawn at 16, 32 and 64 pixels so it
// needs no image plugin; the desktop gets the same design as SVG.
QIcon ApplicationIcon();

enum class ButtonFace {
    Open,  // an opened folder
    Extract,  // an arrow down into a tray
    Close,  // a cross
    TargetFolder,  // a folder; when on, light on the highlight colour
};

// A button's 16 x 16 face (with 32 and 48 pixel versions for scaled screens), drawn in the
// palette's button text colour so that it stands out on a light and on a dark theme alike.
QIcon ButtonIcon(ButtonFace face, const QPalette& palette);

// A check box as the current style draws it, ticked or not: the faces of the select-all and
// de-select-all buttons.
QIcon CheckBoxIcon(const QWidget* widget, bool ticked);

// Draws a check box's frame inside `box` in a colour that stands out on the palette's base
// colour: some styles draw it in a shade of the window colour, which a dark theme makes
// nearly the base colour itself, so an unticked box vanishes.
void OutlineCheckBox(QPainter& painter, const QRect& box, const QPalette& palette);

}  // namespace vyr::app
