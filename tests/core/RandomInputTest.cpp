// Random damaged input for every parser of the files beside the executable
// and for the list rows built from them. Built with the sanitizers, a crash,
// an overflow or an out-of-range read ends the run; the properties below catch
// wrong results. NRVS_FUZZ_ITERATIONS raises the count (tools/fuzz.sh) and
// NRVS_FUZZ_SEED repeats a run.
#include "core/cache/Cache.h"
#include "core/cache/Folders.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/NumberText.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "support/RandomRun.h"
#include "support/ResetGlobalState.h"
#include "support/Systems.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace nrvs;

namespace {

class Noise {
  public:
    explicit Noise(uint64_t seed) : rng_(seed) {}

    size_t Below(size_t n) { return n ? static_cast<size_t>(rng_() % n) : 0; }
    bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }

    // A number as text, often at the edges of what the fields can hold.
    std::string Number() {
        static const char* const edges[] = {"0",
                                            "1",
                                            "-1",
                                            "2147483647",
                                            "-2147483648",
                                            "2147483648",
                                            "4294967295",
                                            "99999999999999999999",
                                            "1E15",
                                            "1.5E-5",
                                            "1e308",
                                            "-1e308",
                                            "1.7976931348623157e308",
                                            "4.9e-324",
                                            "NAN",
                                            "inf",
                                            "+5",
                                            "++5",
                                            "-",
                                            "",
                                            ".",
                                            "1.",
                                            ".5",
                                            "E5",
                                            "0x10",
                                            "007",
                                            " 3",
                                            "3 "};
        if (Chance(60)) return edges[Below(std::size(edges))];
        return std::to_string(static_cast<int64_t>(rng_()) >> Below(63));
    }

    std::string Piece() {
        static const char* const pieces[] = {
            " > ",          ":",    "\\",   "X:\\",    "C:\\",    "a",
            "Ab",           "\t",   "=",    "/",       " ",       "\xE3\x81\x82",
            "\xEF\xBC\xBC", "\xFF", "\xC3", "\x01",    "..",      ".",
            "mount",        "-",    "D",    "DAHRSCS", "-------", "2025/03/25 12:00:00"};
        switch (Below(4)) {
        case 0:
            return Number();
        case 1:
            return std::string(1, static_cast<char>(Below(256)));
        default:
            return pieces[Below(std::size(pieces))];
        }
    }

    std::string Text(size_t maxPieces) {
        std::string s;
        for (size_t n = Below(maxPieces + 1); n > 0; --n)
            s += Piece();
        return s;
    }

    // A folder line, mostly well formed so that the numbers are reached.
    std::string FolderLine(const std::string& root) {
        if (Chance(15)) return Text(12);
        std::string s = Chance(80) ? root + Text(3) : Text(3);
        if (Chance(70) && !s.empty() && s.back() != '\\') s += '\\';
        if (Chance(90)) s += " > ";
        for (int i = 0, n = static_cast<int>(Below(14)); i < n; ++i) {
            if (i) s += ':';
            s += Number();
        }
        return s;
    }

    // A line of the directory lister.
    std::string EntryLine() {
        if (Chance(10)) return Text(10);
        std::string s = Text(3);
        if (s.empty()) s = "n";
        const bool dir = Chance(50);
        if (dir) s += '\\';
        s += " > ";
        s += dir ? "D" : "-";
        s += Chance(80) ? "------" : Text(2);
        s += Number() + ":" + Number();
        return s;
    }

    std::string MountLine() {
        if (Chance(20)) return Text(14);
        static const char* const points[] = {
            "/", "/mnt/a", "/media/x", "/proc", "/run/media/u/s", "/a\\040b", "x"};
        static const char* const types[] = {"ext4",    "tmpfs", "nfs",       "squashfs",
                                            "iso9660", "proc",  "fuse.sshfs"};
        static const char* const sources[] = {"/dev/sda1", "/dev/sr0", "server:/e", "none",
                                              "//h/s"};
        std::string s = Number() + " " + Number() + " " + Number() + ":" + Number() + " " +
                        (Chance(70) ? "/" : Text(2)) + " " + points[Below(std::size(points))] +
                        " rw";
        if (Chance(30)) s += " shared:1";
        s += Chance(90) ? " - " : " ";
        s += std::string(types[Below(std::size(types))]) + " " +
             sources[Below(std::size(sources))] + " rw";
        return s;
    }

    uint64_t Next() { return rng_(); }

  private:
    std::mt19937_64 rng_;
};

// The first line whose path part equals the path: the lookup by definition,
// one pass over the list.
int LinearIndex(const FolderList& list, std::string_view path) {
    std::string_view linePath;
    for (int i = 0; i < list.Count(); ++i) {
        PathOfLine(list.LineAt(i), linePath);
        if (linePath == path) return i;
    }
    return -1;
}

} // namespace

TEST(RandomInputTest, FolderLinesParseFormatAndIndex) {
    RandomRun run(3000);
    Noise noise(run.seed);
    for (long it = 0; it < run.iterations; ++it) {
        SCOPED_TRACE("seed " + std::to_string(run.seed) + " iteration " + std::to_string(it));
        FolderList list;
        for (size_t n = noise.Below(12); n > 0; --n)
            list.Append(noise.FolderLine("X:\\"));
        // Duplicates: the first line of a path must win.
        if (list.Count() > 1 && noise.Chance(50))
            list.Append(list.LineAt(static_cast<int>(noise.Below(list.Count()))));
        for (int i = 0; i < list.Count(); ++i) {
            // What the program writes reads back as the same record (sizes
            // are written with 15 digits, so after one round).
            FolderRecord first = ParseRecord(list.LineAt(i));
            const FolderRecord r = ParseRecord(FormatRecord(first));
            FolderRecord again = r;
            const FolderRecord back = ParseRecord(FormatRecord(again));
            ASSERT_EQ(back.Path, r.Path);
            ASSERT_EQ(back.TreeBytes, r.TreeBytes);
            ASSERT_EQ(back.OwnOccupied, r.OwnOccupied);
            ASSERT_EQ(back.TreeFolders, r.TreeFolders);
            ASSERT_EQ(back.System, r.System);
            std::string_view path;
            PathOfLine(list.LineAt(i), path);
            ASSERT_EQ(list.IndexOfPath(path), LinearIndex(list, path)) << list.LineAt(i);
        }
        const std::string stranger = noise.Text(4);
        ASSERT_EQ(list.IndexOfPath(stranger), LinearIndex(list, stranger));
        list.Sort();
        for (int i = 1; i < list.Count(); ++i)
            ASSERT_FALSE(platform::LessIgnoreCase(list.LineAt(i), list.LineAt(i - 1)));
        if (list.Count() > 0) {
            std::string_view path;
            PathOfLine(list.LineAt(0), path);
            ASSERT_EQ(list.IndexOfPath(path), LinearIndex(list, path));
        }
        const std::string header = noise.Chance(50) ? noise.Text(6) : "2025/" + noise.Text(4);
        std::time_t start;
        long long days;
        HeaderStart(header, start);
        HeaderAgeDays(header, static_cast<std::time_t>(noise.Next() % 8000000000ull), days);
    }
}

TEST(RandomInputTest, ListRowsOfDamagedCachesAndListings) {
    RandomRun run(1500);
    Noise noise(run.seed + 1);
    for (long it = 0; it < run.iterations; ++it) {
        SCOPED_TRACE("seed " + std::to_string(run.seed + 1) + " iteration " + std::to_string(it));
        const std::string folder = noise.Chance(50) ? "X:\\" : "X:\\" + noise.Text(2) + "\\";
        FolderList folders;
        StringList entries;
        for (size_t n = noise.Below(10); n > 0; --n) {
            std::string entry = noise.EntryLine();
            entries.push_back(entry);
            const DirEntry e = ParseEntry(entry);
            // Most folder entries get a (possibly damaged) cache line.
            if (e.IsDir && noise.Chance(80)) {
                std::string line = noise.FolderLine("");
                std::string_view oldPath;
                PathOfLine(line, oldPath);
                folders.Append(folder + e.Name + line.substr(oldPath.size()));
            }
        }
        if (noise.Chance(50)) folders.Append(noise.FolderLine("X:\\"));
        FillInput in;
        in.Path = folder;
        in.Entries = &entries;
        in.ListedFolders =
            static_cast<int>(noise.Below(3)) == 0 ? 2147483647 : static_cast<int>(noise.Below(100));
        in.ListedFiles = static_cast<int>(noise.Below(100));
        in.TotalBytes = TextToFloat(noise.Number(), 0);
        in.FreeBytes = TextToFloat(noise.Number(), 0);
        in.RootPath = "X:\\";
        in.ShowFiles = noise.Chance(50);
        in.PercentBase = static_cast<int>(noise.Below(6)) - 1;
        in.Order = {static_cast<int>(noise.Below(3)), static_cast<int>(noise.Below(3)),
                    noise.Text(2)};
        FillResult out = BuildRows(in, folders, 0);
        ASSERT_FALSE(out.Rows.empty());
        const RowFields header = SplitRow(out.Rows[0]);
        ASSERT_EQ(header.Image, IMG_HEADER);
        if (folder.find('\t') == std::string::npos) {
            ASSERT_EQ(header.Caption, folder);
        }
        // Counts are sums of non-negative parts: never negative, never
        // wrapped; a subtree's is "not known" (-2) below an unmeasured folder.
        for (const std::string& counts : {header.Files, header.Folders}) {
            const size_t eq = counts.find('=');
            ASSERT_NE(eq, std::string::npos);
            if (counts.substr(eq + 1) == "-2") continue;
            ASSERT_EQ(counts.find('-', eq), std::string::npos) << counts;
        }
        for (const auto& row : out.Rows)
            ASSERT_EQ(std::count(row.begin(), row.end(), '\t'), 6) << row;
        RowsShowUnmeasured(out.Rows);
        ColumnWidths(out.Rows, 9, static_cast<int>(noise.Below(8)) - 1, in.Order.ColumnFlags, -5,
                     0);
        const RowFields any = SplitRow(out.Rows[noise.Below(out.Rows.size())]);
        InfoTip(any.Caption, any.Size, any.Occupied);
    }
}

TEST(RandomInputTest, SettingsFilesReadBackAsWritten) {
    RandomRun run(60);
    Noise noise(run.seed + 2);
    test::TempDir dir;
    platform::SetExecutablePath(dir / "norvessa");
    for (long it = 0; it < run.iterations; ++it) {
        SCOPED_TRACE("seed " + std::to_string(run.seed + 2) + " iteration " + std::to_string(it));
        StringList lines;
        for (size_t n = noise.Below(60); n > 0; --n)
            lines.push_back(noise.Chance(50) ? noise.Number() : noise.Text(3));
        ASSERT_EQ(SaveLines(lines, dir / "norvessa.prm"), 1);
        test::ResetGlobalState();
        LoadParameters({});
        GlobalState first = Global();
        // What indexes tables stays in range.
        ASSERT_TRUE(first.SortKey >= 0 && first.SortKey <= 1);
        ASSERT_TRUE(first.SizeUnit >= 0 && first.SizeUnit <= 5);
        ASSERT_TRUE(first.PercentBase >= 0 && first.PercentBase <= 3);
        ASSERT_TRUE(first.StartDrive >= 0 && first.StartDrive <= 26);
        for (int b : {first.ShowRemovable, first.ShowFiles, first.SortDescending, first.ShowSplash,
                      first.MeasureMulti, first.AskBeforeMeasure, first.RemeasureAfterAction,
                      first.UseRecycleBin})
            ASSERT_TRUE(b == 0 || b == 1) << b;
        SaveParameters();
        StringList written;
        LoadLines(written, dir / "norvessa.prm");
        test::ResetGlobalState();
        LoadParameters({});
        const GlobalState& second = Global();
        SaveParameters();
        StringList rewritten;
        LoadLines(rewritten, dir / "norvessa.prm");
        ASSERT_EQ(rewritten, written) << "a second start changes nothing";
        ASSERT_EQ(second.SimCluster, first.SimCluster);
        ASSERT_EQ(second.ExpiryDays, first.ExpiryDays);
        ASSERT_EQ(second.MainWidth, first.MainWidth);
        ASSERT_EQ(second.CacheLetters, first.CacheLetters);
    }
    test::ResetGlobalState();
    platform::SetExecutablePath("");
}

TEST(RandomInputTest, DriveMapsSettleAfterOneWrite) {
    NRVS_LINUX_ONLY("Windows has its letters from the system, not from a mount table");
    RandomRun run(1500);
    Noise noise(run.seed + 3);
    for (long it = 0; it < run.iterations; ++it) {
        SCOPED_TRACE("seed " + std::to_string(run.seed + 3) + " iteration " + std::to_string(it));
        std::string mountinfo;
        for (size_t n = noise.Below(8); n > 0; --n)
            mountinfo += noise.MountLine() + "\n";
        const std::vector<platform::MountEntry> mounts = platform::ParseMountInfo(mountinfo);
        std::vector<std::string> lines;
        for (size_t n = noise.Below(56); n > 0; --n) {
            switch (noise.Below(4)) {
            case 0:
                lines.push_back("");
                break;
            case 1:
                lines.push_back("mount");
                break;
            case 2:
                lines.push_back("/" + noise.Text(3));
                break;
            default:
                lines.push_back(noise.Text(3));
                break;
            }
        }
        const platform::DriveMap map = platform::AssignLetters(lines, mounts);
        for (const auto& root : map.Roots)
            ASSERT_TRUE(root.empty() || root[0] == '/') << root;
        const std::vector<std::string> written = platform::DriveMapLines(map);
        ASSERT_EQ(written.size(), 52u);
        // The written map read with the same mounts gives the same letters, so
        // the file is not rewritten at every start.
        const platform::DriveMap again = platform::AssignLetters(written, mounts);
        ASSERT_EQ(again.Roots, map.Roots);
        ASSERT_EQ(platform::DriveMapLines(again), written);
    }
}
