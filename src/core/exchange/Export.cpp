#include "core/exchange/Export.h"

#include "core/GlobalState.h"
#include "lib/BarColours.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace nrvs {

namespace {

constexpr int kTreeColumns = 25;
const char* const kLinkTail = "'target='_brank'>";

std::string SizeOf(double bytes, int unit) {
    return FormatSizeText(bytes, unit);
}

// One decimal, always with a point: the documents must not change with the
// locale the window toolkit installs.
std::string OneDecimal(double v) {
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("0.0");
}

// A percentage truncated toward zero; a tiny base can make it huge, which
// still has to be a plain number.
std::string WholePercent(double p) {
    double t = std::trunc(std::min(p, 1e15));
    return std::to_string(static_cast<long long>(t));
}

void DocumentStart(LineSink& out, const ExportContext& ctx) {
    out.Line("<!doctype html public '-//w3c//dtd html3.2//en'>");
    out.Line("<html>");
    out.Line("<head>");
    out.Line("<meta http-equiv='Content-Type' content='text/html;charset=UTF-8'>");
    out.Line("<title>Norvessa</title>");
    out.Line("</head>");
    out.Line("<body>");
    out.Line("<b>" + HtmlEscape(ctx.ComputerName) + " >> " + HtmlEscape(ctx.RootPath.substr(0, 2)) +
             " >> " + HtmlEscape(ctx.DateText) + "現在</b><br>");
    out.Line("<br>");
    out.Line("<table width=100% cellspacing=0>");
}

std::string Heading(const ExportContext& ctx) {
    return ctx.ComputerName + " >> " + ctx.RootPath.substr(0, 2) + " >> " + ctx.DateText + "現在";
}

void AppendTint(std::string& line, bool& tint) {
    line += "<tr bgcolor=";
    line += tint ? "#f0f0ff>" : "#ffffff>";
    tint = !tint;
}

void AppendLink(std::string& line, const std::string& url, const std::string& shown) {
    if (url.empty()) {
        line += HtmlEscape(shown);
        return;
    }
    line += "<a href='";
    line += url;
    line += kLinkTail;
    line += HtmlEscape(shown);
    line += "</a>";
}

// Returns the position just after the first backslash at or after from,
// skipping the trail bytes of double-byte characters.
size_t AfterBackslash(std::string_view s, size_t from) {
    for (size_t i = from; i < s.size(); ++i) {
        if (platform::IsLeadByte(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] == '\\') return i + 1;
    }
    return std::string_view::npos;
}

// Strips the trailing backslash, then one level per remaining backslash.
TreeLevelResult LevelBelow(std::string_view path, int start) {
    TreeLevelResult r;
    r.Level = start;
    std::string_view name = path.empty() ? path : path.substr(0, path.size() - 1);
    for (size_t next; (next = AfterBackslash(name, 0)) != std::string_view::npos;) {
        name.remove_prefix(next);
        ++r.Level;
    }
    r.Name = std::string(name);
    return r;
}

} // namespace

RowTints& ExportTints() {
    static RowTints tints;
    return tints;
}

const std::string& StarBar() {
    static const std::string bar(50, '*');
    return bar;
}

std::string ExportDateText() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    platform::LocalTime(now, tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

TreeLevelResult TreeLevel(std::string_view path, std::string_view rootPath) {
    if (path == rootPath) return {1, std::string(path)};
    return LevelBelow(path, 1);
}

TreeLevelResult CsvDepth(std::string_view path) {
    return LevelBelow(path, 0);
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string FileUrl(std::string_view programPath) {
    std::string native;
    if (!platform::ToNative(programPath, native) || native.empty() || native[0] != '/') return {};
    static const char* hex = "0123456789ABCDEF";
    // The unreserved characters of RFC 3986 and the separator stay as they are.
    static const auto keep = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                        (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                                        c == '_' || c == '~' || c == '/';
        return t;
    }();
    std::string url(7 + native.size() * 3, '\0');
    char* out = url.data();
    for (char ch : std::string_view("file://"))
        *out++ = ch;
    for (unsigned char c : native) {
        if (keep[c]) {
            *out++ = static_cast<char>(c);
        } else {
            *out++ = '%';
            *out++ = hex[c >> 4];
            *out++ = hex[c & 15];
        }
    }
    url.resize(static_cast<size_t>(out - url.data()));
    return url;
}

std::string CsvQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string CsvCell(std::string_view text, bool spreadsheet) {
    if (spreadsheet && !text.empty() &&
        std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
        return CsvQuoted("'" + std::string(text));
    return CsvQuoted(text);
}

std::string ListCountText(std::string_view subItem, std::string_view separator) {
    auto [a, b] = SplitNameValue(subItem);
    std::string ga = GroupedNumber(TextToFloat(a, -1), 0);
    std::string gb = GroupedNumber(TextToFloat(b, -1), 0);
    if (ga == "-1") return {};
    if (gb == "-1") return ga;
    if (gb == "-2") gb = "未計測"; // below a folder that was not measured
    return ga + std::string(separator) + gb;
}

// ---------------------------------------------------------------- HTML

void WriteTreeHtmlHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols) {
    DocumentStart(out, ctx);
    std::string head = "<tr bgcolor=navy height=20>";
    std::string widths = "<TR>";
    auto column = [&](bool on, const char* text) {
        if (!on) return;
        head += "<th><font color=white>";
        head += text;
        head += "</font><td bgcolor=white>";
        widths += "<td><td>";
    };
    column(cols.Sizes, "容量");
    column(cols.Sizes, "占有量");
    column(cols.Files, "ファイル数");
    column(cols.Folders, "フォルダ数");
    head += "<th width=50% colspan=" + std::to_string(kTreeColumns) +
            "><font color=white>フォルダ</font>";
    for (int i = 0; i < kTreeColumns; ++i)
        widths += "<td width=2%>";
    out.Line(head);
    out.Line(widths);
}

void WriteTreeHtmlRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                      const FolderRecord& r) {
    std::string line;
    line.reserve(160 + r.Path.size() * 2);
    AppendTint(line, ExportTints().Tree);
    if (cols.Sizes) {
        line += "<td align=right>" + SizeOf(r.TreeBytes, ctx.SizeUnit) + "<td>";
        line += "<td align=right>" + SizeOf(r.TreeOccupied, ctx.SizeUnit) + "<td>";
    }
    if (cols.Files)
        line += "<td align=right>" + GroupedNumber(r.OwnFiles, 0) + "/" +
                GroupedNumber(r.TreeFiles, 0) + "<td>";
    if (cols.Folders)
        line += "<td align=right>" + GroupedNumber(r.OwnFolders, 0) + "/" +
                GroupedNumber(r.TreeFolders, 0) + "<td>";
    TreeLevelResult level = TreeLevel(r.Path, ctx.RootPath);
    line += "<td colspan=" + std::to_string(level.Level) + ">";
    line += "<td colspan=" + std::to_string(kTreeColumns - level.Level) + ">";
    if (cols.Links)
        AppendLink(line, FileUrl(r.Path), level.Name);
    else
        line += HtmlEscape(level.Name);
    out.Line(line);
}

void WriteListHtmlHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols) {
    DocumentStart(out, ctx);
    std::string head = "<tr bgcolor=navy height=20><th><font "
                       "color=white>フォルダ／ファイル</font><td bgcolor=white>";
    auto column = [&](bool on, const char* text) {
        if (!on) return;
        head += "<th><font color=white>";
        head += text;
        head += "</font><td bgcolor=white>";
    };
    column(cols.Sizes, "容量");
    column(cols.Sizes, "占有量");
    head += "<th width=35%><font color=white>グラフ</font>";
    head += "<th>          <font color=white>％</font><td bgcolor=white>";
    column(cols.Files, "ファイル数");
    column(cols.Folders, "フォルダ数");
    out.Line(head);
}

void WriteListHtmlRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                      const RowFields& row, const std::string& linkBase, double percentBase) {
    std::string line;
    AppendTint(line, ExportTints().List);
    if (row.Caption.empty()) {
        line += "<td colspan=12>\u3000";
        out.Line(line);
        return;
    }
    line += "<td>";
    if (cols.Links && (row.Image == IMG_HEADER || row.Image == IMG_FOLDER)) {
        std::string target = row.Image == IMG_FOLDER ? linkBase + row.Caption + "\\" : linkBase;
        AppendLink(line, FileUrl(target), row.Caption);
    } else {
        line += HtmlEscape(row.Caption);
    }
    line += "<td>";
    const double v = TextToFloat(row.Occupied, -1);
    if (cols.Sizes) {
        line += "<td align=right>" + SizeOf(TextToFloat(row.Size, -1), ctx.SizeUnit) + "<td>";
        line += "<td align=right>" + SizeOf(v, ctx.SizeUnit) + "<td>";
    }
    if (v >= 0 && percentBase > 0) {
        const double p = v / percentBase * 100;
        line += "<td align=left>";
        if (p > 0.09) {
            char colour[8];
            std::snprintf(colour, sizeof colour, "%06X", BarColour(row.Image, 1) & 0xFFFFFFu);
            line += "<table width=" + WholePercent(p) + "% height=15><tr><td bgcolor=#" + colour +
                    "></table>";
        }
        line += "<td align=right>" + OneDecimal(p) + "%<td>";
    } else {
        line += "<td><td><td>";
    }
    if (cols.Files) line += "<td align=right>" + ListCountText(row.Files, " / ") + "<td>";
    if (cols.Folders) line += "<td align=right>" + ListCountText(row.Folders, " / ") + "<td>";
    out.Line(line);
}

void WriteHtmlFooter(LineSink& out) {
    out.Line("</table>");
    out.Line("</body>");
    out.Line("</html>");
}

// ---------------------------------------------------------------- CSV

// Starts a CSV document: the byte-order mark goes before its first line.
std::string CsvFirstLine(const ExportContext& ctx, const ExportColumns& cols) {
    return (cols.Spreadsheet ? "\xEF\xBB\xBF" : "") + Heading(ctx);
}

void WriteTreeCsvHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols) {
    out.Line(CsvFirstLine(ctx, cols));
    out.Line("");
    std::string head;
    if (cols.Sizes) head += "\"容量\",\"占有量\",";
    if (cols.Files) head += "\"ファイル数\",";
    if (cols.Folders) head += "\"フォルダ数\",";
    head += "\"フォルダ\"";
    out.Line(head);
}

void WriteTreeCsvRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                     const FolderRecord& r) {
    std::string line;
    if (cols.Sizes) {
        line += CsvCell(SizeOf(r.TreeBytes, ctx.SizeUnit), cols.Spreadsheet) + ",";
        line += CsvCell(SizeOf(r.TreeOccupied, ctx.SizeUnit), cols.Spreadsheet) + ",";
    }
    if (cols.Files)
        line += "\"" + std::to_string(r.OwnFiles) + " | " + std::to_string(r.TreeFiles) + "\",";
    if (cols.Folders)
        line += "\"" + std::to_string(r.OwnFolders) + " | " + std::to_string(r.TreeFolders) + "\",";
    TreeLevelResult depth = CsvDepth(r.Path);
    line.append(static_cast<size_t>(depth.Level), ',');
    line += CsvCell(" [-] " + depth.Name, cols.Spreadsheet);
    out.Line(line);
}

void WriteListCsvHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols) {
    out.Line(CsvFirstLine(ctx, cols));
    out.Line("");
    std::string head = "\"フォルダ／ファイル\",";
    if (cols.Sizes) head += "\"容量\",\"占有量\",";
    head += "\"グラフ\",\"％\",";
    if (cols.Files) head += "\"ファイル数\",";
    if (cols.Folders) head += "\"フォルダ数\",";
    out.Line(head);
}

void WriteListCsvRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                     const RowFields& row, double percentBase) {
    if (row.Caption.empty()) {
        out.Line("");
        return;
    }
    std::string line = CsvCell(row.Caption, cols.Spreadsheet) + ",";
    const double v = TextToFloat(row.Occupied, -1);
    if (cols.Sizes) {
        line += CsvCell(SizeOf(TextToFloat(row.Size, -1), ctx.SizeUnit), cols.Spreadsheet) + ",";
        line += CsvCell(SizeOf(v, ctx.SizeUnit), cols.Spreadsheet) + ",";
    }
    if (v >= 0 && percentBase > 0) {
        const double p = v / percentBase * 100;
        if (p > 0.09)
            line += StarBar().substr(
                0, static_cast<size_t>(std::clamp(std::trunc(p * 0.5), 0.0, 50.0)));
        line += "," + OneDecimal(p) + ",";
    } else {
        line += ",,";
    }
    if (cols.Files) line += CsvCell(ListCountText(row.Files, " | "), cols.Spreadsheet) + ",";
    if (cols.Folders) line += CsvCell(ListCountText(row.Folders, " | "), cols.Spreadsheet) + ",";
    out.Line(line);
}

// ---------------------------------------------------------------- files

FillResult ShownRows(const std::string& folderPath) {
    DirListing listing;
    if (const DriveRecord* drive = Global().CurrentDrive)
        listing.ClusterSize = static_cast<int32_t>(drive->ClusterSize);
    ListFolder(listing, folderPath + "*.*", LIST_ALL);
    return ShownRows(folderPath, listing);
}

FillResult ShownRows(const std::string& folderPath, const DirListing& listing) {
    GlobalState& g = Global();
    FillInput in;
    in.Path = folderPath;
    in.Entries = &listing.Entries;
    in.ListedFolders = listing.FolderCount;
    in.ListedFiles = listing.FileCount;
    if (g.CurrentDrive) {
        in.TotalBytes = g.CurrentDrive->TotalBytes;
        in.FreeBytes = g.CurrentDrive->FreeBytes;
        in.RootPath = g.CurrentDrive->RootPath;
        in.VolumeRoot = g.CurrentDrive->FolderVolume.empty();
    }
    in.ShowFiles = g.ShowFiles != 0;
    in.PercentBase = g.PercentBase;
    in.Order = {g.SortKey, g.SortDescending, g.ColumnFlags};
    return BuildRows(in, g.Folders, 0);
}

namespace {

// Lines gathered into large pieces: one write per quarter megabyte, whatever
// the number of rows.
class BufferedSink : public LineSink {
  public:
    explicit BufferedSink(const platform::PutBytes& put) : put_(put) {
        buf_.reserve(kChunk + 4096);
    }
    void Line(std::string_view text) override {
        buf_ += text;
        buf_ += "\r\n";
        if (buf_.size() >= kChunk) Flush();
    }
    bool Flush() {
        if (ok_ && !buf_.empty()) ok_ = put_(buf_);
        buf_.clear();
        return ok_;
    }
    bool Ok() const { return ok_; }

  private:
    static constexpr size_t kChunk = 1 << 18;
    const platform::PutBytes& put_;
    std::string buf_;
    bool ok_ = true;
};

bool WriteDocument(const std::string& typed, std::string* why,
                   const std::function<void(LineSink&)>& body) {
    const std::string native = ExportNativeName(typed);
    if (native.empty()) {
        if (why) *why = "no such drive";
        return false;
    }
    bool ok = platform::ReplaceFileStreamed(native, [&](const platform::PutBytes& put) {
        BufferedSink sink(put);
        body(sink);
        return sink.Flush();
    });
    if (!ok && why) *why = platform::LastWriteError();
    return ok;
}

} // namespace

std::string ExportNativeName(const std::string& typed) {
    if (typed.size() >= 3 && std::isalpha(static_cast<unsigned char>(typed[0])) &&
        typed[1] == ':' && typed[2] == '\\') {
        std::string native;
        std::string upper = typed;
        upper[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[0])));
        return platform::ToNative(upper, native) ? native : std::string();
    }
    // A relative name is taken from the user's home folder, never from
    // whatever folder the program happened to be started in.
    if (!typed.empty() && typed[0] != '/') {
        const std::string home = platform::HomeFolder();
        return (home == "/" ? "" : home) + "/" + typed;
    }
    return typed;
}

bool ExportTreeFile(const std::string& typed, bool html, const ExportContext& ctx,
                    const ExportColumns& cols, FolderList& folders, std::string* why) {
    return WriteDocument(typed, why, [&](LineSink& sink) {
        if (html)
            WriteTreeHtmlHeader(sink, ctx, cols);
        else
            WriteTreeCsvHeader(sink, ctx, cols);
        for (int i = 0; i < folders.Count(); ++i) {
            // The measurement's header line (no " > ") is no folder.
            if (folders.LineAt(i).find(" > ") == std::string::npos) continue;
            const FolderRecord* r = folders.RecordAt(i);
            if (html)
                WriteTreeHtmlRow(sink, ctx, cols, *r);
            else
                WriteTreeCsvRow(sink, ctx, cols, *r);
        }
        if (html) WriteHtmlFooter(sink);
    });
}

bool ExportListFile(const std::string& typed, bool html, const ExportContext& ctx,
                    const ExportColumns& cols, const RowList& rows, double percentBase,
                    std::string* why) {
    return WriteDocument(typed, why, [&](LineSink& sink) {
        const std::string linkBase = rows.empty() ? std::string() : SplitRow(rows[0]).Caption;
        if (html)
            WriteListHtmlHeader(sink, ctx, cols);
        else
            WriteListCsvHeader(sink, ctx, cols);
        for (const auto& r : rows) {
            RowFields f = SplitRow(r);
            if (html)
                WriteListHtmlRow(sink, ctx, cols, f, linkBase, percentBase);
            else
                WriteListCsvRow(sink, ctx, cols, f, percentBase);
        }
        if (html) WriteHtmlFooter(sink);
    });
}

// ---------------------------------------------------------------- settings

std::string ExportSettingsFileName(char section) {
    return SettingsFileName(std::string("ep") + section);
}

ExportSettings LoadExportSettings(const std::string& fileName) {
    StringList lines;
    LoadLines(lines, fileName);
    ExportSettings s;
    s.Checks = LineAt(lines, 0, "01111");
    s.Formats = LineAt(lines, 1, "101");
    // A file from before the spreadsheet mark: on, as for a new one.
    if (s.Formats.size() == 2) s.Formats += '1';
    if (lines.size() > 2) s.Names.assign(lines.begin() + 2, lines.end());
    return s;
}

int SaveExportSettings(const std::string& fileName, const ExportSettings& s) {
    StringList lines;
    lines.reserve(2 + s.Names.size());
    lines.push_back(s.Checks);
    lines.push_back(s.Formats);
    lines.insert(lines.end(), s.Names.begin(), s.Names.end());
    return SaveLines(lines, fileName);
}

void RecordRecentName(StringList& names, const std::string& typed) {
    auto same = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
        return platform::CompareTextIgnoreCase(n, typed) == 0;
    });
    if (same != names.end()) names.erase(same);
    if (!typed.empty()) names.insert(names.begin(), typed);
    if (names.size() > 10) names.resize(10);
}

bool ExportNameGiven(std::string_view typed) {
    return std::any_of(typed.begin(), typed.end(),
                       [](char c) { return static_cast<unsigned char>(c) > 0x20; });
}

} // namespace nrvs
