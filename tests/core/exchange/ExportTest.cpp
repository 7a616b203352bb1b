#include "core/exchange/Export.h"

#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/ErrorText.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {

struct TextSink : LineSink {
    std::string text;
    void Line(std::string_view line) override {
        text += line;
        text += "\r\n";
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The expected documents are kept with LF line ends and placeholders for
// what differs from run to run: @L the drive letter, @U the drive's native
// root as it appears in a file URL.
std::string Expected(const std::string& name, const TempDrive& drive) {
    std::string text = ReadFile(std::string(NRVS_TEST_DATA) + "/core/exchange/export/" + name);
    EXPECT_FALSE(text.empty()) << name;
    std::string url = FileUrl(drive.Root());
    for (auto [mark, value] :
         {std::pair<std::string, std::string>{"@L", std::string(1, drive.Letter())},
          {"@U", url.substr(0, url.size() - 1)}}) {
        for (size_t at; (at = text.find(mark)) != std::string::npos;)
            text.replace(at, mark.size(), value);
    }
    return text;
}

// Every line must end with CR LF; the comparison is then made with LF.
std::string WithLf(const std::string& crlf) {
    std::string out;
    for (size_t i = 0; i < crlf.size(); ++i) {
        if (crlf[i] == '\n') ADD_FAILURE() << "bare LF at byte " << i;
        if (crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') {
            out += '\n';
            ++i;
        } else {
            out += crlf[i];
        }
    }
    return out;
}

std::string Record(const std::string& path, double bytes, double occupied, int ownFiles,
                   int treeFiles, int ownFolders, int treeFolders) {
    FolderRecord r;
    r.Path = path;
    r.TreeBytes = bytes;
    r.TreeOccupied = occupied;
    r.OwnFiles = ownFiles;
    r.TreeFiles = treeFiles;
    r.OwnFolders = ownFolders;
    r.TreeFolders = treeFolders;
    return FormatRecord(r);
}

// A drive with a small tree: the root, names that would break markup or
// quoting, an unmeasured folder, and folders at level 25 and 27.
FolderList SampleTree(const std::string& root) {
    FolderList f;
    f.Append("2026/12/07 09:00:00=12");
    f.Append(Record(root, 5000000, 6291456, 2, 1234, 3, 30));
    f.Append(Record(root + "a&b\\", 1536, 8192, 1, 2, 1, 1));
    f.Append(Record(root + "a&b\\<script>\\", 0, 0, 0, 0, 0, 0));
    std::string deep = root;
    for (int i = 2; i <= 27; ++i) {
        deep += "d" + std::to_string(i) + "\\";
        if (i == 25 || i == 27)
            f.Append(Record(deep, 10, 4096, 1, 1, i == 25 ? 1 : 0, i == 25 ? 2 : 0));
    }
    f.Append(Record(root + "it's \"q\"\\", -1, -1, -1, -1, -1, -1));
    return f;
}

RowList SampleList(const std::string& root) {
    const std::string shown = root + "a&b\\";
    return {
        MakeRow(IMG_HEADER, shown, 10000, 20480, 3, 1234, 5, 7, "1111"),
        MakeRow(IMG_BLANK, "", -1, -1, -1, -1, -1, -1, "1111"),
        MakeRow(IMG_FOLDER_TOTAL, kFolderTotalCaption, 9000, 16384, -1, -1, -1, -1, "1111"),
        MakeRow(IMG_FOLDER, "big", 30000, 40960, 1, 1, 0, 0, "1111"),
        MakeRow(IMG_FOLDER, "sub", 9000, 16384, 1234, 1234, 2, 5, "1111"),
        MakeRow(IMG_FOLDER, "it's", 100, 100, 0, 0, 0, 0, "1111"),
        MakeRow(IMG_FOLDER, "<script>", 10, 10, 0, 0, 0, 0, "1111"),
        MakeRow(IMG_FOLDER, "unmeasured", -1, -1, -1, -1, -1, -1, "1111"),
        MakeRow(IMG_BLANK, "", -1, -1, -1, -1, -1, -1, "1111"),
        MakeRow(IMG_FILE_TOTAL, kFileTotalCaption, 1000, 4096, -1, -1, -1, -1, "1111"),
        MakeRow(IMG_FILE, "a\"b,c.txt", 1000, 4096, -1, -1, -1, -1, "1111"),
        MakeRow(IMG_RESERVED, kReservedCaption, 300, 300, -1, -1, -1, -1, "1111"),
    };
}

constexpr double kBase = 20480;

std::string FreeLetter() {
    for (int n = 3; n < 26; ++n)
        if (platform::DriveRoots()[static_cast<size_t>(n)].empty())
            return std::string(1, static_cast<char>('A' + n));
    return "A";
}

class ExportDocuments : public ::testing::Test {
  protected:
    TempDrive drive;
    ExportContext ctx;
    void SetUp() override {
        ctx.ComputerName = "host<1>";
        ctx.RootPath = drive.Root();
        ctx.DateText = "2026/12/07 10:00:00";
        ctx.SizeUnit = 0;
        ExportTints() = {};
    }
    std::string Tree(bool html, const ExportColumns& cols) {
        FolderList folders = SampleTree(drive.Root());
        TextSink sink;
        if (html)
            WriteTreeHtmlHeader(sink, ctx, cols);
        else
            WriteTreeCsvHeader(sink, ctx, cols);
        for (int i = 1; i < folders.Count(); ++i) {
            if (html)
                WriteTreeHtmlRow(sink, ctx, cols, *folders.RecordAt(i));
            else
                WriteTreeCsvRow(sink, ctx, cols, *folders.RecordAt(i));
        }
        if (html) WriteHtmlFooter(sink);
        return WithLf(sink.text);
    }
    std::string List(bool html, const ExportColumns& cols) {
        RowList rows = SampleList(drive.Root());
        TextSink sink;
        if (html)
            WriteListHtmlHeader(sink, ctx, cols);
        else
            WriteListCsvHeader(sink, ctx, cols);
        for (const auto& r : rows) {
            if (html)
                WriteListHtmlRow(sink, ctx, cols, SplitRow(r), SplitRow(rows[0]).Caption, kBase);
            else
                WriteListCsvRow(sink, ctx, cols, SplitRow(r), kBase);
        }
        if (html) WriteHtmlFooter(sink);
        return WithLf(sink.text);
    }
};

// A strict reader of RFC 4180 records: a quote inside an unquoted field or
// anything but a separator after a closing quote is an error.
bool ParseCsvLine(const std::string& line, std::vector<std::string>& fields) {
    fields.assign(1, "");
    size_t i = 0;
    while (i <= line.size()) {
        std::string& f = fields.back();
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size()) return false;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        f += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    f += line[i];
                }
            }
            if (i < line.size() && line[i] != ',') return false;
        } else {
            for (; i < line.size() && line[i] != ','; ++i) {
                if (line[i] == '"') return false;
                f += line[i];
            }
        }
        if (i >= line.size()) return true;
        fields.emplace_back();
        ++i;
    }
    return true;
}

std::vector<std::string> Lines(const std::string& lf) {
    std::vector<std::string> out;
    std::stringstream ss(lf);
    for (std::string l; std::getline(ss, l);)
        out.push_back(l);
    return out;
}

} // namespace

TEST_F(ExportDocuments, TreeDocumentsWholeFiles) {
    EXPECT_EQ(Tree(true, {}), Expected("tree_all.html", drive)) << "all columns and links";
    ExportTints() = {};
    EXPECT_EQ(Tree(true, {false, false, false, false}), Expected("tree_none.html", drive))
        << "no optional column";
    EXPECT_EQ(Tree(false, {}), Expected("tree_all.csv", drive));
    EXPECT_EQ(Tree(false, {false, false, false, true}), Expected("tree_none.csv", drive));
}

TEST_F(ExportDocuments, ListDocumentsWholeFiles) {
    EXPECT_EQ(List(true, {}), Expected("list_all.html", drive)) << "all columns and links";
    ExportTints() = {};
    EXPECT_EQ(List(true, {false, true, false, false}), Expected("list_files.html", drive));
    EXPECT_EQ(List(false, {}), Expected("list_all.csv", drive));
    EXPECT_EQ(List(false, {false, false, true, true}), Expected("list_folders.csv", drive))
        << "links have no effect on CSV";
}

TEST_F(ExportDocuments, RowTintsContinueAcrossExportsPerKind) {
    List(true, {}); // 12 rows: the list's flag ends where it began
    EXPECT_FALSE(ExportTints().List);
    Tree(true, {}); // 6 rows
    EXPECT_FALSE(ExportTints().Tree);
    FolderList one;
    one.Append(Record(drive.Root(), 1, 1, 0, 0, 0, 0));
    TextSink first, second;
    WriteTreeHtmlRow(first, ctx, {}, *one.RecordAt(0));
    WriteTreeHtmlRow(second, ctx, {}, *one.RecordAt(0));
    EXPECT_EQ(first.text.substr(0, 20), "<tr bgcolor=#ffffff>");
    EXPECT_EQ(second.text.substr(0, 20), "<tr bgcolor=#f0f0ff>")
        << "an odd count carries over to the next export";
    EXPECT_FALSE(ExportTints().List) << "the list keeps its own alternation";
    TextSink csv;
    WriteTreeCsvRow(csv, ctx, {}, *one.RecordAt(0));
    EXPECT_FALSE(ExportTints().Tree) << "CSV rows do not alternate";
}

TEST_F(ExportDocuments, CsvRowsParseWithTheirFields) {
    for (bool sizes : {true, false}) {
        ExportColumns cols{sizes, true, true, false};
        std::vector<std::string> lines = Lines(List(false, cols));
        ASSERT_EQ(lines.size(), 3u + 12u);
        std::vector<std::string> head, fields;
        ASSERT_TRUE(ParseCsvLine(lines[2], head));
        const size_t width = sizes ? 8 : 6; // the trailing comma adds an empty field
        EXPECT_EQ(head.size(), width);
        RowList rows = SampleList(drive.Root());
        for (size_t i = 3; i < lines.size(); ++i) {
            RowFields row = SplitRow(rows[i - 3]);
            if (row.Caption.empty()) {
                EXPECT_EQ(lines[i], "");
                continue;
            }
            ASSERT_TRUE(ParseCsvLine(lines[i], fields)) << lines[i];
            ASSERT_EQ(fields.size(), width) << lines[i];
            EXPECT_EQ(fields[0], row.Caption);
            EXPECT_EQ(fields.back(), "");
            const size_t g = sizes ? 3 : 1;
            const double v = TextToFloat(row.Occupied, -1);
            if (v < 0) {
                EXPECT_EQ(fields[g], "");
                EXPECT_EQ(fields[g + 1], "");
            } else {
                const double p = v / kBase * 100;
                EXPECT_NEAR(TextToFloat(fields[g + 1], -1), p, 0.051) << lines[i];
                EXPECT_EQ(fields[g].size(),
                          p <= 0.09 ? 0u : std::min<size_t>(50, static_cast<size_t>(p / 2)));
            }
            if (sizes) {
                EXPECT_EQ(fields[1], FormatSizeText(TextToFloat(row.Size, -1), 0));
            }
            EXPECT_EQ(fields[g + 2], ListCountText(row.Files, " | "));
        }
    }
    std::vector<std::string> lines = Lines(Tree(false, {}));
    FolderList folders = SampleTree(drive.Root());
    std::vector<std::string> fields;
    for (size_t i = 3; i < lines.size(); ++i) {
        const FolderRecord* r = folders.RecordAt(static_cast<int>(i - 2));
        ASSERT_TRUE(ParseCsvLine(lines[i], fields)) << lines[i];
        TreeLevelResult d = CsvDepth(r->Path);
        ASSERT_EQ(fields.size(), 4u + static_cast<size_t>(d.Level) + 1) << lines[i];
        EXPECT_EQ(fields.back(), " [-] " + d.Name);
        EXPECT_EQ(fields[2], std::to_string(r->OwnFiles) + " | " + std::to_string(r->TreeFiles));
        for (int k = 0; k < d.Level; ++k)
            EXPECT_EQ(fields[4 + static_cast<size_t>(k)], "");
    }
}

TEST(ExportPieces, LevelsNamesUrlsAndCounts) {
    TreeLevelResult root = TreeLevel("C:\\", "C:\\");
    EXPECT_EQ(root.Level, 1);
    EXPECT_EQ(root.Name, "C:\\");
    TreeLevelResult sys = TreeLevel("C:\\Windows\\System32\\", "C:\\");
    EXPECT_EQ(sys.Level, 3);
    EXPECT_EQ(sys.Name, "System32");
    EXPECT_EQ(TreeLevel("C:\\", "D:\\").Level, 1) << "another drive's root counts like any folder";
    EXPECT_EQ(TreeLevel("C:\\", "D:\\").Name, "C:");
    TreeLevelResult csvRoot = CsvDepth("C:\\");
    EXPECT_EQ(csvRoot.Level, 0);
    EXPECT_EQ(csvRoot.Name, "C:");
    EXPECT_EQ(CsvDepth("C:\\表\\ソ\\").Level, 2);
    EXPECT_EQ(CsvDepth("C:\\表\\ソ\\").Name, "ソ");

    EXPECT_EQ(HtmlEscape("a&b<c>\"d'"), "a&amp;b&lt;c&gt;&quot;d&#39;");
    EXPECT_EQ(CsvQuoted("say \"hi\", ok"), "\"say \"\"hi\"\", ok\"");

    EXPECT_EQ(ListCountText("1234=56789", " / "), "1,234 / 56,789");
    EXPECT_EQ(ListCountText("3", " | "), "3") << "no subtree part";
    EXPECT_EQ(ListCountText("-1=-1", " | "), "");
    EXPECT_EQ(ListCountText("x=5", " | "), "") << "an unreadable direct count";
    EXPECT_EQ(ListCountText("2=y", " | "), "2");
    EXPECT_EQ(StarBar(), std::string(50, '*'));
}

TEST(ExportPieces, FileUrlsAreEncodedNativePaths) {
    TempDrive drive;
    const std::string native = drive.Native();
    std::string url = FileUrl(drive.Root() + "a b#%'\"<>\\表\\");
    EXPECT_EQ(url.substr(0, 7), "file://");
    EXPECT_EQ(url.find_first_of(" #'\"<>\\"), std::string::npos) << url;
    EXPECT_NE(url.find("/a%20b%23%25%27%22%3C%3E/%E8%A1%A8/"), std::string::npos) << url;
    // A name holding a backslash is shown with U+FF3C and links to the real name.
    EXPECT_NE(FileUrl(drive.Root() + "x＼y\\").find("/x%5Cy/"), std::string::npos);
    EXPECT_EQ(FileUrl(FreeLetter() + ":\\nowhere\\"), "");
}

// ---------------------------------------------------------------- files

class ExportFiles : public ::testing::Test {
  protected:
    TempDrive drive;
    ExportContext ctx;
    void SetUp() override {
        ctx.ComputerName = "host";
        ctx.RootPath = drive.Root();
        ctx.DateText = "2026/12/07 10:00:00";
    }
};

TEST_F(ExportFiles, WholeDocumentsReplaceTheFile) {
    FolderList folders = SampleTree(drive.Root());
    const std::string out = drive.ExeDir() / "out.csv";
    drive.ExeDir().Write("out.csv", std::string(100000, 'x'));
    ASSERT_TRUE(ExportTreeFile(out, false, ctx, {}, folders));
    std::string text = ReadFile(out);
    EXPECT_EQ(text.substr(0, 4), "host");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 6)
        << "the header line of the folders is skipped";
    EXPECT_EQ(text.find('x'), std::string::npos) << "nothing of the old file is left";

    // The same file for both: the list written after the tree is what stays.
    RowList rows = SampleList(drive.Root());
    ASSERT_TRUE(ExportListFile(out, true, ctx, {}, rows, kBase));
    EXPECT_NE(ReadFile(out).find("フォルダ／ファイル"), std::string::npos);
    EXPECT_EQ(ReadFile(out).find(" [-] "), std::string::npos);

    // A program-form name on a lettered drive lands in that drive's folder.
    ASSERT_TRUE(ExportTreeFile(drive.Root() + "t.html", true, ctx, {}, folders));
    EXPECT_TRUE(drive.Dir().Exists("t.html"));

    // A never measured drive: header and footer only.
    FolderList none;
    ASSERT_TRUE(ExportTreeFile(out, true, ctx, {}, none));
    text = ReadFile(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12 + 3);
}

// Names on a shared drive are anyone's: a CSV made for a spreadsheet never
// hands it a formula, and starts with the mark that makes it read UTF-8.
TEST_F(ExportFiles, CsvForSpreadsheetsDefusesFormulasAndStartsWithAMark) {
    RowList rows = SampleList(drive.Root());
    rows.push_back(
        MakeRow(IMG_FOLDER, "=HYPERLINK(\"http://x\",\"y\")", 10, 10, 0, 0, 0, 0, "1111"));
    for (const char* lead : {"+1", "-2", "@SUM(A1)", "\rx"})
        rows.push_back(MakeRow(IMG_FILE, lead, 1, 1, -1, -1, -1, -1, "1111"));
    rows.push_back(MakeRow(IMG_FILE, "a=b+c", 1, 1, -1, -1, -1, -1, "1111"));
    const std::string out = drive.ExeDir() / "out.csv";
    ExportColumns cols;
    cols.Spreadsheet = true;
    ASSERT_TRUE(ExportListFile(out, false, ctx, cols, rows, kBase));
    std::string text = ReadFile(out);
    EXPECT_EQ(text.substr(0, 7), "\xEF\xBB\xBFhost") << "the byte-order mark comes first, once";
    EXPECT_NE(text.find("\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\","), std::string::npos);
    for (const char* cell : {"\"'+1\",", "\"'-2\",", "\"'@SUM(A1)\",", "\"'\rx\","})
        EXPECT_NE(text.find(cell), std::string::npos) << cell;
    // A raw tab never reaches a row (names show it as a control picture),
    // but a cell given one is defused all the same.
    EXPECT_EQ(CsvCell("\tx", true), "\"'\tx\"");
    EXPECT_EQ(CsvCell("\tx", false), "\"\tx\"");
    EXPECT_NE(text.find("\"a=b+c\","), std::string::npos) << "only the first character counts";
    EXPECT_NE(text.find("\"sub\","), std::string::npos) << "ordinary names are untouched";

    // Off: the data exactly as it is, no mark.
    ASSERT_TRUE(ExportListFile(out, false, ctx, {}, rows, kBase));
    text = ReadFile(out);
    EXPECT_EQ(text.substr(0, 4), "host");
    EXPECT_NE(text.find("\"=HYPERLINK("), std::string::npos);
    EXPECT_NE(text.find("\"-2\","), std::string::npos);

    // The tree: its names sit behind " [-] " already; the mark still leads.
    FolderList folders = SampleTree(drive.Root());
    ASSERT_TRUE(ExportTreeFile(out, false, ctx, cols, folders));
    EXPECT_EQ(ReadFile(out).substr(0, 3), "\xEF\xBB\xBF");
    // HTML never gets the mark, whatever the flag says.
    ASSERT_TRUE(ExportTreeFile(out, true, ctx, cols, folders));
    EXPECT_NE(ReadFile(out).substr(0, 3), "\xEF\xBB\xBF");
}

// Every document is written by the routine that never follows a link at the
// name and never replaces a device or FIFO.
TEST_F(ExportFiles, ALinkAtTheNameIsReplacedAndADeviceRefused) {
    FolderList folders = SampleTree(drive.Root());
    drive.ExeDir().Write("secret", "keep");
    const std::string link = drive.ExeDir() / "tree.html";
    ASSERT_EQ(::symlink((drive.ExeDir() / "secret").c_str(), link.c_str()), 0);
    ASSERT_TRUE(ExportTreeFile(link, true, ctx, {}, folders));
    EXPECT_EQ(drive.ExeDir().Read("secret"), "keep");
    const std::string fifo = drive.ExeDir() / "mynull";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string why;
    EXPECT_FALSE(ExportTreeFile(fifo, false, ctx, {}, folders, &why));
    EXPECT_NE(why.find("FIFO"), std::string::npos) << why;
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ExportFiles, RelativeNamesAreTakenFromTheHomeFolder) {
    const char* saved = std::getenv("HOME");
    const std::string keep = saved ? saved : "";
    ::setenv("HOME", drive.ExeDir().Path().c_str(), 1);
    EXPECT_EQ(ExportNativeName("out/tree.csv"), drive.ExeDir() / "out/tree.csv");
    EXPECT_EQ(ExportNativeName("/abs/tree.csv"), "/abs/tree.csv");
    FolderList folders = SampleTree(drive.Root());
    ASSERT_TRUE(ExportTreeFile("relative.csv", false, ctx, {}, folders));
    EXPECT_TRUE(drive.ExeDir().Exists("relative.csv")) << "not in the working folder";
    if (saved)
        ::setenv("HOME", keep.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST_F(ExportFiles, FailuresAreReportedAndKeepTheOldFile) {
    FolderList folders = SampleTree(drive.Root());
    std::string why;
    EXPECT_FALSE(ExportTreeFile(drive.ExeDir() / "missing/out.html", true, ctx, {}, folders, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(ExportTreeFile(drive.ExeDir().Path(), true, ctx, {}, folders, &why))
        << "a folder's name";
    EXPECT_EQ(why, platform::SystemReason(EISDIR));
    drive.ExeDir().MakeDir("dir.html");
    EXPECT_FALSE(ExportTreeFile(drive.ExeDir() / "dir.html", true, ctx, {}, folders))
        << "a folder in the way";
    EXPECT_FALSE(ExportTreeFile(FreeLetter() + ":\\x.html", true, ctx, {}, folders))
        << "a letter without a drive";

    // A folder the user may not write to.
    drive.ExeDir().Write("locked/old.csv", "old");
    const std::string locked = drive.ExeDir() / "locked";
    ::chmod(locked.c_str(), 0755);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        FolderList f = SampleTree(drive.Root());
        return !ExportTreeFile(locked + "/old.csv", false, ctx, {}, f);
    }));
    EXPECT_EQ(drive.ExeDir().Read("locked/old.csv"), "old");

    // A write that fails half-way (here: a file size limit, as a full disk
    // would): failure, and the old file whole.
    drive.ExeDir().Write("big.csv", "old");
    const std::string big = drive.ExeDir() / "big.csv";
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            1 << 16, 1 << 16
        };
        ::setrlimit(RLIMIT_FSIZE, &lim);
        FolderList many;
        for (int i = 0; i < 20000; ++i)
            many.Append(Record(drive.Root() + "f" + std::to_string(i) + "\\", 1, 1, 0, 0, 0, 0));
        ::_exit(ExportTreeFile(big, true, ctx, {}, many) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was reported";
    EXPECT_EQ(drive.ExeDir().Read("big.csv"), "old");
}

// ---------------------------------------------------------------- settings

TEST(ExportSettingsTest, FilesAndRecentNames) {
    TempDir exe;
    platform::SetExecutablePath(exe / "norvessa");
    LoadParameters({});
    EXPECT_EQ(ExportSettingsFileName('t'), exe / "norvessa.ept");
    EXPECT_EQ(ExportSettingsFileName('l'), exe / "norvessa.epl");

    ExportSettings first = LoadExportSettings(ExportSettingsFileName('t'));
    EXPECT_EQ(first.Checks, "01111");
    EXPECT_EQ(first.Formats, "101") << "HTML, and a CSV would be made for spreadsheets";
    EXPECT_TRUE(first.Names.empty());

    exe.Write("norvessa.epl", "1\r\n");
    ExportSettings partial = LoadExportSettings(ExportSettingsFileName('l'));
    EXPECT_EQ(partial.Checks, "1");
    EXPECT_EQ(partial.Formats, "101") << "a missing line takes its default";
    exe.Write("norvessa.epl", "1\r\n01\r\n");
    EXPECT_EQ(LoadExportSettings(ExportSettingsFileName('l')).Formats, "011")
        << "a file from before the spreadsheet mark gets it on";
    exe.Write("norvessa.epl", "1\r\n010\r\n");
    EXPECT_EQ(LoadExportSettings(ExportSettingsFileName('l')).Formats, "010");

    StringList names;
    RecordRecentName(names, "");
    EXPECT_TRUE(names.empty()) << "an empty name is not recorded";
    for (int i = 1; i <= 10; ++i)
        RecordRecentName(names, "/tmp/f" + std::to_string(i) + ".html");
    RecordRecentName(names, "/TMP/F3.HTML");
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names[0], "/TMP/F3.HTML") << "written as typed this time, moved to the top";
    EXPECT_EQ(std::count(names.begin(), names.end(), "/tmp/f3.html"), 0);
    RecordRecentName(names, "/tmp/eleven.html");
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names.back(), "/tmp/f2.html") << "the oldest name went";
    EXPECT_EQ(std::count(names.begin(), names.end(), "/tmp/f1.html"), 0);

    ExportSettings s{"10110", "01", names};
    ASSERT_EQ(SaveExportSettings(ExportSettingsFileName('t'), s), 1);
    EXPECT_EQ(exe.Read("norvessa.ept").substr(0, 14), "10110\r\n01\r\n/tm");
    ExportSettings back = LoadExportSettings(ExportSettingsFileName('t'));
    EXPECT_EQ(back.Checks, "10110");
    EXPECT_EQ(back.Formats, "011") << "two marks are read as a file from before the third";
    EXPECT_EQ(back.Names, names);

    EXPECT_FALSE(ExportNameGiven(" \t\x01 "));
    EXPECT_TRUE(ExportNameGiven("  a "));
    platform::SetExecutablePath("");
}
