#include "platform/DesktopEntry.h"

#include <QString>

namespace ostrak {

std::string QuotedExecArgument(const std::string& argument) {
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    out += '"';
    return out;
}

std::string EscapeStringValue(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\')
            out += "\\\\";
        else if (value[i] == ' ' && i == 0)
            out += "\\s";
        else
            out += value[i];
    }
    return out;
}

bool FitsDesktopEntry(const std::string& value) {
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7F)
            return false;
    // Invalid sequences do not survive the round trip (they decode to U+FFFD).
    const QByteArray bytes = QByteArray::fromStdString(value);
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

std::string ApplicationEntryText(const std::string& name, const std::string& exec,
                                 const std::string& folder, const std::string& icon,
                                 const std::string& comment) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=" +
                       EscapeStringValue(name) + "\n";
    if (!comment.empty())
        text += "Comment=" + EscapeStringValue(comment) + "\n";
    if (!icon.empty())
        text += "Icon=" + EscapeStringValue(icon) + "\n";
    text += "Exec=" + EscapeStringValue(exec) + "\n";
    if (!folder.empty())
        text += "Path=" + EscapeStringValue(folder) + "\n";
    text += "Terminal=false\n"
            "Categories=Game;\n";
    return text;
}

} // namespace ostrak
