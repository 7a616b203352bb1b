// norvessa-cli: the measurement core without windows, for scripts and for
// checking results against other tools.
//
// Each subcommand is one entry of kCommands. The tool never writes the
// parameter file; it only reads and updates the drive map beside the
// executable, as the program does at every drive refresh.

#include "core/DriveTable.h"
#include "core/Utglobal.h"
#include "platform/Pdrives.h"
#include "platform/Pexe.h"

#include <climits>
#include <cstdio>
#include <string>
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

int RunHelp(const Args&) { return Usage(stdout); }

const Command kCommands[] = {
    {"drives", "[--tab]",
     "List the drives: letter, type, file system, capacity and free bytes,\n"
     "cluster size, readiness, label, native root. Sizes are in bytes; FREE\n"
     "counts the blocks reserved for root too (df's Avail does not).\n"
     "--tab separates the columns with tabs.",
     RunDrives},
    // Further subcommands (listing a folder, measuring a drive, printing its
    // tree) go here, one entry each.
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
