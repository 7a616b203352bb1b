#include "core/exchange/Ncdu.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/cache/Folders.h"
#include "core/GlobalState.h"
#include "lib/SettingsLines.h"
#include "platform/ProgramLocation.h"
#include "platform/Drives.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <string>

namespace nrvs {

namespace P = platform;

// ---- import information ----

std::string ImportInfoName(char letter) {
    return platform::ProgramFileFolders().Data + "NRVS_" + std::string(1, letter) + ".imp";
}

namespace {
bool ParseWhole(const std::string& text, int64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    out = text[0] == '-' ? -v : v;
    return true;
}
} // namespace

ImportInfo ReadImportInfo(char letter) {
    ImportInfo info;
    if (letter < 'A' || letter > 'Z') return info;
    std::string text;
    if (!P::ReadWholeFile(ImportInfoName(letter), text) || text.size() > 1 << 20) return info;
    bool marked = false, ofAnotherCache = false;
    ForEachKeyValue(text, [&](const std::string& key, const std::string& value) {
        if (key == "import")
            marked = value == "ncdu";
        else if (key == "cache") {
            // The note is the import's only while its cache is: a folder
            // given the letter later and measured replaced it.
            DriveRecord drive;
            drive.Index = letter - 'A';
            ofAnotherCache = value != CacheHeaderLine(drive);
        } else if (key == "root")
            info.Root = P::NativeName(value);
        else if (key == "host")
            info.Host = value;
        else if (key == "program")
            info.Program = value;
        else if (key == "source")
            info.Source = value;
        else if (key == "scanned")
            ParseWhole(value, info.ScanTime);
        else if (key == "imported")
            ParseWhole(value, info.ImportTime);
    });
    info.Valid = marked && !ofAnotherCache;
    return info;
}

bool IsImportedDrive(char letter) {
    return ReadImportInfo(letter).Valid;
}

} // namespace nrvs
