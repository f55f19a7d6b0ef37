#include "platform/widgets/FitLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <cmath>

namespace ostrak {

namespace {

// True when text drawn in font from the top left of area keeps its ink inside
// (a glyph's ink left of its origin is not counted: it does not shrink away).
bool InkFits(const QString& text, const QFont& font, const QRectF& area) {
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);
    // Ink coordinates are relative to the baseline, which sits one ascent down.
    return ink.right() <= area.width() && metrics.ascent() + ink.bottom() <= area.height();
}

QFont WithPointSize(QFont font, double points) {
    font.setPointSizeF(points);
    return font;
}

} // namespace

FitLabel::FitLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
}

void FitLabel::SetMinimumPointSize(double points) {
    Smallest_ = points;
    FitValid_ = false;
    update();
}

void FitLabel::SetShortenedPart(qsizetype start, qsizetype length) {
    if (start == PartStart_ && length == PartLength_)
        return;
    PartStart_ = start;
    PartLength_ = length;
    FitValid_ = false;
    update();
}

QFont FitLabel::DrawnFont() const {
    return CurrentFit().Font;
}

QString FitLabel::DrawnText() const {
    return CurrentFit().Text;
}

const FitLabel::Fit& FitLabel::CurrentFit() const {
    const QRectF area = contentsRect();
    if (FitValid_ && FitText_ == text() && FitFont_ == font() && FitSize_ == size())
        return Fit_;
    FitValid_ = true;
    FitText_ = text();
    FitFont_ = font();
    FitSize_ = size();
    Fit_ = Fit{font(), text()};
    const double designed = font().pointSizeF();
    if (text().isEmpty() || designed <= 0 || InkFits(text(), font(), area))
        return Fit_;

    // First guess from the overshoot, then down in quarter points.
    const QFontMetricsF metrics(font());
    const QRectF ink = metrics.tightBoundingRect(text());
    double ratio = 1.0;
    if (ink.right() > 0)
        ratio = std::min(ratio, area.width() / ink.right());
    if (metrics.ascent() + ink.bottom() > 0)
        ratio = std::min(ratio, area.height() / (metrics.ascent() + ink.bottom()));
    const double smallest = std::min(Smallest_, designed);
    double points = std::floor(designed * ratio * 4) / 4;
    points = std::max(smallest, std::min(points, designed - 0.25));
    while (points > smallest && !InkFits(text(), WithPointSize(font(), points), area))
        points -= 0.25;
    points = std::max(points, smallest);
    Fit_.Font = WithPointSize(font(), points);
    if (!InkFits(text(), Fit_.Font, area))
        Fit_.Text = Shortened(Fit_.Font, area);
    return Fit_;
}

QString FitLabel::Shortened(const QFont& font, const QRectF& area) const {
    const QFontMetricsF metrics(font);
    const QString& whole = text();
    if (PartLength_ > 0 && PartStart_ >= 0 && PartStart_ + PartLength_ <= whole.size()) {
        const QString before = whole.left(PartStart_);
        const QString part = whole.mid(PartStart_, PartLength_);
        const QString after = whole.mid(PartStart_ + PartLength_);
        // The advance widths guess the room; the ink decides, a pixel at a time.
        for (double room = area.width() - metrics.horizontalAdvance(before + after); room > 0;
             room -= 1) {
            const QString shown = metrics.elidedText(part, Qt::ElideMiddle, room);
            if (shown.isEmpty())
                break;
            if (InkFits(before + shown + after, font, area))
                return before + shown + after;
        }
    }
    return metrics.elidedText(whole, Qt::ElideRight, area.width());
}

void FitLabel::paintEvent(QPaintEvent*) {
    const Fit& fit = CurrentFit();
    QPainter painter(this);
    painter.setFont(fit.Font);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), fit.Text, foregroundRole());
}

} // namespace ostrak
