#include "platform/Process.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace ostrak {

std::string ExecutableBaseName() {
    QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty() && !QCoreApplication::arguments().isEmpty())
        path = QCoreApplication::arguments().first();
    return QFileInfo(path).completeBaseName().toStdString();
}

} // namespace ostrak
