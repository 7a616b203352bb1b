// The one routine that writes every file of the user's (pictures, export
// documents, settings, caches) against names that were planted or changed:
// links, devices, FIFOs, sockets and folders at the name.
#include "platform/FileAccess.h"
#include "platform/ErrorText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;

namespace {

struct stat LstatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

// The three ways of writing, each of which must behave the same.
bool WriteEachWay(int way, const std::string& path, const std::string& data) {
    switch (way) {
    case 0:
        return platform::ReplaceFile(path, data);
    case 1:
        return platform::ReplaceFileWithLines(path, {data});
    case 3:
        return platform::AppendToFile(path, data, true);
    default:
        return platform::ReplaceFileStreamed(
            path, [&](const platform::PutBytes& put) { return put(data); });
    }
}

} // namespace

TEST(ReplaceFileTest, ALinkAtTheNameIsReplacedNeverWrittenThrough) {
    TempDir dir;
    for (int way = 0; way < 3; ++way) {
        dir.Write("secret", "root's own");
        ::chmod((dir / "secret").c_str(), 0600);
        ::unlink((dir / "map.png").c_str());
        ASSERT_EQ(::symlink((dir / "secret").c_str(), (dir / "map.png").c_str()), 0);
        ASSERT_TRUE(WriteEachWay(way, dir / "map.png", "PNG")) << way;
        EXPECT_EQ(dir.Read("secret"), "root's own") << "written through the link, way " << way;
        EXPECT_TRUE(S_ISREG(LstatOf(dir / "map.png").st_mode))
            << "the link itself is replaced, way " << way;
        EXPECT_EQ(LstatOf(dir / "secret").st_mode & 07777, 0600u);
        // A dangling link is no reason to write anywhere else either.
        ::unlink((dir / "map.png").c_str());
        ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "map.png").c_str()), 0);
        ASSERT_TRUE(WriteEachWay(way, dir / "map.png", "PNG"));
        EXPECT_FALSE(dir.Exists("nowhere"));
        EXPECT_TRUE(platform::LastWriteError().empty());
    }
    // An append neither replaces the link nor writes through it.
    ::unlink((dir / "map.png").c_str());
    ASSERT_EQ(::symlink((dir / "secret").c_str(), (dir / "map.png").c_str()), 0);
    EXPECT_FALSE(platform::AppendToFile(dir / "map.png", "PNG", true));
    EXPECT_EQ(dir.Read("secret"), "root's own");
    EXPECT_TRUE(S_ISLNK(LstatOf(dir / "map.png").st_mode));
}

TEST(ReplaceFileTest, WhatIsNoRegularFileIsRefusedAndKept) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    dir.MakeDir("folder");
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = dir / "sock";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    // A copy of /dev/null's node; only root may make one.
    const bool device = ::mknod((dir / "mynull").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    std::vector<std::pair<std::string, const char*>> targets = {
        {"fifo", "a FIFO"}, {"folder", "a folder"}, {"sock", "a socket"}};
    if (device) targets.push_back({"mynull", "a device"});
    for (const auto& [name, what] : targets) {
        const mode_t before = LstatOf(dir / name).st_mode;
        for (int way = 0; way < 4; ++way) {
            EXPECT_FALSE(WriteEachWay(way, dir / name, "data")) << name << " way " << way;
            EXPECT_NE(platform::LastWriteError().find(what), std::string::npos)
                << platform::LastWriteError();
            EXPECT_NE(platform::LastWriteError().find("nothing was written"), std::string::npos);
            EXPECT_EQ(LstatOf(dir / name).st_mode, before) << name << " was replaced";
        }
    }
    ::close(sock);
    // Nothing is left behind beside them.
    int count = 0;
    if (DIR* d = ::opendir(dir.Path().c_str())) {
        while (dirent* e = ::readdir(d))
            count += e->d_name[0] != '.';
        ::closedir(d);
    }
    EXPECT_EQ(count, device ? 4 : 3) << "a temporary file was left";
    if (!device) GTEST_SKIP() << "not root: the device node case was not run";
}

TEST(ReplaceFileTest, FailuresSayWhy) {
    TempDir dir;
    EXPECT_FALSE(platform::ReplaceFile(dir / "missing/x.csv", "a"));
    EXPECT_EQ(platform::LastWriteError(), platform::SystemReason(ENOENT));
    EXPECT_FALSE(platform::ReplaceFile(dir.Path(), "a"));
    EXPECT_FALSE(platform::LastWriteError().empty());
    EXPECT_TRUE(platform::ReplaceFile(dir / "ok", "a"));
    EXPECT_TRUE(platform::LastWriteError().empty()) << "a success clears the last reason";
}

// A gated replacement is written and flushed aside, and takes the name only
// when the gate says so: the gate sees the old file still in place, may save
// other files itself, and a refusal leaves the old file and no temporary.
TEST(ReplaceFileTest, AGatedReplacementTakesTheNameOnlyWhenLetThrough) {
    TempDir dir;
    const std::string name = dir / "prev.txt";
    ASSERT_TRUE(platform::ReplaceFile(name, "old"));
    auto write = [](const platform::PutBytes& put) { return put("new"); };
    auto content = [](const std::string& path) {
        std::string text;
        platform::ReadWholeFile(path, text);
        return text;
    };
    int calls = 0;
    EXPECT_FALSE(platform::ReplaceFileStreamedGated(name, write, [&] {
        ++calls;
        EXPECT_EQ(content(name), "old");
        return false;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(content(name), "old");
    EXPECT_FALSE(platform::LastWriteError().empty());
    // A gate that saves another file, and fails at one, first.
    EXPECT_TRUE(platform::ReplaceFileStreamedGated(name, write, [&] {
        ++calls;
        EXPECT_TRUE(platform::ReplaceFile(dir / "other.txt", "o"));
        EXPECT_FALSE(platform::ReplaceFile(dir / "missing/x", "o"));
        return true;
    }));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(content(name), "new");
    EXPECT_EQ(content(dir / "other.txt"), "o");
    // Never asked when nothing could be written.
    EXPECT_FALSE(platform::ReplaceFileStreamedGated(
        name, [](const platform::PutBytes&) { return false; },
        [&] {
            ++calls;
            return true;
        }));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(content(name), "new");
    DIR* d = ::opendir(dir.Path().c_str());
    ASSERT_NE(d, nullptr);
    while (const dirent* e = ::readdir(d))
        EXPECT_EQ(std::strstr(e->d_name, ".tmp"), nullptr) << e->d_name;
    ::closedir(d);
}

TEST(FileStampTest, EveryReplacementGetsANewStamp) {
    TempDir dir;
    EXPECT_EQ(platform::FileStamp(dir / "f"), "");
    ASSERT_TRUE(platform::ReplaceFile(dir / "f", "same"));
    const std::string first = platform::FileStamp(dir / "f");
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(platform::FileStamp(dir / "f"), first);
    ASSERT_TRUE(platform::ReplaceFile(dir / "f", "same"));
    EXPECT_NE(platform::FileStamp(dir / "f"), first)
        << "same size and content, yet another version";
    ::symlink((dir / "f").c_str(), (dir / "l").c_str());
    EXPECT_EQ(platform::FileStamp(dir / "l"), "") << "a link is no cache file";
}

TEST(FileLockTest, ProcessesTakeTurnsAndALinkIsNotFollowed) {
    TempDir dir;
    const std::string lock = dir / "NRVS_G.txt.lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
        platform::FileLock held(lock);
        char c = held.Held() ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        // Written while the lock is held: the parent must see it once it
        // has the lock.
        int fd = ::open((dir / "marker").c_str(), O_WRONLY | O_CREAT, 0644);
        ::close(fd);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    {
        platform::FileLock mine(lock);
        EXPECT_TRUE(mine.Held());
        EXPECT_TRUE(dir.Exists("marker")) << "the lock was taken while the other process held it";
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    dir.Write("victim", "keep");
    ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "planted.lock").c_str()), 0);
    {
        platform::FileLock planted(dir / "planted.lock");
        EXPECT_FALSE(planted.Held()) << "a link at the lock's name is no lock";
    }
    EXPECT_EQ(dir.Read("victim"), "keep");
}
