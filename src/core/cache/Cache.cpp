#include "core/cache/Cache.h"

#include "core/cache/FolderMerge.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"

#include <array>
#include <cstdio>

namespace nrvs {

std::string CacheFileName(const DriveRecord& drive) {
    char letter = drive.RootPath.empty() ? static_cast<char>('A' + drive.Index) : drive.RootPath[0];
    return platform::ProgramFileFolders().Data + "NRVS_" + std::string(1, letter) + ".txt";
}

namespace {
// The version of each drive's cache file this process has in hand.
std::string& KnownStamp(const DriveRecord& drive) {
    static std::array<std::string, 26> stamps;
    const std::string name = CacheFileName(drive);
    const char letter = name[name.size() - 5];
    return stamps[static_cast<size_t>(letter >= 'A' && letter <= 'Z' ? letter - 'A' : 0)];
}
} // namespace

void LoadCache(FolderList& list, const DriveRecord& drive) {
    const std::string name = CacheFileName(drive);
    // Taken before reading: a save in between makes the stamp older than the
    // lines, which only costs a merge that was not needed.
    KnownStamp(drive) = platform::FileStamp(name);
    list.Load(name);
}

bool SaveCache(const FolderList& list, const DriveRecord& drive, std::string* why) {
    const std::string name = CacheFileName(drive);
    if (!list.Save(name)) {
        if (why) *why = name + ": " + platform::LastWriteError();
        return false;
    }
    KnownStamp(drive) = platform::FileStamp(name);
    return true;
}

std::string CacheHeaderLine(const DriveRecord& drive) {
    return HeaderLineOf(CacheFileName(drive));
}

std::string HeaderLineOf(const std::string& nativePath) {
    std::string head;
    if (!platform::ReadFileStart(nativePath, 256, head)) return {};
    const size_t end = head.find_first_of("\r\n");
    if (end == std::string::npos) return {};
    head.resize(end);
    std::time_t start = 0;
    return HeaderStart(head, start) ? head : std::string();
}

std::string CacheLockName(const DriveRecord& drive) {
    return CacheFileName(drive) + ".lock";
}

bool CacheChangedOnDisk(const DriveRecord& drive) {
    return platform::FileStamp(CacheFileName(drive)) != KnownStamp(drive);
}

bool IsHeaderLine(std::string_view line) {
    std::string_view path;
    if (PathOfLine(line, path)) return false;
    const bool drivePath =
        line.size() >= 3 && line[1] == ':' && line[2] == '\\' &&
        ((line[0] >= 'A' && line[0] <= 'Z') || (line[0] >= 'a' && line[0] <= 'z'));
    return !drivePath;
}

bool MergeIntoCache(const DriveRecord& drive, std::string_view below, std::string_view header,
                    StringList& fresh, std::string* why, StringList* replaced) {
    const std::string name = CacheFileName(drive);
    MergeExtras extras;
    extras.UpdateParents = true;
    extras.Replaced = replaced;
    if (!MergeIntoFile(name, below, header, fresh, why, &extras)) return false;
    KnownStamp(drive) = platform::FileStamp(name);
    return true;
}

bool ChangeFolderLinesInCache(const DriveRecord& drive, std::vector<FolderLineChange>& changes,
                              std::string* why) {
    const std::string name = CacheFileName(drive);
    if (!ChangeFolderLines(name, changes, why)) return false;
    KnownStamp(drive) = platform::FileStamp(name);
    return true;
}

int IsCached(const DriveRecord& drive) {
    const GlobalState& g = Global();
    switch (ChoiceIndex(g.CacheMode)) {
    case 0:
        return 1;
    case 1:
        return (DigitAt(g.CacheKinds, 0) == 1 && drive.Removable == 1) ||
               (DigitAt(g.CacheKinds, 1) == 1 && drive.DriveType == 3) ||
               (DigitAt(g.CacheKinds, 2) == 1 && drive.DriveType == 4) ||
               (DigitAt(g.CacheKinds, 3) == 1 && drive.DriveType == 6);
    case 2:
        return DigitAt(g.CacheLetters, drive.Index) == 1 ? 1 : 0;
    default:
        return 0;
    }
}

std::string HeaderLine(std::time_t start, std::time_t end) {
    struct tm tm {};
    platform::LocalTime(start, tm);
    long long elapsed = end > start ? static_cast<long long>(end - start) : 0;
    return FormatText("%04d/%02d/%02d %02d:%02d:%02d=%02lld:%02lld:%02lld", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                      (elapsed / 3600) % 24, (elapsed / 60) % 60, elapsed % 60);
}

std::string NewHeaderLine(std::time_t start, std::time_t end) {
    return HeaderLine(start, end) + " " + platform::RandomSuffix();
}

std::string HeaderDuration(const std::string& header) {
    const size_t equals = header.find('=');
    if (equals == std::string::npos) return {};
    const size_t from = equals + 1;
    return header.substr(from, header.find(' ', from) - from);
}

namespace {
bool HeaderFields(const std::string& header, struct tm& tm) {
    int y, mo, d, h, mi, s;
    char tail;
    if (header.size() < 19) return false;
    std::string head = header.substr(0, 19);
    if (std::sscanf(head.c_str(), "%4d/%2d/%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
        6)
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
        s > 60 || y < 1900)
        return false;
    tm = {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return true;
}

// Seconds of a local date and time counted as if every day had 24 hours, so
// that differences are in calendar days whatever the clock changes between.
long long CivilSeconds(const struct tm& tm) {
    // Days from 1970-01-01 of the proleptic Gregorian calendar.
    long long y = tm.tm_year + 1900LL;
    const unsigned m = static_cast<unsigned>(tm.tm_mon + 1);
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy =
        (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(tm.tm_mday) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + static_cast<long long>(doe) - 719468;
    return days * 86400 + tm.tm_hour * 3600LL + tm.tm_min * 60LL + tm.tm_sec;
}
} // namespace

bool HeaderStart(const std::string& header, std::time_t& start) {
    struct tm tm {};
    if (!HeaderFields(header, tm)) return false;
    start = std::mktime(&tm);
    return start != static_cast<std::time_t>(-1);
}

bool HeaderAgeDays(const std::string& header, std::time_t now, long long& days) {
    struct tm then {};
    if (!HeaderFields(header, then)) return false;
    struct tm today {};
    if (!platform::LocalTime(now, today)) return false;
    // Truncated toward zero, like the whole days of a date difference.
    days = (CivilSeconds(today) - CivilSeconds(then)) / 86400;
    return true;
}

} // namespace nrvs
