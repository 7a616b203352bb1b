// What the program deletes or moves away leaves the drive's cache as a new
// measurement of what is left would write it, without measuring again.
#include "core/GoneFiles.h"

#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/ItemOperations.h"
#include "lib/Messages.h"
#include "platform/FileAccess.h"
#include "support/CurrentDrive.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {

struct YesHooks : MeasureHooks {
    int Ask(const std::string&, int) override { return ID_YES; }
};

// The cache's header line and its folder lines.
std::pair<std::string, std::string> CacheParts() {
    std::string text;
    platform::ReadWholeFile(CacheFileName(*Global().CurrentDrive), text);
    const size_t end = text.find('\n') + 1;
    return {text.substr(0, end), text.substr(end)};
}

} // namespace

TEST(GoneFilesTest, ARemovalLeavesTheCacheAMeasurementOfWhatIsLeftWouldWrite) {
    struct Case {
        const char* what;
        std::vector<const char*> paths; // below the drive's root, removed together
        bool trash;
    };
    const Case cases[] = {
        {"a file, deep", {"a\\b\\c\\deep.bin"}, false},
        {"a file of the root", {"top.bin"}, false},
        {"a file into the trash", {"a\\big.bin"}, true},
        {"a folder", {"a\\b\\"}, false},
        {"a folder named as a list row names it", {"a\\b"}, true},
        {"the name of a file with two names that holds its bytes", {"links\\x"}, false},
        {"its further name", {"links\\y"}, false},
        {"many files, some in one folder, some below others, one given twice",
         {"a\\big.bin", "a\\b\\c\\deep.bin", "a\\small.bin", "top.bin", "a\\b\\two.bin",
          "a\\big.bin", "links\\y"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        test::MakeCurrent(drive);
        Global().AskBeforeMeasure = 0;
        ::setenv("XDG_DATA_HOME", (drive.ExeDir() / "xdg").c_str(), 1);
        const auto& d = drive.Dir();
        d.Write("top.bin", std::string(1000, 't'));
        d.Write("a/big.bin", std::string(70000, 'b'));
        d.Write("a/small.bin", std::string(100, 's'));
        d.Write("a/b/two.bin", std::string(2000, '2'));
        d.Write("a/b/c/deep.bin", std::string(9000, 'd'));
        d.Write("a/b/c/d/e.bin", "e");
        d.Write("links/x", std::string(50000, 'x'));
        ASSERT_EQ(::link((d / "links/x").c_str(), (d / "links/y").c_str()), 0);
        YesHooks hooks;
        ASSERT_EQ(MeasureDrives(hooks), 1);
        const auto before = CacheParts();

        std::vector<RemovedItem> removed;
        std::set<std::string> distinct;
        for (const char* p : c.paths) {
            removed.push_back({drive.Root() + p, NamesOfFile(drive.Root() + p)});
            distinct.insert(p);
        }
        for (const std::string& p : distinct)
            ASSERT_TRUE(DeleteItem(drive.Root() + p, c.trash, nullptr).ok);
        if (removed.size() == 1)
            EXPECT_TRUE(ForgetRemoved(removed[0].Path, removed[0].NamesBefore));
        else
            EXPECT_EQ(ForgetRemoved(removed), distinct.size());
        const auto after = CacheParts();
        EXPECT_EQ(after.first, before.first) << "the index is tied to the header";
        FileIndex index;
        EXPECT_TRUE(index.Open(FileIndexName(drive.Letter()), drive.Letter(),
                               CacheHeaderLine(*Global().CurrentDrive)));
        EXPECT_EQ(ForgetRemoved(removed), 0u) << "taken off once";
        EXPECT_EQ(CacheParts(), after);

        ASSERT_EQ(MeasureDrives(hooks), 1);
        EXPECT_EQ(after.second, CacheParts().second);
        ::unsetenv("XDG_DATA_HOME");
    }
}
