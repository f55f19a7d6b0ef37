#include "Dump.h"

#include "ToolError.h"
#include "installer/filelist/Crc32Padding.h"
#include "installer/filelist/FileListReader.h"
#include "platform/Files.h"

#include <cstdio>
#include <ostream>

namespace {

std::string Shown(const std::string& name, bool safe) {
    if (safe)
        return name;
    std::string shown;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127 || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            shown += hex;
        } else {
            shown += c;
        }
    }
    return shown + "  (unsafe name)";
}

} // namespace

void DumpList(const std::string& path, std::ostream& out) {
    Files::InputFile file;
    unsigned char seed = 0;
    if (!file.Open(path) || file.Read(&seed, 1) < 0)
        throw ToolError(path + ": cannot be read");
    file.Close();

    FileListTable table;
    const FileListStatus status = ReadFileListFile(path, table);
    if (status != FileListStatus::Read)
        throw ToolError(path + ": not a readable release list (" + FileListStatusText(status) +
                        ")");
    out << "seed: " << int(seed) << '\n' << "count: " << int(table.EntryCount) << '\n';
    for (int i = 0; i < table.EntryCount; ++i)
        out << Crc32Text(static_cast<uint32_t>(table.EntryChecksums[i])) << ' '
            << Shown(table.EntryNames[i], IsTrue(table.EntryNameSafe[i])) << '\n';
}
