#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
namespace fs = std::filesystem;

TEST(ExecutablePathTest, TheKernelsDeletedMarkNeverReachesAName) {
    TempDir d;
    d.Write("norvessa", "new version");
    d.Write("running", "old version");
    // Replaced by an upgrade: the name is the program's own.
    EXPECT_EQ(platform::ExecutablePathOf(d / "norvessa (deleted)", d / "running"), d / "norvessa");
    // Removed without a successor: the same name.
    EXPECT_EQ(platform::ExecutablePathOf("/gone/norvessa (deleted)", d / "running"),
              "/gone/norvessa");
    // A program whose file is really named so keeps its name.
    d.Write("odd (deleted)", "x");
    EXPECT_EQ(platform::ExecutablePathOf(d / "odd (deleted)", d / "odd (deleted)"),
              d / "odd (deleted)");
    EXPECT_EQ(platform::ExecutablePathOf(d / "norvessa", d / "running"), d / "norvessa");
    EXPECT_EQ(platform::ExecutablePathOf(" (deleted)", d / "running"), " (deleted)");
}

namespace {
// In a copy of this test program started by the test below: replaces its own
// file the way an upgrade does, prints the names the program would use, and
// ends before any test runs.
const bool gProbe = [] {
    if (!std::getenv("NRVS_EXE_PROBE")) return false;
    const std::string before = platform::DriveMapFileName();
    const std::string exe = platform::ExecutablePath();
    if (::unlink(exe.c_str()) != 0) std::exit(3);
    FILE* f = std::fopen(exe.c_str(), "w");
    if (!f) std::exit(4);
    std::fputs("upgraded", f);
    std::fclose(f);
    std::printf("map=%s\nbefore=%s\nsettings=%s\n", platform::DriveMapFileName().c_str(),
                before.c_str(), (platform::ExecutableBase() + ".prm").c_str());
    std::exit(0);
}();
} // namespace

TEST(ExecutablePathTest, NamesStayAfterTheExecutableIsReplaced) {
    TempDir d;
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    std::error_code ec;
    fs::copy_file(self, d / "norvessa", ec);
    ASSERT_FALSE(ec) << ec.message();
    // A portable copy: a fresh copy in a folder of its own would count as
    // installed and keep its files in the user's folders.
    d.Write("norvessa.portable", "");
    ::chmod((d / "norvessa").c_str(), 0755);
    const std::string command =
        "NRVS_EXE_PROBE=1 '" + (d / "norvessa") + "' > '" + (d / "out.txt") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << d.Read("out.txt");
    const std::string out = d.Read("out.txt");
    EXPECT_NE(out.find("map=" + (d / "norvessa.drv") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("before=" + (d / "norvessa.drv") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("settings=" + (d / "norvessa.prm") + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("(deleted)"), std::string::npos) << out;
}

namespace {
// An executable in a folder of its own, with XDG_CONFIG_HOME and
// XDG_DATA_HOME pointed at folders that do not exist yet.
class ProgramFoldersTest : public ::testing::Test {
  protected:
    TempDir exe, home;
    std::string savedConfig, savedData, savedHome;
    bool hadConfig = false, hadData = false, hadHome = false;

    static void Keep(const char* name, std::string& value, bool& had) {
        const char* v = std::getenv(name);
        had = v != nullptr;
        if (v) value = v;
    }
    static void Restore(const char* name, const std::string& value, bool had) {
        if (had)
            ::setenv(name, value.c_str(), 1);
        else
            ::unsetenv(name);
    }
    void SetUp() override {
        Keep("XDG_CONFIG_HOME", savedConfig, hadConfig);
        Keep("XDG_DATA_HOME", savedData, hadData);
        Keep("HOME", savedHome, hadHome);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        exe.Write("norvessa", "the program");
    }
    void TearDown() override {
        platform::SetExecutablePath("");
        Restore("XDG_CONFIG_HOME", savedConfig, hadConfig);
        Restore("XDG_DATA_HOME", savedData, hadData);
        Restore("HOME", savedHome, hadHome);
    }
    platform::ProgramFolders Use(const std::string& exePath) {
        platform::SetExecutablePath(exePath);
        return platform::ProgramFileFolders();
    }
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
} // namespace

TEST_F(ProgramFoldersTest, AFolderHoldingTheProgramsFilesKeepsEverythingBesideIt) {
    for (const char* name : {"norvessa.portable", "norvessa.prm", "norvessa.drv", "NRVS_C.txt",
                             "NRVS_Q.idx", "norvessa_D.rks", "norvessa.mdv"}) {
        TempDir d;
        d.Write("norvessa", "the program");
        d.Write(name, "");
        auto f = Use(d / "norvessa");
        EXPECT_FALSE(f.Installed) << name;
        EXPECT_EQ(f.Settings, d.Path()) << name;
        EXPECT_EQ(f.Data, d.Path()) << name;
        EXPECT_EQ(platform::DriveMapFileName(), d / "norvessa.drv") << name;
        EXPECT_EQ(platform::SettingsBase(), d / "norvessa") << name;
    }
    // Names that only look like the program's do not make a portable copy.
    for (const char* name :
         {"NRVS_c.txt", "NRVS_CC.txt", "other.prm", "NRVS_C.txt.lock", "norvessa.html"}) {
        TempDir d;
        d.Write("norvessa", "the program");
        d.Write(name, "");
        EXPECT_TRUE(Use(d / "norvessa").Installed) << name;
    }
}

TEST_F(ProgramFoldersTest, AFolderWithoutProgramFilesOrNotWritableMeansInstalled) {
    auto f = Use(exe / "norvessa");
    EXPECT_TRUE(f.Installed);
    EXPECT_EQ(f.Settings, home / "config/norvessa/");
    EXPECT_EQ(f.Data, home / "data/norvessa/");
    EXPECT_EQ(platform::DriveMapFileName(), home / "config/norvessa/norvessa.drv");
    // The tool shares the program's names: its own file name never shows.
    EXPECT_EQ(platform::SettingsBase(), home / "config/norvessa/norvessa");

    // A portable copy's folder that the user cannot write (a copy set up by
    // the administrator) keeps the user's files in the user's folders.
    exe.Write("norvessa.portable", "");
    ::chmod(exe.Path().c_str(), 0555);
    const std::string exePath = exe / "norvessa", config = home / "config/norvessa/";
    EXPECT_TRUE(test::AsUnprivileged([&] {
        platform::SetExecutablePath(exePath);
        auto g = platform::ProgramFileFolders();
        return g.Installed && g.Settings == config;
    }));
    ::chmod(exe.Path().c_str(), 0755);
    EXPECT_FALSE(Use(exe / "norvessa").Installed);
}

TEST_F(ProgramFoldersTest, WithoutXdgVariablesTheFoldersAreBelowHome) {
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_DATA_HOME", "relative/data", 1); // ignored: only absolute paths count
    ::setenv("HOME", home.Path().c_str(), 1);
    auto f = Use(exe / "norvessa");
    EXPECT_TRUE(f.Installed);
    EXPECT_EQ(f.Settings, home / ".config/norvessa/");
    EXPECT_EQ(f.Data, home / ".local/share/norvessa/");
}

TEST_F(ProgramFoldersTest, TheDecisionIsMadeAgainForEachExecutablePathAndKeptForIt) {
    TempDir portable;
    portable.Write("norvessa", "the program");
    portable.Write("norvessa.prm", "");
    EXPECT_TRUE(Use(exe / "norvessa").Installed);
    EXPECT_FALSE(Use(portable / "norvessa").Installed);
    EXPECT_TRUE(Use(exe / "norvessa").Installed);
    // A file appearing beside the executable during the run does not move
    // the rest of the run's files there.
    exe.Write("norvessa.prm", "");
    EXPECT_TRUE(platform::ProgramFileFolders().Installed);
    // A path chosen for the files that names no executable: beside it, as
    // tests and the command-line tool (named after the program) use it.
    EXPECT_FALSE(Use(home / "empty/norvessa").Installed);
    EXPECT_EQ(platform::ProgramFileFolders().Data, home / "empty/");
}

TEST_F(ProgramFoldersTest, TheFirstWriteOfAnInstalledCopyMakesPrivateFolders) {
    ::umask(022);
    Use(exe / "norvessa");
    EXPECT_FALSE(fs::exists(home / "config"));
    ASSERT_TRUE(platform::ReplaceFile(platform::SettingsBase() + ".prm", "1000\r\n"));
    EXPECT_EQ(ModeOf(home / "config/norvessa"), 0700u);
    EXPECT_EQ(ModeOf(home / "config"), 0700u);
    {
        platform::FileLock lock(home / "data/norvessa/NRVS_C.txt.lock");
        EXPECT_TRUE(lock.Held());
    }
    EXPECT_EQ(ModeOf(home / "data/norvessa"), 0700u);
    // Nothing of it beside the executable.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(exe.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
    // Other folders are never made on the way: a document's missing folder
    // still fails.
    EXPECT_FALSE(platform::ReplaceFile(home / "elsewhere/x.csv", "a"));
    EXPECT_FALSE(fs::exists(home / "elsewhere"));
}

TEST_F(ProgramFoldersTest, TheHelpDocumentIsFoundBesideTheExecutableFirst) {
    // Unpacked below a prefix: the prefix's share folder.
    exe.Write("usr/bin/norvessa", "the program");
    exe.Write("usr/share/doc/norvessa/norvessa.html", "<html>");
    Use(exe / "usr/bin/norvessa");
    EXPECT_EQ(platform::HelpDocumentPath(), exe / "usr/share/doc/norvessa/norvessa.html");
    exe.Write("usr/share/norvessa/norvessa.html", "<html>");
    EXPECT_EQ(platform::HelpDocumentPath(), exe / "usr/share/norvessa/norvessa.html");

    Use(exe / "norvessa");
    // Installed without a document beside it: the system's copy when there
    // is one, else the name beside it, for the message.
    const std::string help = platform::HelpDocumentPath();
    EXPECT_TRUE(help == exe / "norvessa.html" || help == "/usr/share/norvessa/norvessa.html" ||
                help == "/usr/share/doc/norvessa/norvessa.html")
        << help;
    exe.Write("norvessa.html", "<html>");
    EXPECT_EQ(platform::HelpDocumentPath(), exe / "norvessa.html");
}
