// Files with several names measured on real trees: bytes once, in the folder
// whose path sorts first, whichever thread sees a name first.
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDrive;
namespace fs = std::filesystem;

namespace {
std::map<std::string, FolderRecord> Measure(const std::string& root, bool once, int threads) {
    FolderList out;
    MeasureHooks hooks;
    MeasureOptions o;
    o.CountLinksOnce = once;
    o.Threads = threads;
    MeasureTree(out, root, 0, 0, hooks, o);
    std::map<std::string, FolderRecord> m;
    for (const auto& line : out.CopyLines()) {
        FolderRecord r = ParseRecord(line);
        m[r.Path] = r;
    }
    return m;
}

StringList Lines(const std::string& root, bool once, int threads) {
    FolderList out;
    MeasureHooks hooks;
    MeasureOptions o;
    o.CountLinksOnce = once;
    o.Threads = threads;
    MeasureTree(out, root, 0, 0, hooks, o);
    return out.CopyLines();
}

void Link(const std::string& from, const std::string& to) {
    ASSERT_EQ(::link(from.c_str(), to.c_str()), 0) << to;
}
} // namespace

TEST(HardLinkTest, AFileWithThreeNamesCountsOnceInTheFirstFolderByPath) {
    TempDrive drive;
    const auto& d = drive.Dir();
    d.Write("b/x", std::string(5000, 'x'));
    d.MakeDir("a");
    d.MakeDir("c/deep");
    Link(d / "b/x", d / "a/y");
    Link(d / "b/x", d / "c/deep/z");
    d.Write("a/own", std::string(10, 'o'));
    const std::string root = drive.Root();

    auto once = Measure(root, true, 1);
    EXPECT_EQ(once[root + "a\\"].OwnBytes, 5010);
    EXPECT_EQ(once[root + "b\\"].OwnBytes, 0);
    EXPECT_EQ(once[root + "c\\deep\\"].OwnBytes, 0);
    EXPECT_EQ(once[root].TreeBytes, 5010);
    EXPECT_EQ(once[root].TreeFiles, 4) << "every name still counts as a file";
    EXPECT_EQ(once[root + "b\\"].OwnFiles, 1);

    auto every = Measure(root, false, 1);
    EXPECT_EQ(every[root].TreeBytes, 15010);
    EXPECT_EQ(every[root + "b\\"].OwnBytes, 5000);

    // Measuring one folder alone: its name counts in full, as du within its
    // arguments.
    auto part = Measure(root + "c\\", true, 1);
    EXPECT_EQ(part[root + "c\\"].TreeBytes, 5000);
}

TEST(HardLinkTest, TotalsMatchTheTreeAndDoNotDependOnThreads) {
    TempDrive drive;
    const auto& d = drive.Dir();
    // A backup made with links: many folders sharing most of their files.
    for (int f = 0; f < 30; ++f)
        d.Write("base/f" + std::to_string(f), std::string(100 + f * 37, 'b'));
    for (int snap = 0; snap < 12; ++snap) {
        const std::string s = "snap" + std::to_string(snap) + "/";
        d.MakeDir(s + "sub");
        for (int f = 0; f < 30; ++f) {
            if ((f + snap) % 5 == 0)
                d.Write(s + "sub/f" + std::to_string(f), std::string(50 + snap, 'n'));
            else
                Link(d / ("base/f" + std::to_string(f)), d / (s + "sub/f" + std::to_string(f)));
        }
    }
    // What the disk holds, counted here from the tree itself.
    double apparent = 0;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const auto& e : fs::recursive_directory_iterator(d.Path())) {
        struct stat st {};
        if (::lstat(e.path().c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        if (seen.insert({st.st_dev, st.st_ino}).second) apparent += static_cast<double>(st.st_size);
    }
    const std::string root = drive.Root();
    auto m = Measure(root, true, 1);
    EXPECT_EQ(m[root].TreeBytes, apparent);
    EXPECT_EQ(m[root].TreeFiles, 30 + 12 * 30);
    EXPECT_EQ(Lines(root, true, 1), Lines(root, true, 8));
    EXPECT_EQ(Lines(root, false, 1), Lines(root, false, 8));
}
