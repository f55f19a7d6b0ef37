#include "platform/widgets/QtSplashView.h"

#include "platform/widgets/FitLabel.h"
#include "platform/widgets/QtSplashWindow.h"
#include "platform/widgets/Shape.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace ostrak {

namespace {

class QtLabel : public ViewLabel {
public:
    explicit QtLabel(QLabel* label) : Label_(label) {}
    void SetText(const std::string& text, TextSpan shorten) override {
        if (auto* fit = dynamic_cast<FitLabel*>(Label_)) {
            // The part in the toolkit's characters.
            const std::size_t start = std::min(shorten.Start, text.size());
            const std::size_t length = std::min(shorten.Length, text.size() - start);
            fit->SetShortenedPart(QString::fromStdString(text.substr(0, start)).size(),
                                  QString::fromStdString(text.substr(start, length)).size());
        }
        // An unchanged text (a percentage that did not move) costs nothing.
        const QString shown = QString::fromStdString(text);
        if (shown != Label_->text())
            Label_->setText(shown);
    }
    std::string Text() const override { return Label_->text().toStdString(); }

private:
    QLabel* Label_;
};

class QtButton : public ViewButton {
public:
    explicit QtButton(QPushButton* button) : Button_(button) {}
    void SetEnabled(bool enabled) override { Button_->setEnabled(enabled); }

private:
    QPushButton* Button_;
};

class QtBar : public ViewBar {
public:
    QtBar(Shape* frame, Shape* fill) : Frame_(frame), Fill_(fill) {}
    void SetFraction(double fraction) override {
        const int width = static_cast<int>(std::lround(Frame_->width() * fraction));
        Fill_->resize(width, Fill_->height());
    }

private:
    Shape* Frame_;
    Shape* Fill_;
};

} // namespace

struct QtSplashView::Controls {
    QtSplashWindow Window;
    QtLabel ProductName{Window.lblProductName}, CompanyProduct{Window.lblCompanyProduct},
        Copyright{Window.lblCopyright}, Platform{Window.lblPlatform}, Warning{Window.lblWarning},
        FileLine{Window.Label2};
    QtButton Install{Window.Command1}, Uninstall{Window.Command2}, Cancel{Window.Command3};
    QtBar Bar{Window.Shape1, Window.Shape2};
};

QtSplashView::QtSplashView() : C_(std::make_unique<Controls>()) {
    QtSplashWindow& w = C_->Window;
    w.CloseRequested = [this] { return CloseAllowed(); };
    QObject::connect(w.Command1, &QPushButton::clicked, &w, [this] { NotifyClicked(C_->Install); });
    QObject::connect(w.Command2, &QPushButton::clicked, &w,
                     [this] { NotifyClicked(C_->Uninstall); });
    QObject::connect(w.Command3, &QPushButton::clicked, &w, [this] { NotifyClicked(C_->Cancel); });
}

QtSplashView::~QtSplashView() = default;

ViewLabel& QtSplashView::lblProductName() {
    return C_->ProductName;
}
ViewLabel& QtSplashView::lblCompanyProduct() {
    return C_->CompanyProduct;
}
ViewLabel& QtSplashView::lblCopyright() {
    return C_->Copyright;
}
ViewLabel& QtSplashView::lblPlatform() {
    return C_->Platform;
}
ViewLabel& QtSplashView::lblWarning() {
    return C_->Warning;
}
ViewLabel& QtSplashView::Label2() {
    return C_->FileLine;
}
ViewButton& QtSplashView::Command1() {
    return C_->Install;
}
ViewButton& QtSplashView::Command2() {
    return C_->Uninstall;
}
ViewButton& QtSplashView::Command3() {
    return C_->Cancel;
}
ViewBar& QtSplashView::Bar() {
    return C_->Bar;
}

void QtSplashView::Show() {
    C_->Window.show();
}

void QtSplashView::Close() {
    C_->Window.close();
}

QtSplashWindow& QtSplashView::Window() {
    return C_->Window;
}

} // namespace ostrak
