// ostrak_install: shows the installer window. Takes no command-line
// arguments (the toolkit's own, such as -platform, still work).
#include "installer/BuildConfig.h"
#include "installer/frmSplash.h"
#include "platform/TerminationCleanup.h"
#include "platform/widgets/QtDialogs.h"
#include "platform/widgets/QtSplashView.h"
#include "runtime/Program.h"

#include <QApplication>

using namespace ostrak;

int main(int argc, char** argv) {
    Files::RemoveTemporariesOnTermination();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrak Installer"));
    QApplication::setApplicationVersion(QStringLiteral(OSTRAK_VERSION_TEXT));

    QtDialogs dialogs;
    SetDialogBackend(&dialogs);
    QtSplashView view;
    SetSplashView(&view);

    frmSplash window;
    window.Form_Load();
    if (ProgramEnded())
        return 0;
    window.View().Show();
    return QApplication::exec();
}
