#pragma once
// A one-line plain-text label whose text is never clipped. When the text's
// ink does not fit the label's contents rectangle in the label's font, it is
// drawn in the same font made just small enough (in steps of a quarter
// point, down to the smallest size); below that it is also shortened: the
// shortened part, when one is set and the rest fits without it, loses its
// middle, else the whole text is elided at the right. The label keeps its
// geometry, and font() and text() stay as set; DrawnFont() and DrawnText()
// tell what is painted. UI thread.
#include <QFont>
#include <QLabel>
#include <QString>

namespace ostrak {

class FitLabel : public QLabel {
public:
    static constexpr double MinimumPointSize = 4.0;

    FitLabel(const QString& text, QWidget* parent);

    // The smallest size the font shrinks to (MinimumPointSize unless set); at
    // the designed size or above, the font never shrinks.
    void SetMinimumPointSize(double points);
    // The part of text() that is shortened first: length characters from
    // start (length 0: none). Kept until set again.
    void SetShortenedPart(qsizetype start, qsizetype length);

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
    // Recomputed only when the text, the font, the size, the part or the
    // smallest size has changed.
    const Fit& CurrentFit() const;

    // The text shortened to fit area in font.
    QString Shortened(const QFont& font, const QRectF& area) const;

    double Smallest_ = MinimumPointSize;
    qsizetype PartStart_ = 0;
    qsizetype PartLength_ = 0;
    mutable Fit Fit_;
    mutable QString FitText_;
    mutable QFont FitFont_;
    mutable QSize FitSize_;
    mutable bool FitValid_ = false;
};

} // namespace ostrak
