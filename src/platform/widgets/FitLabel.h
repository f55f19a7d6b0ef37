#pragma once
// A one-line plain-text label, laid out from its top left, whose text is never
// clipped. When the text's ink does not fit the label's contents rectangle in
// the label's font, it is drawn in the same font made just small enough (in
// steps of a quarter point, down to MinimumPointSize); below that it is also
// elided at the right. The label keeps its geometry, and font() stays the
// designed font; DrawnFont() and DrawnText() tell what is painted. UI thread.
#include <QFont>
#include <QLabel>
#include <QString>

namespace ostrak {

class FitLabel : public QLabel {
public:
    static constexpr double MinimumPointSize = 4.0;

    FitLabel(const QString& text, QWidget* parent);

    // The font and text that the label paints now.
    QFont DrawnFont() const;
    QString DrawnText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Fit {
        QFont Font;
        QString Text;
    };
    // Recomputed only when the text, the font or the size has changed.
    const Fit& CurrentFit() const;

    mutable Fit Fit_;
    mutable QString FitText_;
    mutable QFont FitFont_;
    mutable QSize FitSize_;
    mutable bool FitValid_ = false;
};

} // namespace ostrak
