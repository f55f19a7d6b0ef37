#pragma once
// The installer's window as its routines see it: the controls they write to
// and the two events they handle.
//
// frmSplash owns the installation state and the routines; a view shows them.
// The program installs the Qt view (widgets/QtSplashView.h), tests a
// scripted one; until a view is installed, an unseen view keeps the labels'
// texts and shows nothing. The window that uses a view binds to the one
// installed when it is built (SetOwner); the view outlives it. A view starts
// hidden, its buttons enabled and its labels empty. UI thread only; the
// owner's callbacks run synchronously, inside the toolkit's event handling
// (and so inside any wait that lets events run).
#include <cstddef>
#include <string>

namespace ostrak {

// A part of a text: Length bytes from Start. Length 0 names no part.
struct TextSpan {
    std::size_t Start = 0;
    std::size_t Length = 0;
};

// A label: one plain text (UTF-8).
class ViewLabel {
public:
    virtual ~ViewLabel() = default;
    // Shows text. When it does not fit and shorten names a part of it, that
    // part alone is shortened, in its middle, and the rest shows whole; how
    // a label fits a text otherwise is its own (see SplashView).
    virtual void SetText(const std::string& text, TextSpan shorten = {}) = 0;
    // The text last set, whole.
    virtual std::string Text() const = 0;
};

// A push button with a fixed caption. Pressed by a click, or by Enter or
// Space while it has the focus, it tells the view's owner (ButtonClicked).
class ViewButton {
public:
    virtual ~ViewButton() = default;
    // A disabled button cannot be pressed.
    virtual void SetEnabled(bool enabled) = 0;
};

// The progress bar: the outline Shape1 and the fill Shape2 drawn over it
// from the same left edge, with the same height; the file line is drawn
// over both.
class ViewBar {
public:
    virtual ~ViewBar() = default;
    // The fill becomes fraction (0 to 1) of the outline's width.
    virtual void SetFraction(double fraction) = 0;
};

// Whoever handles the window's events.
class SplashViewOwner {
public:
    // One of the view's buttons was pressed.
    virtual void ButtonClicked(const ViewButton& button) = 0;
    // The window is asked to close, whatever the origin (the title bar, the
    // system, SplashView::Close); false refuses it, silently.
    virtual bool CloseRequested() = 0;

protected:
    virtual ~SplashViewOwner() = default;
};

class SplashView {
public:
    virtual ~SplashView() = default;

    // The four labels of the header band; each fits its one line by
    // shrinking the font before anything is cut.
    virtual ViewLabel& lblProductName() = 0;
    virtual ViewLabel& lblCompanyProduct() = 0;
    virtual ViewLabel& lblCopyright() = 0;
    virtual ViewLabel& lblPlatform() = 0;
    // The stage line: word-wrapped over several lines.
    virtual ViewLabel& lblWarning() = 0;
    // The file line: one line centred over the bar, in its own font.
    virtual ViewLabel& Label2() = 0;
    // Install / Fix, Uninstall and Cancel, in this tab order from top to
    // bottom.
    virtual ViewButton& Command1() = 0;
    virtual ViewButton& Command2() = 0;
    virtual ViewButton& Command3() = 0;
    // Shape1 and Shape2.
    virtual ViewBar& Bar() = 0;

    // Shows the window.
    virtual void Show() = 0;
    // A close request of the program's own: the window closes (and hides)
    // unless the owner refuses.
    virtual void Close() = 0;

    // The owner receives the events from now on (nullptr: none; clicks do
    // nothing and closing is allowed).
    void SetOwner(SplashViewOwner* owner) { Owner_ = owner; }
    SplashViewOwner* Owner() const { return Owner_; }

protected:
    // For views: pass an event on to the owner.
    void NotifyClicked(const ViewButton& button) const;
    bool CloseAllowed() const;

private:
    SplashViewOwner* Owner_ = nullptr;
};

// Makes view the installed one (not owned; it must outlive its use) and
// returns the previous one; nullptr restores the unseen view.
SplashView* SetSplashView(SplashView* view);
// The view installed now.
SplashView& InstalledSplashView();

} // namespace ostrak
