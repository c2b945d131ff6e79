#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace vyr::app {

namespace {

QPixmap DrawApplicationIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The same shapes as app/icons/vyr-extract.svg, on a 64 x 64 grid.
    p.setPen(QPen(QColor(0x1d, 0x3a, 0x6b), 2));
    p.setBrush(QColor(0x2f, 0x6f, 0xd0));
    p.drawEllipse(QPointF(28, 30), 24, 24);
    p.setBrush(QColor(0xe8, 0xf0, 0xfb));
    p.drawEllipse(QPointF(28, 30), 7, 7);

    QPainterPath arrow;
    arrow.moveTo(46, 30);
    arrow.lineTo(56, 30);
    arrow.lineTo(56, 46);
    arrow.lineTo(62, 46);
    arrow.lineTo(51, 60);
    arrow.lineTo(40, 46);
    arrow.lineTo(46, 46);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x1e, 0x6b, 0x2a), 2));
    p.setBrush(QColor(0x3c, 0xb5, 0x4a));
    p.drawPath(arrow);
    return pixmap;
}

void DrawFolder(QPainter& p, bool opened)
{
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 3.5);
    back.lineTo(5.5, 3.5);
    back.lineTo(7, 5);
    back.lineTo(13.5, 5);
    back.lineTo(13.5, opened ? 7.5 : 13.5);
    if (!opened) back.closeSubpath();
    p.drawPath(back);
    if (opened) {
        QPainterPath flap;
        flap.moveTo(1.5, 13.5);
        flap.lineTo(4, 7.5);
        flap.lineTo(15, 7.5);
        flap.lineTo(12.5, 13.5);
        flap.closeSubpath();
        p.drawPath(flap);
    }
}

void DrawFace(QPainter& p, ButtonFace face, const QPalette& palette, bool on)
{
    const QColor ink = palette.color(QPalette::ButtonText);
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (face) {
    case ButtonFace::Open: DrawFolder(p, true); break;
    case ButtonFace::Extract:
        p.drawLine(QPointF(8, 1.5), QPointF(8, 9.5));
        p.drawPolyline(QPolygonF({QPointF(4.5, 6.5), QPointF(8, 10), QPointF(11.5, 6.5)}));
        p.drawPolyline(QPolygonF({QPointF(1.5, 10), QPointF(1.5, 14.5), QPointF(14.5, 14.5), QPointF(14.5, 10)}));
        break;
    case ButtonFace::Close:
        p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case ButtonFace::TargetFolder:
        // On: the whole face in the highlight colour, so the state reads at a glance and not
        // only from the button's slightly sunken frame.
        if (on) {
            p.setPen(Qt::NoPen);
            p.setBrush(palette.color(QPalette::Highlight));
            p.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
            p.setPen(QPen(palette.color(QPalette::HighlightedText), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
        }
        DrawFolder(p, false);
        break;
    }
}

}  // namespace

QIcon ButtonIcon(ButtonFace face, const QPalette& palette)
{
    QIcon icon;
    for (const bool on : {false, true}) {
        if (on && face != ButtonFace::TargetFolder) break;
        for (const int size : {16, 32, 48}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 16.0, size / 16.0);
            DrawFace(p, face, palette, on);
            p.end();
            icon.addPixmap(pixmap, QIcon::Normal, on ? QIcon::On : QIcon::Off);
        }
    }
    return icon;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 64}) icon.addPixmap(DrawApplicationIcon(size));
    return icon;
}

QIcon CheckBoxIcon(const QWidget* widget, bool ticked)
{
    const QStyle* style = widget->style();
    QStyleOptionButton option;
    option.initFrom(widget);
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget);
    option.rect = QRect(0, 0, w, h);
    option.state = QStyle::State_Enabled | (ticked ? QStyle::State_On : QStyle::State_Off);

    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p, widget);
    OutlineCheckBox(p, option.rect, widget->palette());
    p.end();
    return QIcon(pixmap);
}

void OutlineCheckBox(QPainter& painter, const QRect& box, const QPalette& palette)
{
    // Little more than half the way from the base colour to the text colour: at least 3:1
    // against the base on a light palette and on a dark one.
    constexpr float kTowardsText = 0.55F;
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const auto mix = [&](float from, float to) { return from + (to - from) * kTowardsText; };
    const QColor frame = QColor::fromRgbF(mix(base.redF(), text.redF()), mix(base.greenF(), text.greenF()),
                                          mix(base.blueF(), text.blueF()));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(frame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace vyr::app
