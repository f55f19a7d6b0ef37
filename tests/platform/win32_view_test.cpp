// The installer's window and dialogs on Win32, under Wine and Xvfb: the
// layout through the screen's dpi, fitting header labels, the buttons and
// the close request, and the dialogs answered as a user would.
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32SplashView.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ostrak {
namespace {

struct Owner : SplashViewOwner {
    std::vector<const ViewButton*> Clicked;
    bool AllowClose = false;
    void ButtonClicked(const ViewButton& button) override { Clicked.push_back(&button); }
    bool CloseRequested() override { return AllowClose; }
};

HWND ChildWithText(HWND window, const std::string& text) {
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char buffer[256] = {};
        ::GetWindowTextA(child, buffer, sizeof buffer);
        if (text == buffer)
            return child;
    }
    return nullptr;
}

int Dpi(int index) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, index);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(Win32View, DesignedSizeAndFittingHeaderLabels) {
    Win32SplashView view;
    RECT client{};
    ASSERT_TRUE(::GetClientRect(view.Handle(), &client));
    EXPECT_EQ(client.right, ::MulDiv(5895, Dpi(LOGPIXELSX), 1440));
    EXPECT_EQ(client.bottom, ::MulDiv(3150, Dpi(LOGPIXELSY), 1440));
    const std::string text = "Copyright \xC2\xA9 a company with a very long name indeed";
    view.lblCopyright().SetText(text);
    EXPECT_EQ(view.lblCopyright().Text(), text);
    HWND label =
        ChildWithText(view.Handle(), "Copyright \xA9 a company with a very long name indeed");
    ASSERT_NE(label, nullptr);
    RECT area{};
    ::GetClientRect(label, &area);
    HDC dc = ::GetDC(label);
    ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32A(dc, "Copyright \xA9 a company with a very long name indeed", 49, &size);
    ::ReleaseDC(label, dc);
    EXPECT_LE(size.cx, area.right) << "the font shrank until the text fits";
}

TEST(Win32View, EnterPressesTheFocusedButtonAndCloseAsksTheOwner) {
    Win32SplashView view;
    Owner owner;
    view.SetOwner(&owner);
    view.Show();
    HWND uninstall = ChildWithText(view.Handle(), "Uninstall");
    ASSERT_NE(uninstall, nullptr);
    ::SendMessageA(uninstall, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageA(ChildWithText(view.Handle(), "Cancel"), BM_CLICK, 0, 0);
    ASSERT_EQ(owner.Clicked.size(), 2u);
    EXPECT_EQ(owner.Clicked[0], &view.Command2());
    EXPECT_EQ(owner.Clicked[1], &view.Command3());
    view.Command1().SetEnabled(false);
    EXPECT_FALSE(::IsWindowEnabled(ChildWithText(view.Handle(), "Install / Fix")));
    view.Close();
    EXPECT_TRUE(::IsWindow(view.Handle())) << "refused";
    owner.AllowClose = true;
    HWND window = view.Handle();
    view.Close();
    EXPECT_FALSE(::IsWindow(window));
}

// Answers the next dialog with the button id once it is up, and notes the
// width of its text field (0: none).
UINT_PTR g_answer = 0;
int g_fieldWidth = 0;
void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ::FindWindowA("#32770", nullptr);
    if (dialog == nullptr)
        return;
    ::KillTimer(nullptr, timer);
    RECT field{};
    HWND edit = ::FindWindowExA(dialog, nullptr, "Edit", nullptr);
    g_fieldWidth = edit != nullptr && ::GetWindowRect(edit, &field) ? field.right - field.left : 0;
    ::PostMessageA(dialog, WM_COMMAND, g_answer, 0);
}

TEST(Win32Dialogs, AnswersAreTheSystemsAndTheInputBoxKeepsItsDefault) {
    Win32Dialogs dialogs;
    g_answer = IDNO;
    ::SetTimer(nullptr, 0, 50, Answer);
    EXPECT_EQ(dialogs.MsgBox("Continue?", MB_YESNO | MB_ICONQUESTION, "Ostrak"), IDNO);
    g_answer = IDOK;
    ::SetTimer(nullptr, 0, 50, Answer);
    EXPECT_EQ(dialogs.InputBox("Folder:", "Ostrak", "C:\\Games\\Ostrak \xC3\xA9"),
              "C:\\Games\\Ostrak \xC3\xA9");
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    EXPECT_GE(g_fieldWidth, ::MulDiv(450, dpi, 96)); // a long path fits
    g_answer = IDCANCEL;
    ::SetTimer(nullptr, 0, 50, Answer);
    EXPECT_EQ(dialogs.InputBox("Folder:", "Ostrak", "C:\\Games"), "");
}

} // namespace
} // namespace ostrak
