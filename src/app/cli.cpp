// norvessa-cli: the measurement core without windows, for scripts and for
// checking results against other tools.
//
// Each subcommand is one entry of kCommands. The tool never writes the
// parameter file; it only reads and updates the drive map beside the
// executable, as the program does at every drive refresh.

#include "core/cache/Cache.h"
#include "core/history/Changes.h"
#include "core/drives/DriveInfo.h"
#include "core/drives/DriveTable.h"
#include "core/exchange/Export.h"
#include "core/measure/Measure.h"
#include "core/drives/Monitors.h"
#include "core/views/Rows.h"
#include "core/measure/Simulate.h"
#include "core/views/Rank.h"
#include "core/treemap/Treemap.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "platform/FileOperations.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/index/FileQueries.h"
#include "core/index/FileKinds.h"
#include "core/exchange/Ncdu.h"
#include "core/cache/Snapshot.h"
#include "platform/InputDocument.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace nrvs;

namespace {

using Args = std::vector<std::string>;

// This program's own path, before the program files are named after the
// window's executable.
std::string g_ownPath;

struct Command {
    const char* name;
    const char* usage;    // arguments after the name
    const char* summary;
    int (*run)(const Args& args);
};

int Usage(std::FILE* out);

const char* TypeName(uint32_t type) {
    switch (type) {
    case 2: return "removable";
    case 3: return "fixed";
    case 4: return "remote";
    case 5: return "cdrom";
    case 6: return "ramdisk";
    default: return "-";
    }
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

// A line of output that holds names. On a terminal the escape mark that
// tells a real "＼" from one standing for a backslash byte is shown
// visibly; a pipe gets the names as they are, to be given back to this
// tool.
void PrintLine(const std::string& line) {
    static const bool terminal = platform::IsTerminal(1);
    if (terminal) std::printf("%s\n", platform::VisibleMarks(line).c_str());
    else std::printf("%s\n", line.c_str());
}

// Byte counts stay raw so that scripts can compare them with df -B1.
int RunDrives(const Args& args) {
    bool tabs = false;
    for (const auto& a : args) {
        if (a == "--tab") tabs = true;
        else {
            std::fprintf(stderr, "norvessa-cli drives: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    Global().ShowRemovable = 1;
    RefreshDrives(INT_MAX);
    DriveTable& drives = Global().Drives;
    const auto& roots = platform::DriveRoots();

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"DRIVE", "TYPE", "FS", "CAPACITY", "FREE", "CLUSTER", "READY", "LABEL", "ROOT"});
    for (int i = 0; i < drives.ListedCount(); ++i) {
        const DriveRecord* r = drives.ListedAt(i);
        rows.push_back({r->RootPath.substr(0, 2), TypeName(r->DriveType), r->FileSystem.empty() ? "-" : r->FileSystem,
                        Number(r->TotalBytes), Number(r->FreeBytes), std::to_string(r->ClusterSize),
                        r->Ready ? "yes" : "no", r->VolumeName.empty() ? "-" : r->VolumeName,
                        roots[static_cast<size_t>(r->Index)]});
    }
    std::vector<size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 == row.size()) break;
            if (tabs) line += '\t';
            else line += std::string(width[c] - row[c].size() + 2, ' ');
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

// The drive map and mounts, read once in the run: a command looks at them
// for its path and again for its drive, a few milliseconds apart.
bool g_driveMapRead = false;
void ReadDriveMapOnce() {
    if (g_driveMapRead) return;
    platform::DetectDriveMap();
    g_driveMapRead = true;
}

// A drive ("C:"), a program-form path ("C:\\usr\\") or a native path
// ("/usr") as a checked program-form path. A native path's last name is not
// resolved, so a link names itself. Prints why not and returns false when the
// path is malformed or lies on no drive.
bool ResolvePath(const std::string& arg, std::string& path) {
    ReadDriveMapOnce();
    if (arg.size() >= 2 && arg[1] == ':' && std::isalpha(static_cast<unsigned char>(arg[0]))) {
        path = arg;
        path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        if (path.size() == 2) path += '\\';
    } else {
        const std::string native = platform::AbsoluteNativePath(arg);
        if (!platform::ToProgram(native, path)) {
            std::fprintf(stderr, "norvessa-cli: %s lies on no drive (see norvessa-cli drives)\n", arg.c_str());
            return false;
        }
    }
    platform::ItemPath item;
    std::string why;
    if (!platform::CheckProgramPath(path, item, &why)) {
        std::fprintf(stderr, "norvessa-cli: %s: %s\n", arg.c_str(), why.c_str());
        return false;
    }
    return true;
}

// The same for a folder: the path ends in a backslash, and with mustExist the
// folder must be there (a file or a missing folder is refused).
bool ResolveFolder(const std::string& arg, std::string& path, bool mustExist = true) {
    if (!ResolvePath(arg, path)) return false;
    if (path.back() != '\\') path += '\\';
    if (!mustExist) return true;
    uint32_t attributes = platform::GetFileAttributesA(platform::ToNative(path));
    if (attributes == platform::INVALID_FILE_ATTRIBUTES || !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "norvessa-cli: %s is no folder\n", arg.c_str());
        return false;
    }
    return true;
}

// A path on an imported drive or one that is not here ("X:" or "X:\\a\\"),
// which has no folder on this machine to check it against: only its form is
// checked. False when the letter holds neither an import nor a measurement,
// or is a drive of this machine that is here.
bool ImportedFolder(const std::string& arg, std::string& path) {
    if (arg.size() < 2 || arg[1] != ':' || !std::isalpha(static_cast<unsigned char>(arg[0]))) return false;
    if (arg.size() > 2 && arg[2] != '\\') return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(arg[0])));
    LoadParameters({});
    ReadDriveMapOnce();
    if (!platform::DriveRoots()[static_cast<size_t>(letter - 'A')].empty() && platform::GetDriveTypeA(std::string(1, letter) + ":\\") != 0)
        return false;
    if (!IsImportedDrive(letter) && !HasSnapshot(letter)) return false;
    path = arg;
    path[0] = letter;
    if (path.size() == 2) path += '\\';
    if (path.back() != '\\') path += '\\';
    return true;
}

// Loads the parameters (never written back) and makes the path's drive the
// current one. nullptr, with a message, when the drive is not ready.
// onlyThisDrive: the other drives' volumes are not read (a measurement needs
// its own drive only, and reading every volume costs a cold start dearly).
DriveRecord* OpenDriveOf(const std::string& path, bool onlyThisDrive = false) {
    LoadParameters({});
    Global().ShowRemovable = 1;
    int letter = platform::LetterOf(path);
    if (onlyThisDrive && letter >= 0) {
        ReadDriveMapOnce();
        Global().Drives.DetectTypes(false);
        Global().CurrentDrive = Global().Drives.ByLetter(letter);
    } else {
        RefreshDrives(letter < 0 ? INT_MAX : letter);
    }
    DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->DriveType == 0 || !Global().Drives.ReadVolume(*drive)) {
        std::fprintf(stderr, "norvessa-cli: drive %c: is not ready\n", path.empty() ? '?' : path[0]);
        return nullptr;
    }
    return drive;
}

int RunList(const Args& args) {
    int kind = LIST_ALL;
    std::string target;
    for (const auto& a : args) {
        if (a == "--files") kind = LIST_FILES;
        else if (a == "--folders") kind = LIST_FOLDERS;
        else if (target.empty()) target = a;
        else return Usage(stderr);
    }
    if (target.empty()) return Usage(stderr);
    std::string path;
    if (ImportedFolder(target, path)) {
        // From the last measurement: folders from the cache, files from the index.
        DriveRecord record;
        record.Index = path[0] - 'A';
        record.RootPath = path.substr(0, 3);
        FolderList folders;
        LoadCache(folders, record);
        if (folders.Count() == 0) return 1;
        const auto index = OpenFileIndex(path[0], std::string(folders.LineAt(0)));
        DirListing listing;
        ListSnapshot(listing, folders, index.get(), path + "*.*", kind);
        if (listing.Entries.empty() && folders.IndexOfPath(path) < 0) {
            std::fprintf(stderr, "norvessa-cli: %s is no folder of the last measurement\n", target.c_str());
            return 1;
        }
        SortListing(listing, false);
        for (const auto& line : listing.Entries) PrintLine(line);
        return 0;
    }
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    DirListing listing;
    listing.ClusterSize = static_cast<int32_t>(drive->ClusterSize);
    ListFolder(listing, path + "*.*", kind);
    SortListing(listing, false);
    for (const auto& line : listing.Entries) PrintLine(line);
    return 0;
}

// Answers yes for the user who typed the command, and shows progress on a
// terminal.
struct CliHooks : MeasureHooks {
    bool tty = platform::IsTerminal(2);
    int Ask(const std::string&, int) override { return ID_YES; }
    void SetProgressText(const std::string& text) override {
        if (tty) std::fprintf(stderr, "\r\033[K%s", text.c_str());
    }
    ~CliHooks() override {
        if (tty) std::fprintf(stderr, "\r\033[K");
    }
};

int RunMeasure(const Args& given) {
    Args args = given;
    auto countLinks = std::find(args.begin(), args.end(), std::string("--count-links"));
    const bool everyName = countLinks != args.end();
    if (everyName) args.erase(countLinks);
    auto noIndex = std::find(args.begin(), args.end(), std::string("--no-index"));
    if (noIndex != args.end()) {
        Global().NoFileIndex = true;
        args.erase(noIndex);
    }
    if (args.size() != 1) return Usage(stderr);
    std::string path;
    if (ImportedFolder(args[0], path)) {
        const ImportInfo info = ReadImportInfo(path[0]);
        if (!info.Valid) {
            std::fprintf(stderr, "norvessa-cli: %c: is not here (its last measurement is kept and can be browsed)\n",
                         path[0]);
            return 1;
        }
        std::fprintf(stderr, "norvessa-cli: %c: is an imported scan of %s%s%s and has no folder here to measure\n",
                     path[0], platform::ShownName(info.Root).c_str(), info.Host.empty() ? "" : " on ",
                     info.Host.c_str());
        return 1;
    }
    if (!ResolveFolder(args[0], path)) return 1;
    DriveRecord* drive = OpenDriveOf(path, true);
    if (!drive) return 1;
    GlobalState& g = Global();
    // As du -l: a file's bytes once per name.
    if (everyName) g.CountLinksOnce = 0;
    auto start = std::chrono::steady_clock::now();
    MeasureReport report;
    {
        CliHooks hooks;
        if (path.size() == 3) {
            g.AskBeforeMeasure = 0;
            g.MeasureMulti = 0;
            // The reason is on standard error already; the old cache stays.
            if (!MeasureDrives(hooks, &report)) return 1;
        } else {
            // A folder's lines replace the old ones in the drive's cache;
            // the rest of the cache is copied, never loaded as a list.
            if (!MeasureFolderIntoCache(path, hooks, &report)) return 1;
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const FolderRecord* r = g.Folders.FindPath(path);
    if (!r) {
        std::fprintf(stderr, "norvessa-cli: %s could not be measured\n", path.c_str());
        return 1;
    }
    std::printf("%s\nfolders   %d\nfiles     %d\nbytes     %s\noccupied  %s\nseconds   %.3f\ncache     %s\n",
                path.c_str(), r->TreeFolders + 1, r->TreeFiles, Number(r->TreeBytes).c_str(),
                Number(r->TreeOccupied).c_str(), seconds,
                report.SaveError.empty() ? CacheFileName(*drive).c_str() : "(not saved)");
    // The figures above are this run's; a script must still learn that the
    // cache holds none of them.
    if (!report.SaveError.empty()) {
        std::fprintf(stderr, "norvessa-cli: the cache could not be written: %s\n", report.SaveError.c_str());
        return 1;
    }
    return 0;
}

int RunTree(const Args& args) {
    if (args.size() != 1) return Usage(stderr);
    std::string path;
    if (!ImportedFolder(args[0], path) && !ResolveFolder(args[0], path, false)) return 1;
    LoadParameters({});
    DriveRecord record;
    record.Index = path[0] - 'A';
    record.RootPath = path.substr(0, 3);
    FolderList list;
    LoadCache(list, record);
    if (list.Count() == 0) {
        std::fprintf(stderr, "norvessa-cli: %c: has not been measured (%s)\n", path[0], CacheFileName(record).c_str());
        return 1;
    }
    std::string_view linePath;
    const bool terminal = platform::IsTerminal(1);
    for (size_t i = 0; i < list.Size(); ++i) {
        const std::string_view line = list.LineAt(i);
        if (path.size() != 3 && !(PathOfLine(line, linePath) && linePath.substr(0, path.size()) == path)) continue;
        // A pipe of millions of lines gets them without a copy each.
        if (terminal) {
            PrintLine(std::string(line));
        } else {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        }
    }
    return 0;
}

// Prints what failed in the last file operation.
int OperationResult(int ok, const char* verb) {
    const auto& errors = platform::ShellErrors();
    if (ok) {
        // What was not kept of a copy that succeeded (extended attributes on
        // a file system without them) is still said.
        for (const auto& e : errors) std::fprintf(stderr, "norvessa-cli: %s: note: %s\n", verb, e.c_str());
        return 0;
    }
    if (errors.empty()) std::fprintf(stderr, "norvessa-cli: %s failed\n", verb);
    for (const auto& e : errors) std::fprintf(stderr, "norvessa-cli: %s: %s\n", verb, e.c_str());
    return 1;
}

// Progress of a file operation on the terminal (the window's progress
// dialog does the same bookkeeping: the tree counted first, then items and
// bytes reported as they go). Replacements are not asked: what exists is
// replaced, as without --progress.
struct CliShellUi : platform::ShellUi {
    bool tty = platform::IsTerminal(2);
    uint64_t totalItems = 0, totalBytes = 0;
    std::chrono::steady_clock::time_point last{};
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string&) override { return REPLACE_YES; }
    void Begin(bool, uint64_t items, uint64_t bytes) override {
        totalItems = items;
        totalBytes = bytes;
    }
    bool Progress(const std::string&, uint64_t items, uint64_t bytes) override {
        auto now = std::chrono::steady_clock::now();
        if (tty && now - last > std::chrono::milliseconds(100)) {
            last = now;
            std::fprintf(stderr, "\r\033[K%llu / %llu items, %s / %s bytes", static_cast<unsigned long long>(items),
                         static_cast<unsigned long long>(totalItems), Number(static_cast<double>(bytes)).c_str(),
                         Number(static_cast<double>(totalBytes)).c_str());
        }
        return true;
    }
    ~CliShellUi() override {
        if (tty) std::fprintf(stderr, "\r\033[K");
    }
};

// Takes --progress out of the arguments; true when it was there.
bool TakeProgress(Args& args) {
    auto it = std::find(args.begin(), args.end(), std::string("--progress"));
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

int RunCopyOrMove(const Args& given, bool move) {
    Args args = given;
    const bool progress = TakeProgress(args);
    if (args.size() != 2) return Usage(stderr);
    std::string source, dest;
    if (!ResolvePath(args[0], source) || !ResolveFolder(args[1], dest)) return 1;
    CliShellUi ui;
    if (progress) platform::SetShellUi(&ui);
    const int ok = move ? MoveItem(source, dest, progress) : CopyItem(source, dest, progress);
    if (ok && move) ForgetInFileIndex(source);
    platform::SetShellUi(nullptr);
    return OperationResult(ok, move ? "move" : "copy");
}

int RunCopy(const Args& args) { return RunCopyOrMove(args, false); }
int RunMove(const Args& args) { return RunCopyOrMove(args, true); }

int RunDelete(const Args& args) {
    bool trash = false, progress = false;
    std::string target;
    for (const auto& a : args) {
        if (a == "--trash") trash = true;
        else if (a == "--progress") progress = true;
        else if (target.empty()) target = a;
        else return Usage(stderr);
    }
    if (target.empty()) return Usage(stderr);
    std::string path;
    if (!ResolvePath(target, path)) return 1;
    platform::ItemPath item;
    if (platform::CheckProgramPath(path, item) && item.IsRoot()) {
        std::fprintf(stderr, "norvessa-cli: %s is a drive's root and is never deleted\n", target.c_str());
        return 1;
    }
    CliShellUi ui;
    if (progress) platform::SetShellUi(&ui);
    const int ok = DeleteItem(path, trash ? 1 : 0, progress);
    if (ok) ForgetInFileIndex(path);
    platform::SetShellUi(nullptr);
    return OperationResult(ok, "delete");
}

// The cluster simulation of a folder, as the window runs it on the folder
// shown with every file listed.
int RunSim(const Args& args) {
    std::string target, clusterText, driveArg;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--cluster" && i + 1 < args.size()) clusterText = args[++i];
        else if (args[i] == "--drive" && i + 1 < args.size()) driveArg = args[++i];
        else if (target.empty()) target = args[i];
        else return Usage(stderr);
    }
    if (target.empty() || clusterText.empty() == driveArg.empty()) return Usage(stderr);
    // The window reads what is typed as far as it is a number; a script's
    // "12abc" or "abc" is a mistake to report, not cluster 12 or 1.
    if (driveArg.empty() && !std::all_of(clusterText.begin(), clusterText.end(),
                                         [](char c) { return c >= '0' && c <= '9'; })) {
        std::fprintf(stderr, "norvessa-cli: --cluster wants a whole number of bytes, not %s\n", clusterText.c_str());
        return 1;
    }
    std::string path;
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    GlobalState& g = Global();
    LoadCache(g.Folders, *drive);
    double targetFree = -1;
    if (!driveArg.empty()) {
        int letter = platform::LetterOf(driveArg.size() == 2 ? driveArg + "\\" : driveArg);
        DriveRecord* other = letter < 0 ? nullptr : g.Drives.ByLetter(letter);
        DriveRecord copy = other ? *other : DriveRecord{};
        if (!other || copy.DriveType == 0 || !g.Drives.ReadVolume(copy)) {
            std::fprintf(stderr, "norvessa-cli: drive %s is not ready\n", driveArg.c_str());
            return 1;
        }
        clusterText = std::to_string(copy.ClusterSize);
        targetFree = copy.FreeBytes;
    }
    uint32_t cluster = 1;
    std::string why;
    if (!ParseClusterSize(clusterText, cluster, why)) {
        std::fprintf(stderr, "norvessa-cli: %s (%s)\n", why.c_str(), clusterText.c_str());
        return 1;
    }
    // Every file of the folder, as the window shows them with its file list on.
    g.ShowFiles = 1;
    FillResult filled = ShownRows(path);
    std::vector<SimRow> rows = BuildSimRows(filled.Rows, *drive, true);
    {
        CliHooks hooks;
        RunSimulation(rows, cluster, targetFree, true, hooks);
    }
    auto now = [](const std::string& v) { return v.empty() || TextToFloat(v, -1) < 0 ? std::string("?") : v; };
    for (size_t i = 4; i < rows.size(); ++i) {
        if (rows[i].Image != IMG_FOLDER && rows[i].Image != IMG_FILE) continue;
        PrintLine(rows[i].Caption + "\t" + now(rows[i].Before) + "\t" + rows[i].After);
    }
    std::printf("total\t%s\t%s\n", now(rows[0].Before).c_str(), rows[0].After.c_str());
    return 0;
}

// The export dialog's two documents without the dialog: the tree of a
// drive's cache and the list the window would show for a folder.
int RunExport(const Args& args) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "norvessa-cli export: %s\n", text.c_str());
        return 1;
    };
    std::string driveArg, treeFile, listArg, listFile, format, outFile;
    ExportColumns cols;
    cols.Links = false;
    bool plain = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            out = args[++i];
            return true;
        };
        if (a == "--tree") {
            if (!value(treeFile)) return fail("--tree needs a file name");
        } else if (a == "--list") {
            if (!value(listArg) || !value(listFile)) return fail("--list needs a folder and a file name");
        } else if (a == "--format") {
            if (!value(format)) return fail("--format needs html, csv or ncdu");
        } else if (a == "--out") {
            if (!value(outFile)) return fail("--out needs a file name");
        } else if (a == "--no-sizes") cols.Sizes = false;
        else if (a == "--no-files") cols.Files = false;
        else if (a == "--no-folders") cols.Folders = false;
        else if (a == "--links") cols.Links = true;
        else if (a == "--plain") plain = true;
        else if (!a.empty() && a[0] == '-') return fail("unknown option " + a);
        else if (driveArg.empty()) driveArg = a;
        else return fail("one drive only (" + a + ")");
    }
    if (driveArg.empty()) return fail("which drive? (export X: --tree FILE ...)");
    if (format == "ncdu") {
        if (outFile.empty()) return fail("--format ncdu needs --out FILE");
        if (!treeFile.empty() || !listFile.empty()) return fail("--format ncdu writes one file, given with --out");
        std::string path;
        if (!ImportedFolder(driveArg, path)) {
            if (!ResolveFolder(driveArg, path, false)) return 1;
            LoadParameters({});
        }
        std::string why;
        if (!ExportNcdu(path, outFile, why)) return fail(why);
        return 0;
    }
    if (!outFile.empty()) return fail("--out goes with --format ncdu; html and csv take --tree and --list");
    if (format != "html" && format != "csv") return fail("--format must be html, csv or ncdu");
    cols.Spreadsheet = format == "csv" && !plain;
    if (treeFile.empty() && listFile.empty()) return fail("nothing to export: give --tree FILE and/or --list PATH FILE");
    std::string root;
    if (!ResolveFolder(driveArg, root, false)) return 1;
    if (root.size() != 3) return fail(driveArg + " is no drive (give a letter such as C:)");
    DriveRecord* drive = OpenDriveOf(root);
    if (!drive) return 1;
    GlobalState& g = Global();
    LoadCache(g.Folders, *drive);
    std::string listPath;
    if (!listFile.empty()) {
        if (!ResolveFolder(listArg, listPath)) return 1;
        if (listPath.compare(0, 3, root) != 0) return fail(listArg + " is not on drive " + root.substr(0, 2));
    }
    ExportContext ctx{g.ComputerName, drive->RootPath, ExportDateText(), g.SizeUnit};
    const bool html = format == "html";
    std::string why;
    if (!treeFile.empty()) {
        if (g.Folders.Count() == 0)
            std::fprintf(stderr, "norvessa-cli export: %s has not been measured; the tree holds no folders\n",
                         root.substr(0, 2).c_str());
        if (!ExportTreeFile(treeFile, html, ctx, cols, g.Folders, &why))
            return fail("cannot write the tree to " + treeFile + ": " + why);
    }
    if (!listFile.empty()) {
        FillResult shown = ShownRows(listPath);
        if (!ExportListFile(listFile, html, ctx, cols, shown.Rows, shown.PercentBaseValue, &why))
            return fail("cannot write the list to " + listFile + ": " + why);
    }
    return 0;
}

// The window's ranking of a drive from its cache file. Options not given
// come from the drive's ranking file, as the window would show them.
int RunRank(const Args& args) {
    std::string target;
    int by = -1, top = 0;
    std::string filters;
    std::vector<RankExclusion> exclusions;
    bool exclusionsGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int v = 0;
        if (a == "--by" && hasValue) {
            if (!ParseInt(args[++i], v) || v < 0 || v >= kRankKeys) {
                std::fprintf(stderr, "norvessa-cli rank: --by takes a key from 0 to 8, not %s\n", args[i].c_str());
                return 2;
            }
            by = v;
        } else if (a == "--top" && hasValue) {
            if (!ParseInt(args[++i], v) || v <= 0) {
                std::fprintf(stderr, "norvessa-cli rank: --top takes a positive number, not %s\n", args[i].c_str());
                return 2;
            }
            top = v;
        } else if (a == "--filters" && hasValue) {
            filters = args[++i];
            if (filters.size() != 5 || filters.find_first_not_of("01") != std::string::npos) {
                std::fprintf(stderr, "norvessa-cli rank: --filters takes five 0/1 marks (archive, hidden, read-only, "
                                     "system, no own files), not %s\n", filters.c_str());
                return 2;
            }
        } else if ((a == "--exclude" || a == "--exclude-tree") && hasValue) {
            std::string path;
            if (!ResolveFolder(args[++i], path, false)) return 1;
            exclusions.push_back({path, a == "--exclude-tree"});
            exclusionsGiven = true;
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "norvessa-cli rank: unknown option or missing value: %s\n", a.c_str());
            return 2;
        } else if (target.empty()) {
            target = a;
        } else {
            return Usage(stderr);
        }
    }
    if (target.empty()) return Usage(stderr);
    std::string path;
    if (!ResolveFolder(target, path, false)) return 1;
    LoadParameters({});
    DriveRecord record;
    record.Index = path[0] - 'A';
    record.RootPath = path.substr(0, 3);
    FolderList list;
    LoadCache(list, record);
    if (list.Count() == 0) {
        std::fprintf(stderr, "norvessa-cli: %c: has not been measured (%s)\n", path[0], CacheFileName(record).c_str());
        return 1;
    }
    const RankSettings saved = LoadRankSettings(RankFileName(path[0]));
    RankOptions options;
    options.SortKey = by >= 0 ? by : saved.SortIndex;
    options.Filters = filters.empty() ? saved.Filters : filters;
    options.Exclusions = exclusionsGiven ? exclusions : saved.Exclusions;
    const int n = top > 0 ? top : RankRowCount(RankCountText(saved.CountIndex));

    RankList ranking;
    RankHooks quiet;
    ranking.Compute(list, options, quiet, static_cast<size_t>(std::max(n, 0)));
    std::string out;
    for (int k = 0; k < n && k < ranking.Count(); ++k) {
        FolderRecord r = ranking.RecordAt(k);
        out = RankCaption(k, n, r.Path);
        for (double v : {r.TreeBytes, r.TreeOccupied, r.TreeOccupied - r.TreeBytes, r.OwnBytes, r.OwnOccupied}) {
            out += '\t';
            out += Number(v);
        }
        for (int32_t v : {r.OwnFiles, r.TreeFiles, r.OwnFolders, r.TreeFolders}) {
            out += '\t';
            out += std::to_string(v);
        }
        PrintLine(out);
    }
    return 0;
}

// Opens the file index of the drive holding path (a folder, resolved); a
// message and false when there is none of the last measurement.
bool OpenIndexOf(const std::string& verb, const std::string& path, DriveRecord& drive, FileIndex& index) {
    const std::string header = CacheHeaderLine(drive);
    std::string why;
    if (header.empty() || !index.Open(FileIndexName(drive), path[0], header, &why)) {
        std::fprintf(stderr, "norvessa-cli %s: %s Measure the drive again (norvessa-cli measure %c:) for its files.\n",
                     verb.c_str(), header.empty() ? "The drive has not been measured." : why.c_str(), path[0]);
        return false;
    }
    if (path.size() > 3 && index.FindFolder(path) < 0) {
        std::fprintf(stderr, "norvessa-cli %s: %s was not measured; measure it (norvessa-cli measure) for its files\n",
                     verb.c_str(), path.c_str());
        return false;
    }
    return true;
}

// The largest files of a drive or below a folder, from the drive's file
// index: never a walk of the disk.
int RunFiles(const Args& args) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "norvessa-cli files: %s\n", text.c_str());
        return 1;
    };
    FileQuery q;
    std::string target;
    auto whole = [](const std::string& text, long long& out) {
        if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        out = std::stoll(text);
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        long long n = 0;
        if (a == "--top" && hasValue) {
            if (!whole(args[++i], n) || n < 1) return fail("--top takes a positive whole number, not " + args[i]);
            q.Top = static_cast<size_t>(n);
        } else if (a == "--by" && hasValue) {
            const std::string& k = args[++i];
            if (k == "size") q.Key = FK_SIZE;
            else if (k == "occupied") q.Key = FK_OCCUPIED;
            else if (k == "modified") q.Key = FK_MODIFIED;
            else return fail("--by takes size, occupied or modified, not " + k);
        } else if (a == "--ext" && hasValue) {
            if (!ParseExtensionList(args[++i], q.Extensions)) return fail("--ext takes extensions such as jpg,png, not " + args[i]);
        } else if (a == "--min-size" && hasValue) {
            if (!whole(args[++i], n)) return fail("--min-size takes a number of bytes, not " + args[i]);
            q.MinSize = n;
        } else if (a == "--older-than" && hasValue) {
            if (!whole(args[++i], n) || n > 1000000) return fail("--older-than takes a number of days, not " + args[i]);
            q.ModifiedBefore = static_cast<int64_t>(std::time(nullptr)) - n * 86400;
        } else if (a == "--name" && hasValue) {
            q.Name = args[++i];
        } else if (a == "--path") {
            q.OnPath = true;
        } else if (a.rfind("--", 0) == 0) {
            return fail("unknown option or missing value: " + a);
        } else if (target.empty()) {
            target = a;
        } else {
            return Usage(stderr);
        }
    }
    if (target.empty()) return Usage(stderr);
    std::string path;
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path, true);
    if (!drive) return 1;
    FileIndex index;
    if (!OpenIndexOf("files", path, *drive, index)) return 1;
    if (path.size() > 3) q.Below = path;
    for (const FileHit& h : QueryFiles(index, q)) {
        char when[32] = "";
        struct tm tm{};
        if (platform::LocalTime(h.ModifiedTime, tm)) std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &tm);
        PrintLine(h.Path + "\t" + std::to_string(h.Size) + "\t" + std::to_string(h.Occupied) + "\t" + when);
    }
    return 0;
}

// Totals of the files of a drive or folder by extension (or kind), from the
// file index.
int RunTypes(const Args& args) {
    bool byKind = false;
    std::string target;
    for (const auto& a : args) {
        if (a == "--by-kind") byKind = true;
        else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "norvessa-cli types: unknown option %s\n", a.c_str());
            return 1;
        } else if (target.empty()) target = a;
        else return Usage(stderr);
    }
    if (target.empty()) return Usage(stderr);
    std::string path;
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path, true);
    if (!drive) return 1;
    FileIndex index;
    if (!OpenIndexOf("types", path, *drive, index)) return 1;
    for (const TypeRow& r : TypeStatistics(index, path.size() > 3 ? path : std::string(), byKind)) {
        if (byKind)
            std::printf("%s\t%llu\t%llu\t%llu\n", KindKey(r.Kind), static_cast<unsigned long long>(r.Files),
                        static_cast<unsigned long long>(r.Size), static_cast<unsigned long long>(r.Occupied));
        else
            PrintLine(r.Extension + "\t" + KindKey(r.Kind) + "\t" + std::to_string(r.Files) + "\t" +
                      std::to_string(r.Size) + "\t" + std::to_string(r.Occupied));
    }
    return 0;
}

// What changed between the drive's previous and current measurements: the
// folders from the two caches, or the files from their two indexes.
int RunChanges(const Args& args) {
    auto fail = [](const std::string& text, int status = 1) {
        std::fprintf(stderr, "norvessa-cli changes: %s\n", text.c_str());
        return status;
    };
    std::string target;
    size_t top = 0;
    ChangeKey key = CHK_SIZE;
    bool files = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int n = 0;
        if (a == "--top" && hasValue) {
            if (!ParseInt(args[++i], n) || n < 1) return fail("--top takes a positive whole number, not " + args[i]);
            top = static_cast<size_t>(n);
        } else if (a == "--by" && hasValue) {
            const std::string& k = args[++i];
            if (k == "size") key = CHK_SIZE;
            else if (k == "occupied") key = CHK_OCCUPIED;
            else if (k == "files") key = CHK_FILES;
            else return fail("--by takes size, occupied or files, not " + k);
        } else if (a == "--files") {
            files = true;
        } else if (a.rfind("--", 0) == 0) {
            return fail("unknown option or missing value: " + a);
        } else if (target.empty()) {
            target = a;
        } else {
            return Usage(stderr);
        }
    }
    if (target.empty()) return Usage(stderr);
    if (files && key != CHK_SIZE) return fail("--files ranks by size only");
    std::string path;
    // A folder that is gone may still be asked about: it was there before.
    if (!ImportedFolder(target, path) && !ResolveFolder(target, path, false)) return 1;
    LoadParameters({});
    const char letter = path[0];
    DriveRecord record;
    record.Index = letter - 'A';
    record.RootPath = path.substr(0, 3);
    Measurement current, previous;
    std::time_t stamped = 0;
    // The files' changes need of the current cache its header alone.
    if (!current.Map(CacheFileName(record), !files) || !HeaderStart(current.Header(), stamped))
        return fail(std::string(1, letter) + ": has not been measured (" + CacheFileName(record) + ")");
    PreviousFault fault;
    switch (LoadPrevious(letter, current.Header(), previous, &fault)) {
    case PS_OK: break;
    case PS_NONE:
        return fail(std::string(1, letter) + ": has no previous measurement" +
                    (Global().KeepPrevious ? " (one is kept when a measurement replaces the cache: measure the drive again)"
                                           : " (keeping it is switched off in the settings)"));
    case PS_DAMAGED:
        return fail("the previous measurement of " + std::string(1, letter) + ": is damaged (" +
                    (fault.Line ? "line " + std::to_string(fault.Line) + ": " : std::string()) + fault.Text + ")");
    case PS_OTHER_DRIVE:
        return fail("the previous measurement of " + std::string(1, letter) + ": is of another drive (" +
                    (fault.Line ? "line " + std::to_string(fault.Line) + ": " : std::string()) + fault.Text + ")");
    }
    const std::string below = path.size() > 3 ? path : std::string();
    if (files) {
        FileIndex before, after;
        std::string why;
        if (!before.Open(PreviousIndexName(letter), letter, previous.Header(), &why))
            return fail("the previous measurement has no file index: " + why);
        if (!after.Open(FileIndexName(letter), letter, current.Header(), &why))
            return fail("the current measurement has no file index: " + why);
        for (const FileChange& c : CompareFileIndexes(before, after, below, top))
            PrintLine(c.Path + "\t" + (c.Before ? std::to_string(c.OldSize) : std::string()) + "\t" +
                      (c.After ? std::to_string(c.NewSize) : std::string()));
        return 0;
    }
    std::vector<FolderChange> changes = CompareMeasurements(previous, current, below);
    RankChanges(changes, key, CHANGE_ALL, top);
    auto field = [](bool there, double v) { return there ? Number(v) : std::string(); };
    for (const FolderChange& c : changes) {
        std::string line(c.Path);
        for (const auto& [there, v] : {std::pair{c.Before, c.Old.Size}, {c.After, c.New.Size}, {c.Before, c.Old.Occupied},
                                       {c.After, c.New.Occupied}, {c.Before, static_cast<double>(c.Old.Files)},
                                       {c.After, static_cast<double>(c.New.Files)}}) {
            line += '\t';
            line += field(there, v);
        }
        PrintLine(line);
    }
    return 0;
}

int RunHelp(const Args&) { return Usage(stdout); }

// Where this copy reads and writes its files, so that a user of an installed
// copy finds them (and a portable one can be told from it).
int RunPaths(const Args& args) {
    if (!args.empty()) return Usage(stderr);
    const platform::ProgramFolders f = platform::ProgramFileFolders();
    std::printf("layout\t%s\n", f.Installed ? "installed" : "portable");
    std::printf("settings\t%s\n", f.Settings.c_str());
    std::printf("data\t%s\n", f.Data.c_str());
    std::printf("parameters\t%s\n", SettingsFileName("prm").c_str());
    std::printf("drive map\t%s\n", platform::DriveMapFileName().c_str());
    std::printf("caches\t%sNRVS_<letter>.txt\n", f.Data.c_str());
    std::printf("file indexes\t%sNRVS_<letter>.idx\n", f.Data.c_str());
    std::printf("rankings\t%s%s_<letter>.rks\n", f.Data.c_str(), platform::ExecutableName().c_str());
    std::printf("previous measurements\t%sNRVS_<letter>.txt\n", platform::PreviousMeasurementFolder().c_str());
    std::printf("help\t%s\n", platform::HelpDocumentPath().c_str());
    return 0;
}

// The drive information dialog's rows, item and value tab-separated.
int RunInfo(const Args& args) {
    if (args.size() != 1) return Usage(stderr);
    std::string path;
    if (!ResolveFolder(args[0], path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    for (const auto& row : DriveInfoRows(*drive)) std::printf("%s\t%s\n", row.Caption.c_str(), row.Value.c_str());
    return 0;
}

// The drive monitor's rows, or the folder monitor's count of one folder.
int RunMonitor(const Args& args) {
    std::string folder;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--folder" && i + 1 < args.size() && folder.empty()) folder = args[++i];
        else return Usage(stderr);
    }
    if (!folder.empty()) {
        std::string path;
        if (!ResolveFolder(folder, path)) return 1;
        DriveRecord* drive = OpenDriveOf(path);
        if (!drive) return 1;
        const FolderCount c = FolderCounter::CountNow(path, drive->ClusterSize);
        if (!c.Valid) {
            std::fprintf(stderr, "norvessa-cli: %s cannot be read\n", path.c_str());
            return 1;
        }
        std::printf("%s\t%s\t%s\t%d\t%d\n", path.c_str(), Number(c.Bytes).c_str(), Number(c.Occupied).c_str(),
                    c.Files, c.Folders);
        return 0;
    }
    LoadParameters({});
    Global().ShowRemovable = 1;
    RefreshDrives(INT_MAX);
    std::printf("Drive\tTotal\tFree\t%%\n");
    for (const auto& letters : FixedDiskVolumes(Global().Drives)) {
        const MonitorCells c =
            ReadMonitorCells(Global().Drives, std::string(1, static_cast<char>('A' + letters.front())) + ":\\");
        std::printf(" %s\t%s\t%s\t%s\n", VolumeCaption(letters).c_str(), c.Total.c_str(), c.Free.c_str(),
                    c.Percent.c_str());
    }
    return 0;
}

// Runs program, beside this one, in place of this process with args (the
// program's name is put first). Returns only when it cannot be started,
// after saying so: what needs it is named by command and task.
int RunBeside(const char* program, std::vector<std::string> args, const char* command, const char* task) {
    const std::string path = g_ownPath.substr(0, g_ownPath.rfind('/') + 1) + program;
    args.insert(args.begin(), path);
    std::fflush(stdout);
    const std::string why = platform::RunInstead(path, args);
    std::fprintf(stderr,
                 "norvessa-cli: %s: %s by %s, which is not available (%s); every other command works without it\n",
                 command, task, path.c_str(), why.c_str());
    return 1;
}

// The treemap picture of a folder from the drive's cache, as the window
// draws it, with the legend along the bottom. Drawing needs Qt, which the
// rest of this tool does without: the picture is made by norvessa-treemap
// beside this program, given the checked arguments.
int RunTreemap(const Args& args) {
    std::string target, sizeText = "1600x1000", out, colourText = "kind", highlight = "-";
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size()) sizeText = args[++i];
        else if (args[i] == "--out" && i + 1 < args.size()) out = args[++i];
        else if (args[i] == "--colours" && i + 1 < args.size()) colourText = args[++i];
        else if (args[i] == "--highlight" && i + 1 < args.size()) {
            std::string ext = args[++i];
            if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
            for (char& c : ext)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            highlight = "=" + ext;
        }
        else if (target.empty() && args[i].rfind("--", 0) != 0) target = args[i];
        else return Usage(stderr);
    }
    if (target.empty() || out.empty()) return Usage(stderr);
    int width = 0, height = 0;
    char tail = 0;
    if (std::sscanf(sizeText.c_str(), "%dx%d%c", &width, &height, &tail) != 2) {
        std::fprintf(stderr, "norvessa-cli: --size wants WIDTHxHEIGHT in pixels, not %s\n", sizeText.c_str());
        return 1;
    }
    if (colourText != "kind" && colourText != "depth") {
        std::fprintf(stderr, "norvessa-cli: --colours is kind or depth, not %s\n", colourText.c_str());
        return 1;
    }
    std::string path;
    if (!ImportedFolder(target, path) && !ResolveFolder(target, path)) return 1;
    return RunBeside("norvessa-treemap",
                     {path, out, std::to_string(width), std::to_string(height), colourText, highlight}, "treemap",
                     "the picture is drawn");
}

// Another analyzer's scan (ncdu's JSON export, gzip-compressed or not) as
// a drive letter of its own, with the cache and file index a measurement of
// that tree would have written.
#ifdef NRVS_WITH_JSON_IMPORT
int RunImport(const Args& args) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "norvessa-cli import: %s\n", text.c_str());
        return 1;
    };
    std::string file, as, host;
    bool force = false, haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--as" && i + 1 < args.size()) as = args[++i];
        else if (a == "--host" && i + 1 < args.size()) host = args[++i];
        else if (a == "--force") force = true;
        else if (a.size() > 1 && a[0] == '-') return fail("unknown option or missing value: " + a);
        else if (!haveFile) file = a, haveFile = true;
        else return Usage(stderr);
    }
    if (!haveFile || as.empty()) return Usage(stderr);
    if (!(as.size() == 2 || (as.size() == 3 && as[2] == '\\')) || as[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(as[0])))
        return fail("--as takes a drive letter such as X:, not " + as);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(as[0])));
    LoadParameters({});
    platform::DetectDriveMap();
    const std::string& root = platform::DriveRoots()[static_cast<size_t>(letter - 'A')];
    if (!root.empty()) {
        if (!force)
            return fail(std::string(1, letter) + ": is a drive of this machine (" + root +
                        "); choose a free letter, or --force to give the letter up to the import");
    }
    std::string document, why;
    if (!platform::ReadInputDocument(file, kNcduMaxBytes, kNcduPadding, document, &why))
        return fail((file == "-" ? std::string("standard input") : file) + ": " + why);
    NcduImportReport report;
    NcduImportOptions options;
    options.Host = host;
    options.Source = file;
    if (!ImportNcdu(document, letter, options, report))
        return fail((file == "-" ? std::string("standard input") : file) + ": " + report.Error +
                    "; nothing was written");
    // An import has no folder on this machine: the letter must not lead there.
    if (!root.empty() && !platform::SetDriveMapEntry(letter - 'A', ""))
        std::fprintf(stderr, "norvessa-cli import: the drive map could not be written; %c: still names %s\n", letter,
                     root.c_str());
    std::printf("%c:\\\nroot      %s\nfolders   %llu\nfiles     %llu\nbytes     %s\noccupied  %s\n", letter,
                platform::ShownName(report.Root).c_str(), static_cast<unsigned long long>(report.Folders),
                static_cast<unsigned long long>(report.Files), Number(report.Bytes).c_str(),
                Number(report.Occupied).c_str());
    if (!report.Unreadable.empty()) {
        MeasureReport unread;
        unread.Unreadable = report.Unreadable;
        std::printf("%s\n", UnreadableMessage(unread).c_str());
    }
    return 0;
}
#else
// The JSON parser is the one library this tool can do without on a server:
// the import runs in norvessa-import beside it, the same tool with it.
int RunImport(const Args& args) {
    std::vector<std::string> forward = {"import"};
    forward.insert(forward.end(), args.begin(), args.end());
    return RunBeside("norvessa-import", std::move(forward), "import", "scans are read");
}
#endif

const Command kCommands[] = {
    {"drives", "[--tab]",
     "List the drives: letter, type, file system, capacity and free bytes,\n"
     "cluster size, readiness, label, native root. Sizes are in bytes; FREE\n"
     "is what an ordinary user can still write, as df's Avail: the blocks\n"
     "kept for root are not free (the window counts them as reserved).\n"
     "--tab separates the columns with tabs.",
     RunDrives},
    {"ls", "[--files|--folders] PATH",
     "Print the entry lines of a folder: name (folders end with \\), \" > \",\n"
     "attribute letters D A H R S C S, size and occupied size.\n"
     "PATH is a program-form path (C:\\usr\\) or a native one (/usr).\n"
     "On a terminal, the escape mark U+E05C that sets a real \"＼\" or\n"
     "\"␊\" apart from one standing for a backslash or control byte is\n"
     "shown as <U+E05C> (also by tree, sim and rank); a pipe gets names as\n"
     "they are.",
     RunList},
    {"measure", "[--count-links] [--no-index] DRIVE|PATH",
     "Measure a drive (C:) or one folder of it, write the drive's cache\n"
     "file NRVS_<letter>.txt (in the data folder, see paths) and print folders, files,\n"
     "bytes, occupied bytes and the duration. A file with several names\n"
     "counts its bytes once unless --count-links (or the setting) says\n"
     "every name. The drive's file index NRVS_<letter>.idx (for files) is\n"
     "written beside the cache unless --no-index. When the cache cannot be\n"
     "written the figures are still\n"
     "printed, the reason goes to standard error and the exit status is 1.",
     RunMeasure},
    {"tree", "DRIVE|PATH", "Print the cached folder lines of a drive, or of one folder and below.", RunTree},
    {"files",
     "DRIVE|PATH [--top N] [--by size|occupied|modified] [--ext LIST] [--min-size BYTES] [--older-than DAYS] "
     "[--name PATTERN] [--path]",
     "Print the largest files of a drive, or below a folder, from the file\n"
     "index of its last measurement (the disk is not walked): program path,\n"
     "size, occupied size and modification time (local), tab-separated,\n"
     "largest first (newest first by modified), ties in byte order of the\n"
     "path; 100 unless --top. --ext takes extensions without dots, comma-\n"
     "separated; --name a pattern with * and ? (without them: anywhere in\n"
     "the name), ignoring case and full-/half-width forms; --path matches it\n"
     "against the whole path. A file with several names is listed once,\n"
     "at the name that owns it, unless the measurement counted every name.\n"
     "Without an index of the last measurement: exit 1, measure again.",
     RunFiles},
    {"types", "DRIVE|PATH [--by-kind]",
     "Totals of the files of a drive, or below a folder, by extension, from\n"
     "the file index: extension (lower case, empty for none), kind (image,\n"
     "video, audio, document, archive, executable, source, other), files,\n"
     "bytes and occupied bytes, tab-separated, largest occupied first. A\n"
     "file without an extension that has an execute bit is executable.\n"
     "--by-kind gives one row per kind: kind, files, bytes, occupied.",
     RunTypes},
    {"copy", "[--progress] SRC DESTFOLDER",
     "Copy a file or folder tree into a folder, replacing what is there.\n"
     "Paths are program-form (C:\\usr\\) or native (/usr). --progress counts\n"
     "the tree first and shows items and bytes done, as the window does.",
     RunCopy},
    {"move", "[--progress] SRC DESTFOLDER", "Copy, then put the source into the trash once the copy is whole.", RunMove},
    {"delete", "[--progress] PATH [--trash]", "Delete a file or folder tree for good, or into the trash.", RunDelete},
    {"sim", "PATH --cluster N | --drive X:",
     "Simulate the occupied size of a folder's subfolders and files on\n"
     "clusters of N bytes (or of drive X:'s size). Prints name, occupied now\n"
     "(from the cache; ? when not measured) and simulated, tab-separated,\n"
     "then a total line.",
     RunSim},
    {"import", "FILE|- --as X: [--host NAME] [--force]",
     "Make drive letter X: of a scan written by ncdu -o (or gdu -o): its\n"
     "JSON export, gzip-compressed or not (- reads standard input). The\n"
     "letter gets the cache and file index a measurement of that tree\n"
     "would have written (folders that could not be read are listed), and\n"
     "NRVS_X.imp, which says of which root, which machine (--host) and\n"
     "when. A letter of this machine's drives is refused unless --force,\n"
     "which frees it in the drive map. Bad input exits with 1, the line\n"
     "and column and why, and writes nothing.",
     RunImport},
    {"export", "X: --tree FILE [--list PATH FILE] --format html|csv",
     "Write the export dialog's documents: the measured folders of drive X:\n"
     "(from its cache) and/or the list the window shows for folder PATH with\n"
     "the saved view settings (--tree may be left out when --list is given).\n"
     "--no-sizes, --no-files, --no-folders leave columns out; --links makes\n"
     "folder names links (HTML). A CSV is made for spreadsheets, as the\n"
     "dialog's \"表計算ソフト向け\": a UTF-8 byte-order mark first, and a cell\n"
     "starting with = + - @, a tab or a CR gets a leading ' so that it is\n"
     "never run as a formula; --plain writes the data exactly as it is.\n"
     "A file is replaced only once it is whole; a link at its name is\n"
     "replaced, not followed; a device, FIFO or folder there is refused.\n"
     "A failure exits with 1.\n"
     "export X:|PATH --format ncdu --out FILE writes the measured tree of a\n"
     "drive or folder as ncdu's JSON export (format 1.2, with mtime and\n"
     "mode), from the cache and the file index; without the index of the\n"
     "last measurement it is refused: measure again for its files.",
     RunExport},
    {"info", "DRIVE|PATH",
     "Print the drive information of the drive holding PATH: the twenty\n"
     "items of the window (letter, label, serial, file system, geometry,\n"
     "feature flags), tab-separated.",
     RunInfo},
    {"monitor", "[--folder PATH]",
     "Print the drive monitor's rows once: every fixed disk with total, free\n"
     "and the free share. --folder counts one folder as the folder monitor\n"
     "does: path, bytes, occupied bytes, files and folders, tab-separated.",
     RunMonitor},
    {"rank", "DRIVE [--by K] [--top N] [--filters 01111] [--exclude PATH] [--exclude-tree PATH]",
     "Rank the cached folders of a drive, largest first, as the ranking\n"
     "window does: rank and path, then size, occupied, cluster gap, own\n"
     "files' size and occupied, own files, all files, own folders, all\n"
     "folders, tab-separated, in bytes and counts. K: 0 to 8 in that order;\n"
     "--filters: archive, hidden, read-only, system, no own files;\n"
     "--exclude a folder alone, --exclude-tree with its subfolders\n"
     "(repeatable). What is not given comes from the window's choices.",
     RunRank},
    {"treemap", "DRIVE|PATH --out FILE.png [--size WxH] [--colours kind|depth] [--highlight EXT]",
     "Write the treemap of a folder (or a drive's root) as the window draws\n"
     "it: every folder a cushion whose area is its occupied size, from the\n"
     "drive's cache, and every file a tile of its own from the file index\n"
     "(files too small to see are one block per folder). --size defaults to\n"
     "1600x1000. --highlight dims every tile but the files of extension EXT.",
     RunTreemap},
    {"paths", "",
     "Print where the program reads and writes its files: the layout\n"
     "(portable: beside the executable; installed: the user's XDG folders),\n"
     "the settings and data folders, the parameter file, the drive map,\n"
     "the caches, file indexes and rankings, and the help document,\n"
     "tab-separated.",
     RunPaths},
    {"changes", "DRIVE|PATH [--top N] [--by size|occupied|files] [--files]",
     "What changed between the drive's previous measurement (kept when a\n"
     "measurement replaces its cache) and the current one, for the folders\n"
     "below PATH (itself included): one folder a line, tab-separated: path,\n"
     "size before and after, occupied size before and after, files before\n"
     "and after; a field is empty where the folder did not exist. Ordered by\n"
     "the absolute change of --by (default size), largest first, ties by\n"
     "path; --top N keeps the first N. --files lists the files that\n"
     "appeared, vanished or changed size instead (path, size before and\n"
     "after), from the two measurements' file indexes. Exit 1 when there is\n"
     "no previous measurement, or it is damaged or of another drive.",
     RunChanges},
    {"help", "", "Show this help.", RunHelp},
};

int Usage(std::FILE* out) {
    std::fprintf(out, "Usage: norvessa-cli <command> [arguments]\n\nCommands:\n");
    for (const auto& c : kCommands) {
        std::string head = std::string(c.name) + (c.usage[0] ? " " : "") + c.usage;
        std::string summary = c.summary;
        const std::string indent = "\n" + std::string(21, ' ');
        for (size_t nl = summary.find('\n'); nl != std::string::npos; nl = summary.find('\n', nl + indent.size()))
            summary.replace(nl, 1, indent);
        std::fprintf(out, "  %-18s %s\n", head.c_str(), summary.c_str());
    }
    std::fprintf(out,
                 "\nThe drive map is kept in the .drv file of the settings folder, beside the\n"
                 "executable for a portable copy (see paths).\n"
                 "--man prints this help as a manual page, --bash-completion a completion script.\n");
    return out == stdout ? 0 : 2;
}

// The options a command takes, as its usage and summary name them.
std::vector<std::string> OptionsOf(const Command& c) {
    std::vector<std::string> options;
    for (const std::string& text : {std::string(c.usage), std::string(c.summary)})
        for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
            size_t end = at + 2;
            while (end < text.size() && (std::islower(static_cast<unsigned char>(text[end])) || text[end] == '-')) ++end;
            std::string option = text.substr(at, end - at);
            if (option.size() > 2 && std::find(options.begin(), options.end(), option) == options.end())
                options.push_back(option);
        }
    return options;
}

// Text for roff: backslashes and hyphens escaped, no line starting with a
// control character.
std::string Roff(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\') out += "\\e";
        else if (ch == '-') out += "\\-";
        else out += ch;
        if ((ch == '.' || ch == '\'') && (out.size() == 1 || out[out.size() - 2] == '\n')) out.insert(out.size() - 1, "\\&");
    }
    return out;
}

// The manual page, made from the command table when the package is built,
// so that it never lists other commands than the tool has.
int ManualPage() {
    std::printf(".TH NORVESSA-CLI 1 \"\" \"Norvessa\" \"User Commands\"\n"
                ".SH NAME\nnorvessa-cli \\- measure drives and folders as Norvessa does, without windows\n"
                ".SH SYNOPSIS\n.B norvessa-cli\n.I command\n[\\fIarguments\\fR]\n"
                ".SH DESCRIPTION\nThe measurement core of Norvessa for scripts and for checking results.\n"
                "Drives are letters: C: is /, other mounted volumes get the following letters,\n"
                "and the drive map file gives any folder a letter of its own.\n"
                ".SH COMMANDS\n");
    for (const auto& c : kCommands) {
        std::printf(".TP\n.B %s\n", c.name);
        if (c.usage[0]) std::printf("%s\n", Roff(c.usage).c_str());
        std::printf(".br\n%s\n", Roff(c.summary).c_str());
    }
    std::printf(".SH OPTIONS\n");
    for (const auto& c : kCommands) {
        std::vector<std::string> options = OptionsOf(c);
        if (options.empty()) continue;
        std::string list;
        for (const auto& o : options) {
            if (!list.empty()) list += ", ";
            list += Roff(o);
        }
        std::printf(".TP\n.B %s\n%s\n", c.name, list.c_str());
    }
    std::printf(".TP\n.B \\-\\-help, \\-h\nShow the commands.\n");
    std::printf(".SH FILES\n"
                "A portable copy (its folder writable and holding the program's files or a\n"
                "marker file norvessa.portable) keeps everything beside the executable.\n"
                "An installed copy keeps its settings (norvessa.prm, the drive map norvessa.drv)\n"
                "in \\fI$XDG_CONFIG_HOME/norvessa/\\fR (\\fI~/.config/norvessa/\\fR) and the drive\n"
                "caches NRVS_<letter>.txt, file indexes NRVS_<letter>.idx and rankings in\n"
                "\\fI$XDG_DATA_HOME/norvessa/\\fR (\\fI~/.local/share/norvessa/\\fR).\n"
                "\\fBnorvessa\\-cli paths\\fR prints the folders in use.\n"
                ".SH SEE ALSO\n.BR norvessa (1)\n");
    return 0;
}

// Completion of the commands and of each command's options; paths and drive
// letters are left to bash's file name completion.
int BashCompletion() {
    std::string names;
    for (const auto& c : kCommands) {
        if (!names.empty()) names += ' ';
        names += c.name;
    }
    std::printf("# bash completion for norvessa-cli\n"
                "_norvessa_cli() {\n"
                "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
                "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                "        COMPREPLY=($(compgen -W \"%s --help\" -- \"$cur\"))\n"
                "        return\n"
                "    fi\n"
                "    local options=\n"
                "    case ${COMP_WORDS[1]} in\n",
                names.c_str());
    for (const auto& c : kCommands) {
        std::string list;
        for (const auto& o : OptionsOf(c)) {
            if (!list.empty()) list += ' ';
            list += o;
        }
        if (!list.empty()) std::printf("    %s) options=\"%s\" ;;\n", c.name, list.c_str());
    }
    std::printf("    esac\n"
                "    if [[ $cur == -* ]]; then\n"
                "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                "    else\n"
                "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                "    fi\n"
                "}\n"
                "complete -o filenames -F _norvessa_cli norvessa-cli\n");
    return 0;
}

} // namespace

// Share the program's drive map (and so its letters, which name the cache
// files) when the tool sits beside it: its own name would give it a map of
// its own, and a letter could then mean another volume in each.
void UseProgramFiles() {
    std::string exe = platform::ExecutablePath();
    g_ownPath = exe;
    // The Windows build: the same names with the system's extension.
    for (const std::string ext : {"", ".exe"})
        for (const std::string name : {"/norvessa-cli", "/norvessa-import"}) {
            const std::string own = name + ext;
            if (exe.size() > own.size() && exe.compare(exe.size() - own.size(), own.size(), own) == 0)
                platform::SetExecutablePath(exe.substr(0, exe.size() - own.size()) + "/norvessa" + ext);
        }
}

int main(int argc, char** argv) {
    platform::RaiseOpenFileLimit();
    UseProgramFiles();
    if (argc < 2) return Usage(stderr);
    std::string name = argv[1];
    if (name == "--help" || name == "-h") return Usage(stdout);
    if (name == "--man") return ManualPage();
    if (name == "--bash-completion") return BashCompletion();
    Args args(argv + 2, argv + argc);
    for (const auto& c : kCommands)
        if (name == c.name) return c.run(args);
    std::fprintf(stderr, "norvessa-cli: unknown command '%s'\n\n", name.c_str());
    return Usage(stderr);
}
