#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
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

}  // namespace

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
    p.end();
    return QIcon(pixmap);
}

}  // namespace vyr::app
