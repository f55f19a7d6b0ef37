// ostrak_install: shows the installer window. Takes no command-line
// arguments (the toolkit's own, such as -platform, still work).
#include "installer/frmSplash.h"
#include "platform/BuildConfig.h"
#include "platform/Program.h"
#include "platform/TerminationCleanup.h"
#include "platform/widgets/QtDialogs.h"

#include <QApplication>

int main(int argc, char** argv) {
    Files::RemoveTemporariesOnTermination();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrak Installer"));
    QApplication::setApplicationVersion(QStringLiteral(OSTRAK_VERSION_TEXT));

    QtDialogs dialogs;
    SetDialogBackend(&dialogs);

    frmSplash window;
    window.Form_Load();
    if (ProgramEnded())
        return 0;
    window.show();
    return QApplication::exec();
}
