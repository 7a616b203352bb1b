#include "lib/DirectoryListing.h"
#include "lib/OutputFile.h"
#include "platform/ErrorText.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "support/LastOperation.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {
StringList Sorted(StringList l) {
    std::sort(l.begin(), l.end());
    return l;
}
} // namespace

TEST(DirListingTest, EntryLinesCarryAttributesSizesAndClusters) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("boot.ini", std::string(194, 'b'));
    d.Write(".hidden", std::string(194, 'h'));
    ::chmod((d / ".hidden").c_str(), 0444);
    d.Write("empty", "");
    d.Write("big", std::string(4097, 'x'));
    d.MakeDir("WINDOWS");
    ::symlink("..", (d / "up").c_str());

    DirListing l;
    l.ClusterSize = 4096;
    ListFolder(l, drive.Root() + "*.*", LIST_ALL);
    EXPECT_EQ(l.Folder, drive.Root());
    EXPECT_EQ(Sorted(l.Entries), (StringList{
                                     ".hidden > ..HR.. 194:4096",
                                     "WINDOWS\\ > D..... -1:-1",
                                     "big > ...... 4097:8192",
                                     "boot.ini > ...... 194:4096",
                                     "empty > ...... 0:0",
                                     "up > ...... 2:4096",
                                 }));
    EXPECT_EQ(l.FolderCount, 1) << "a link to the parent is a file, never followed";
    EXPECT_EQ(l.FileCount, 5);

    l.ClusterSize = 0;
    ListFolder(l, drive.Root() + "*.*", LIST_FILES);
    EXPECT_EQ(l.FolderCount, 0);
    EXPECT_NE(std::find(l.Entries.begin(), l.Entries.end(), "big > ...... 4097:4097"),
              l.Entries.end());

    SortListing(l, false);
    const DirEntry* e = EntryAt(l, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Name, ".hidden");
    EXPECT_EQ(e->IsHidden + e->IsReadOnly, 2);
    EXPECT_EQ(e->Size, 194);
    EXPECT_EQ(EntryAt(l, static_cast<int>(l.Entries.size())), nullptr);
    EXPECT_EQ(EntryAt(l, -1), nullptr);
}

TEST(DirListingTest, SparseFileCountsWhatItHoldsOnDisk) {
    TempDrive drive;
    const std::string path = drive.Dir() / "sparse.bin";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    std::string block(8192, 's');
    ASSERT_EQ(::write(fd, block.data(), block.size()), 8192);
    ASSERT_EQ(::ftruncate(fd, 100000), 0);
    ::fsync(fd);
    ::close(fd);
    struct stat st {};
    ::stat(path.c_str(), &st);
    if (st.st_blocks * 512 != 8192)
        GTEST_SKIP() << "this file system holds the file in " << st.st_blocks * 512;
    DirListing l;
    l.ClusterSize = 4096;
    ListFolder(l, drive.Root() + "*.*", LIST_ALL);
    EXPECT_EQ(l.Entries, StringList{"sparse.bin > ......S100000:8192"});
    DirEntry e = ParseEntry(l.Entries[0]);
    EXPECT_EQ(e.IsSparse, 1);
    EXPECT_EQ(e.Occupied, 8192);
}

TEST(DirListingTest, KindsAndCounts) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    for (const char* f : {"x/a", "x/b", "x/c"})
        d.Write(f, "1");
    d.MakeDir("x/s1");
    d.MakeDir("x/s2");
    DirListing l;
    ListFolder(l, drive.Root() + "x\\*.*", LIST_FOLDERS);
    EXPECT_EQ(l.Entries.size(), 2u);
    EXPECT_EQ(l.FolderCount, 2);
    EXPECT_EQ(l.FileCount, 0);
    EXPECT_EQ(CountEntries(drive.Root() + "x\\*.*", LIST_FOLDERS), 2);
    EXPECT_EQ(CountEntries(drive.Root() + "x\\*.*", LIST_FILES), 3);
    EXPECT_EQ(CountEntries(drive.Root() + "x\\*.*", LIST_ALL), 5);
    EXPECT_EQ(CountEntries(drive.Root() + "nothing\\*.*", LIST_ALL), 0);

    ListFolder(l, drive.Root() + "gone\\*.*", LIST_ALL);
    EXPECT_TRUE(l.Entries.empty());
    ListFolder(l, "no pattern", LIST_ALL);
    EXPECT_TRUE(l.Entries.empty());
    EXPECT_EQ(l.Folder, "");

    PathAttributes a;
    EXPECT_EQ(ReadAttributes(drive.Root() + "x\\", a), 1);
    EXPECT_EQ(a.IsDir, 1);
    EXPECT_EQ(ReadAttributes(drive.Root() + "x\\missing", a), 0);
    EXPECT_EQ(a.IsDir, 0);
}

TEST(DirListingTest, ParseEntryOfDamagedLines) {
    DirEntry e = ParseEntry("no separator here");
    EXPECT_EQ(e.Name, "no separator here");
    EXPECT_EQ(e.IsDir + e.IsArchive + e.IsHidden + e.IsReadOnly + e.IsSystem + e.IsCompressed +
                  e.IsSparse,
              0);
    EXPECT_EQ(e.Size, -1);
    EXPECT_EQ(e.Occupied, -1);
    e = ParseEntry("a > D");
    EXPECT_EQ(e.IsDir, 1);
    EXPECT_EQ(e.Size, -1);
    e = ParseEntry("WINDOWS\\ > D...S. -1:-1");
    EXPECT_EQ(e.Name, "WINDOWS\\");
    EXPECT_EQ(e.IsSystem, 1);
    EXPECT_EQ(e.IsSparse, 0);
    e = ParseEntry("f > .AHR.. 194:x");
    EXPECT_EQ(e.IsArchive, 1);
    EXPECT_EQ(e.Size, 194);
    EXPECT_EQ(e.Occupied, -1);
}

TEST(DirListingTest, NamesHoldingTheSeparatorKeepTheirWholeName) {
    TempDrive drive;
    drive.Dir().MakeDir("x > y");
    drive.Dir().Write("f > g", "abc");
    DirListing l;
    ListFolder(l, drive.Root() + "*.*", LIST_ALL);
    SortListing(l, true);
    ASSERT_EQ(l.Entries.size(), 2u);
    DirEntry file = ParseEntry(l.Entries[0]);
    EXPECT_EQ(file.Name, "f > g");
    EXPECT_EQ(file.Size, 3);
    DirEntry folder = ParseEntry(l.Entries[1]);
    EXPECT_EQ(folder.Name, "x > y\\");
    EXPECT_EQ(folder.IsDir, 1);
}

TEST(DirListingTest, UnreadableFolderListsEmpty) {
    TempDrive drive;
    drive.Dir().Write("locked/secret", "x");
    ::chmod((drive.Dir() / "locked").c_str(), 0);
    ::chmod(drive.Native().c_str(), 0755);
    ::chmod(drive.ExeDir().Path().c_str(), 0755);
    const std::string pattern = drive.Root() + "locked\\*.*";
    EXPECT_TRUE(test::AsUnprivileged([&] {
        DirListing l;
        ListFolder(l, pattern, LIST_ALL);
        return l.Entries.empty() && l.FileCount == 0 && CountEntries(pattern, LIST_ALL) == 0;
    }));
}

TEST(DirListingTest, OddNamesAreShownSafelyAndStayDeletable) {
    test::LastOperation op;
    TempDrive drive;
    const std::string odd = std::string("a\\b\tc\nd\xff\xfe");
    drive.Dir().Write(odd, "12345");
    DirListing l;
    ListFolder(l, drive.Root() + "*.*", LIST_ALL);
    ASSERT_EQ(l.Entries.size(), 1u);
    const std::string shown = "a\xEF\xBC\xBC"
                              "b\xE2\x90\x89"
                              "c\xE2\x90\x8A"
                              "d\xff\xfe";
    EXPECT_EQ(l.Entries[0], shown + " > ...... 5:5");
    EXPECT_EQ(l.Entries[0].find_first_of("\t\n"), std::string::npos);
    EXPECT_EQ(platform::NativeName(shown), odd);
    EXPECT_TRUE(op.Delete(drive.Root() + shown, false));
    EXPECT_FALSE(drive.Dir().Exists(odd));
}

TEST(DirListingTest, PathsBeyondPathMaxStillWork) {
    test::LastOperation op;
    TempDrive drive;
    const std::string name(200, 'n');
    platform::Folder f = platform::Folder::Open(drive.Native());
    std::string program = drive.Root();
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(::mkdirat(static_cast<int>(f.Handle()), name.c_str(), 0755), 0);
        f = f.OpenChild(name);
        ASSERT_TRUE(f.Valid());
        program += name + "\\";
    }
    ASSERT_GT(program.size(), static_cast<size_t>(PATH_MAX));
    int fd = ::openat(static_cast<int>(f.Handle()), "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    ::close(fd);
    DirListing l;
    ListFolder(l, program + "*.*", LIST_ALL);
    EXPECT_EQ(l.Entries, StringList{"deep.txt > ...... 3:3"});
    PathAttributes a;
    EXPECT_EQ(ReadAttributes(program + "deep.txt", a), 1);
    EXPECT_TRUE(op.Delete(drive.Root() + name + "\\", false))
        << "a tree deeper than PATH_MAX is removed";
    EXPECT_FALSE(drive.Dir().Exists(name));
}

TEST(DirListingTest, EntriesThatVanishWhileReadingAreSkipped) {
    TempDrive drive;
    for (int i = 0; i < 500; ++i)
        drive.Dir().Write("v/" + std::to_string(i), "x");
    platform::Folder f = platform::Folder::Open(drive.Native() + "v");
    platform::FolderReader reader(f, true);
    platform::FindData d;
    ASSERT_TRUE(reader.Next(d));
    std::string first(d.Name);
    for (int i = 0; i < 500; ++i)
        if (std::to_string(i) != first)
            ::unlink((drive.Dir() / ("v/" + std::to_string(i))).c_str());
    int more = 0;
    while (reader.Next(d))
        ++more;
    EXPECT_EQ(more, 0);
}

TEST(FileOperationTest, CopyMoveAndDelete) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("src/tree/a.txt", "aaa");
    d.Write("src/tree/sub/b.txt", "bb");
    ::symlink("a.txt", (d / "src/tree/link").c_str());
    d.MakeDir("dst");
    const std::string root = drive.Root();

    EXPECT_TRUE(op.Copy(root + "src\\tree\\", root + "dst\\"));
    EXPECT_EQ(d.Read("dst/tree/a.txt"), "aaa");
    EXPECT_EQ(d.Read("dst/tree/sub/b.txt"), "bb");
    char target[16] = {};
    EXPECT_EQ(::readlink((d / "dst/tree/link").c_str(), target, sizeof target - 1), 5);
    d.Write("src/tree/a.txt", "new");
    EXPECT_TRUE(op.Copy(root + "src\\tree\\a.txt", root + "dst\\tree\\")) << "replaces silently";
    EXPECT_EQ(d.Read("dst/tree/a.txt"), "new");

    EXPECT_FALSE(op.Copy(root + "src\\", root + "src\\tree\\")) << "never into its own subtree";
    EXPECT_FALSE(op.Copy(root + "src\\tree\\a.txt", root + "src\\tree\\")) << "never onto itself";
    EXPECT_EQ(d.Read("src/tree/a.txt"), "new");

    EXPECT_FALSE(op.Move(root + "src\\tree\\", root + "nowhere\\"));
    EXPECT_TRUE(d.Exists("src/tree/a.txt")) << "a failed copy deletes nothing";

    // A file never replaces a folder of its name, and a hard link to the
    // source is never written through.
    d.Write("dst2/a.txt/keep", "tree");
    EXPECT_FALSE(op.Copy(root + "src\\tree\\a.txt", root + "dst2\\"));
    EXPECT_EQ(d.Read("dst2/a.txt/keep"), "tree");
    d.MakeDir("linked/tree");
    ASSERT_EQ(::link((d / "src/tree/a.txt").c_str(), (d / "linked/tree/a.txt").c_str()), 0);
    EXPECT_TRUE(op.Copy(root + "src\\tree\\", root + "linked\\"));
    EXPECT_EQ(d.Read("src/tree/a.txt"), "new");
    EXPECT_EQ(d.Read("linked/tree/sub/b.txt"), "bb");

    EXPECT_TRUE(op.Delete(root + "dst\\tree\\", false));
    EXPECT_FALSE(d.Exists("dst/tree"));
    EXPECT_FALSE(op.Delete(root, false)) << "a drive root is never deleted";
    EXPECT_FALSE(op.Delete(root + "..\\", false));
}

TEST(FileOperationTest, DeleteIntoTheTrashAndMove) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string xdg = drive.ExeDir() / "xdg";
    const char* old = std::getenv("XDG_DATA_HOME");
    std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    d.Write("doomed.txt", "bye");
    d.Write("doomed2/x", "1");
    d.MakeDir("dst");
    const std::string root = drive.Root();
    EXPECT_TRUE(op.Delete(root + "doomed.txt", true));
    EXPECT_FALSE(d.Exists("doomed.txt"));
    EXPECT_EQ(drive.ExeDir().Read("xdg/Trash/files/doomed.txt"), "bye");
    std::string info = drive.ExeDir().Read("xdg/Trash/info/doomed.txt.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
    EXPECT_NE(info.find("doomed.txt\nDeletionDate="), std::string::npos);

    d.Write("doomed.txt", "again");
    EXPECT_TRUE(op.Delete(root + "doomed.txt", true));
    EXPECT_EQ(drive.ExeDir().Read("xdg/Trash/files/doomed.txt.2"), "again")
        << "a second item of that name";

    EXPECT_TRUE(op.Move(root + "doomed2\\", root + "dst\\"));
    EXPECT_EQ(d.Read("dst/doomed2/x"), "1");
    EXPECT_FALSE(d.Exists("doomed2"));
    EXPECT_TRUE(drive.ExeDir().Exists("xdg/Trash/files/doomed2/x"));
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

// Operations that fail one after another each report their own failures
// only, and one refused before any work reports none.
TEST(FileOperationTest, EachOperationReportsOnlyItsOwnFailures) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    d.Write("src/a", "x");
    const platform::FileOperationResult copy =
        CopyItem(root + "src\\a", root + "nowhere\\", nullptr);
    const platform::FileOperationResult removal = DeleteItem(root + "gone", false, nullptr);
    const platform::FileOperationResult refused = DeleteItem(root, false, nullptr);
    EXPECT_FALSE(copy.ok);
    EXPECT_FALSE(removal.ok);
    EXPECT_FALSE(refused.ok);
    const std::string noSuchItem = ": " + platform::SystemReason(ENOENT);
    EXPECT_EQ(OperationErrorLines(copy), std::vector<std::string>{d / "nowhere" + noSuchItem});
    EXPECT_EQ(OperationErrorLines(removal), std::vector<std::string>{d / "gone" + noSuchItem});
    EXPECT_TRUE(refused.failures.empty());
}

TEST(FileOperationTest, OutputFileWritesAndReportsFailure) {
    TempDir d;
    OutputFile f;
    ASSERT_EQ(OpenOutput(f, d / "out.html", GENERIC_WRITE, 0, CREATE_ALWAYS), 1);
    EXPECT_EQ(WriteOutput(f, "hello", 5), 5);
    EXPECT_EQ(CloseOutput(f), 1);
    EXPECT_EQ(d.Read("out.html"), "hello");
    EXPECT_EQ(WriteOutput(f, "x", 1), -1) << "closed";
    EXPECT_EQ(OpenOutput(f, d / "no/such/dir.html", GENERIC_WRITE, 0, CREATE_ALWAYS), 0);
}

TEST(FileOperationTest, DeleteNeverEmptiesAMountedFileSystem) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.MakeDir("a/mnt");
    if (::mount("none", (d / "a/mnt").c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root and a kernel that allows it";
    d.Write("a/mnt/precious", "keep me");
    d.Write("a/other", "x");
    EXPECT_FALSE(op.Delete(drive.Root() + "a\\", false));
    EXPECT_EQ(d.Read("a/mnt/precious"), "keep me");
    ::umount((d / "a/mnt").c_str());
}
