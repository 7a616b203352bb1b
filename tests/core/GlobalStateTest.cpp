#include "core/GlobalState.h"
#include "lib/SizeText.h"
#include "platform/ProgramLocation.h"
#include "support/ResetGlobalState.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;

namespace {
// Each test gets a fresh global state and an executable in its own folder.
class ParametersTest : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        test::ResetGlobalState();
        platform::SetExecutablePath(dir / "norvessa");
    }
    void TearDown() override { platform::SetExecutablePath(""); }
    StringList SavedLines() {
        StringList l;
        LoadLines(l, dir / "norvessa.prm");
        return l;
    }
};
} // namespace

TEST_F(ParametersTest, NoFileGivesDefaultsAndAFirstSaveWrites54Lines) {
    LoadParameters({});
    const GlobalState& g = Global();
    EXPECT_EQ(g.ExeDir, dir.Path());
    EXPECT_EQ(g.ParamFileName, dir / "norvessa.prm");
    EXPECT_EQ(g.MainWidth, 1000);
    EXPECT_EQ(g.MainHeight, 600);
    EXPECT_EQ(g.ShowRemovable, 1);
    EXPECT_EQ(g.BarFlags, "111");
    EXPECT_EQ(g.CacheLetters, "00100000000000000000000000");
    EXPECT_EQ(g.MeasureMode, "010000");
    EXPECT_EQ(g.SimCluster, -512);
    EXPECT_FALSE(g.ComputerName.empty());
    EXPECT_FALSE(platform::LoginName().empty()) << "the version window's user name";
    SaveParameters();
    StringList l = SavedLines();
    ASSERT_EQ(l.size(), 54u);
    EXPECT_EQ(l[0], "1000");
    EXPECT_EQ(l[53], "1"); // the previous measurement is kept
    EXPECT_EQ(l[7], "");
    EXPECT_EQ(l[25], "1111");
    EXPECT_EQ(l[44], "-512");
    EXPECT_EQ(l[51], "1");
    EXPECT_EQ(l[52], "1") << "hard links counted once";
    EXPECT_EQ(dir.Read("norvessa.prm").substr(0, 10), "1000\r\n600\r");
}

TEST_F(ParametersTest, AnOlderFileCountsLinksOnceAndTheChoiceIsKept) {
    dir.Write("norvessa.prm", std::string(52 * 2, '\n'));
    LoadParameters({});
    EXPECT_EQ(Global().CountLinksOnce, 1);
    Global().CountLinksOnce = 0;
    SaveParameters();
    EXPECT_EQ(SavedLines()[52], "0");
    LoadParameters({});
    EXPECT_EQ(Global().CountLinksOnce, 0);
}

TEST_F(ParametersTest, BadLinesFallBackAndUninterpretedLinesSurvive) {
    dir.Write("norvessa.prm", "800\r\nx\r\n\r\n");
    LoadParameters({"/tmp"});
    EXPECT_EQ(Global().MainWidth, 800);
    EXPECT_EQ(Global().MainHeight, 600);
    EXPECT_EQ(Global().MainLeft, 0);
    EXPECT_EQ(Global().StartArgs, StringList{"/tmp"});
    SaveParameters();
    EXPECT_TRUE(Global().StartArgs.empty());
    StringList l = SavedLines();
    ASSERT_EQ(l.size(), 54u);
    EXPECT_EQ(l[1], "600");

    StringList withNote(60, "");
    withNote[8] = "kept note";
    withNote[24] = "011";
    withNote[55] = "beyond the last parameter";
    SaveLines(withNote, dir / "norvessa.prm");
    test::ResetGlobalState();
    LoadParameters({});
    EXPECT_EQ(Global().BarFlags, "011");
    Global().ColumnFlags = "1011";
    SaveParameters();
    l = SavedLines();
    ASSERT_EQ(l.size(), 60u);
    EXPECT_EQ(l[8], "kept note");
    EXPECT_EQ(l[25], "1011");
    EXPECT_EQ(l[55], "beyond the last parameter");
}

TEST_F(ParametersTest, GeometryAndIndexesAreBroughtBackOtherValuesKept) {
    StringList l(52, "");
    l[0] = "-5";
    l[21] = "99";
    l[22] = "7";
    l[23] = "-1";
    l[12] = "4";
    l[41] = "-3";
    l[44] = "-4194304"; // a custom cluster of 4 MiB
    SaveLines(l, dir / "norvessa.prm");
    LoadParameters({});
    GlobalState& g = Global();
    EXPECT_EQ(g.MainWidth, 1000);
    EXPECT_EQ(g.StartDrive, 0);
    EXPECT_EQ(g.SizeUnit, 0);
    EXPECT_EQ(g.PercentBase, 0);
    EXPECT_EQ(g.SortKey, 0);
    EXPECT_EQ(g.ExpiryDays, -3);
    EXPECT_EQ(g.SimCluster, -4194304);
    EXPECT_EQ(FormatSizeText(2048), "2.00 KB");

    // What the program wrote itself comes back at the next start.
    g.ExpiryDays = 40000;
    g.SimCluster = -8388608;
    SaveParameters();
    LoadParameters({});
    EXPECT_EQ(Global().ExpiryDays, 40000);
    EXPECT_EQ(Global().SimCluster, -8388608);
}

TEST_F(ParametersTest, AnyBooleanValueButZeroIsOn) {
    StringList l(52, "");
    l[10] = "0";
    l[11] = "-1";
    l[13] = "2";
    l[20] = "0";
    l[42] = "7";
    l[43] = "0";
    l[50] = "100";
    l[51] = "x"; // not a number: the default, on
    SaveLines(l, dir / "norvessa.prm");
    LoadParameters({});
    const GlobalState& g = Global();
    EXPECT_EQ(g.ShowRemovable, 0);
    EXPECT_EQ(g.ShowFiles, 1);
    EXPECT_EQ(g.SortDescending, 1) << "so that the descending choice is the one checked";
    EXPECT_EQ(g.ShowSplash, 0);
    EXPECT_EQ(g.MeasureMulti, 1);
    EXPECT_EQ(g.AskBeforeMeasure, 0);
    EXPECT_EQ(g.RemeasureAfterAction, 1);
    EXPECT_EQ(g.UseRecycleBin, 1);
    SaveParameters();
    EXPECT_EQ(SavedLines()[13], "1");
}

TEST_F(ParametersTest, DamagedFilesGiveDefaultsOrTheReadableLines) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) & 0xFF);
    dir.Write("norvessa.prm", junk);
    LoadParameters({});
    EXPECT_EQ(Global().MainHeight, 600);
    SaveParameters();

    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += std::to_string(i + 1) + "\n";
    dir.Write("norvessa.prm", many);
    LoadParameters({});
    EXPECT_EQ(Global().MainWidth, 1);
    EXPECT_EQ(Global().MainHeight, 2);
    SaveParameters();
    EXPECT_EQ(SavedLines().size(), 10000u);

    dir.Write("norvessa.prm", "700\n" + std::string(1 << 20, '7') + "\n");
    LoadParameters({});
    EXPECT_EQ(Global().MainWidth, 700);
    EXPECT_EQ(Global().MainHeight, 600);
}

TEST_F(ParametersTest, SaveIntoReadOnlyFolderLeavesOldFileWhole) {
    dir.Write("ro/norvessa.prm", "640\r\n");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod((dir / "ro").c_str(), 0555);
    platform::SetExecutablePath(dir / "ro/norvessa");
    EXPECT_TRUE(test::AsUnprivileged([] {
        LoadParameters({});
        if (Global().MainWidth != 640) return false;
        Global().MainWidth = 900;
        SaveParameters();
        return true;
    }));
    ::chmod((dir / "ro").c_str(), 0755);
    EXPECT_EQ(dir.Read("ro/norvessa.prm"), "640\r\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir / "ro"))
        ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left behind";
}

TEST_F(ParametersTest, UnreadableFileGivesDefaults) {
    dir.Write("norvessa.prm", "640\n");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod((dir / "norvessa.prm").c_str(), 0);
    EXPECT_TRUE(test::AsUnprivileged([] {
        LoadParameters({});
        return Global().MainWidth == 1000 && Global().ParamLines.empty();
    }));
}

TEST(SettingsNamesTest, ExtensionIsReplacedOrAppended) {
    EXPECT_EQ(platform::ExecutableBase("/opt/nrvs/norvessa"), "/opt/nrvs/norvessa");
    EXPECT_EQ(platform::ExecutableBase("D:\\Tools\\NRVS.exe"), "D:\\Tools\\NRVS");
    EXPECT_EQ(platform::ExecutableBase("/x/X.EXE"), "/x/X");
    EXPECT_EQ(platform::ExecutableBase("/a.b/norvessa"), "/a.b/norvessa");
    EXPECT_EQ(platform::ExecutableBase("/a/.hidden"), "/a/.hidden");
    test::ResetGlobalState();
    platform::SetExecutablePath("/x/X.EXE");
    LoadParameters({});
    EXPECT_EQ(Global().ParamFileName, "/x/X.prm");
    EXPECT_EQ(SettingsFileName("mdv"), "/x/X.mdv");
    platform::SetExecutablePath("");
}
