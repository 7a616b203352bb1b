#include "core/GoneFiles.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/GlobalState.h"

namespace nrvs {

bool ForgetInFileIndex(const std::string& programPath) {
    if (programPath.size() < 4 || programPath[1] != ':') return false;
    const char letter = static_cast<char>(
        programPath[0] >= 'a' && programPath[0] <= 'z' ? programPath[0] - 32 : programPath[0]);
    if (letter < 'A' || letter > 'Z') return false;
    const DriveRecord* drive = Global().Drives.ByLetter(letter - 'A');
    if (!drive) return false;
    DriveRecord named = *drive;
    named.RootPath = std::string(1, letter) + ":\\";
    const std::string header = CacheHeaderLine(named);
    if (header.empty()) return false;
    const std::string path = std::string(1, letter) + programPath.substr(1);
    const std::string index = FileIndexName(letter);
    // A folder's path from a list row comes without its backslash.
    if (path.back() != '\\' && MarkGoneInIndex(index, nullptr, path, header)) return true;
    return MarkGoneInIndex(index, nullptr, path.back() == '\\' ? path : path + "\\", header);
}

} // namespace nrvs
