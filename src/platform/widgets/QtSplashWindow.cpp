#include "platform/widgets/QtSplashWindow.h"

#include "platform/widgets/FitLabel.h"
#include "platform/widgets/Shape.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <cmath>

namespace ostrak {

namespace {

// The design is in twips (1/1440 inch): 15 twips a pixel at 96 dots per inch.
class Twips {
public:
    explicit Twips(const QWidget& w) : DpiX_(w.logicalDpiX()), DpiY_(w.logicalDpiY()) {}
    int X(int twips) const { return static_cast<int>(std::lround(twips * DpiX_ / 1440.0)); }
    int Y(int twips) const { return static_cast<int>(std::lround(twips * DpiY_ / 1440.0)); }
    // Edges are converted, not sizes, so that touching controls stay touching.
    void Place(QWidget* w, int left, int top, int width, int height) const {
        w->setGeometry(X(left), Y(top), X(left + width) - X(left), Y(top + height) - Y(top));
    }

private:
    int DpiX_;
    int DpiY_;
};

// Arial, or the nearest font that has its metrics.
QFont ArialFont(double points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The window's default font: MS Sans Serif 8.25 pt, or the nearest.
QFont DefaultFont(bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans")});
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QFont& font, Qt::Alignment alignment) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

// A label whose text fits: a header label's text shrinks when the font at
// hand is wider than Arial (no Liberation fonts), instead of being cut.
FitLabel* MakeFitLabel(QWidget* parent, const char* name, const QFont& font,
                       Qt::Alignment alignment) {
    auto* label = new FitLabel(QString(), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, const QFont& font) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(font);
    // Enter presses the focused button, as Space does (autoDefault outside a
    // dialog changes nothing else).
    button->setAutoDefault(true);
    return button;
}

} // namespace

QtSplashWindow::QtSplashWindow() {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Ostrak Installer"));
    setFont(DefaultFont(false));
    const Twips t(*this);
    setFixedSize(t.X(5895), t.Y(3150));

    const Qt::Alignment topLeft = Qt::AlignLeft | Qt::AlignTop;

    // The header band overhangs the left, top and right edges, so only its
    // lower border shows. Its labels are placed inside it.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    t.Place(Frame1, -120, -120, 7425, 1035);
    lblProductName = MakeFitLabel(Frame1, "lblProductName", ArialFont(32.25, true), topLeft);
    t.Place(lblProductName, 120, 120, 2160, 765);
    lblCompanyProduct = MakeFitLabel(Frame1, "lblCompanyProduct", ArialFont(18, true), topLeft);
    t.Place(lblCompanyProduct, 360, 600, 3105, 435);
    lblCopyright = MakeFitLabel(Frame1, "lblCopyright", ArialFont(8.25, false), topLeft);
    t.Place(lblCopyright, 2400, 120, 1935, 255);
    lblPlatform = MakeFitLabel(Frame1, "lblPlatform", ArialFont(21.75, true), topLeft);
    t.Place(lblPlatform, 4080, 360, 1665, 510);

    lblWarning = MakeLabel(this, "lblWarning", ArialFont(8.25, false), topLeft);
    lblWarning->setWordWrap(true);
    t.Place(lblWarning, 120, 960, 3855, 1695);

    Command1 = MakeButton(this, "Command1", "Install / Fix", DefaultFont(true));
    t.Place(Command1, 4200, 960, 1575, 615);
    Command2 = MakeButton(this, "Command2", "Uninstall", DefaultFont(false));
    t.Place(Command2, 4200, 1680, 1575, 615);
    Command3 = MakeButton(this, "Command3", "Cancel", DefaultFont(false));
    t.Place(Command3, 4200, 2400, 1575, 615);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    // The bar: the fill over the frame, the file line over both (created in
    // this order, so stacked in this order). A long file line keeps its font
    // and loses the middle of its shortened part.
    Shape1 = new Shape(Shape::Style::Outline, Qt::black, this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    t.Place(Shape1, 120, 2760, 3885, 270);
    Shape2 = new Shape(Shape::Style::Filled, QColor(0, 192, 0), this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    t.Place(Shape2, 120, 2760, 15, 270);
    FitLabel* fileLine =
        MakeFitLabel(this, "Label2", DefaultFont(false), Qt::AlignHCenter | Qt::AlignTop);
    fileLine->SetMinimumPointSize(fileLine->font().pointSizeF());
    Label2 = fileLine;
    t.Place(Label2, 120, 2775, 3885, 270);
}

QtSplashWindow::~QtSplashWindow() = default;

void QtSplashWindow::closeEvent(QCloseEvent* event) {
    if (!CloseRequested || CloseRequested())
        event->accept();
    else
        event->ignore();
}

} // namespace ostrak
