// keep_desktop: holds the desktop of a Wine run open until it is ended.
//
// A Windows session keeps its shell, and with it the desktop, for as long as
// it lasts. Under Wine the desktop's process (explorer.exe) is started by the
// first window a program opens and ends shortly after the last program with
// a window has gone, so that every program of a run would wait for it to
// start again, about 0.1 s each time. One hidden window that lives for the
// whole run keeps it, as the shell does on Windows. The program waits for
// messages until it is ended (stop_wine in scripts/wine-env ends it with the
// Wine server).
#include <windows.h>

int main() {
    HWND window = ::CreateWindowExA(0, "STATIC", "keep_desktop", 0, 0, 0, 0, 0, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr)
        return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    return 0;
}
