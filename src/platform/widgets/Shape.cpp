#include "platform/widgets/Shape.h"

#include <QPainter>

namespace ostrak {

Shape::Shape(Style style, QColor colour, QWidget* parent)
    : QWidget(parent), Style_(style), Colour_(colour) {
    setFocusPolicy(Qt::NoFocus);
}

void Shape::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    if (Style_ == Style::Filled) {
        painter.fillRect(rect(), Colour_);
        return;
    }
    painter.setPen(QPen(Colour_, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

} // namespace ostrak
