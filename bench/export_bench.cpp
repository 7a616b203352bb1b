// How long exporting the tree of a one-million-folder drive takes as HTML and
// as CSV, and how much memory the export adds beyond the folder list, against
// the floor of writing a file of the same size: cp of the finished document
// (and cp followed by sync of the copy, since the export flushes its file to
// the disk before it replaces the old one).
//
//   export_bench [folders] [rounds]      defaults: 1000000 folders, 5 rounds
//
// Everything is written into a temporary folder under $TMPDIR (default /tmp),
// removed at the end. The folder list is built in memory the way the cache
// holds it: sorted lines of a drive X: mapped onto that folder.
#include "core/exchange/Export.h"
#include "core/cache/Folders.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Names of every kind the writers treat differently: plain, with markup or
// quote characters, with spaces, Japanese.
const char* const kNames[] = {"src",    "Documents", "a&b",     "photos 2024",
                              "日本語", "it's",      "<cache>", "node_modules",
                              "x\"y",   "写真",      "build",   "Program Files"};

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
    return -1;
}

// Resets the peak so that VmHWM afterwards is the peak of what follows.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeCommand(const std::string& command) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return Seconds(start);
}

} // namespace

int main(int argc, char** argv) {
    const long target = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/nrvs-export-bench-XXXXXX";
    if (!::mkdtemp(base.data())) return 1;
    const std::string dir = base + "/";
    std::filesystem::create_directories(dir + "drive");
    std::filesystem::create_directories(dir + "exe");
    nrvs::platform::SetExecutablePath(dir + "exe/norvessa");
    nrvs::platform::DetectDriveMap();
    nrvs::platform::SetDriveMapEntry('X' - 'A', dir + "drive/");

    // Three levels of about cbrt(target) folders each below the root.
    long fan = 1;
    while (fan * fan * fan + fan * fan + fan < target)
        ++fan;
    nrvs::FolderList folders;
    folders.Append("2026/12/07 09:00:00=3600");
    auto add = [&](const std::string& path, long n) {
        nrvs::FolderRecord r;
        r.Path = path;
        r.TreeBytes = 1234567.0 * static_cast<double>(n % 977);
        r.TreeOccupied = r.TreeBytes + 4096;
        r.OwnFiles = static_cast<int>(n % 50);
        r.TreeFiles = static_cast<int>(n % 5000);
        r.OwnFolders = static_cast<int>(n % 7);
        r.TreeFolders = static_cast<int>(n % 700);
        folders.Append(nrvs::FormatRecord(r));
    };
    add("X:\\", 0);
    long count = 1;
    auto name = [](long i) { return std::string(kNames[i % 12]) + " " + std::to_string(i); };
    for (long a = 0; a < fan && count < target; ++a) {
        const std::string pa = "X:\\" + name(a) + "\\";
        add(pa, count++);
        for (long b = 0; b < fan && count < target; ++b) {
            const std::string pb = pa + name(b) + "\\";
            add(pb, count++);
            for (long c = 0; c < fan && count < target; ++c)
                add(pb + name(c) + "\\", count++);
        }
    }
    folders.Sort();
    std::printf("tree of %ld folders (drive X: on %s), %d rounds, median and min..max\n\n", count,
                dir.c_str(), rounds);

    nrvs::ExportContext ctx{"bench", "X:\\", "2026/12/07 10:00:00", 0};
    std::printf("%-28s %9s %20s %12s %14s\n", "", "seconds", "min..max", "MB written",
                "peak extra MB");
    for (bool html : {true, false}) {
        const std::string out = dir + (html ? "tree.html" : "tree.csv");
        std::vector<double> times, copies, synced;
        long peak = 0;
        for (int r = 0; r < rounds; ++r) {
            const long before = StatusKb("VmRSS:");
            ResetPeak();
            auto start = Clock::now();
            if (!nrvs::ExportTreeFile(out, html, ctx, {}, folders)) {
                std::fprintf(stderr, "export failed\n");
                return 1;
            }
            times.push_back(Seconds(start));
            peak = std::max(peak, StatusKb("VmHWM:") - before);
            copies.push_back(TimeCommand("cp '" + out + "' '" + out + ".cp'"));
            synced.push_back(
                TimeCommand("cp '" + out + "' '" + out + ".cp' && sync '" + out + ".cp'"));
        }
        const double mb = static_cast<double>(std::filesystem::file_size(out)) / 1048576.0;
        auto row = [&](const char* what, const std::vector<double>& v) {
            std::printf("%-28s %9.3f %9.3f..%-9.3f %12.1f", what, Median(v),
                        *std::min_element(v.begin(), v.end()),
                        *std::max_element(v.begin(), v.end()), mb);
        };
        row(html ? "export tree HTML" : "export tree CSV", times);
        std::printf(" %14.2f\n", static_cast<double>(peak) / 1024.0);
        row("  cp of the same file", copies);
        std::printf("\n");
        row("  cp + sync of the copy", synced);
        std::printf("\n");
        std::printf("  export / cp = %.2f    export / (cp + sync) = %.2f\n\n",
                    Median(times) / Median(copies), Median(times) / Median(synced));
    }
    std::printf("resident at the end (the folder list and the program): %.1f MB\n",
                static_cast<double>(StatusKb("VmRSS:")) / 1024.0);
    nrvs::platform::SetDriveMapEntry('X' - 'A', "");
    std::filesystem::remove_all(base);
    return 0;
}
