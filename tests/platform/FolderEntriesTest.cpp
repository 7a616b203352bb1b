// An item's details against what GNU stat says of the same name.
#include "platform/FolderEntries.h"
#include "support/ShellCommands.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace nrvs;
using nrvs::test::Output;

// The creation time is the birth time where the file system keeps one; where
// it keeps none, or keeps a zero (folders of an image made with their times
// cleared), there is none to show rather than 1970/01/01.
TEST(ItemDetailsTest, CreationTimeIsTheBirthTimeStatReports) {
    test::TempDir dir;
    dir.Write("file.txt", "x");
    for (const std::string& path : {dir / "file.txt", dir.Path(), std::string("/"),
                                    std::string("/tmp"), std::string("/proc/self/status")}) {
        platform::ItemDetails d;
        ASSERT_TRUE(platform::GetItemDetails(path, d)) << path;
        // %W: seconds since 1970 of the birth, 0 when it is not known.
        const std::string birth = Output("stat -c %W '" + path + "'");
        ASSERT_FALSE(birth.empty()) << path;
        EXPECT_EQ(d.HasCreated, birth != "0") << path;
        if (d.HasCreated) {
            EXPECT_EQ(std::to_string(d.Created), birth) << path;
        }
    }
}
