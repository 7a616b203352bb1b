// The parallel walk: the same lines with one thread and with many, and a
// walk with many threads over a tree that changes under it.
#include "core/measure/Measure.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {
StringList Walk(const std::string& root, int threads) {
    FolderList out;
    MeasureHooks hooks;
    MeasureOptions o;
    o.Threads = threads;
    MeasureTree(out, root, 4096, 0, hooks, o);
    return out.CopyLines();
}

void MakeTree(const test::TempDir& d, const std::string& top, int fanout, int depth, int& files) {
    if (depth == 0) return;
    for (int i = 0; i < fanout; ++i) {
        const std::string sub = top + "d" + std::to_string(i) + "/";
        d.Write(sub + "f", std::string(static_cast<size_t>(files % 9000), 'x'));
        ++files;
        MakeTree(d, sub, fanout, depth - 1, files);
    }
}
} // namespace

TEST(WalkThreadsTest, ManyThreadsGiveTheLinesOfOne) {
    TempDrive drive;
    int files = 0;
    MakeTree(drive.Dir(), "", 6, 4, files); // 1554 folders
    const StringList one = Walk(drive.Root(), 1);
    EXPECT_EQ(one.size(), 1555u);
    EXPECT_EQ(Walk(drive.Root(), 16), one);
    EXPECT_EQ(Walk(drive.Root(), 0), one) << "the default, which may add workers";
}

TEST(WalkThreadsTest, ATreeChangingUnderManyThreadsNeitherHangsNorLosesTheStablePart) {
    TempDrive drive;
    const auto& d = drive.Dir();
    int files = 0;
    MakeTree(d, "stable/", 5, 3, files);
    const StringList stableAlone = Walk(drive.Root() + "stable\\", 1);
    const std::string stableLine = stableAlone.back();

    std::atomic<bool> done{false};
    std::thread churn([&] {
        // Folders appear, fill, are renamed and vanish while the walk runs.
        for (unsigned i = 0; !done.load(); ++i) {
            const std::string a = d / ("churn/a" + std::to_string(i % 7));
            const std::string b = d / ("churn/b" + std::to_string(i % 7));
            ::mkdir((d / "churn").c_str(), 0755);
            ::mkdir(a.c_str(), 0755);
            if (FILE* f = std::fopen((a + "/x").c_str(), "w")) {
                std::fputs("data", f);
                std::fclose(f);
            }
            ::rename(a.c_str(), b.c_str());
            ::unlink((b + "/x").c_str());
            ::rmdir(b.c_str());
        }
    });
    for (int round = 0; round < 30; ++round) {
        for (int threads : {0, 8}) {
            const StringList lines = Walk(drive.Root(), threads);
            ASSERT_FALSE(lines.empty());
            bool found = false;
            for (const auto& l : lines)
                found = found || l == stableLine;
            ASSERT_TRUE(found) << "round " << round << " threads " << threads;
        }
    }
    done = true;
    churn.join();
}
