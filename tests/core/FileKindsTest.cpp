// Totals by extension and kind from the file index: what the types window,
// the treemap's colours and the command line show.
#include "core/Cache.h"
#include "core/FileKinds.h"
#include "core/Measure.h"
#include "core/Utglobal.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {
struct Yes : MeasureHooks {
    int Ask(const std::string&, int) override { return ID_YES; }
};

const TypeRow* Find(const std::vector<TypeRow>& rows, const std::string& ext, FileKind kind) {
    for (const auto& r : rows)
        if (r.Extension == ext && r.Kind == kind) return &r;
    return nullptr;
}
} // namespace

TEST(FileKindsTest, KindsByExtensionAndExecuteBit) {
    EXPECT_EQ(KindOfFile("photo.JPG", false), KIND_IMAGE);
    EXPECT_EQ(KindOfFile("movie.mkv", true), KIND_VIDEO) << "the extension decides before the execute bit";
    EXPECT_EQ(KindOfFile("ls", true), KIND_EXECUTABLE) << "most programs have no extension";
    EXPECT_EQ(KindOfFile("notes", false), KIND_OTHER);
    EXPECT_EQ(KindOfFile("libz.so.1.2.13", false), KIND_EXECUTABLE);
    EXPECT_EQ(KindOfFile("main.cpp", false), KIND_SOURCE);
    EXPECT_EQ(KindOfFile("backup.tar.gz", false), KIND_ARCHIVE);
    EXPECT_EQ(KindOfFile(".bashrc", true), KIND_EXECUTABLE) << "a leading dot is no extension";
    EXPECT_EQ(KindOfFile("report.", false), KIND_OTHER) << "nor a trailing one";
    EXPECT_STREQ(KindKey(KIND_SOURCE), "source");
    EXPECT_STREQ(KindCaption(KIND_SOURCE), "プログラム");
    EXPECT_EQ(ExtensionCaption(""), "(なし)");
    EXPECT_EQ(ExtensionCaption("jpg"), "JPG");
}

TEST(FileKindsTest, TotalsPerExtensionCountEachFileOnce) {
    TempDrive drive;
    Global() = GlobalState{};
    LoadParameters({});
    Global().AskBeforeMeasure = 0;
    RefreshDrives(drive.Letter() - 'A');
    Global().Drives.ReadVolume(*Global().CurrentDrive);
    const auto& d = drive.Dir();
    d.Write("a/IMG_1.JPG", std::string(5000, 'j'));
    d.Write("a/img_2.jpg", std::string(3000, 'j'));
    d.Write("b/archive.tar.gz", std::string(20000, 'z'));
    d.Write("b/.hidden", std::string(100, 'h'));
    d.Write("b/trailing.", std::string(200, 't'));
    d.Write("bin/tool", std::string(9000, 'x'));
    ::chmod((d / "bin/tool").c_str(), 0755);
    d.Write("c/shared.jpg", std::string(10000, 's'));
    d.MakeDir("d");
    ASSERT_EQ(::link((d / "c/shared.jpg").c_str(), (d / "d/again.jpg").c_str()), 0);
    d.MakeDir("e");
    int fd = ::open((d / "e/disk.img").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, 1 << 22), 0);
    ::close(fd);
    Yes hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    FileIndex index;
    ASSERT_TRUE(index.Open(FileIndexName(*Global().CurrentDrive), drive.Letter(), CacheHeaderLine(*Global().CurrentDrive)));

    const auto rows = TypeStatistics(index, "", false);
    const TypeRow* jpg = Find(rows, "jpg", KIND_IMAGE);
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(jpg->Files, 3u) << "upper and lower case together; the shared file once";
    EXPECT_EQ(jpg->Size, 18000u);
    const TypeRow* none = Find(rows, "", KIND_OTHER);
    ASSERT_NE(none, nullptr) << "a leading or trailing dot is no extension";
    EXPECT_EQ(none->Files, 2u);
    EXPECT_EQ(none->Size, 300u);
    const TypeRow* tool = Find(rows, "", KIND_EXECUTABLE);
    ASSERT_NE(tool, nullptr) << "the execute bit makes its own row";
    EXPECT_EQ(tool->Files, 1u);
    const TypeRow* gz = Find(rows, "gz", KIND_ARCHIVE);
    ASSERT_NE(gz, nullptr) << "the last dot counts";
    const TypeRow* img = Find(rows, "img", KIND_ARCHIVE);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->Size, uint64_t{1} << 22);
    EXPECT_LT(img->Occupied, 4096u * 2) << "a hole occupies nothing";
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_GE(rows[i - 1].Occupied, rows[i].Occupied) << "largest first";

    // The totals add up to the measurement's.
    const FolderRecord* root = Global().Folders.FindPath(drive.Root());
    uint64_t files = 0, size = 0, occupied = 0;
    for (const auto& r : rows) files += r.Files, size += r.Size, occupied += r.Occupied;
    EXPECT_EQ(static_cast<double>(size), root->TreeBytes);
    EXPECT_EQ(static_cast<double>(occupied), root->TreeOccupied);
    EXPECT_EQ(files + 1, static_cast<uint64_t>(root->TreeFiles)) << "one further name of the shared file";

    const auto kinds = TypeStatistics(index, "", true);
    uint64_t kindFiles = 0;
    for (const auto& r : kinds) {
        EXPECT_TRUE(r.Extension.empty());
        kindFiles += r.Files;
    }
    EXPECT_EQ(kindFiles, files);
    const auto below = TypeStatistics(index, drive.Root() + "a\\", false);
    ASSERT_EQ(below.size(), 1u);
    EXPECT_EQ(below[0].Files, 2u);
    EXPECT_TRUE(TypeStatistics(index, drive.Root() + "nothing\\", false).empty());
}
