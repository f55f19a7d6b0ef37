// The installer window on Qt: controls, texts, order, bar geometry, what is
// drawn over what, long texts, close requests and keys.
#include "InstallerSandbox.h"

#include "installer/frmSplash.h"
#include "platform/Settings.h"
#include "platform/widgets/FitLabel.h"
#include "platform/widgets/QtSplashView.h"
#include "platform/widgets/QtSplashWindow.h"
#include "platform/widgets/Shape.h"
#include "runtime/Program.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontInfo>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <string>

using namespace ostrak;

namespace {

using SplashLayout = InstallerSandbox;
using SplashBusy = InstallerSandbox;
using SplashKeys = InstallerSandbox;

// A window on the Qt view, which is the installed view while it lives.
struct QtSplash {
    QtSplash() : Previous(SetSplashView(&View)) {}
    ~QtSplash() { SetSplashView(Previous); }
    QtSplashView View;
    SplashView* Previous;
    frmSplash Splash;
    QtSplashWindow& Window = View.Window();
};

std::string Text(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text().toStdString();
    if (auto* button = qobject_cast<const QPushButton*>(w))
        return button->text().toStdString();
    return "";
}

// A control's rectangle in the window's coordinates.
QRect InWindow(const QWidget* w) {
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

int StackIndex(const QWidget* w) {
    return static_cast<int>(w->parentWidget()->children().indexOf(const_cast<QWidget*>(w)));
}

} // namespace

TEST_F(SplashLayout, ControlsHaveTheirNamesTextsAndParents) {
    QtSplash s;
    QtSplashWindow& w = s.Window;
    const std::string welcome =
        "Hello, and welcome to Ostrak. If you want to Install, Update or Fix Ostrak, please click "
        "the top button. If you want to remove Ostrak from your computer, click the middle "
        "button. To cancel, click the bottom button." +
        std::string(83, ' ') +
        "Before beginning the installation, please make sure any firewall software is set up to "
        "allow this program access to the internet!";
    struct Expected {
        const char* Name;
        std::string Text;
        const char* Parent;
    };
    const Expected table[] = {
        {"lblProductName", "Ostrak", "Frame1"},
        {"lblCompanyProduct", "The Amber Reach", "Frame1"},
        {"lblPlatform", "Installer", "Frame1"},
        {"lblWarning", welcome, "frmSplash"},
        {"Command1", "Install / Fix", "frmSplash"},
        {"Command2", "Uninstall", "frmSplash"},
        {"Command3", "Cancel", "frmSplash"},
        {"Label2", "Waiting to start...", "frmSplash"},
    };
    for (const Expected& e : table) {
        auto* control = w.findChild<QWidget*>(QString::fromLatin1(e.Name));
        ASSERT_NE(control, nullptr) << e.Name;
        EXPECT_EQ(Text(control), e.Text) << e.Name;
        EXPECT_EQ(control->parentWidget()->objectName().toStdString(), e.Parent) << e.Name;
    }
    for (const char* name : {"Frame1", "lblCopyright", "Shape1", "Shape2"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(w.windowTitle().toStdString(), "Ostrak Installer");
    EXPECT_TRUE(w.lblWarning->wordWrap());
    EXPECT_TRUE(w.Command1->font().bold());
    EXPECT_FALSE(w.Command2->font().bold());
    EXPECT_TRUE(w.lblProductName->font().bold());
    // Arial, or Liberation Sans, which has its metrics (fonts-liberation).
    for (const QLabel* label : {w.lblProductName, w.lblWarning}) {
        const std::string family = QFontInfo(label->font()).family().toStdString();
        EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family;
    }
    EXPECT_GT(w.lblProductName->font().pointSizeF(), w.lblPlatform->font().pointSizeF());
    EXPECT_GT(w.lblPlatform->font().pointSizeF(), w.lblCompanyProduct->font().pointSizeF());
}

TEST_F(SplashLayout, ControlsStackFromTopToBottomInTabOrder) {
    QtSplash s;
    QtSplashWindow& w = s.Window;
    // The header band overhangs three edges: only its lower border is inside.
    const QRect client = w.rect();
    const QRect header = InWindow(w.Frame1);
    EXPECT_LT(header.left(), client.left());
    EXPECT_LT(header.top(), client.top());
    EXPECT_GT(header.right(), client.right());
    EXPECT_LT(header.bottom(), client.bottom());

    // Left column: header, stage line, bar; right column: the three buttons.
    EXPECT_LE(header.bottom(), InWindow(w.lblWarning).top());
    EXPECT_LE(InWindow(w.lblWarning).bottom(), InWindow(w.Shape1).top());
    EXPECT_LT(InWindow(w.Command1).bottom(), InWindow(w.Command2).top());
    EXPECT_LT(InWindow(w.Command2).bottom(), InWindow(w.Command3).top());
    for (QWidget* c : {static_cast<QWidget*>(w.Command3), static_cast<QWidget*>(w.Shape1)})
        EXPECT_TRUE(client.contains(InWindow(c))) << c->objectName().toStdString();
    EXPECT_LT(InWindow(w.Shape1).right(), InWindow(w.Command1).left());

    EXPECT_EQ(w.Command1->nextInFocusChain(), w.Command2);
    EXPECT_EQ(w.Command2->nextInFocusChain(), w.Command3);
}

TEST_F(SplashLayout, BarFillSharesTheFramesEdgeAndGrowsWithTheFraction) {
    QtSplash s;
    QtSplashWindow& w = s.Window;
    const QRect frame = w.Shape1->geometry();
    EXPECT_EQ(w.Shape2->x(), frame.x());
    EXPECT_EQ(w.Shape2->y(), frame.y());
    EXPECT_EQ(w.Shape2->height(), frame.height());
    EXPECT_EQ(w.Label2->x(), frame.x());
    EXPECT_EQ(w.Label2->width(), frame.width());
    EXPECT_EQ(w.Label2->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    struct Case {
        double Fraction;
        int Width;
    };
    const Case cases[] = {{0.0, 0},
                          {0.25, (frame.width() + 2) / 4},
                          {1.0, frame.width()},
                          {7.0 / 9.0, (frame.width() * 7 + 4) / 9},
                          {1.5, frame.width()}, // never wider than the frame
                          {-0.5, 0}};
    for (const Case& c : cases) {
        s.Splash.SetBarFraction(c.Fraction);
        EXPECT_NEAR(w.Shape2->width(), c.Width, 1) << c.Fraction;
        EXPECT_EQ(w.Shape2->geometry().topLeft(), frame.topLeft()) << c.Fraction;
    }
}

TEST_F(SplashLayout, FillIsDrawnOverTheFrameAndTheFileLineOverBoth) {
    QtSplash s;
    QtSplashWindow& w = s.Window;
    EXPECT_LT(StackIndex(w.Shape1), StackIndex(w.Shape2));
    EXPECT_LT(StackIndex(w.Shape2), StackIndex(w.Label2));
    EXPECT_FALSE(w.Label2->autoFillBackground());

    s.Splash.SetBarFraction(0.5);
    const QImage image = w.grab().toImage();
    const QRect frame = w.Shape1->geometry();
    const QColor green(0, 192, 0);
    const int middle = frame.center().y() + frame.height() / 4; // below the text's middle
    // The fill covers the frame's left edge and shows through the file line.
    EXPECT_EQ(image.pixelColor(frame.left(), middle), green);
    EXPECT_EQ(image.pixelColor(frame.left() + 3, middle), green);
    EXPECT_EQ(image.pixelColor(frame.left() + frame.width() / 2 - 2, frame.bottom()), green);
    // Beyond the fill: the frame's outline and the window behind it.
    EXPECT_EQ(image.pixelColor(frame.right(), middle), QColor(Qt::black));
    EXPECT_NE(image.pixelColor(frame.right() - 3, middle), green);
}

namespace {

// Pixels with ink when the widget paints itself on a transparent image
// (without its background).
int InkOf(QWidget* w) {
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qAlpha(image.pixel(x, y)) > 0;
    return ink;
}

// The same text painted as the label paints it, from the top left, on an
// image far larger than the label: nothing is cut. Ink pixels and the
// extent of the ink.
struct FreeInk {
    int Pixels = 0;
    QSize Extent;
};
FreeInk FreeInkOf(const QLabel* label, const QString& text, const QFont& font) {
    QImage image(label->width() * 4, label->height() * 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        label->style()->drawItemText(&painter, image.rect(), Qt::AlignLeft | Qt::AlignTop,
                                     label->palette(), true, text, label->foregroundRole());
    }
    FreeInk ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) {
                ++ink.Pixels;
                ink.Extent = ink.Extent.expandedTo(QSize(x + 1, y + 1));
            }
    return ink;
}

bool Within(const QSize& extent, const QSize& box) {
    return extent.width() <= box.width() && extent.height() <= box.height();
}

} // namespace

TEST_F(SplashLayout, HeaderTextIsNeverCutEvenInAWiderFallbackFont) {
    QtSplash s;
    QtSplashWindow& w = s.Window;
    for (QLabel* label : {w.lblProductName, w.lblCompanyProduct, w.lblCopyright, w.lblPlatform}) {
        const std::string name = label->objectName().toStdString();
        auto* fit = dynamic_cast<FitLabel*>(label);
        ASSERT_NE(fit, nullptr) << name;
        const QRect geometry = label->geometry();
        const QString text = label->text();

        // Arial's metrics (Liberation Sans): the designed font is kept.
        EXPECT_EQ(fit->DrawnFont(), label->font()) << name;
        EXPECT_EQ(InkOf(label), FreeInkOf(label, text, label->font()).Pixels) << name;

        // A wider font, as a system without Liberation fonts falls back to.
        QFont wide = label->font();
        wide.setFamilies({QStringLiteral("DejaVu Sans")});
        wide.setLetterSpacing(QFont::PercentageSpacing, 125);
        ASSERT_FALSE(Within(FreeInkOf(label, text, wide).Extent, label->size()))
            << name << ": the wide font would fit anyway";
        label->setFont(wide);

        EXPECT_EQ(label->geometry(), geometry) << name;
        EXPECT_EQ(fit->DrawnText(), text) << name;
        const QFont drawn = fit->DrawnFont();
        EXPECT_LT(drawn.pointSizeF(), wide.pointSizeF()) << name;
        // Every pixel of the text is painted, and it is hardly smaller than it
        // must be (the fit goes by the font's ink metrics, which may exceed
        // the painted pixels by a little).
        EXPECT_EQ(InkOf(label), FreeInkOf(label, text, drawn).Pixels) << name;
        EXPECT_TRUE(Within(FreeInkOf(label, text, drawn).Extent, label->size())) << name;
        QFont larger = drawn;
        larger.setPointSizeF(drawn.pointSizeF() + 0.5);
        EXPECT_FALSE(Within(FreeInkOf(label, text, larger).Extent, label->size())) << name;
    }

    // Text that does not fit even at the smallest size is elided as well.
    w.lblCopyright->setText(QString(200, QLatin1Char('W')));
    auto* copyright = dynamic_cast<FitLabel*>(w.lblCopyright);
    EXPECT_EQ(copyright->DrawnFont().pointSizeF(), FitLabel::MinimumPointSize);
    EXPECT_TRUE(copyright->DrawnText().endsWith(QChar(0x2026)));
    EXPECT_EQ(InkOf(w.lblCopyright),
              FreeInkOf(w.lblCopyright, copyright->DrawnText(), copyright->DrawnFont()).Pixels);
}

TEST_F(SplashLayout, ALongNameOnTheFileLineLosesItsMiddleAndTheRestStaysWhole) {
    QtSplash s;
    auto* line = dynamic_cast<FitLabel*>(s.Window.Label2);
    ASSERT_NE(line, nullptr);
    s.Splash.SetFileText("Downloading ", "p.dat", ", 42%...");
    EXPECT_EQ(line->DrawnText(), line->text());
    const std::string name = "ostrak_highres_textures_and_cinematics_pack_01.pak";
    s.Splash.SetFileText("Downloading ", name, ", 42%...");
    EXPECT_EQ(s.Splash.FileText(), "Downloading " + name + ", 42%...");
    const QString drawn = line->DrawnText();
    EXPECT_TRUE(drawn.startsWith(QStringLiteral("Downloading ostrak_"))) << drawn.toStdString();
    EXPECT_TRUE(drawn.endsWith(QStringLiteral("01.pak, 42%..."))) << drawn.toStdString();
    EXPECT_TRUE(drawn.contains(QChar(0x2026))) << drawn.toStdString();
    EXPECT_EQ(line->DrawnFont(), line->font());
    // The whole text would not fit; what is drawn does.
    EXPECT_FALSE(Within(FreeInkOf(line, line->text(), line->font()).Extent, line->size()));
    EXPECT_TRUE(Within(FreeInkOf(line, drawn, line->font()).Extent, line->size()));
}

namespace {

// Sends a close request the way the system does (not through close()).
bool SystemCloseAccepted(QWidget& w) {
    QCloseEvent event;
    QCoreApplication::sendEvent(&w, &event);
    return event.isAccepted();
}

} // namespace

TEST_F(SplashBusy, CloseRequestsAreRefusedSilentlyWhileBusy) {
    QtSplash s;
    frmSplash& w = s.Splash;
    QtSplashWindow& win = s.Window;
    w.Form_Load();
    win.show();
    w.SetBusy(VbTrue);

    EXPECT_FALSE(win.close());
    EXPECT_TRUE(win.isVisible());
    EXPECT_FALSE(SystemCloseAccepted(win));
    EXPECT_TRUE(win.isVisible());
    EXPECT_EQ(Dialogs.ShownCount(), 0);
    EXPECT_EQ(EndCount, 0);

    w.SetBusy(VbFalse);
    EXPECT_TRUE(SystemCloseAccepted(win));
    EXPECT_TRUE(win.close());
    EXPECT_FALSE(win.isVisible());
}

TEST_F(SplashKeys, EnterAndSpaceBothPressTheFocusedButton) {
    ASSERT_TRUE(SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "LOC",
                            "/srv/games/ostrak")); // Uninstall enabled
    QtSplash s;
    frmSplash& w = s.Splash;
    QtSplashWindow& win = s.Window;
    w.Form_Load();
    struct Key {
        const char* Name;
        int Code;
        Qt::KeyboardModifiers Modifiers;
    };
    const Key keys[] = {{"Return", Qt::Key_Return, Qt::NoModifier},
                        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
                        {"Space", Qt::Key_Space, Qt::NoModifier}};
    for (QPushButton* button : {win.Command1, win.Command2, win.Command3}) {
        for (const Key& key : keys) {
            // Cancel ends the (hooked) program and hides the window: start afresh.
            SetEndProgramHook([this](int) { ++EndCount; });
            win.show();
            w.SetBusy(VbFalse); // an action ended by the program's end leaves it busy
            int clicks = 0;
            const QMetaObject::Connection counter =
                QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
            button->setFocus();
            ASSERT_EQ(win.focusWidget(), button);
            if (button == win.Command1) // the install action asks first; the end stops it there
                Dialogs.ExpectMsgBox("Ostrak can play large background music files (approx. 8 "
                                     "MB). Do you want to download these?\r\nYou will be able "
                                     "to change this option in the next update.",
                                     vbYesNo, "Download music?", vbNo, [] { EndProgram(); });
            if (button == win.Command2) // the uninstall action asks first; No leaves all as it was
                Dialogs.ExpectMsgBox("Are you sure you wish to eredicate any trace of Ostrak on "
                                     "your computer?\r\nThis cannot be undone!",
                                     vbYesNo + vbQuestion, "Are you sure?", vbNo);

            QKeyEvent press(QEvent::KeyPress, key.Code, key.Modifiers);
            QKeyEvent release(QEvent::KeyRelease, key.Code, key.Modifiers);
            // Both go to the button focused at the press: an action that runs on
            // the press may move the focus (a busy window disables its buttons).
            QCoreApplication::sendEvent(button, &press);
            QCoreApplication::sendEvent(button, &release);

            EXPECT_EQ(clicks, 1) << button->objectName().toStdString() << ", " << key.Name;
            QObject::disconnect(counter);
        }
    }
    EXPECT_EQ(EndCount, 6); // Install stopped by the end, and Cancel, once per key
}
