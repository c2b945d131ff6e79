#pragma once

#include <QColor>
#include <QLabel>
#include <QPalette>

namespace vyr::app {

// lblSite's text: pure blue, pure red while the pointer is over it.
inline const QColor kLinkColour(0, 0, 255);
inline const QColor kLinkHoverColour(255, 0, 0);

inline void SetTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

}  // namespace vyr::app
