#include "platform/Settings.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace ostrak {

namespace {

std::string g_folder;

// Section and key as one QSettings key. QSettings escapes what an INI file
// cannot hold (the space of "GUI Settings" is stored as %20) and reads it
// back unchanged.
QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

QString FileOf(const std::string& application) {
    QString folder = g_folder.empty()
                         ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : QString::fromStdString(g_folder);
    return folder + QLatin1Char('/') + QString::fromStdString(application) + QLatin1String(".ini");
}

bool Written(QSettings& store) {
    store.sync();
    return store.status() == QSettings::NoError;
}

} // namespace

std::string SettingsFilePath(const std::string& application) {
    return FileOf(application).toStdString();
}

void SetSettingsFolder(const std::string& folder) {
    g_folder = folder;
}

std::string GetSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
    QSettings store(FileOf(application), QSettings::IniFormat);
    QVariant value = store.value(KeyOf(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", ")).toStdString();
    return value.toString().toStdString();
}

bool SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                 const std::string& value) {
    QSettings store(FileOf(application), QSettings::IniFormat);
    store.setValue(KeyOf(section, key), QString::fromStdString(value));
    return Written(store);
}

bool DeleteSetting(const std::string& application, const std::string& section) {
    QSettings store(FileOf(application), QSettings::IniFormat);
    store.remove(QString::fromStdString(section));
    return Written(store);
}

bool RemoveEmptySettings(const std::string& application) {
    const QString path = FileOf(application);
    if (!QSettings(path, QSettings::IniFormat).allKeys().isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.readAll().trimmed().isEmpty())
        return false;
    file.close();
    return QFile::remove(path);
}

bool DeleteSetting(const std::string& application, const std::string& section,
                   const std::string& key) {
    QSettings store(FileOf(application), QSettings::IniFormat);
    store.remove(KeyOf(section, key));
    return Written(store);
}

} // namespace ostrak
