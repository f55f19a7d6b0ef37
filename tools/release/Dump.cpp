#include "Dump.h"

#include "Printable.h"
#include "ToolError.h"
#include "checksum/clsCRC.h"
#include "filelist/FileListReader.h"
#include "platform/Files.h"

#include <ostream>

namespace ostrak {

namespace {

std::string Shown(const std::string& name, bool safe) {
    return Printable(name) + (safe ? "" : "  (unsafe name)");
}

} // namespace

void DumpList(const std::string& path, std::ostream& out) {
    Files::InputFile file;
    unsigned char seed = 0;
    ErrorRecord failure;
    if (!file.Open(path, &failure) || file.Read(&seed, 1, &failure) < 0)
        throw ToolError("cannot read " + failure.Description);
    file.Close();

    FileListTable table;
    const FileListStatus status = ReadFileListFile(path, table);
    if (status != FileListStatus::Read)
        throw ToolError(path + ": not a readable release list (" + FileListStatusText(status) +
                        ")");
    out << "seed: " << int(seed) << '\n' << "count: " << int(table.EntryCount) << '\n';
    for (int i = 0; i < table.EntryCount; ++i)
        out << ChecksumText(table.EntryChecksums[i]) << ' '
            << Shown(table.EntryNames[i], IsTrue(table.EntryNameSafe[i])) << '\n';
}

} // namespace ostrak
