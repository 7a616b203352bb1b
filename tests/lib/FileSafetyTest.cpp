// Copy, move, delete and the program's own files against a hostile or
// changing disk: odd names, planted links, FIFOs, other users' trash folders,
// full and small file systems, mounts inside trees.
#include "core/measure/Measure.h"
#include "lib/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/FolderEntries.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "platform/FileOperations.h"
#include "support/FileFixtures.h"
#include "support/LastOperation.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::InChild;
using nrvs::test::NamesIn;
using nrvs::test::StatOf;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {

const std::string kFullWidthBackslash = "\xEF\xBC\xBC";
const std::string kShownLineFeed = "\xE2\x90\x8A";

// A small tmpfs mounted at a folder for one test; skipped where mounting is
// not allowed.
class SmallVolume {
  public:
    SmallVolume(const std::string& where, const char* size) : where_(where) {
        ::mkdir(where.c_str(), 0755);
        std::string options = std::string("size=") + size;
        mounted_ = ::geteuid() == 0 &&
                   ::mount("nrvstest", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallVolume() {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }

  private:
    std::string where_;
    bool mounted_ = false;
};

struct SwapOnProgress : platform::FileOperationObserver {
    std::function<void(const std::string&)> onProgress;
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string&) override { return REPLACE_YES; }
    bool Progress(const std::string& name, uint64_t, uint64_t) override {
        if (onProgress) onProgress(name);
        return true;
    }
};

} // namespace

TEST(FileSafetyTest, BackslashLookalikesAndControlPicturesStaySeparateFiles) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("a\\b", "real backslash");
    d.Write("a" + kFullWidthBackslash + "b", "full-width one");
    d.Write("nl" + kShownLineFeed + "dir/inside", "12345"); // a real U+240A in a folder's name
    DirListing l;
    ListFolder(l, drive.Root() + "*.*", LIST_ALL);
    ASSERT_EQ(l.Entries.size(), 3u);
    EXPECT_NE(l.Entries[0].substr(0, l.Entries[0].find(" > ")),
              l.Entries[1].substr(0, l.Entries[1].find(" > ")));

    // The folder named with a real control picture lists and measures its file.
    std::string shownDir = platform::ShownName("nl" + kShownLineFeed + "dir");
    ListFolder(l, drive.Root() + shownDir + "\\*.*", LIST_ALL);
    EXPECT_EQ(l.Entries, StringList{"inside > ...... 5:5"});
    FolderList measured;
    MeasureHooks hooks;
    FolderRecord rec = MeasureTree(measured, drive.Root(), 0, 0, hooks);
    EXPECT_EQ(rec.TreeFiles, 3);
    EXPECT_EQ(rec.TreeBytes, 14 + 14 + 5);

    // Deleting the full-width one leaves the real backslash alone, and back.
    EXPECT_TRUE(
        op.Delete(drive.Root() + platform::ShownName("a" + kFullWidthBackslash + "b"), false));
    EXPECT_EQ(d.Read("a\\b"), "real backslash");
    EXPECT_FALSE(d.Exists("a" + kFullWidthBackslash + "b"));
    EXPECT_TRUE(op.Delete(drive.Root() + platform::ShownName("a\\b"), false));
    EXPECT_FALSE(d.Exists("a\\b"));
    EXPECT_TRUE(op.Delete(drive.Root() + shownDir + "\\", false));
    EXPECT_TRUE(NamesIn(drive.Native()).empty());
}

TEST(FileSafetyTest, NoSpellingOfAPathReachesTheRootOrLeavesTheDrive) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("keep/file", "x");
    d.MakeDir("dst");
    const std::string root = drive.Root();
    for (const std::string& bad :
         {root + "\\", root + "\\\\", root + "keep\\\\", root + "keep\\\\file", root + ".\\",
          root + "..\\", root + "keep\\..\\", root + "keep/file",
          std::string(1, drive.Letter()) + ":keep", std::string(1, drive.Letter()) + ":",
          root + "keep\\.\\file", std::string("A:\\keep\\")}) {
        platform::ItemPath item;
        EXPECT_FALSE(platform::CheckProgramPath(bad, item)) << bad;
        EXPECT_FALSE(op.Delete(bad, false)) << bad;
        EXPECT_FALSE(op.Move(bad, root + "dst\\")) << bad;
    }
    EXPECT_FALSE(op.Delete(root, true)) << "the root itself";
    EXPECT_EQ(d.Read("keep/file"), "x");
    EXPECT_TRUE(NamesIn(d / "dst").empty());

    platform::ItemPath item;
    ASSERT_TRUE(platform::CheckProgramPath(root + "keep\\", item));
    EXPECT_EQ(item.Names, std::vector<std::string>{"keep"});
    EXPECT_EQ(item.Native(), d / "keep");
    ASSERT_TRUE(platform::CheckProgramPath(root, item));
    EXPECT_TRUE(item.IsRoot());
}

TEST(FileSafetyTest, SavesNeverWriteThroughAPlantedLinkAndClearTheirOwnLeftovers) {
    TempDrive drive;
    const TempDir& exe = drive.ExeDir();
    exe.Write("victim", "secret");
    ::chmod((exe / "victim").c_str(), 0600);
    const std::string cache = exe / "NRVS_G.txt";
    ASSERT_EQ(
        ::symlink((exe / "victim").c_str(), (cache + ".tmp" + std::to_string(::getpid())).c_str()),
        0);

    // A leftover of a killed process of ours, and one of a live process.
    pid_t dead = ::fork();
    if (dead == 0) _exit(0);
    ::waitpid(dead, nullptr, 0);
    exe.Write("NRVS_G.txt.tmp" + std::to_string(dead) + ".0123456789abcdef", "stale");
    exe.Write("NRVS_G.txt.tmp1.0123456789abcdef", "pid 1 is alive");

    ASSERT_EQ(SaveLines({"line"}, cache), 1);
    EXPECT_EQ(exe.Read("NRVS_G.txt"), "line\r\n");
    EXPECT_EQ(exe.Read("victim"), "secret");
    EXPECT_EQ(StatOf(exe / "victim").st_mode & 0777, 0600u);
    EXPECT_FALSE(exe.Exists("NRVS_G.txt.tmp" + std::to_string(dead) + ".0123456789abcdef"));
    EXPECT_TRUE(exe.Exists("NRVS_G.txt.tmp1.0123456789abcdef"));

    // A replaced file keeps its permission bits.
    ::chmod(cache.c_str(), 0640);
    ASSERT_EQ(SaveLines({"again"}, cache), 1);
    EXPECT_EQ(StatOf(cache).st_mode & 0777, 0640u);
}

TEST(FileSafetyTest, OwnFilesThatAreFifosOrDevicesAreRefusedAtOnce) {
    TempDir d;
    ASSERT_EQ(::mkfifo((d / "norvessa.prm").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", (d / "norvessa.drv").c_str()), 0);
    int result = InChild([&] {
        StringList lines;
        int fifo = LoadLines(lines, d / "norvessa.prm");
        int zero = LoadLines(lines, d / "norvessa.drv");
        return fifo == 0 && zero == 0 && lines.empty() ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << "-1 means a read hung";
}

TEST(FileSafetyTest, SetIdBitsOnlyWithTheirOwnerAndTimesKept) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("src/tool", "#!/bin/sh\n");
    ASSERT_EQ(::chown((d / "src/tool").c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod((d / "src/tool").c_str(), 06755), 0);
    ASSERT_EQ(::chmod((d / "src").c_str(), 02775 | S_ISVTX), 0);
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (d / "src/tool").c_str(), times, 0), 0);
    d.MakeDir("dst");
    ASSERT_TRUE(op.Copy(drive.Root() + "src\\", drive.Root() + "dst\\"));
    struct stat tool = StatOf(d / "dst/src/tool");
    if (::geteuid() == 0) {
        // Root keeps the owner, so the bits still give the owner's rights.
        EXPECT_EQ(tool.st_uid, 65534u);
        EXPECT_EQ(tool.st_mode & 07777, 06755u) << "as cp -a";
        EXPECT_EQ(StatOf(d / "dst/src").st_mode & 07777, 03775u)
            << "a shared folder keeps its sticky bit";
    }
    EXPECT_EQ(tool.st_mtim.tv_sec, 1200000000);
    // Copied by an ordinary user, the copy is that user's: no set-id bit.
    if (::geteuid() == 0) {
        ::chmod(d.Path().c_str(), 0777);
        ::chmod((d / "dst").c_str(), 0777);
        d.MakeDir("mine");
        ::chmod((d / "mine").c_str(), 0777);
        EXPECT_TRUE(test::AsUnprivileged(
            [&] { return op.Copy(drive.Root() + "src\\tool", drive.Root() + "mine\\"); }));
        EXPECT_EQ(StatOf(d / "mine/tool").st_mode & 07777, 0755u)
            << "no set-id bit on another owner's copy";
    }
    EXPECT_TRUE(NamesIn(d / "dst/src") == std::vector<std::string>{"tool"})
        << "no temporary file left";
}

TEST(FileSafetyTest, ReplacingOnAFullDiskKeepsTheOldFile) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    SmallVolume vol(d / "small", "1m");
    if (!vol.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    d.Write("small/f", std::string(300000, 'o'));
    d.Write("small/filler", std::string(500000, 'z'));
    d.Write("f", std::string(300000, 'n'));
    d.Write("g", std::string(300000, 'g'));
    EXPECT_FALSE(op.Copy(drive.Root() + "f", drive.Root() + "small\\"));
    EXPECT_EQ(d.Read("small/f"), std::string(300000, 'o')) << "the old file stays whole";
    EXPECT_FALSE(op.Copy(drive.Root() + "g", drive.Root() + "small\\"));
    EXPECT_FALSE(d.Exists("small/g")) << "no partial file under the real name";
    EXPECT_EQ(NamesIn(d / "small"), (std::vector<std::string>{"f", "filler"}))
        << "no temporary file left";
    EXPECT_FALSE(op.Errors().empty());
}

TEST(FileSafetyTest, SparseFilesKeepTheirHoles) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    SmallVolume vol(d / "small", "1m");
    if (!vol.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const off_t size = 50 << 20;
    int fd = ::open((d / "sparse").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
    ASSERT_EQ(::pwrite(fd, "middle", 6, size / 2), 6);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    ASSERT_TRUE(op.Copy(drive.Root() + "sparse", drive.Root() + "small\\"));
    struct stat st = StatOf(d / "small/sparse");
    EXPECT_EQ(st.st_size, size);
    EXPECT_LT(st.st_blocks * 512, 1 << 20);
    fd = ::open((d / "small/sparse").c_str(), O_RDONLY);
    char buf[8] = {};
    EXPECT_EQ(::pread(fd, buf, 6, size / 2), 6);
    EXPECT_EQ(std::string(buf, 6), "middle");
    EXPECT_EQ(::pread(fd, buf, 4, 0), 4);
    EXPECT_EQ(std::string(buf, 4), "head");
    ::close(fd);
}

TEST(FileSafetyTest, AFifoSwappedInWhileCopyingIsNotReadAndNothingHangs) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("src/a", "aaa");
    d.Write("src/b", "bbb");
    d.MakeDir("dst");
    SwapOnProgress ui;
    ui.onProgress = [&](const std::string& name) {
        if (name == "b") {
            ::unlink((d / "src/b").c_str());
            ::mkfifo((d / "src/b").c_str(), 0644);
        }
    };
    const std::string root = drive.Root();
    int result = InChild([&] { return op.Copy(root + "src\\", root + "dst\\", &ui); });
    EXPECT_EQ(result, 0) << "-1 means the copy hung on the FIFO";
    // The swap happened in the child; the FIFO is there now and no copy of it.
    EXPECT_TRUE(S_ISFIFO(StatOf(d / "src/b").st_mode));
    EXPECT_FALSE(d.Exists("dst/src/b"));
}

TEST(FileSafetyTest, TrashFoldersOfOtherVolumesAreCheckedBeforeUse) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    ::setenv("XDG_DATA_HOME", (drive.ExeDir() / "xdg").c_str(), 1);
    SmallVolume vol(d / "vol", "1m");
    if (!vol.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string own = ".Trash-" + std::to_string(::geteuid());
    d.Write("vol/doc", "mine");
    const std::string root = drive.Root();

    // Another user's open trash folder: nothing goes there.
    d.MakeDir("vol/" + own);
    ASSERT_EQ(::chown((d / ("vol/" + own)).c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod((d / ("vol/" + own)).c_str(), 0777), 0);
    EXPECT_FALSE(op.Delete(root + "vol\\doc", true));
    EXPECT_EQ(d.Read("vol/doc"), "mine");
    EXPECT_TRUE(NamesIn(d / ("vol/" + own)).empty());
    ASSERT_FALSE(op.Errors().empty());
    EXPECT_NE(op.Errors()[0].find("何も移動していません"), std::string::npos);
    test::RemoveTree(d / ("vol/" + own));

    // A link in its place: not followed.
    d.MakeDir("elsewhere");
    ASSERT_EQ(::symlink((d / "elsewhere").c_str(), (d / ("vol/" + own)).c_str()), 0);
    EXPECT_FALSE(op.Delete(root + "vol\\doc", true));
    EXPECT_TRUE(NamesIn(d / "elsewhere").empty());
    ::unlink((d / ("vol/" + own)).c_str());

    // None there: made private, and used.
    EXPECT_TRUE(op.Delete(root + "vol\\doc", true));
    EXPECT_EQ(StatOf(d / ("vol/" + own)).st_mode & 07777, 0700u);
    EXPECT_EQ(d.Read("vol/" + own + "/files/doc"), "mine");
    EXPECT_NE(d.Read("vol/" + own + "/info/doc.trashinfo").find("Path=" + d.Path()),
              std::string::npos);

    // A shared sticky .Trash is preferred, with a private folder per user.
    d.MakeDir("vol/.Trash");
    ASSERT_EQ(::chmod((d / "vol/.Trash").c_str(), 01777), 0);
    d.Write("vol/doc2", "two");
    EXPECT_TRUE(op.Delete(root + "vol\\doc2", true));
    EXPECT_EQ(d.Read("vol/.Trash/" + std::to_string(::geteuid()) + "/files/doc2"), "two");
    ::unsetenv("XDG_DATA_HOME");
}

TEST(FileSafetyTest, TrashCornerCases) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    ::setenv("XDG_DATA_HOME", (drive.ExeDir() / "xdg").c_str(), 1);
    const std::string root = drive.Root();

    // A name that leaves no room for ".trashinfo": shortened in the trash,
    // whole in Path=.
    const std::string longName(250, 'L');
    d.Write(longName, "long");
    EXPECT_TRUE(op.Delete(root + longName, true));
    EXPECT_FALSE(d.Exists(longName));
    auto infos = NamesIn(drive.ExeDir() / "xdg/Trash/info");
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_LE(infos[0].size(), 255u);
    EXPECT_NE(drive.ExeDir().Read("xdg/Trash/info/" + infos[0]).find(longName), std::string::npos);
    d.Write(longName, "long again");
    EXPECT_TRUE(op.Delete(root + longName, true)) << "a second one gets a name of its own";
    EXPECT_EQ(NamesIn(drive.ExeDir() / "xdg/Trash/files").size(), 2u);

    // A folder with a live mount inside is not moved into the trash.
    d.Write("tree/other", "x");
    SmallVolume vol(d / "tree/mnt", "1m");
    if (vol.Mounted()) {
        d.Write("tree/mnt/precious", "keep");
        EXPECT_FALSE(op.Delete(root + "tree\\", true));
        EXPECT_FALSE(op.Delete(root + "tree\\", false));
        EXPECT_EQ(d.Read("tree/mnt/precious"), "keep");
        EXPECT_EQ(d.Read("tree/other"), "x") << "refused before anything was deleted";
    }
    ::unsetenv("XDG_DATA_HOME");
}

TEST(FileSafetyTest, ADriveWhoseRootIsALinkDeletesItsTopLevelItems) {
    test::LastOperation op;
    TempDrive drive;
    TempDir real;
    real.Write("item", "x");
    real.Write("gone/x", "y");
    const std::string link = drive.ExeDir() / "linkroot";
    ASSERT_EQ(::symlink(real.Path().c_str(), link.c_str()), 0);
    ASSERT_EQ(platform::SetDriveMapEntry(drive.Letter() - 'A', link), 1);
    EXPECT_TRUE(op.Delete(drive.Root() + "item", false));
    EXPECT_FALSE(real.Exists("item"));
    EXPECT_TRUE(op.Delete(drive.Root() + "gone\\", false));
    EXPECT_FALSE(real.Exists("gone"));
    EXPECT_TRUE(NamesIn(link + "/").empty());
}

TEST(FileSafetyTest, AMountPointWithALineBreakGetsNoLetterAndShiftsNone) {
    // From the mount table as the kernel writes it (\012 is a line feed).
    const std::string table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "30 22 0:40 / /media/nl\\012mount rw - tmpfs tmpfs rw\n"
                              "31 22 0:41 / /media/after rw - tmpfs tmpfs rw\n";
    auto mounts = platform::ParseMountInfo(table);
    ASSERT_EQ(mounts.size(), 3u);
    platform::DriveMap map = platform::AssignLetters({}, mounts);
    auto lines = platform::DriveMapLines(map);
    ASSERT_EQ(lines.size(), 52u);
    for (const auto& l : lines)
        EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(map.Roots[3], "/media/after") << "D: goes to the next mount";

    // A real one, through detection and the map file.
    TempDrive drive;
    SmallVolume vol(drive.Dir() / "nl\nmount", "64k");
    if (!vol.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    platform::DetectDriveMap();
    StringList file;
    ASSERT_EQ(LoadLines(file, platform::DriveMapFileName()), 1);
    ASSERT_EQ(file.size(), 52u);
    EXPECT_EQ(file[static_cast<size_t>(drive.Letter() - 'A')],
              drive.Native().substr(0, drive.Native().size() - 1));
    for (const auto& root : platform::DriveRoots())
        EXPECT_EQ(root.find('\n'), std::string::npos);
}

namespace {
// Records what an operation reports and answers as scripted.
struct ScriptedUi : platform::FileOperationObserver {
    std::vector<Answer> answers; // taken in turn; REPLACE_YES when run out
    std::vector<std::string> asked;
    uint64_t totalItems = 0, totalBytes = 0, lastItems = 0, lastBytes = 0;
    std::function<bool(const std::string&, uint64_t, uint64_t)> goOn;
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string& path) override {
        asked.push_back(path);
        if (asked.size() > answers.size()) return REPLACE_YES;
        return answers[asked.size() - 1];
    }
    void Begin(bool, uint64_t items, uint64_t bytes) override {
        totalItems = items;
        totalBytes = bytes;
    }
    bool Progress(const std::string& path, uint64_t items, uint64_t bytes) override {
        EXPECT_GE(bytes, lastBytes) << "progress never runs backwards";
        lastItems = items;
        lastBytes = bytes;
        return !goOn || goOn(path, items, bytes);
    }
};

} // namespace

TEST(FileSafetyTest, ProgressCountsTheWholeTreeAndCancelLeavesNoPartialFile) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("src/a", "aaa");
    d.Write("src/sub/b", "bb");
    d.Write("src/z", std::string(40 << 20, 'z'));
    d.MakeDir("dst");
    const std::string root = drive.Root();
    {
        ScriptedUi ui;
        ASSERT_TRUE(op.Copy(root + "src\\", root + "dst\\", &ui));
        EXPECT_EQ(ui.totalItems, 5u) << "src, a, sub, b, z";
        EXPECT_EQ(ui.totalBytes, 5u + (40u << 20));
        EXPECT_GE(ui.lastItems, 4u);
    }
    test::RemoveTree(d / "dst/src");
    {
        // Cancel in the middle of the big file: the files done stay, the one
        // being copied is gone, and the copy is no success.
        ScriptedUi ui;
        ui.goOn = [](const std::string& path, uint64_t, uint64_t bytes) {
            return !(path == "z" && bytes > 5);
        };
        EXPECT_FALSE(op.Copy(root + "src\\", root + "dst\\", &ui));
        EXPECT_FALSE(d.Exists("dst/src/z"));
        // Files finished before the cancel (the order is the folder's) stay whole.
        if (d.Exists("dst/src/a")) {
            EXPECT_EQ(d.Read("dst/src/a"), "aaa");
        }
        if (d.Exists("dst/src/sub/b")) {
            EXPECT_EQ(d.Read("dst/src/sub/b"), "bb");
        }
        for (const auto& n : NamesIn(d / "dst/src"))
            EXPECT_NE(n.rfind(".nrvs", 0), 0u) << "temporary file left: " << n;
    }
}

TEST(FileSafetyTest, ReplaceQuestionsAnswerYesAllNoOrCancel) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    for (const char* n : {"1", "2", "3", "4"}) {
        d.Write(std::string("src/") + n, std::string("new") + n);
        d.Write(std::string("dst/src/") + n, "old");
    }
    const std::string root = drive.Root();
    {
        ScriptedUi ui;
        ui.answers = {platform::FileOperationObserver::REPLACE_NO,
                      platform::FileOperationObserver::REPLACE_ALL};
        EXPECT_TRUE(op.Copy(root + "src\\", root + "dst\\", &ui));
        EXPECT_EQ(ui.asked.size(), 2u) << "no question after yes to all";
        int kept = 0;
        for (const char* n : {"1", "2", "3", "4"})
            kept += d.Read(std::string("dst/src/") + n) == "old";
        EXPECT_EQ(kept, 1);
    }
    for (const char* n : {"1", "2", "3", "4"})
        d.Write(std::string("dst/src/") + n, "old");
    {
        ScriptedUi ui;
        ui.answers = {platform::FileOperationObserver::REPLACE_YES,
                      platform::FileOperationObserver::REPLACE_CANCEL};
        EXPECT_FALSE(op.Copy(root + "src\\", root + "dst\\", &ui)) << "a cancel is no success";
        EXPECT_EQ(ui.asked.size(), 2u);
        int replaced = 0;
        for (const char* n : {"1", "2", "3", "4"})
            replaced += d.Read(std::string("dst/src/") + n) != "old";
        EXPECT_EQ(replaced, 1);
    }
    {
        // Without confirmation nothing is asked and everything is replaced.
        ScriptedUi ui;
        EXPECT_TRUE(op.Copy(root + "src\\", root + "dst\\"));
        EXPECT_TRUE(ui.asked.empty());
        EXPECT_EQ(d.Read("dst/src/4"), "new4");
    }
}

TEST(FileSafetyTest, ADeleteWithProgressStopsBetweenItems) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    for (int i = 0; i < 20; ++i)
        d.Write("tree/f" + std::to_string(i), "x");
    ScriptedUi ui;
    ui.goOn = [](const std::string&, uint64_t items, uint64_t) { return items < 5; };
    EXPECT_FALSE(op.Delete(drive.Root() + "tree\\", false, &ui));
    EXPECT_EQ(ui.totalItems, 21u);
    size_t left = NamesIn(d / "tree").size();
    EXPECT_GT(left, 0u);
    EXPECT_LT(left, 20u);
}
