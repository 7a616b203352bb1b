// Copy, move and delete against what a hostile tester tried: bind mounts that
// put the destination inside the source, special files, read-only and
// unreadable folders, killed copies, sources that change while read, drive
// roots reached through another letter, and trees thousands of levels deep.
// A copy is compared with what cp -a makes of the same tree.
#include "platform/ErrorText.h"
#include "lib/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/FolderEntries.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "platform/FileOperations.h"
#include "support/FileFixtures.h"
#include "support/LastOperation.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::InChild;
using nrvs::test::NamesIn;
using nrvs::test::StatOf;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {

// A file system mounted at a folder for one test; skipped where mounting is
// not allowed.
class Volume {
  public:
    Volume(const std::string& where, const char* type, const char* options = "size=4m")
        : where_(where) {
        ::mkdir(where.c_str(), 0755);
        mounted_ = ::geteuid() == 0 && ::mount("nrvstest", where.c_str(), type, 0, options) == 0;
    }
    // A bind mount of from at where.
    Volume(const std::string& from, const std::string& where) : where_(where) {
        ::mkdir(where.c_str(), 0755);
        mounted_ = ::geteuid() == 0 &&
                   ::mount(from.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~Volume() {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }

  private:
    std::string where_;
    bool mounted_ = false;
};

struct ScriptedUi : platform::FileOperationObserver {
    std::function<bool(const std::string&, uint64_t)> goOn;
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string&) override { return REPLACE_YES; }
    bool Progress(const std::string& path, uint64_t, uint64_t bytes) override {
        return !goOn || goOn(path, bytes);
    }
};

struct TrashAt {
    explicit TrashAt(const std::string& xdg) { ::setenv("XDG_DATA_HOME", xdg.c_str(), 1); }
    ~TrashAt() { ::unsetenv("XDG_DATA_HOME"); }
};

// A letter no drive uses, from the end of the alphabet.
int FreeLetter(int below = 26) {
    const auto& roots = platform::DriveRoots();
    for (int n = below - 1; n > 3; --n)
        if (roots[static_cast<size_t>(n)].empty()) return n;
    return -1;
}

// ---- extended attributes ----

std::map<std::string, std::string> AttributesOf(const std::string& path) {
    std::map<std::string, std::string> out;
    char names[4096];
    ssize_t len = ::llistxattr(path.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < len;) {
        const char* n = names + at;
        at += static_cast<ssize_t>(std::strlen(n)) + 1;
        char value[4096];
        ssize_t v = ::lgetxattr(path.c_str(), n, value, sizeof value);
        out[n] = v < 0 ? std::string("?") : std::string(value, static_cast<size_t>(v));
    }
    return out;
}

// An ACL as the kernel stores it in system.posix_acl_*: version 2, then
// (tag, permissions, id) entries sorted by tag.
std::string Acl(std::initializer_list<std::array<uint32_t, 3>> entries) {
    std::string s;
    auto put = [&](uint32_t v, size_t bytes) {
        s.append(reinterpret_cast<const char*>(&v), bytes);
    };
    put(2, 4);
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
    }
    return s;
}
constexpr uint32_t kUserObj = 1, kUser = 2, kGroupObj = 4, kMask = 0x10, kOther = 0x20,
                   kNoId = 0xFFFFFFFFu;

// ---- deep trees ----

// A chain of depth folders named "d" below folder, with a file "end" at the
// bottom. Made name by name: the path is far beyond PATH_MAX.
bool MakeChain(const std::string& folder, int depth) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        if (::mkdirat(fd, "d", 0755) != 0) break;
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd < 0) return false;
    int f = ::openat(fd, "end", O_WRONLY | O_CREAT, 0644);
    bool ok = f >= 0 && ::write(f, "bottom", 6) == 6;
    if (f >= 0) ::close(f);
    ::close(fd);
    return ok;
}

// The depth of the chain below folder and what its bottom file holds.
int ChainDepth(const std::string& folder, std::string& end) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    int depth = 0;
    for (;;) {
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (next < 0) break;
        ::close(fd);
        fd = next;
        ++depth;
    }
    char buf[16] = {};
    int f = ::openat(fd, "end", O_RDONLY);
    end = f >= 0 ? std::string(
                       buf, static_cast<size_t>(std::max<ssize_t>(0, ::read(f, buf, sizeof buf))))
                 : "";
    if (f >= 0) ::close(f);
    ::close(fd);
    return depth;
}

// Removes a tree of any depth without long paths: each folder's subfolders
// are moved up beside it before it is removed, so no more than two folders
// are open at a time.
void RemoveDeep(const std::string& parent, const std::string& name) {
    int top = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY);
    if (top < 0) return;
    std::vector<std::string> work{name};
    int counter = 0;
    while (!work.empty()) {
        std::string n = work.back();
        work.pop_back();
        if (::unlinkat(top, n.c_str(), 0) == 0) continue;
        int fd = ::openat(top, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (fd < 0) continue;
        ::fchmod(fd, 0700);
        std::vector<std::string> entries;
        if (DIR* dir = ::fdopendir(::dup(fd))) {
            while (dirent* e = ::readdir(dir))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    entries.emplace_back(e->d_name);
            ::closedir(dir);
        }
        for (const auto& e : entries) {
            if (::unlinkat(fd, e.c_str(), 0) == 0) continue;
            std::string moved = ".deep-" + std::to_string(++counter);
            if (::renameat(fd, e.c_str(), top, moved.c_str()) == 0) work.push_back(moved);
        }
        ::close(fd);
        ::unlinkat(top, n.c_str(), AT_REMOVEDIR);
    }
    ::close(top);
}

} // namespace

TEST(CopySafetyTest, NoMountMakesAFolderCopyIntoItself) {
    test::LastOperation op;
    if (::geteuid() != 0) GTEST_SKIP() << "bind mounts need root";
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    d.Write("a/b/file", "x");
    d.Write("other/o", "o");
    // c shows a\b: a copy of a into c is a copy of a into its own subfolder.
    Volume bind(d / "a/b", d / "c");
    if (!bind.Mounted()) GTEST_SKIP() << "bind mount failed";
    EXPECT_FALSE(op.Copy(root + "a\\", root + "c\\"));
    EXPECT_TRUE(op.Holds("それ自身の中にはコピーできません")) << op.All();
    EXPECT_EQ(NamesIn(d / "a/b"), std::vector<std::string>{"file"})
        << "nothing was made in the source";
    EXPECT_FALSE(op.Copy(root + "a\\", root + "a\\b\\")) << "the plain spelling too";
    EXPECT_EQ(NamesIn(d / "a/b"), std::vector<std::string>{"file"});
    EXPECT_FALSE(op.Move(root + "a\\", root + "c\\"));
    EXPECT_EQ(d.Read("a/b/file"), "x");

    // A mount inside the source that shows the destination.
    Volume inner(d / "other", d / "a/m");
    if (inner.Mounted()) {
        EXPECT_FALSE(op.Copy(root + "a\\", root + "other\\"));
        EXPECT_EQ(NamesIn(d / "other"), std::vector<std::string>{"o"});
    }

    // The bind mount is no reason to refuse what is not inside the source.
    EXPECT_TRUE(op.Copy(root + "other\\o", root + "c\\")) << op.All();
    EXPECT_EQ(d.Read("a/b/o"), "o");
}

TEST(CopySafetyTest, ACopyKeepsWhatCpArchiveKeeps) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    const bool root_ = ::geteuid() == 0;
    d.Write("t/f1", "one");
    d.Write("t/sub/g", "gg");
    d.Write("t/hard1", "shared");
    ASSERT_EQ(::link((d / "t/hard1").c_str(), (d / "t/sub/hard2").c_str()), 0);
    ASSERT_EQ(::link((d / "t/hard1").c_str(), (d / "t/sub/hard3").c_str()), 0);
    d.Write("t/outside", "linked to a file outside the copied tree");
    ASSERT_EQ(::link((d / "t/outside").c_str(), (d / "elsewhere").c_str()), 0);
    ASSERT_EQ(::symlink("f1", (d / "t/link").c_str()), 0);
    ASSERT_EQ(::chmod((d / "t/f1").c_str(), 0640), 0);
    ASSERT_EQ(::chmod((d / "t/sub/g").c_str(), 0604), 0);
    ASSERT_EQ(::chmod((d / "t/sub").c_str(), 0750), 0);
    d.Write("t/shared/x", "x");
    ASSERT_EQ(::chmod((d / "t/shared").c_str(), 03777), 0); // drwxrwsrwt, as a shared folder
    if (root_) {
        d.Write("t/tool", "#!/bin/sh\n");
        ASSERT_EQ(::chown((d / "t/tool").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod((d / "t/tool").c_str(), 06755), 0);
        ASSERT_EQ(::chown((d / "t/f1").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown((d / "t/sub").c_str(), 65534, 0), 0);
        ASSERT_EQ(::lchown((d / "t/link").c_str(), 65534, 65534), 0);
    }
    if (::setxattr((d / "t/f1").c_str(), "user.note", "hello", 5, 0) != 0)
        GTEST_SKIP() << "no user extended attributes on " << d.Path();
    ASSERT_EQ(::setxattr((d / "t/sub").c_str(), "user.folder", "yes", 3, 0), 0);
    const std::string access = Acl({{kUserObj, 6, kNoId},
                                    {kUser, 4, 65534},
                                    {kGroupObj, 4, kNoId},
                                    {kMask, 4, kNoId},
                                    {kOther, 0, kNoId}});
    const std::string inherited = Acl({{kUserObj, 7, kNoId},
                                       {kUser, 5, 65534},
                                       {kGroupObj, 5, kNoId},
                                       {kMask, 5, kNoId},
                                       {kOther, 0, kNoId}});
    ASSERT_EQ(::setxattr((d / "t/f1").c_str(), "system.posix_acl_access", access.data(),
                         access.size(), 0),
              0);
    ASSERT_EQ(::setxattr((d / "t/sub").c_str(), "system.posix_acl_default", inherited.data(),
                         inherited.size(), 0),
              0);

    d.MakeDir("ref");
    d.MakeDir("ours");
    ASSERT_EQ(std::system(("/bin/cp -a '" + d / "t" + "' '" + d / "ref/" + "'").c_str()), 0);
    ASSERT_TRUE(op.Copy(root + "t\\", root + "ours\\")) << op.All();
    EXPECT_TRUE(op.Errors().empty()) << op.All();

    std::vector<std::string> names = {"",           "/f1",        "/sub",     "/sub/g", "/hard1",
                                      "/sub/hard2", "/sub/hard3", "/outside", "/link",  "/shared"};
    if (root_) names.push_back("/tool");
    for (const std::string& n : names) {
        const std::string ref = d / ("ref/t" + n), ours = d / ("ours/t" + n);
        struct stat r = StatOf(ref), o = StatOf(ours);
        ASSERT_NE(o.st_mode, 0u) << ours << " is missing";
        EXPECT_EQ(o.st_mode & (S_IFMT | 07777), r.st_mode & (S_IFMT | 07777))
            << n << ": set-id and sticky bits as cp -a";
        EXPECT_EQ(o.st_uid, r.st_uid) << n;
        EXPECT_EQ(o.st_gid, r.st_gid) << n;
        EXPECT_EQ(o.st_nlink, r.st_nlink) << n;
        EXPECT_EQ(o.st_mtim.tv_sec, r.st_mtim.tv_sec) << n;
        EXPECT_EQ(o.st_mtim.tv_nsec, r.st_mtim.tv_nsec) << n;
        EXPECT_EQ(AttributesOf(ours), AttributesOf(ref)) << n;
    }
    EXPECT_EQ(StatOf(d / "ours/t/hard1").st_ino, StatOf(d / "ours/t/sub/hard2").st_ino)
        << "links stay links";
    EXPECT_EQ(StatOf(d / "ours/t/hard1").st_ino, StatOf(d / "ours/t/sub/hard3").st_ino);
    EXPECT_EQ(StatOf(d / "ours/t/hard1").st_nlink, 3u);
    EXPECT_EQ(AttributesOf(d / "ours/t/f1")["user.note"], "hello");
    EXPECT_EQ(AttributesOf(d / "ours/t/f1")["system.posix_acl_access"], access);
    EXPECT_EQ(AttributesOf(d / "ours/t/sub")["system.posix_acl_default"], inherited);
    EXPECT_EQ(d.Read("ours/t/sub/hard3"), "shared");

    // Copied again onto itself: the links are still one file, and no
    // temporary name is left beside them.
    ASSERT_TRUE(op.Copy(root + "t\\", root + "ours\\")) << op.All();
    EXPECT_EQ(StatOf(d / "ours/t/hard1").st_nlink, 3u);
    EXPECT_EQ(NamesIn(d / "ours/t/sub"), (std::vector<std::string>{"g", "hard2", "hard3"}));

    // Copied into folders that are there already, left private as a killed
    // copy leaves them: they get the source's mode and times, as files do.
    ASSERT_EQ(::chmod((d / "ours/t/sub").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((d / "ours/t").c_str(), 0700), 0);
    ASSERT_TRUE(op.Copy(root + "t\\", root + "ours\\")) << op.All();
    for (const std::string n : {"", "/sub"}) {
        const struct stat r = StatOf(d / ("ref/t" + n)), o = StatOf(d / ("ours/t" + n));
        EXPECT_EQ(o.st_mode & 07777, r.st_mode & 07777) << n;
        EXPECT_EQ(o.st_mtim.tv_sec, r.st_mtim.tv_sec) << n;
    }

    // A target that keeps no extended attributes: one line for the whole
    // copy, and the copy is still a success.
    Volume ram(d / "ram", "ramfs", "");
    if (ram.Mounted()) {
        ASSERT_TRUE(op.Copy(root + "t\\", root + "ram\\")) << op.All();
        ASSERT_EQ(op.Errors().size(), 1u) << op.All();
        EXPECT_NE(op.Errors()[0].find("拡張属性はコピーされませんでした"), std::string::npos);
        EXPECT_EQ(d.Read("ram/t/f1"), "one");
    }
}

TEST(CopySafetyTest, SpecialFilesAreReportedAndAMoveKeepsTheirSource) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    TrashAt trash(drive.ExeDir() / "xdg");
    d.Write("s/a.txt", "aaa");
    ASSERT_EQ(::mkfifo((d / "s/fifo").c_str(), 0644), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = d / "s/sock";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(sock);
    const bool device =
        ::geteuid() == 0 && ::mknod((d / "s/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    d.MakeDir("dst");

    EXPECT_FALSE(op.Copy(root + "s\\", root + "dst\\")) << "not everything was copied";
    EXPECT_TRUE(op.Holds(d / "s/fifo: FIFOはコピーされません")) << op.All();
    EXPECT_TRUE(op.Holds(d / "s/sock: ソケットはコピーされません")) << op.All();
    if (device) {
        EXPECT_TRUE(op.Holds(d / "s/null: デバイスはコピーされません")) << op.All();
    }
    EXPECT_EQ(NamesIn(d / "dst/s"), std::vector<std::string>{"a.txt"});

    d.MakeDir("one");
    EXPECT_FALSE(op.Copy(root + "s\\fifo", root + "one\\"));
    EXPECT_TRUE(op.Holds("FIFOはコピーされません"));
    EXPECT_TRUE(NamesIn(d / "one").empty());

    d.MakeDir("mv");
    EXPECT_FALSE(op.Move(root + "s\\", root + "mv\\"));
    EXPECT_TRUE(op.Holds("FIFOはコピーされません")) << op.All();
    EXPECT_TRUE(op.Holds("the source stays")) << op.All();
    EXPECT_TRUE(S_ISFIFO(StatOf(d / "s/fifo").st_mode)) << "the FIFO was not lost";
    EXPECT_EQ(d.Read("s/a.txt"), "aaa");
    EXPECT_EQ(d.Read("mv/s/a.txt"), "aaa");
    EXPECT_FALSE(drive.ExeDir().Exists("xdg/Trash/files/s"));
}

TEST(CopySafetyTest, AMoveThatCouldNotRemoveItsSourceCopiesNothingAndSaysWhy) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    TrashAt trash(drive.ExeDir() / "xdg");
    d.MakeDir("dst");
    Volume ro(d / "ro", "tmpfs", "size=1m");
    if (ro.Mounted()) {
        d.Write("ro/f", "data");
        d.Write("ro/tree/x", "x");
        ASSERT_EQ(
            ::mount("nrvstest", (d / "ro").c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
        for (const std::string item : {"ro\\f", "ro\\tree\\"}) {
            EXPECT_FALSE(op.Move(root + item, root + "dst\\")) << item;
            EXPECT_TRUE(op.Holds(platform::SystemReason(EROFS))) << op.All();
            EXPECT_FALSE(op.Holds("unsafe")) << op.All();
        }
        EXPECT_TRUE(NamesIn(d / "dst").empty()) << "nothing was copied";
        EXPECT_FALSE(op.Delete(root + "ro\\f", true));
        EXPECT_TRUE(op.Holds(platform::SystemReason(EROFS))) << op.All();
        EXPECT_EQ(d.Read("ro/f"), "data");
    }

    // As an ordinary user: a file in a folder they may not write is not
    // moved, and an unreadable folder is reported as such.
    ASSERT_EQ(::chmod(d.Path().c_str(), 0755), 0);
    d.Write("locked/f", "mine");
    d.Write("src/ok", "ok");
    d.Write("src/secret/s", "s");
    d.MakeDir("open");
    ASSERT_EQ(::chmod((d / "open").c_str(), 0777), 0);
    ASSERT_EQ(::chmod((d / "src/secret").c_str(), ::geteuid() == 0 ? 0700 : 0), 0);
    // Another user's file in a shared sticky folder.
    d.Write("open/shared/theirs", "theirs");
    d.Write("open/shared/ok", "root's");
    ASSERT_EQ(::chmod((d / "open/shared").c_str(), 01777), 0);
    std::string seen;
    bool result = test::AsUnprivileged([&] {
        bool ok = !op.Move(root + "locked\\f", root + "open\\") &&
                  op.Holds(platform::SystemReason(EACCES)) &&
                  NamesIn(d / "open") == std::vector<std::string>{"shared"};
        ok = ok && !op.Copy(root + "src\\", root + "open\\") &&
             op.Holds(d / "src/secret: " + platform::SystemReason(EACCES)) &&
             !op.Holds("コピー中に変更されました");
        if (StatOf(d / "open/shared/theirs").st_uid != ::geteuid()) {
            // The copy is made, but may not take the other user's name.
            ok = ok && !op.Copy(root + "src\\ok", root + "open\\shared\\") &&
                 op.Holds(d / "src/ok: " + platform::SystemReason(EPERM));
            ok = ok && !op.Delete(root + "open\\shared\\", false) &&
                 op.Holds(d / "open/shared/theirs: " + platform::SystemReason(EPERM));
        }
        if (!ok) std::fprintf(stderr, "%s", op.All().c_str());
        return ok;
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(d.Read("locked/f"), "mine");
    EXPECT_EQ(d.Read("open/shared/theirs"), "theirs");
    EXPECT_EQ(NamesIn(d / "open/shared"), (std::vector<std::string>{"ok", "theirs"}));
    EXPECT_EQ(d.Read("open/shared/ok"), "root's");
    ::chmod((d / "src/secret").c_str(), 0755);
}

TEST(CopySafetyTest, AKilledCopyLeavesNoLastingTemporary) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    d.Write("big", std::string(24 << 20, 'b'));
    d.Write("small", "s");
    d.MakeDir("dst");
    // Planted names that only look like leftovers, and one of a live process.
    d.Write("dst/.nrvs1.0123456789abcdef.1", "pid 1 is alive");
    d.Write("dst/.nrvs12.0123456789abcdef", "no counter");
    d.Write("dst/report.nrvs", "the user's");
    d.MakeDir("dst/.nrvs999999.0123456789abcdef.1");

    int died = InChild([&] {
        ScriptedUi ui;
        ui.goOn = [](const std::string& path, uint64_t bytes) {
            if (path == "big" && bytes > 0) ::raise(SIGKILL);
            return true;
        };
        op.Copy(root + "big", root + "dst\\", &ui);
        return 0;
    });
    ASSERT_EQ(died, -2) << "the copy was to be killed in the middle";
    std::vector<std::string> leftovers;
    for (const auto& n : NamesIn(d / "dst"))
        if (platform::IsCopyTemporaryName(n) && S_ISREG(StatOf(d / ("dst/" + n)).st_mode) &&
            n.find(".nrvs1.") != 0)
            leftovers.push_back(n);
    ASSERT_EQ(leftovers.size(), 1u) << "the killed copy's temporary";

    // Never shown as one of the user's files.
    DirListing l;
    ListFolder(l, root + "dst\\*.*", LIST_FILES);
    EXPECT_EQ(l.Entries.size(), 2u);
    for (const auto& e : l.Entries)
        EXPECT_TRUE(e.find(".nrvs12.") == 0 || e.find("report.nrvs") == 0) << e;
    EXPECT_EQ(CountEntries(root + "dst\\*.*", LIST_FILES), 2);

    // The next copy into the folder clears it, and nothing else.
    ASSERT_TRUE(op.Copy(root + "small", root + "dst\\"));
    EXPECT_FALSE(d.Exists("dst/" + leftovers[0]));
    EXPECT_EQ(NamesIn(d / "dst"),
              (std::vector<std::string>{".nrvs1.0123456789abcdef.1", ".nrvs12.0123456789abcdef",
                                        ".nrvs999999.0123456789abcdef.1", "report.nrvs", "small"}));
}

TEST(CopySafetyTest, ASourceThatChangesWhileCopiedIsNotPassedOffAsItsCopy) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    d.Write("dst/grow", "old");
    d.MakeDir("fresh");
    for (const std::string target : {"dst", "fresh"}) {
        d.Write("grow", std::string(40 << 20, 'g'));
        ScriptedUi ui;
        uint64_t start = UINT64_MAX;
        bool shrunk = false;
        ui.goOn = [&](const std::string& path, uint64_t bytes) {
            if (path != "grow") return true;
            if (start == UINT64_MAX) start = bytes;
            if (bytes > start && !shrunk) shrunk = ::truncate((d / "grow").c_str(), 1 << 20) == 0;
            return true;
        };
        EXPECT_FALSE(op.Copy(root + "grow", root + target + "\\", &ui)) << target;
        ASSERT_TRUE(shrunk) << "the source was to shrink in the middle of the copy";
        EXPECT_TRUE(op.Holds(d / "grow: コピー中に変更されました")) << op.All();
        for (const auto& n : NamesIn(d / target))
            EXPECT_FALSE(platform::IsCopyTemporaryName(n)) << n;
    }
    EXPECT_EQ(d.Read("dst/grow"), "old") << "the old file stays whole";
    EXPECT_FALSE(d.Exists("fresh/grow"));
}

TEST(CopySafetyTest, ADriveRootIsNeverDeletedOrMovedThroughAnotherLetter) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    TrashAt trash(drive.ExeDir() / "xdg");
    d.Write("outer/t1/file", "on the other drive");
    d.Write("outer/ft/x", "x");
    d.MakeDir("dst");
    ASSERT_EQ(::symlink((d / "outer/t1").c_str(), (d / "link").c_str()), 0);
    const int other = FreeLetter();
    ASSERT_GT(other, 0);
    ASSERT_EQ(platform::SetDriveMapEntry(other, d / "outer/t1"), 1);
    const std::string otherDrive = std::string(1, static_cast<char>('A' + other)) + ":";

    EXPECT_FALSE(op.Delete(root + "outer\\t1\\", true));
    EXPECT_TRUE(op.Holds("ドライブ " + otherDrive + " のルートです")) << op.All();
    EXPECT_FALSE(op.Delete(root + "outer\\t1\\", false));
    EXPECT_FALSE(op.Move(root + "outer\\t1\\", root + "dst\\"));
    EXPECT_TRUE(NamesIn(d / "dst").empty()) << "refused before anything was copied";
    EXPECT_FALSE(op.Delete(root + "outer\\", true)) << "a folder holding the root";
    EXPECT_TRUE(op.Holds("ドライブ " + otherDrive + " のルートを含んでいます")) << op.All();
    EXPECT_FALSE(op.Delete(root + "outer\\", false));
    EXPECT_EQ(d.Read("outer/t1/file"), "on the other drive");
    EXPECT_EQ(d.Read("outer/ft/x"), "x");
    // A link to the root is a link: it goes, the drive stays.
    EXPECT_TRUE(op.Delete(root + "link", false)) << op.All();
    EXPECT_EQ(d.Read("outer/t1/file"), "on the other drive");
    // Items inside the other drive's root are the user's to delete.
    EXPECT_TRUE(op.Delete(root + "outer\\t1\\file", true)) << op.All();

    // A root spelled with ".." is taken as the folder it names; one naming
    // no folder leaves the letter free.
    char* real = ::realpath((d / "outer/ft").c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string canonical = real;
    std::free(real);
    ASSERT_EQ(platform::SetDriveMapEntry(other, d / "outer/t1/../ft"), 1);
    EXPECT_EQ(platform::DriveRoots()[static_cast<size_t>(other)], canonical);
    EXPECT_EQ(platform::SetDriveMapEntry(other, d / "outer/gone/../ft"), 0);
    StringList lines;
    ASSERT_EQ(LoadLines(lines, platform::DriveMapFileName()), 1);
    lines.resize(52);
    lines[static_cast<size_t>(other)] = d / "outer/t1/../ft";
    ASSERT_EQ(SaveLines(lines, platform::DriveMapFileName()), 1);
    platform::DetectDriveMap();
    EXPECT_EQ(platform::DriveRoots()[static_cast<size_t>(other)], canonical);
    EXPECT_FALSE(op.Delete(root + "outer\\ft\\", false));
    lines[static_cast<size_t>(other)] = d / "outer/gone/../ft";
    ASSERT_EQ(SaveLines(lines, platform::DriveMapFileName()), 1);
    platform::DetectDriveMap();
    EXPECT_EQ(platform::DriveRoots()[static_cast<size_t>(other)], "");
    EXPECT_TRUE(op.Delete(root + "outer\\ft\\", false)) << "no drive stands there now";
}

TEST(CopySafetyTest, DeepTreesAreCopiedMovedAndDeletedWithFewDescriptors) {
    test::LastOperation op;
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string root = drive.Root();
    const std::string xdg = drive.ExeDir() / "xdg";
    TrashAt trash(xdg);
    constexpr int kDepth = 5000;
    d.MakeDir("deep");
    ASSERT_TRUE(MakeChain(d / "deep", kDepth));
    d.MakeDir("copy");
    d.MakeDir("moved");
    int result = InChild(
        [&] {
            struct rlimit few {
                256, 256
            };
            if (::setrlimit(RLIMIT_NOFILE, &few) != 0) return 9;
            std::string end;
            if (!op.Copy(root + "deep\\", root + "copy\\")) return 1;
            if (ChainDepth(d / "copy/deep", end) != kDepth || end != "bottom") return 2;
            if (!op.Move(root + "copy\\deep\\", root + "moved\\")) return 3;
            if (d.Exists("copy/deep") || ChainDepth(d / "moved/deep", end) != kDepth ||
                end != "bottom")
                return 4;
            if (!op.Delete(root + "moved\\deep\\", false) || d.Exists("moved/deep")) return 5;
            if (!op.Delete(root + "deep\\", false) || d.Exists("deep")) return 6;
            return 0;
        },
        300);
    if (result != 0) {
        for (const auto& e : op.Errors())
            ADD_FAILURE() << e.substr(0, 300);
    }
    EXPECT_EQ(result, 0)
        << "1 copy, 2 copy's depth, 3 move, 4 moved tree, 5 delete of the copy, 6 delete; -1 hung";
    for (const char* n : {"deep", "copy", "moved"})
        RemoveDeep(d.Path(), n);
    const auto trashed = NamesIn(xdg + "/Trash/files");
    EXPECT_EQ(trashed.size(), 1u) << "the moved tree's source";
    for (const auto& n : trashed)
        RemoveDeep(xdg + "/Trash/files", n);
    EXPECT_TRUE(NamesIn(xdg + "/Trash/files").empty());
    EXPECT_TRUE(NamesIn(d.Path()).empty());
}
