#include "core/Cache.h"

#include "core/Utglobal.h"
#include "platform/Pexe.h"
#include "platform/Pfile.h"

#include "platform/Ppath.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

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
    LoadLines(list.Lines, name);
    list.Changed();
}

bool SaveCache(const FolderList& list, const DriveRecord& drive, std::string* why) {
    const std::string name = CacheFileName(drive);
    if (!SaveLines(list.Lines, name)) {
        if (why) *why = name + ": " + platform::LastWriteError();
        return false;
    }
    KnownStamp(drive) = platform::FileStamp(name);
    return true;
}

std::string CacheHeaderLine(const DriveRecord& drive) {
    std::string head;
    if (!platform::ReadFileStart(CacheFileName(drive), 256, head)) return {};
    const size_t end = head.find_first_of("\r\n");
    if (end == std::string::npos) return {};
    head.resize(end);
    std::time_t start = 0;
    return HeaderStart(head, start) ? head : std::string();
}

std::string CacheLockName(const DriveRecord& drive) { return CacheFileName(drive) + ".lock"; }

bool CacheChangedOnDisk(const DriveRecord& drive) {
    return platform::FileStamp(CacheFileName(drive)) != KnownStamp(drive);
}

bool IsHeaderLine(std::string_view line) {
    std::string_view path;
    if (PathOfLine(line, path)) return false;
    const bool drivePath = line.size() >= 3 && line[1] == ':' && line[2] == '\\' &&
                           ((line[0] >= 'A' && line[0] <= 'Z') || (line[0] >= 'a' && line[0] <= 'z'));
    return !drivePath;
}

namespace {
// The lines of a text as the string-list reader splits them (CR LF, LF or a
// lone CR ends a line; no line after the last end), as views into it.
// crlfOnly: every line ends in CR LF, so runs of lines can be copied as the
// bytes they are.
void SplitLines(std::string_view text, std::vector<std::string_view>& lines, bool& crlfOnly) {
    lines.clear();
    crlfOnly = true;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    while (p < end) {
        // memchr is many times faster than a loop over both end characters:
        // look for the LF, then check for a lone CR in the line.
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* stop = lf ? lf : end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
        if (cr && cr + 1 != lf) {
            // A CR that is not just before the LF ends the line alone.
            lines.emplace_back(p, static_cast<size_t>(cr - p));
            crlfOnly = false;
            p = cr + 1;
            continue;
        }
        const char* lineEnd = cr ? cr : stop;
        lines.emplace_back(p, static_cast<size_t>(lineEnd - p));
        if (!cr) crlfOnly = false;  // LF alone, or no end at all
        p = lf ? lf + 1 : end;
    }
}

bool Less(std::string_view a, std::string_view b) { return platform::LessIgnoreCase(a, b); }

// Bytes on their way to a file in chunks large enough to keep the calls few;
// long runs go through without a copy.
class ChunkWriter {
public:
    explicit ChunkWriter(const std::function<bool(std::string_view)>& put) : put_(put) { buffer_.reserve(kChunk); }
    void Line(std::string_view line) {
        Raw(line);
        Raw("\r\n");
    }
    void Raw(std::string_view bytes) {
        if (bytes.size() >= kChunk / 4) {
            Flush();
            if (ok_) ok_ = put_(bytes);
            return;
        }
        if (buffer_.size() + bytes.size() > kChunk) Flush();
        buffer_.append(bytes);
    }
    bool Finish() {
        Flush();
        return ok_;
    }

private:
    void Flush() {
        if (!buffer_.empty() && ok_) ok_ = put_(buffer_);
        buffer_.clear();
    }
    static constexpr size_t kChunk = size_t{1} << 18;
    const std::function<bool(std::string_view)>& put_;
    std::string buffer_;
    bool ok_ = true;
};

bool UnderFolder(std::string_view line, std::string_view below) {
    if (line.size() < below.size() || std::memcmp(line.data(), below.data(), below.size()) != 0) return false;
    std::string_view path;
    return PathOfLine(line, path) && path.size() >= below.size();
}
} // namespace

bool MergeFolderLines(std::string_view text, std::string_view below, std::string_view header, StringList& fresh,
                      const std::function<bool(std::string_view)>& put) {
    std::vector<std::string_view> lines;
    bool crlfOnly = true;
    SplitLines(text, lines, crlfOnly);
    size_t first = !lines.empty() && IsHeaderLine(lines[0]) ? 1 : 0;
    std::stable_sort(fresh.begin(), fresh.end(), [](const std::string& a, const std::string& b) { return Less(a, b); });
    ChunkWriter out(put);
    out.Line(header);
    bool sorted = true;
    for (size_t i = first + 1; i < lines.size() && sorted; ++i) sorted = !Less(lines[i], lines[i - 1]);
    if (!sorted) {
        // Out of order: what a full sort of the kept and the new lines gives.
        std::vector<std::string_view> all;
        all.reserve(lines.size() + fresh.size());
        for (size_t i = first; i < lines.size(); ++i)
            if (!UnderFolder(lines[i], below)) all.push_back(lines[i]);
        for (const std::string& line : fresh) all.push_back(line);
        std::stable_sort(all.begin(), all.end(), Less);
        for (std::string_view line : all) out.Line(line);
        return out.Finish();
    }
    // The kept lines are in order, so each new line goes after the last kept
    // line that is not greater: upper_bound over all lines (the lines that
    // go are in order too, which keeps the search valid). The new lines come
    // sorted, so every search starts where the last one ended.
    size_t next = first;  // the next line of text not yet written
    // Writes lines [next, to) less those that go, as runs of bytes.
    auto keep = [&](size_t to) {
        while (next < to) {
            if (UnderFolder(lines[next], below)) {
                ++next;
                continue;
            }
            size_t run = next + 1;
            while (run < to && !UnderFolder(lines[run], below)) ++run;
            if (crlfOnly) {
                const char* from = lines[next].data();
                const char* until = lines[run - 1].data() + lines[run - 1].size() + 2;
                out.Raw(std::string_view(from, static_cast<size_t>(until - from)));
            } else {
                for (size_t i = next; i < run; ++i) out.Line(lines[i]);
            }
            next = run;
        }
    };
    for (const std::string& line : fresh) {
        const auto at = std::upper_bound(lines.begin() + static_cast<std::ptrdiff_t>(next), lines.end(),
                                         std::string_view(line), Less);
        keep(static_cast<size_t>(at - lines.begin()));
        out.Line(line);
    }
    keep(lines.size());
    return out.Finish();
}

bool MergeIntoCache(const DriveRecord& drive, std::string_view below, std::string_view header, StringList& fresh,
                    std::string* why) {
    const std::string name = CacheFileName(drive);
    std::string text;
    // A missing or unreadable cache reads as empty, as LoadCache reads it.
    if (!platform::ReadWholeFile(name, text)) text.clear();
    const bool ok = platform::ReplaceFileStreamed(name, [&](const platform::PutBytes& put) {
        return MergeFolderLines(text, below, header, fresh, put);
    });
    if (!ok) {
        if (why) *why = name + ": " + platform::LastWriteError();
        return false;
    }
    KnownStamp(drive) = platform::FileStamp(name);
    return true;
}

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

namespace {
bool HeaderFields(const std::string& header, struct tm& tm) {
    int y, mo, d, h, mi, s;
    char tail;
    if (header.size() < 19) return false;
    std::string head = header.substr(0, 19);
    if (std::sscanf(head.c_str(), "%4d/%2d/%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 60 ||
        y < 1900)
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
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(tm.tm_mday) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + static_cast<long long>(doe) - 719468;
    return days * 86400 + tm.tm_hour * 3600LL + tm.tm_min * 60LL + tm.tm_sec;
}
} // namespace

bool HeaderStart(const std::string& header, std::time_t& start) {
    struct tm tm{};
    if (!HeaderFields(header, tm)) return false;
    start = std::mktime(&tm);
    return start != static_cast<std::time_t>(-1);
}

bool HeaderAgeDays(const std::string& header, std::time_t now, long long& days) {
    struct tm then{};
    if (!HeaderFields(header, then)) return false;
    struct tm today{};
    if (!::localtime_r(&now, &today)) return false;
    // Truncated toward zero, like the whole days of a date difference.
    days = (CivilSeconds(today) - CivilSeconds(then)) / 86400;
    return true;
}

} // namespace nrvs
