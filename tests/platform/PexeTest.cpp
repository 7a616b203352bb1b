#include "lib/Slib.h"
#include "platform/Pdrives.h"
#include "platform/Pexe.h"
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
    EXPECT_EQ(platform::ExecutablePathOf("/gone/norvessa (deleted)", d / "running"), "/gone/norvessa");
    // A program whose file is really named so keeps its name.
    d.Write("odd (deleted)", "x");
    EXPECT_EQ(platform::ExecutablePathOf(d / "odd (deleted)", d / "odd (deleted)"), d / "odd (deleted)");
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
    std::printf("map=%s\nbefore=%s\nsettings=%s\n", platform::DriveMapFileName().c_str(), before.c_str(),
                (platform::ExecutableBase() + ".prm").c_str());
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
    ::chmod((d / "norvessa").c_str(), 0755);
    const std::string command = "NRVS_EXE_PROBE=1 '" + (d / "norvessa") + "' > '" + (d / "out.txt") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << d.Read("out.txt");
    const std::string out = d.Read("out.txt");
    EXPECT_NE(out.find("map=" + (d / "norvessa.drv") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("before=" + (d / "norvessa.drv") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("settings=" + (d / "norvessa.prm") + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("(deleted)"), std::string::npos) << out;
}
