#include "platform/win32/Win32Dialogs.h"

#include "platform/win32/WinText.h"

#include <vector>

namespace ostrak {

namespace {

constexpr int IdPrompt = 100;
constexpr int IdField = 101;

// The input box's layout in dialog units.
constexpr short BoxWidth = 280, BoxHeight = 96;

// A dialog template in memory: DLGTEMPLATE, then per item DLGITEMTEMPLATE,
// each aligned to 4 bytes, with their class, title and creation data.
class Template {
public:
    Template(const std::string& title, short width, short height) {
        DLGTEMPLATE head{};
        head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
        head.cx = width;
        head.cy = height;
        Append(&head, sizeof head);
        Word(0); // no menu
        Word(0); // the standard class
        Text(title);
        Word(8);
        Text("MS Shell Dlg");
    }

    void Item(WORD atom, const std::string& text, int id, DWORD style, short x, short y, short cx,
              short cy) {
        Align();
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = static_cast<WORD>(id);
        Append(&item, sizeof item);
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0); // no creation data
        reinterpret_cast<DLGTEMPLATE*>(Bytes_.data())->cdit++;
    }

    const DLGTEMPLATE* Data() { return reinterpret_cast<const DLGTEMPLATE*>(Bytes_.data()); }

private:
    void Append(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        Bytes_.insert(Bytes_.end(), b, b + n);
    }
    void Word(WORD w) { Append(&w, sizeof w); }
    // Dialog templates hold their texts in UTF-16.
    void Text(const std::string& ansi) {
        const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
        std::vector<wchar_t> wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), n);
        Append(wide.data(), wide.size() * sizeof(wchar_t));
    }
    void Align() {
        while (Bytes_.size() % 4 != 0)
            Bytes_.push_back(0);
    }

    std::vector<unsigned char> Bytes_;
};

struct InputState {
    std::string Default;
    std::string Answer;
};

// Moves a child by dx and widens it by grow pixels.
void Shift(HWND dialog, int id, int dx, int grow) {
    HWND item = ::GetDlgItem(dialog, id);
    RECT r{};
    ::GetWindowRect(item, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    ::SetWindowPos(item, nullptr, r.left + dx, r.top, r.right - r.left + grow, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// The field holds a long folder path: at least 450 pixels at 96 dpi, as many
// more as the screen's dpi asks. Dialog units follow the font, which may be
// narrower than that; the box then grows by the difference and stays centred.
void WidenField(HWND dialog) {
    RECT field{};
    ::GetWindowRect(::GetDlgItem(dialog, IdField), &field);
    HDC dc = ::GetDC(dialog);
    const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc != nullptr)
        ::ReleaseDC(dialog, dc);
    const int grow = ::MulDiv(450, dpi, 96) - (field.right - field.left);
    if (grow <= 0)
        return;
    Shift(dialog, IdField, 0, grow);
    Shift(dialog, IdPrompt, 0, grow);
    Shift(dialog, IDOK, grow, 0);
    Shift(dialog, IDCANCEL, grow, 0);
    RECT box{};
    ::GetWindowRect(dialog, &box);
    ::SetWindowPos(dialog, nullptr, box.left - grow / 2, box.top, box.right - box.left + grow,
                   box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK InputProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<InputState*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        state = reinterpret_cast<InputState*>(lParam);
        WidenField(dialog);
        ::SetDlgItemTextA(dialog, IdField, state->Default.c_str());
        ::SendDlgItemMessageA(dialog, IdField, EM_SETSEL, 0, -1);
        ::SetFocus(::GetDlgItem(dialog, IdField));
        return FALSE; // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            const int n = ::GetWindowTextLengthA(::GetDlgItem(dialog, IdField));
            std::string text(static_cast<size_t>(n) + 1, '\0');
            ::GetDlgItemTextA(dialog, IdField, text.data(), n + 1);
            text.resize(static_cast<size_t>(n));
            state->Answer = text;
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

HWND Win32Dialogs::Owner() const {
    return Owner_ != nullptr && ::IsWindow(Owner_) && ::IsWindowVisible(Owner_) ? Owner_ : nullptr;
}

int32_t Win32Dialogs::MsgBox(const std::string& text, int32_t style, const std::string& title) {
    // The buttons, icon and default-button bits are the MB_ values, and the
    // answers (IDOK 1 ... IDNO 7) the classic ones.
    return ::MessageBoxA(Owner(), AnsiOf(text).c_str(), AnsiOf(title).c_str(),
                         static_cast<UINT>(style));
}

std::string Win32Dialogs::InputBox(const std::string& prompt, const std::string& title,
                                   const std::string& defaultText) {
    Template t(AnsiOf(title), BoxWidth, BoxHeight);
    t.Item(0x0082, AnsiOf(prompt), IdPrompt, SS_LEFT, 7, 7, 206, 56);
    t.Item(0x0080, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 223, 7, 50, 14);
    t.Item(0x0080, "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 223, 25, 50, 14);
    t.Item(0x0081, "", IdField, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 72, 266, 14);
    InputState state{AnsiOf(defaultText), ""};
    const INT_PTR answer = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), t.Data(), Owner(),
                                                     InputProc, reinterpret_cast<LPARAM>(&state));
    return answer == IDOK ? Utf8OfAnsi(state.Answer) : "";
}

} // namespace ostrak
