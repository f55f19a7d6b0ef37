#pragma once
// The installer's window on Qt, laid out as designed: positions and sizes in
// twips (1/1440 inch) converted through the screen's dots per inch, edges
// converted rather than sizes, so that touching controls stay touching.
//
// The header band Frame1 overhangs the left, top and right edges, so only
// its lower border shows; it holds the four header labels, which shrink
// their text to fit (FitLabel). Below: the word-wrapped stage line
// lblWarning, the bar (Shape1 outline, Shape2 fill over it) with the file
// line Label2 over both, which shortens a named part of a long text in its
// middle (FitLabel::SetShortenedPart) in its own font, and the three stacked
// buttons, where Enter and Space both press the focused one. Every control
// carries its name as its object name. Labels start empty.
//
// Every close request, whatever its origin, is put to CloseRequested first
// (unset: allowed). UI thread; needs a QApplication.
#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace ostrak {

class Shape;

class QtSplashWindow : public QWidget {
public:
    QtSplashWindow();
    ~QtSplashWindow() override;

    // Answers a close request: true lets the window close.
    std::function<bool()> CloseRequested;

    // Controls (owned by the window).
    QFrame* Frame1;
    QLabel* lblProductName; // the four header labels are FitLabels
    QLabel* lblCompanyProduct;
    QLabel* lblCopyright;
    QLabel* lblPlatform;
    QLabel* lblWarning;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    Shape* Shape1;
    Shape* Shape2;
    QLabel* Label2; // a FitLabel

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace ostrak
