#include "platform/DesktopFolder.h"

#include "platform/Files.h"

#include <QFile>
#include <QStandardPaths>

namespace ostrak {

std::string DesktopFolder() {
    const QString location = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (location.isEmpty())
        return "";
    std::string path = QFile::encodeName(location).toStdString();
    if (!Files::IsDirectory(path))
        return "";
    if (path.back() != Files::Separator())
        path += Files::Separator();
    return path;
}

} // namespace ostrak
