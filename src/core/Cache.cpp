#include "core/Cache.h"

#include "core/Utglobal.h"

#include <cstdio>

namespace nrvs {

std::string CacheFileName(const DriveRecord& drive) {
    char letter = drive.RootPath.empty() ? static_cast<char>('A' + drive.Index) : drive.RootPath[0];
    return Global().ExeDir + "NRVS_" + std::string(1, letter) + ".txt";
}

void LoadCache(FolderList& list, const DriveRecord& drive) {
    LoadLines(list.Lines, CacheFileName(drive));
    list.Changed();
}

void SaveCache(const FolderList& list, const DriveRecord& drive) { SaveLines(list.Lines, CacheFileName(drive)); }

int IsCached(const DriveRecord& drive) {
    const GlobalState& g = Global();
    switch (ChoiceIndex(g.CacheMode)) {
    case 0: return 1;
    case 1:
        return (DigitAt(g.CacheKinds, 0) == 1 && drive.Removable == 1) ||
               (DigitAt(g.CacheKinds, 1) == 1 && drive.DriveType == 3) ||
               (DigitAt(g.CacheKinds, 2) == 1 && drive.DriveType == 4) ||
               (DigitAt(g.CacheKinds, 3) == 1 && drive.DriveType == 6);
    case 2: return DigitAt(g.CacheLetters, drive.Index) == 1 ? 1 : 0;
    default: return 0;
    }
}

std::string HeaderLine(std::time_t start, std::time_t end) {
    struct tm tm{};
    ::localtime_r(&start, &tm);
    long long elapsed = end > start ? static_cast<long long>(end - start) : 0;
    return FormatText("%04d/%02d/%02d %02d:%02d:%02d=%02lld:%02lld:%02lld", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, (elapsed / 3600) % 24, (elapsed / 60) % 60,
                      elapsed % 60);
}

bool HeaderStart(const std::string& header, std::time_t& start) {
    int y, mo, d, h, mi, s;
    char tail;
    if (header.size() < 19) return false;
    std::string head = header.substr(0, 19);
    if (std::sscanf(head.c_str(), "%4d/%2d/%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || y < 1900) return false;
    struct tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    start = std::mktime(&tm);
    return start != static_cast<std::time_t>(-1);
}

} // namespace nrvs
