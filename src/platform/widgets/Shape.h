#pragma once
// A rectangle drawn on its parent: an outline (one pixel, in the outline
// colour) or a solid fill. It takes no input and no focus; stacking among
// its siblings decides what it covers and what covers it.
#include <QColor>
#include <QWidget>

namespace ostrak {

class Shape : public QWidget {
public:
    enum class Style { Outline, Filled };
    Shape(Style style, QColor colour, QWidget* parent);

    Style ShapeStyle() const { return Style_; }
    QColor Colour() const { return Colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Style Style_;
    QColor Colour_;
};

} // namespace ostrak
