// norvessa-cli: the measurement core without windows, for scripts and for
// checking results against other tools.
//
// Each subcommand is one entry of kCommands. The tool never writes the
// parameter file; it only reads and updates the drive map beside the
// executable, as the program does at every drive refresh.

#include "core/Cache.h"
#include "core/DriveTable.h"
#include "core/Measure.h"
#include "core/Utglobal.h"
#include "lib/Sdirlist.h"
#include "platform/Pdrives.h"
#include "platform/Pexe.h"
#include "platform/Ppath.h"

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace nrvs;

namespace {

using Args = std::vector<std::string>;

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

// A drive ("C:"), a program-form path ("C:\\usr\\") or a native path
// ("/usr") as a program-form folder path ending in a backslash. Prints why
// not and returns false when the path lies on no drive.
bool ResolveFolder(const std::string& arg, std::string& path) {
    if (arg.size() >= 2 && arg[1] == ':' && std::isalpha(static_cast<unsigned char>(arg[0]))) {
        path = arg;
        path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        if (path.size() == 2 || path.back() != '\\') path += '\\';
    } else {
        platform::DetectDriveMap();
        char* real = ::realpath(arg.c_str(), nullptr);
        std::string native = real ? real : arg;
        std::free(real);
        if (!platform::ToProgram(native, path)) {
            std::fprintf(stderr, "norvessa-cli: %s lies on no drive (see norvessa-cli drives)\n", arg.c_str());
            return false;
        }
        if (path.back() != '\\') path += '\\';
    }
    return true;
}

// Loads the parameters (never written back) and makes the path's drive the
// current one. nullptr, with a message, when the drive is not ready.
DriveRecord* OpenDriveOf(const std::string& path) {
    LoadParameters({});
    Global().ShowRemovable = 1;
    int letter = platform::LetterOf(path);
    RefreshDrives(letter < 0 ? INT_MAX : letter);
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
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    DirListing listing;
    listing.ClusterSize = static_cast<int32_t>(drive->ClusterSize);
    ListFolder(listing, path + "*.*", kind);
    SortListing(listing, false);
    for (const auto& line : listing.Entries) std::printf("%s\n", line.c_str());
    return 0;
}

// Answers yes for the user who typed the command, and shows progress on a
// terminal.
struct CliHooks : MeasureHooks {
    bool tty = ::isatty(2);
    int Ask(const std::string&, int) override { return ID_YES; }
    void SetProgressText(const std::string& text) override {
        if (tty) std::fprintf(stderr, "\r\033[K%s", text.c_str());
    }
    ~CliHooks() override {
        if (tty) std::fprintf(stderr, "\r\033[K");
    }
};

int RunMeasure(const Args& args) {
    if (args.size() != 1) return Usage(stderr);
    std::string path;
    if (!ResolveFolder(args[0], path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    GlobalState& g = Global();
    auto start = std::chrono::steady_clock::now();
    {
        CliHooks hooks;
        if (path.size() == 3) {
            g.AskBeforeMeasure = 0;
            g.MeasureMulti = 0;
            // The reason is on standard error already; the old cache stays.
            if (!MeasureDrives(hooks)) return 1;
        } else {
            // A folder's lines replace the old ones in the drive's cache.
            LoadCache(g.Folders, *drive);
            if (!MeasureFolder(path, hooks)) return 1;
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
                Number(r->TreeOccupied).c_str(), seconds, CacheFileName(*drive).c_str());
    return 0;
}

int RunTree(const Args& args) {
    if (args.size() != 1) return Usage(stderr);
    std::string path;
    if (!ResolveFolder(args[0], path)) return 1;
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
    for (const auto& line : list.Lines)
        if (path.size() == 3 || (PathOfLine(line, linePath) && linePath.substr(0, path.size()) == path))
            std::printf("%s\n", line.c_str());
    return 0;
}

int RunHelp(const Args&) { return Usage(stdout); }

const Command kCommands[] = {
    {"drives", "[--tab]",
     "List the drives: letter, type, file system, capacity and free bytes,\n"
     "cluster size, readiness, label, native root. Sizes are in bytes; FREE\n"
     "counts the blocks reserved for root too (df's Avail does not).\n"
     "--tab separates the columns with tabs.",
     RunDrives},
    {"ls", "[--files|--folders] PATH",
     "Print the entry lines of a folder: name (folders end with \\), \" > \",\n"
     "attribute letters D A H R S C S, size and occupied size.\n"
     "PATH is a program-form path (C:\\usr\\) or a native one (/usr).",
     RunList},
    {"measure", "DRIVE|PATH",
     "Measure a drive (C:) or one folder of it, write the drive's cache\n"
     "file NRVS_<letter>.txt beside the executable and print folders, files,\n"
     "bytes, occupied bytes and the duration.",
     RunMeasure},
    {"tree", "DRIVE|PATH", "Print the cached folder lines of a drive, or of one folder and below.", RunTree},
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
    std::fprintf(out, "\nThe drive map is kept in the .drv file beside the executable.\n");
    return out == stdout ? 0 : 2;
}

} // namespace

// Share the program's drive map (and so its letters, which name the cache
// files) when the tool sits beside it: its own name would give it a map of
// its own, and a letter could then mean another volume in each.
void UseProgramFiles() {
    std::string exe = platform::ExecutablePath();
    const std::string own = "/norvessa-cli";
    if (exe.size() > own.size() && exe.compare(exe.size() - own.size(), own.size(), own) == 0)
        platform::SetExecutablePath(exe.substr(0, exe.size() - own.size()) + "/norvessa");
}

int main(int argc, char** argv) {
    platform::RaiseOpenFileLimit();
    UseProgramFiles();
    if (argc < 2) return Usage(stderr);
    std::string name = argv[1];
    if (name == "--help" || name == "-h") return Usage(stdout);
    Args args(argv + 2, argv + argc);
    for (const auto& c : kCommands)
        if (name == c.name) return c.run(args);
    std::fprintf(stderr, "norvessa-cli: unknown command '%s'\n\n", name.c_str());
    return Usage(stderr);
}
