#pragma once

#include <QIcon>

namespace vyr::app {

// The program's own icon (a disc with a downward arrow), drawn at 16, 32 and 64 pixels so it
// needs no image plugin; the desktop gets the same design as SVG.
QIcon ApplicationIcon();

// A check box as the current style draws it, ticked or not: the faces of the select-all and
// de-select-all buttons.
QIcon CheckBoxIcon(const QWidget* widget, bool ticked);

}  // namespace vyr::app
