// ostrak_install: shows the installer window. Takes no command-line
// arguments (the toolkit's own, such as -platform, still work).
#include "installer/BuildConfig.h"
#include "installer/IconImages.h"
#include "installer/frmSplash.h"
#include "platform/Environment.h"
#include "platform/TerminationCleanup.h"
#include "platform/widgets/QtDialogs.h"
#include "platform/widgets/QtSplashView.h"
#include "platform/widgets/QtSplashWindow.h"
#include "runtime/Program.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

using namespace ostrak;

int main(int argc, char** argv) {
    Files::RemoveTemporariesOnTermination();
    ProvideRuntimeFolder();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrak Installer"));
    QApplication::setApplicationVersion(QStringLiteral(OSTRAK_VERSION_TEXT));
    // The menu entry's name and its icon, so that docks and task bars match
    // the window to the entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("ostrak-installer"));
    QIcon icon;
    for (const IconImage& image : OstrakIconImages()) {
        QPixmap pixmap;
        if (pixmap.loadFromData(reinterpret_cast<const uchar*>(image.Png.data()),
                                static_cast<uint>(image.Png.size()), "PNG"))
            icon.addPixmap(pixmap);
    }
    QApplication::setWindowIcon(icon);

    QtDialogs dialogs;
    SetDialogBackend(&dialogs);
    QtSplashView view;
    SetSplashView(&view);

    frmSplash window;
    dialogs.SetOwner(&view.Window());
    window.Form_Load();
    if (ProgramEnded())
        return 0;
    window.View().Show();
    return QApplication::exec();
}
