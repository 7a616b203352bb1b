#include "core/views/FilesView.h"

#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "lib/StringList.h"
#include "core/index/FileQueries.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace nrvs {

namespace {

const char* const kKeys[3] = {"容量順", "占有量順", "更新日時順"};
const char* const kCounts[kFilesCounts] = {"Top 100", "Top 1,000", "Top 10,000"};
const size_t kTops[kFilesCounts] = {100, 1000, 10000};
const char* const kUnits[kFilesUnits] = {"バイト", "KB", "MB", "GB"};
const char* const kDates[kFilesDateModes] = {"日付の指定なし", "N 日より古い", "指定日より前",
                                             "指定日以降"};

enum Line {
    L_LEFT,
    L_TOP,
    L_WIDTH,
    L_HEIGHT,
    L_COLUMNS,
    L_KEY,
    L_COUNT,
    L_WHOLE,
    L_ONPATH,
    L_EXTENSIONS,
    L_MINSIZE,
    L_UNIT,
    L_DATEMODE,
    L_DATETEXT,
};

int IndexOr(const StringList& lines, int line, int def, int count) {
    const int v = IntAt(lines, line, def);
    return v >= 0 && v < count ? v : def;
}

std::string Trimmed(const std::string& text) {
    const size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return text.substr(a, text.find_last_not_of(" \t") - a + 1);
}

// Local midnight of "yyyy/mm/dd" (also "-" between the parts); false for a
// date that does not exist.
bool LocalMidnight(const std::string& text, int64_t& out) {
    int y = 0, m = 0, d = 0;
    char s1 = 0, s2 = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c%d%c", &y, &s1, &m, &s2, &d, &rest) != 5) return false;
    if ((s1 != '/' && s1 != '-') || s2 != s1 || y < 1970 || y > 9999 || m < 1 || m > 12 || d < 1 ||
        d > 31)
        return false;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    // mktime moves 2026/02/31 on to March: such a date was a typing slip.
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != d || tm.tm_mon != m - 1) return false;
    out = static_cast<int64_t>(t);
    return true;
}

} // namespace

std::string FilesSettingsName() {
    return SettingsFileName("big");
}

FilesSettings LoadFilesSettings(const std::string& fileName) {
    FilesSettings s;
    StringList lines;
    LoadLines(lines, fileName);
    ReadWindowPlace(lines, L_LEFT, s.Left, s.Top, s.Width, s.Height);
    std::vector<int> widths;
    if (ReadColumnWidths(LineAt(lines, L_COLUMNS, ""), kFilesColumns, widths))
        std::copy(widths.begin(), widths.end(), s.ColumnWidths.begin());
    s.KeyIndex = IndexOr(lines, L_KEY, s.KeyIndex, 3);
    s.CountIndex = IndexOr(lines, L_COUNT, s.CountIndex, kFilesCounts);
    s.WholeDrive = IntAt(lines, L_WHOLE, 0) == 1;
    s.OnPath = IntAt(lines, L_ONPATH, 0) == 1;
    s.Extensions = LineAt(lines, L_EXTENSIONS, "").substr(0, 1000);
    s.MinSize = LineAt(lines, L_MINSIZE, "").substr(0, 40);
    s.UnitIndex = IndexOr(lines, L_UNIT, s.UnitIndex, kFilesUnits);
    s.DateMode = IndexOr(lines, L_DATEMODE, s.DateMode, kFilesDateModes);
    s.DateText = LineAt(lines, L_DATETEXT, "").substr(0, 40);
    return s;
}

int SaveFilesSettings(const FilesSettings& s, const std::string& fileName) {
    StringList lines;
    PutIntAt(lines, L_LEFT, s.Left);
    PutIntAt(lines, L_TOP, s.Top);
    PutIntAt(lines, L_WIDTH, s.Width);
    PutIntAt(lines, L_HEIGHT, s.Height);
    std::string widths;
    for (int w : s.ColumnWidths)
        widths += (widths.empty() ? "" : ",") + std::to_string(w);
    PutLineAt(lines, L_COLUMNS, widths);
    PutIntAt(lines, L_KEY, s.KeyIndex);
    PutIntAt(lines, L_COUNT, s.CountIndex);
    PutIntAt(lines, L_WHOLE, s.WholeDrive ? 1 : 0);
    PutIntAt(lines, L_ONPATH, s.OnPath ? 1 : 0);
    // A line break typed into a box would shift every line after it.
    auto oneLine = [](std::string t) {
        for (char& c : t)
            if (c == '\r' || c == '\n') c = ' ';
        return t;
    };
    PutLineAt(lines, L_EXTENSIONS, oneLine(s.Extensions));
    PutLineAt(lines, L_MINSIZE, oneLine(s.MinSize));
    PutIntAt(lines, L_UNIT, s.UnitIndex);
    PutIntAt(lines, L_DATEMODE, s.DateMode);
    PutLineAt(lines, L_DATETEXT, oneLine(s.DateText));
    return SaveLines(lines, fileName);
}

const char* FilesKeyText(int index) {
    return index >= 0 && index < 3 ? kKeys[index] : "";
}
const char* FilesCountText(int index) {
    return index >= 0 && index < kFilesCounts ? kCounts[index] : "";
}
size_t FilesTopCount(int index) {
    return index >= 0 && index < kFilesCounts ? kTops[index] : kTops[0];
}
const char* FilesUnitText(int index) {
    return index >= 0 && index < kFilesUnits ? kUnits[index] : "";
}
const char* FilesDateText(int index) {
    return index >= 0 && index < kFilesDateModes ? kDates[index] : "";
}

bool ApplyFilesFilter(const FilesFilter& filter, FileQuery& query, std::string* why) {
    auto fail = [&](const char* text) {
        if (why) *why = text;
        return false;
    };
    std::vector<std::string> extensions;
    if (!Trimmed(filter.Extensions).empty() && !ParseExtensionList(filter.Extensions, extensions))
        return fail("拡張子の指定が正しくありません。「jpg, "
                    "png」のようにカンマで区切って入力してください。");
    int64_t minSize = -1;
    const std::string size = Trimmed(filter.MinSize);
    if (!size.empty()) {
        const double v = TextToFloat(size, -1);
        if (!(v >= 0) || !std::isfinite(v))
            return fail("最小サイズには 0 以上の数を入力してください。");
        const double bytes =
            std::floor(v * std::pow(1024.0, filter.UnitIndex >= 0 && filter.UnitIndex < kFilesUnits
                                                ? filter.UnitIndex
                                                : 0));
        minSize = bytes >= 9.2e18 ? INT64_MAX : static_cast<int64_t>(bytes);
    }
    int64_t before = INT64_MAX, after = INT64_MIN;
    const std::string date = Trimmed(filter.DateText);
    if (filter.DateMode == DATE_OLDER_DAYS) {
        int days = 0;
        if (!ParseInt(date, days) || days < 0 || days > 1000000)
            return fail("日数には 0 以上の整数を入力してください。");
        before = filter.Now - static_cast<int64_t>(days) * 86400;
    } else if (filter.DateMode == DATE_BEFORE || filter.DateMode == DATE_AFTER) {
        int64_t midnight = 0;
        if (!LocalMidnight(date, midnight))
            return fail("日付は「2026/12/07」の形で入力してください。");
        if (filter.DateMode == DATE_BEFORE)
            before = midnight;
        else
            after = midnight - 1; // the day itself is included
    }
    query.Extensions = std::move(extensions);
    query.MinSize = minSize;
    query.ModifiedBefore = before;
    query.ModifiedAfter = after;
    return true;
}

std::string FileTimeText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* tm = std::localtime(&t);
    if (!tm) return {};
    char text[32] = "";
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", tm);
    return text;
}

std::string HitName(const std::string& programPath) {
    std::string p = programPath;
    if (p.size() > 3 && p.back() == '\\') p.pop_back();
    const size_t cut = p.rfind('\\');
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

std::string HitFolder(const std::string& programPath) {
    std::string p = programPath;
    if (p.size() > 3 && p.back() == '\\') p.pop_back();
    const size_t cut = p.rfind('\\');
    return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

std::string FilesConfirmText(const std::string& verb, const std::vector<FileHit>& items,
                             const std::string& dest, bool useRecycleBin) {
    std::string what;
    if (items.size() == 1) {
        what = items[0].Path;
    } else {
        uint64_t total = 0;
        bool folders = false;
        for (const FileHit& h : items)
            total += h.Size, folders = folders || h.IsFolder;
        what = FormatText("%zu 個の%s (%s)", items.size(), folders ? "項目" : "ファイル",
                          FormatSizeText(static_cast<double>(total), 0).c_str());
    }
    const bool deleting = dest.empty();
    std::string text = deleting ? "削除：" + what + "　\n"
                                : verb + "元：" + what + "　\n" + verb + "先：" + dest + "　\n";
    if (items.size() > 1) {
        constexpr size_t kShown = 10;
        text += "\n";
        for (size_t i = 0; i < items.size() && i < kShown; ++i)
            text += items[i].Path + "\n";
        if (items.size() > kShown) text += FormatText("ほか %zu 個\n", items.size() - kShown);
    }
    if (deleting && !useRecycleBin)
        text += "\nごみ箱を使用しない設定のため通常の方法では復元できません。 \n";
    text += "\n実行しますか？";
    return text;
}

std::string VanishedText(const std::vector<std::string>& paths) {
    std::string text =
        "計測の後に削除または移動されたため、次の項目が見つかりません。一覧から外します。\n\n";
    constexpr size_t kShown = 15;
    for (size_t i = 0; i < paths.size() && i < kShown; ++i)
        text += paths[i] + "\n";
    if (paths.size() > kShown) text += FormatText("ほか %zu 件\n", paths.size() - kShown);
    return text;
}

} // namespace nrvs
