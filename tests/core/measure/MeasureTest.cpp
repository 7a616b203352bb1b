#include "core/cache/Cache.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "support/CurrentDrive.h"
#include "support/FileFixtures.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;
namespace fs = std::filesystem;
using nrvs::test::ScriptedHooks;

namespace {

std::map<std::string, FolderRecord> ByPath(const FolderList& l) {
    std::map<std::string, FolderRecord> m;
    for (const auto& line : l.CopyLines()) {
        FolderRecord r = ParseRecord(line);
        m[r.Path] = r;
    }
    return m;
}

std::string Zeros() {
    return "0:0:0:0:0:0:0:0:0:0:0:0";
}

} // namespace

TEST(OccupiedSizeTest, RoundsToClustersAgainstTheLogicalSize) {
    EXPECT_EQ(OccupiedSize(1, 1, 4096), 4096);
    EXPECT_EQ(OccupiedSize(4096, 4096, 4096), 4096);
    EXPECT_EQ(OccupiedSize(4097, 4097, 4096), 8192);
    EXPECT_EQ(OccupiedSize(0, 0, 4096), 0);
    EXPECT_EQ(OccupiedSize(100000, 8192, 4096), 12288)
        << "compressed: one cluster beyond what it holds";
    EXPECT_EQ(OccupiedSize(100000, 8192, 0), 8192);
    // 2^35 clusters: more than a 32-bit count holds.
    const double huge = 17592186044416.0 + 1;
    EXPECT_EQ(OccupiedSize(huge, huge, 512), 17592186044416.0 + 512);
}

TEST(MeasureTreeTest, FilesAndFoldersOfTheExamples) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.MakeDir("empty");
    d.Write("files/one", "x");
    d.Write("files/full", std::string(4096, 'f'));
    d.Write("files/over", std::string(4097, 'o'));
    d.Write("files/zero", "");
    d.Write("A/a.txt", "a");
    d.Write("A/B/b1", "bb");
    d.Write("A/B/b2", "bbb");
    d.MakeDir(".hid");
    ::chmod((d / "A/B").c_str(), 0555);

    FolderList l;
    ScriptedHooks hooks;
    FolderRecord root = MeasureTree(l, drive.Root(), 4096, 0, hooks);
    ::chmod((d / "A/B").c_str(), 0755);
    const std::string R = drive.Root();
    auto m = ByPath(l);
    ASSERT_EQ(l.Count(), 6);
    EXPECT_EQ(m[R + "empty\\"].Line, R + "empty\\ > " + Zeros());
    EXPECT_EQ(m[R + "files\\"].Line, R + "files\\ > 8194:16384:8194:16384:4:4:0:0:0:0:0:0");
    const FolderRecord& a = m[R + "A\\"];
    const FolderRecord& b = m[R + "A\\B\\"];
    EXPECT_EQ(a.OwnFiles, 1);
    EXPECT_EQ(a.TreeFiles, 3);
    EXPECT_EQ(a.OwnFolders, 1);
    EXPECT_EQ(a.TreeFolders, 1);
    EXPECT_EQ(b.OwnFiles, 2);
    EXPECT_EQ(b.TreeFiles, 2);
    EXPECT_EQ(b.TreeFolders, 0);
    EXPECT_EQ(b.ReadOnly, 1);
    EXPECT_EQ(m[R + ".hid\\"].Hidden, 1);
    EXPECT_LT(l.IndexOfPath(R + "A\\B\\"), l.IndexOfPath(R + "A\\")) << "post order";
    EXPECT_EQ(l.CopyLines().back().substr(0, R.size() + 3), R + " > ") << "the root comes last";
    EXPECT_EQ(root.Path, R);
    EXPECT_EQ(root.TreeFiles, 7);
    EXPECT_EQ(root.OwnFolders, 4);
    EXPECT_EQ(root.TreeFolders, 5);
    EXPECT_EQ(root.TreeBytes, 8194 + 1 + 2 + 3);
    EXPECT_EQ(root.TreeOccupied, 16384 + 3 * 4096);
    EXPECT_FALSE(hooks.progress.empty());
    EXPECT_EQ(hooks.progress.back().substr(hooks.progress.back().size() - 3), "...");
    // The running dialog's counts end with the walk's totals.
    EXPECT_GE(hooks.countCalls, 1);
    EXPECT_EQ(hooks.countedFolders, root.TreeFolders);
    EXPECT_EQ(hooks.countedFiles, root.TreeFiles);
    EXPECT_EQ(hooks.countedBytes, root.TreeBytes);
}

TEST(MeasureTreeTest, SparseFilesUnlistableFoldersAndLinks) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string sparse = d / "s/sparse";
    d.MakeDir("s");
    int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::pwrite(fd, std::string(8192, 'z').data(), 8192, 0), 8192);
    ASSERT_EQ(::ftruncate(fd, 100000), 0);
    ::fsync(fd);
    ::close(fd);
    struct stat st {};
    ::stat(sparse.c_str(), &st);
    d.Write("locked/inner/x", "123");
    ::chmod((d / "locked").c_str(), 0);
    ::symlink("..", (d / "s/up").c_str());
    ::chmod(drive.Native().c_str(), 0755);
    ::chmod(drive.ExeDir().Path().c_str(), 0755);
    const std::string root = drive.Root();
    const bool sparseHolds8192 = st.st_blocks * 512 == 8192;
    // The checks run in the unprivileged child, which reports only yes or no.
    // The locked folder gets zero sizes and the attributes still readable
    // (mode 0: read-only).
    EXPECT_TRUE(test::AsUnprivileged([&] {
        FolderList l;
        MeasureHooks hooks;
        MeasureTree(l, root, 4096, 0, hooks);
        const FolderRecord* locked = l.FindPath(root + "locked\\");
        if (l.Count() != 3 || !locked ||
            locked->Line != root + "locked\\ > 0:0:0:0:0:0:0:0:0:0:1:0")
            return false;
        // The sparse file counts one cluster beyond what it holds; the link
        // is a file of 2 bytes.
        const FolderRecord* s = l.FindPath(root + "s\\");
        return s && (!sparseHolds8192 ||
                     s->Line == root + "s\\ > 100002:16384:100002:16384:2:2:0:0:0:0:0:0");
    }));
    ::chmod((d / "locked").c_str(), 0755);
}

TEST(MeasureTreeTest, OtherMountsAreListedButNotEntered) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.MakeDir("m/inner");
    if (::mount("none", (d / "m/inner").c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root and a kernel that allows it";
    d.Write("m/inner/big", std::string(100000, 'b'));
    d.Write("m/own", "12");
    for (int threads : {1, 3}) {
        FolderList l;
        MeasureHooks hooks;
        MeasureTree(l, drive.Root(), 4096, 0, hooks, {threads});
        const FolderRecord* inner = l.FindPath(drive.Root() + "m\\inner\\");
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(inner->TreeBytes, 0);
        EXPECT_EQ(inner->OwnFiles, 0);
        const FolderRecord* m = l.FindPath(drive.Root() + "m\\");
        EXPECT_EQ(m->TreeBytes, 2);
        EXPECT_EQ(m->OwnFolders, 1);

        // Asked for by itself, the mount's root is not walked either: its
        // own drive measures it.
        FolderList alone;
        MeasureTree(alone, drive.Root() + "m\\inner\\", 4096, 0, hooks, {threads});
        ASSERT_EQ(alone.Count(), 1);
        EXPECT_EQ(alone.LineAt(0), drive.Root() + "m\\inner\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    }
    ::umount((d / "m/inner").c_str());
}

// Lines in order come out sorted as the cache sorts them, so the sort after
// has nothing to do, and are the same lines as in post order; names that
// sort otherwise (case-only twins, characters before a space, a name that
// is a prefix of another) leave them to that sort, never wrong after it.
TEST(MeasureTreeTest, LinesInOrderAreTheSortedLines) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    std::mt19937 rng(1208);
    const std::vector<std::string> plain{
        "a", "b", "a b", "a.b", "ab", "Zed", "_x", "[y]", "\xC3\xA9t\xC3\xA9", "K"};
    const std::vector<std::string> odd{"A", "B", " lead", "\x01ctl", "a!", "\xC3\x89T\xC3\x89"};
    for (bool withOdd : {false, true}) {
        SCOPED_TRACE(withOdd ? "odd names" : "plain names");
        const std::string top = withOdd ? "odd/" : "plain/";
        std::vector<std::string> dirs{top};
        d.MakeDir(top);
        for (int i = 0; i < 120; ++i) {
            const std::vector<std::string>& names = withOdd && i % 3 == 0 ? odd : plain;
            const std::string dir = dirs[rng() % dirs.size()] + names[rng() % names.size()] + "/";
            d.MakeDir(dir);
            if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(dir);
            d.Write(dir + "f" + std::to_string(i), std::string(rng() % 5000, 'q'));
        }
        const std::string start = drive.Root() + (withOdd ? "odd\\" : "plain\\");
        for (int threads : {1, 3}) {
            FolderList post, ordered;
            MeasureHooks hooks;
            const FolderRecord a = MeasureTree(post, start, 4096, 0, hooks, {threads});
            MeasureOptions options;
            options.Threads = threads;
            options.LinesInOrder = true;
            const FolderRecord b = MeasureTree(ordered, start, 4096, 0, hooks, options);
            EXPECT_EQ(a.Line, b.Line) << "the start folder's record";
            EXPECT_EQ(b.Path, start);
            StringList inOrder = ordered.CopyLines();
            if (!withOdd) {
                EXPECT_TRUE(std::is_sorted(inOrder.begin(), inOrder.end(),
                                           [](const std::string& x, const std::string& y) {
                                               return platform::LessIgnoreCase(x, y);
                                           }));
            }
            post.Sort();
            ordered.Sort();
            EXPECT_EQ(ordered.CopyLines(), post.CopyLines());
        }
    }
}

TEST(MeasureTreeTest, RandomTreeSumsMatchAnIndependentCount) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    std::mt19937 rng(42);
    std::vector<std::string> dirs{""};
    for (int i = 0; i < 300; ++i) {
        std::string parent = dirs[rng() % dirs.size()];
        std::string dir = parent + "d" + std::to_string(i) + "/";
        d.MakeDir(dir);
        dirs.push_back(dir);
    }
    for (int i = 0; i < 1500; ++i)
        d.Write(dirs[rng() % dirs.size()] + "f" + std::to_string(i),
                std::string(rng() % 9000, 'q'));

    FolderList single, parallel;
    MeasureHooks hooks;
    MeasureTree(single, drive.Root(), 4096, 0, hooks, {1});
    MeasureTree(parallel, drive.Root(), 4096, 0, hooks, {4});
    EXPECT_EQ(single.CopyLines(), parallel.CopyLines())
        << "threads change nothing, not even the order";
    ASSERT_EQ(single.Count(), 301);

    // Recount each folder's subtree with the standard library.
    auto m = ByPath(single);
    for (const auto& rel : dirs) {
        double bytes = 0, occupied = 0;
        int files = 0, folders = 0, ownFiles = 0, ownFolders = 0;
        for (auto it = fs::recursive_directory_iterator(d / rel);
             it != fs::recursive_directory_iterator(); ++it) {
            bool direct = it.depth() == 0;
            if (it->is_directory()) {
                ++folders;
                ownFolders += direct;
            } else {
                ++files;
                ownFiles += direct;
                double s = static_cast<double>(it->file_size());
                bytes += s;
                occupied += std::ceil(s / 4096) * 4096;
            }
        }
        std::string path = drive.Root();
        for (char c : rel)
            path += c == '/' ? '\\' : c;
        const FolderRecord& r = m[path];
        ASSERT_EQ(r.Path, path);
        EXPECT_EQ(r.TreeBytes, bytes) << path;
        EXPECT_EQ(r.TreeOccupied, occupied) << path;
        EXPECT_EQ(r.TreeFiles, files) << path;
        EXPECT_EQ(r.TreeFolders, folders) << path;
        EXPECT_EQ(r.OwnFiles, ownFiles) << path;
        EXPECT_EQ(r.OwnFolders, ownFolders) << path;
    }
}

TEST(MeasureTreeTest, AHundredThousandFoldersDeep) {
    TempDrive drive;
    const int depth = 100000;
    {
        platform::Folder f = test::MakeChain(drive.Native(), depth);
        ASSERT_TRUE(f.Valid());
        int fd = ::openat(static_cast<int>(f.Handle()), "bottom", O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::write(fd, "12345", 5), 5);
        ::close(fd);
    }
    FolderList l;
    MeasureHooks hooks;
    FolderRecord root = MeasureTree(l, drive.Root(), 4096, 0, hooks, {2});
    EXPECT_EQ(root.TreeFolders, depth);
    EXPECT_EQ(root.TreeFiles, 1);
    EXPECT_EQ(root.TreeOccupied, 4096);
    // Lines stop where a path would pass 32767 bytes; the folders above
    // still count everything below.
    const size_t recorded = (32767 - drive.Root().size()) / 2;
    EXPECT_EQ(static_cast<size_t>(l.Count()), recorded + 1);
    const FolderRecord deepest = ParseRecord(l.LineAt(0));
    EXPECT_EQ(deepest.Path.size(), drive.Root().size() + 2 * recorded);
    EXPECT_EQ(deepest.TreeFiles, 1);
    EXPECT_EQ(deepest.TreeFolders, static_cast<int>(depth - recorded));

    // Take the chain down one level at a time: no path or stack gets long.
    const std::string top = drive.Native() + "d";
    const std::string below = drive.Native() + "d/d";
    const std::string spare = drive.Native() + "spare";
    for (int i = 0; i < depth - 1; ++i) {
        ASSERT_EQ(::rename(below.c_str(), spare.c_str()), 0);
        ASSERT_EQ(::rmdir(top.c_str()), 0);
        ASSERT_EQ(::rename(spare.c_str(), top.c_str()), 0);
    }
    ::unlink((top + "/bottom").c_str());
    ::rmdir(top.c_str());
}

TEST(MeasureTreeTest, StopLeavesOnlyTheFoldersEnteredBefore) {
    TempDrive drive;
    for (int i = 0; i < 40; ++i)
        for (int k = 0; k < 40; ++k)
            drive.Dir().Write("t" + std::to_string(i) + "/s" + std::to_string(k) + "/f", "x");
    FolderList l;
    ScriptedHooks immediate;
    immediate.stopAfterProgress = 0;
    FolderRecord r = MeasureTree(l, drive.Root(), 4096, 0, immediate);
    EXPECT_EQ(l.Count(), 0) << "stopped before the root was entered";
    EXPECT_EQ(r.TreeFiles, 0);
}
