// window_floor: what any program with the installer's system libraries pays
// for its start and end, timed from outside (bench/install/run-wine).
//
//   window_floor         loads the libraries, shows a window with a button
//                        and a label, lets it paint, closes it and ends
//   window_floor empty   loads the libraries and ends
//
// It uses none of the installer's code: the difference to a whole installer
// run is the installer's own work.
#include <winsock2.h>

#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "empty") == 0)
        return 0;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    WSADATA sockets;
    ::WSAStartup(MAKEWORD(1, 1), &sockets);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char desktop[MAX_PATH];
    ::SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    ::timeGetTime();
    HKEY software;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software) == ERROR_SUCCESS)
        ::RegCloseKey(software);
    HINSTANCE self = ::GetModuleHandleA(nullptr);
    HWND window = ::CreateWindowExA(0, "STATIC", "window_floor", WS_OVERLAPPEDWINDOW, 100, 100, 400,
                                    300, nullptr, nullptr, self, nullptr);
    ::CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, window, nullptr,
                      self, nullptr);
    HWND label = ::CreateWindowExA(0, "STATIC", "Label", WS_CHILD | WS_VISIBLE, 10, 40, 180, 24,
                                   window, nullptr, self, nullptr);
    ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                   TRUE);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
    ::DestroyWindow(window);
    ::CoUninitialize();
    ::WSACleanup();
    return 0;
}
