#include "platform/win32/Win32SplashView.h"

#include "platform/win32/WinText.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ostrak {

namespace {

constexpr char ClassName[] = "frmSplash";
constexpr int IdCommand1 = 11, IdCommand2 = 12, IdCommand3 = 13;
const COLORREF FillColour = RGB(0, 192, 0);

// The design is in twips (1/1440 inch): 15 twips a pixel at 96 dots per inch.
struct Twips {
    int DpiX, DpiY;
    int X(int twips) const { return static_cast<int>(std::lround(twips * DpiX / 1440.0)); }
    int Y(int twips) const { return static_cast<int>(std::lround(twips * DpiY / 1440.0)); }
    RECT Rect(int left, int top, int width, int height) const {
        return RECT{X(left), Y(top), X(left + width), Y(top + height)};
    }
};

Twips ScreenTwips() {
    HDC screen = ::GetDC(nullptr);
    const Twips t{::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY)};
    ::ReleaseDC(nullptr, screen);
    return t;
}

HFONT MakeFont(const char* face, double points, bool bold, int dpiY) {
    return ::CreateFontA(-static_cast<int>(std::lround(points * dpiY / 72.0)), 0, 0, 0,
                         bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, face);
}

int TextWidth(HFONT font, const std::string& ansi) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32A(dc, ansi.data(), static_cast<int>(ansi.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return size.cx;
}

HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, const RECT& r,
               int id = 0) {
    return ::CreateWindowExA(0, cls, text, style | WS_CHILD | WS_VISIBLE, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleA(nullptr), nullptr);
}

// A label that is a static control. A fitting one (the header's) shrinks its
// font, from the designed size down, until its text fits its one line.
class StaticLabel : public ViewLabel {
public:
    void Make(HWND parent, const RECT& r, const char* face, double points, bool bold, int dpiY,
              bool fits) {
        Face_ = face;
        Points_ = points;
        Bold_ = bold;
        DpiY_ = dpiY;
        Fits_ = fits;
        Width_ = r.right - r.left;
        Parent_ = parent;
        Area_ = r;
        Window_ = MakeChild(parent, "STATIC", "", fits ? SS_LEFTNOWORDWRAP : SS_LEFT, r);
        SetFont(points);
    }
    ~StaticLabel() override {
        if (Font_ != nullptr)
            ::DeleteObject(Font_);
    }
    void SetText(const std::string& text, TextSpan) override {
        if (text == Text_ && Window_ != nullptr)
            return;
        Text_ = text;
        const std::string shown = AnsiOf(text);
        if (Fits_) {
            double points = Points_;
            SetFont(points);
            while (points > 4 && TextWidth(Font_, shown) > Width_)
                SetFont(points -= 0.75);
        }
        ::SetWindowTextA(Window_, shown.c_str());
        // Labels are transparent (they overlap in the header): what lies
        // under the old text is drawn again.
        ::InvalidateRect(Parent_, &Area_, TRUE);
        ::InvalidateRect(Window_, nullptr, TRUE);
    }
    std::string Text() const override { return Text_; }

private:
    void SetFont(double points) {
        HFONT font = MakeFont(Face_, points, Bold_, DpiY_);
        ::SendMessageA(Window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (Font_ != nullptr)
            ::DeleteObject(Font_);
        Font_ = font;
    }

    HWND Window_ = nullptr, Parent_ = nullptr;
    RECT Area_{};
    HFONT Font_ = nullptr;
    const char* Face_ = "Arial";
    double Points_ = 8.25;
    bool Bold_ = false, Fits_ = false;
    int DpiY_ = 96, Width_ = 0;
    std::string Text_;
};

// The file line, drawn by the window over the bar.
class FileLine : public ViewLabel {
public:
    void SetText(const std::string& text, TextSpan shorten) override {
        if (text == Text_ && shorten.Start == Span_.Start && shorten.Length == Span_.Length)
            return;
        Text_ = text;
        Span_ = shorten;
        ::InvalidateRect(Window, &Area, TRUE);
    }
    std::string Text() const override { return Text_; }

    // What fits the line: when the whole text does not, the middle of its
    // shortened part gives way to "...".
    std::string Shown(HFONT font) const {
        const std::string whole = AnsiOf(Text_);
        const int width = Area.right - Area.left;
        if (Span_.Length == 0 || TextWidth(font, whole) <= width)
            return whole;
        const size_t start = std::min(Span_.Start, Text_.size());
        const size_t length = std::min(Span_.Length, Text_.size() - start);
        const std::string before = AnsiOf(Text_.substr(0, start));
        const std::string part = AnsiOf(Text_.substr(start, length));
        const std::string after = AnsiOf(Text_.substr(start + length));
        for (size_t keep = part.size(); keep-- > 0;) {
            const std::string shortened =
                part.substr(0, (keep + 1) / 2) + "..." + part.substr(part.size() - keep / 2);
            if (TextWidth(font, before + shortened + after) <= width || keep == 0)
                return before + shortened + after;
        }
        return whole;
    }

    HWND Window = nullptr;
    RECT Area{};

private:
    std::string Text_;
    TextSpan Span_;
};

class PushButton : public ViewButton {
public:
    void SetEnabled(bool enabled) override { ::EnableWindow(Window, enabled ? TRUE : FALSE); }
    HWND Window = nullptr;
    HFONT Font = nullptr;
};

class BarShapes : public ViewBar {
public:
    void SetFraction(double fraction) override {
        Fill = std::lround((Outline.right - Outline.left) * std::clamp(fraction, 0.0, 1.0));
        ::InvalidateRect(Window, &Outline, TRUE);
    }
    HWND Window = nullptr;
    RECT Outline{};
    long Fill = 0;
};

} // namespace

struct Win32SplashView::Controls {
    Win32SplashView* View = nullptr;
    Twips T{96, 96};
    HWND Window = nullptr;
    StaticLabel ProductName, CompanyProduct, Copyright, Platform, Warning;
    FileLine File;
    PushButton Install, Uninstall, Cancel;
    BarShapes Progress;
    HFONT LineFont = nullptr;
    WNDPROC ButtonClassProcedure = nullptr;

    ~Controls() {
        if (Window != nullptr)
            ::DestroyWindow(Window);
        for (HFONT f : {LineFont, Install.Font, Uninstall.Font, Cancel.Font})
            if (f != nullptr)
                ::DeleteObject(f);
    }

    PushButton* ButtonOf(HWND h) {
        for (PushButton* b : {&Install, &Uninstall, &Cancel})
            if (b->Window == h)
                return b;
        return nullptr;
    }

    void Paint(HDC dc) {
        HBRUSH fill = ::CreateSolidBrush(FillColour);
        RECT filled = Progress.Outline;
        filled.right = filled.left + Progress.Fill;
        ::FillRect(dc, &filled, fill);
        ::DeleteObject(fill);
        ::FrameRect(dc, &Progress.Outline, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        HGDIOBJ old = ::SelectObject(dc, LineFont);
        ::SetBkMode(dc, TRANSPARENT);
        std::string line = File.Shown(LineFont);
        RECT area = File.Area;
        ::DrawTextA(dc, line.c_str(), static_cast<int>(line.size()), &area,
                    DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        ::SelectObject(dc, old);
    }

    static Controls* Of(HWND window) {
        return reinterpret_cast<Controls*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            ::SetWindowLongPtrA(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        Controls* c = Of(window);
        if (c == nullptr)
            return ::DefWindowProcA(window, message, wParam, lParam);
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED)
                if (PushButton* b = c->ButtonOf(reinterpret_cast<HWND>(lParam)))
                    c->View->NotifyClicked(*b);
            return 0;
        case WM_CLOSE:
            if (c->View->CloseAllowed())
                ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            c->Window = nullptr;
            ::PostQuitMessage(0);
            return 0;
        case WM_CTLCOLORSTATIC:
            // The labels show the window's face through them.
            ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH));
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window, &ps);
            c->Paint(dc);
            ::EndPaint(window, &ps);
            return 0;
        }
        default:
            return ::DefWindowProcA(window, message, wParam, lParam);
        }
    }

    // The buttons take Enter as a press, and Tab and Shift+Tab move the focus
    // between them in their order.
    static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
        Controls* c = Of(::GetParent(button));
        if (message == WM_KEYDOWN && wParam == VK_RETURN) {
            ::SendMessageA(button, BM_CLICK, 0, 0);
            return 0;
        }
        if (message == WM_KEYDOWN && wParam == VK_TAB) {
            const bool back = ::GetKeyState(VK_SHIFT) < 0;
            HWND order[] = {c->Install.Window, c->Uninstall.Window, c->Cancel.Window};
            int at = 0;
            while (at < 3 && order[at] != button)
                ++at;
            for (int step = 1; step <= 3; ++step) {
                HWND next = order[(at + (back ? 3 - step : step)) % 3];
                if (::IsWindowEnabled(next)) {
                    ::SetFocus(next);
                    break;
                }
            }
            return 0;
        }
        if (message == WM_CHAR && (wParam == '\r' || wParam == '\t'))
            return 0;
        return ::CallWindowProcA(c->ButtonClassProcedure, button, message, wParam, lParam);
    }

    void MakeButton(PushButton& b, const char* text, int id, const RECT& r, bool bold) {
        b.Window = MakeChild(Window, "BUTTON", text, BS_PUSHBUTTON | WS_TABSTOP, r, id);
        b.Font = MakeFont("MS Sans Serif", 8.25, bold, T.DpiY);
        ::SendMessageA(b.Window, WM_SETFONT, reinterpret_cast<WPARAM>(b.Font), TRUE);
        ButtonClassProcedure = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(b.Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonProc)));
    }

    void Build() {
        T = ScreenTwips();
        WNDCLASSA cls{};
        cls.lpfnWndProc = &WindowProc;
        cls.hInstance = ::GetModuleHandleA(nullptr);
        cls.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        cls.hIcon = ::LoadIconA(cls.hInstance, MAKEINTRESOURCEA(1));
        cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        cls.lpszClassName = ClassName;
        ::RegisterClassA(&cls); // fails harmlessly when already registered
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        RECT frame{0, 0, T.X(5895), T.Y(3150)};
        ::AdjustWindowRectEx(&frame, style, FALSE, 0);
        Window = ::CreateWindowExA(0, ClassName, "Ostrak Installer", style, CW_USEDEFAULT,
                                   CW_USEDEFAULT, frame.right - frame.left,
                                   frame.bottom - frame.top, nullptr, nullptr, cls.hInstance, this);
        // The header band overhangs the left, top and right edges, so only
        // its lower border shows; its labels lie over it.
        HWND band = MakeChild(Window, "STATIC", "", SS_ETCHEDFRAME, T.Rect(-120, -120, 7425, 1035));
        const auto inBand = [&](int left, int top, int width, int height) {
            return T.Rect(left - 120, top - 120, width, height);
        };
        ProductName.Make(Window, inBand(120, 120, 2160, 765), "Arial", 32.25, true, T.DpiY, true);
        CompanyProduct.Make(Window, inBand(360, 600, 3105, 435), "Arial", 18, true, T.DpiY, true);
        Copyright.Make(Window, inBand(2400, 120, 1935, 255), "Arial", 8.25, false, T.DpiY, true);
        Platform.Make(Window, inBand(4080, 360, 1665, 510), "Arial", 21.75, true, T.DpiY, true);
        ::SetWindowPos(band, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Warning.Make(Window, T.Rect(120, 960, 3855, 1695), "Arial", 8.25, false, T.DpiY, false);
        MakeButton(Install, "Install / Fix", IdCommand1, T.Rect(4200, 960, 1575, 615), true);
        MakeButton(Uninstall, "Uninstall", IdCommand2, T.Rect(4200, 1680, 1575, 615), false);
        MakeButton(Cancel, "Cancel", IdCommand3, T.Rect(4200, 2400, 1575, 615), false);
        Progress.Window = Window;
        Progress.Outline = T.Rect(120, 2760, 3885, 270);
        Progress.Fill = T.X(15);
        File.Window = Window;
        File.Area = T.Rect(120, 2775, 3885, 270);
        LineFont = MakeFont("MS Sans Serif", 8.25, false, T.DpiY);
    }
};

Win32SplashView::Win32SplashView() : C_(std::make_unique<Controls>()) {
    C_->View = this;
    C_->Build();
}

Win32SplashView::~Win32SplashView() = default;

ViewLabel& Win32SplashView::lblProductName() {
    return C_->ProductName;
}
ViewLabel& Win32SplashView::lblCompanyProduct() {
    return C_->CompanyProduct;
}
ViewLabel& Win32SplashView::lblCopyright() {
    return C_->Copyright;
}
ViewLabel& Win32SplashView::lblPlatform() {
    return C_->Platform;
}
ViewLabel& Win32SplashView::lblWarning() {
    return C_->Warning;
}
ViewLabel& Win32SplashView::Label2() {
    return C_->File;
}
ViewButton& Win32SplashView::Command1() {
    return C_->Install;
}
ViewButton& Win32SplashView::Command2() {
    return C_->Uninstall;
}
ViewButton& Win32SplashView::Command3() {
    return C_->Cancel;
}
ViewBar& Win32SplashView::Bar() {
    return C_->Progress;
}

void Win32SplashView::Show() {
    if (C_->Window == nullptr)
        return;
    ::ShowWindow(C_->Window, SW_SHOWNORMAL);
    ::UpdateWindow(C_->Window);
    ::SetFocus(C_->Install.Window);
}

void Win32SplashView::Close() {
    if (C_->Window != nullptr)
        ::SendMessageA(C_->Window, WM_CLOSE, 0, 0);
}

HWND Win32SplashView::Handle() const {
    return C_->Window;
}

} // namespace ostrak
