// Files with several names measured on real trees: bytes once, in the folder
// whose path sorts first, whichever thread sees a name first.
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "platform/Paths.h"
#include "support/FileFixtures.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
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

TEST(HardLinkTest, TheOwnerIsTheFolderWhosePathSortsFirst) {
    // Each row: the folders holding a name of one file. The owner is the one
    // whose program path sorts first in byte order, a separator and the
    // shown form of each name included ("a!\\" before "a\\", a backslash
    // byte shown as U+FF3C after "]", a control byte after a space).
    const std::vector<std::vector<std::string>> rows = {
        {"a", "a!"},     {"a\\x", "a]"},   {"b/c", "b"},        {"b/c", "b!"},
        {"x\x01", "x "}, {"k/l/m", "k/l"}, {"p/q", "p/r", "p"}, {"z", "y/z", "y"},
    };
    TempDrive drive;
    const auto& d = drive.Dir();
    const std::string root = drive.Root();
    std::vector<std::string> expected;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string top = "r" + std::to_string(i) + "/";
        const std::string size(1000 + i, 'x');
        std::string owner;
        for (size_t k = 0; k < rows[i].size(); ++k) {
            const std::string at = top + rows[i][k];
            d.MakeDir(at);
            if (k == 0)
                d.Write(at + "/f", size);
            else
                Link(d / (top + rows[i][0] + "/f"), d / (at + "/f" + std::to_string(k)));
            std::string path = root + "r" + std::to_string(i) + "\\";
            for (size_t from = 0; from <= rows[i][k].size();) {
                const size_t slash = std::min(rows[i][k].find('/', from), rows[i][k].size());
                path += platform::ShownName(rows[i][k].substr(from, slash - from)) + "\\";
                from = slash + 1;
            }
            if (owner.empty() || path < owner) owner = path;
        }
        expected.push_back(owner);
    }
    auto m = Measure(root, true, 3);
    for (size_t i = 0; i < rows.size(); ++i) {
        for (const auto& [path, r] : m)
            if (path.rfind(root + "r" + std::to_string(i) + "\\", 0) == 0 && r.OwnBytes > 0)
                EXPECT_EQ(path, expected[i]) << "row " << i;
        EXPECT_EQ(m[expected[i]].OwnBytes, 1000 + i) << "row " << i;
    }
}

TEST(HardLinkTest, ManyNamesBelowADeepChainCostNoPathEach) {
    // A file with a name in each folder of a chain 12,000 levels deep, of
    // long names. Rebuilding the path of each name's folder to choose the
    // owner took longer than the test's timeout (ten minutes); numbering the
    // folders once takes well under a second.
    TempDrive drive;
    const int depth = 12000;
    const std::string name(100, 'd');
    drive.Dir().Write("f", std::string(5000, 'x'));
    {
        platform::Folder top = platform::Folder::Open(drive.Native());
        platform::Folder at = platform::Folder::Open(drive.Native());
        for (int i = 0; i < depth; ++i) {
            ASSERT_EQ(::mkdirat(static_cast<int>(at.Handle()), name.c_str(), 0755), 0);
            at = at.OpenChild(name);
            ASSERT_TRUE(at.Valid());
            ASSERT_EQ(::linkat(static_cast<int>(top.Handle()), "f", static_cast<int>(at.Handle()),
                               "f", 0),
                      0);
        }
    }
    const std::string root = drive.Root();
    auto m = Measure(root, true, 1);
    EXPECT_EQ(m[root].OwnBytes, 5000);
    EXPECT_EQ(m[root].TreeBytes, 5000);
    EXPECT_EQ(m[root].TreeFiles, depth + 1);
    EXPECT_EQ(m[root].TreeFolders, depth);
}
