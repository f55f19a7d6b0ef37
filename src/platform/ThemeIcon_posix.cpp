#include "platform/ThemeIcon.h"

#include "platform/Environment.h"
#include "platform/Files.h"

namespace ostrak {

std::string ThemeIconPath(const std::string& name, int size) {
    std::string data = EnvironmentValue("XDG_DATA_HOME").value_or("");
    if (data.empty() || data[0] != '/')
        data = Files::JoinPath(HomeFolder(), ".local/share");
    const std::string pixels = std::to_string(size);
    return Files::JoinPath(data,
                           "icons/hicolor/" + pixels + "x" + pixels + "/apps/" + name + ".png");
}

bool PlaceThemeIcon(const std::string& name, int size, std::string_view png) {
    const std::string path = ThemeIconPath(name, size);
    if (Files::Exists(path))
        return true;
    Files::AtomicFileWriter writer;
    return Files::MakeFolders(Files::ParentFolder(path)) && writer.Begin(path) &&
           writer.Write(png.data(), png.size()) && writer.Commit();
}

} // namespace ostrak
