// ostrak_install.exe: shows the installer window. Takes no command-line
// arguments.
#include "installer/frmSplash.h"
#include "platform/TerminationCleanup.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32SplashView.h"
#include "runtime/Program.h"

#include <commctrl.h>
#include <windows.h>

using namespace ostrak;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Files::RemoveTemporariesOnTermination();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    Win32Dialogs dialogs;
    SetDialogBackend(&dialogs);
    Win32SplashView view;
    SetSplashView(&view);

    frmSplash window;
    dialogs.SetOwner(view.Handle());
    window.Form_Load();
    if (ProgramEnded())
        return 0;
    window.View().Show();
    // Until the window is closed (or the program ends from inside a handler).
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
