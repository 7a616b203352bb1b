// What changed between two measurements: the previous one kept when a
// measurement replaces the cache, the folders compared in one merge pass of
// the two caches, the files from the two indexes, and every previous
// measurement that cannot be compared refused.
#include "core/cache/Cache.h"
#include "core/history/Changes.h"
#include "core/history/PreviousKeeper.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "support/CurrentDrive.h"
#include "support/RandomRun.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <tuple>
#include <map>
#include <random>
#include <ranges>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {

class ChangesTest : public ::testing::Test {
  protected:
    std::unique_ptr<TempDrive> drive;
    test::YesHooks hooks;
    void SetUp() override {
        drive = std::make_unique<TempDrive>();
        test::MakeCurrent(*drive);
        Global().AskBeforeMeasure = 0;
    }
    void TearDown() override { drive.reset(); }

    char L() const { return drive->Letter(); }
    std::string P(const std::string& rest) const { return drive->Root() + rest; }
    void MeasureDrive() {
        // Headers are dated to the second: two measurements within one would
        // look alike to every check that pairs files by their header.
        ::sleep(1);
        ASSERT_EQ(MeasureDrives(hooks), 1);
    }
    void MeasureFolderOf(const std::string& rest) {
        ::sleep(1);
        ASSERT_EQ(MeasureFolder(P(rest), hooks), 1);
    }
    // M0 and M1 of a drive with in\ (f.bin, sub\g.bin) and out\ (h.bin):
    // in\ 200 and out\ 100 at M0, in\ 300 and out\ 300 at M1.
    void TwoDriveMeasurements() {
        const TempDir& d = drive->Dir();
        d.Write("in/f.bin", std::string(100, 'f'));
        d.Write("in/sub/g.bin", std::string(100, 'g'));
        d.Write("out/h.bin", std::string(100, 'h'));
        MeasureDrive(); // M0
        d.Write("in/f.bin", std::string(200, 'f'));
        d.Write("out/h.bin", std::string(300, 'h'));
        MeasureDrive(); // M1: previous = M0
    }
    // The changes of the drive as the command line computes them: from the
    // cache on disk and the previous measurement.
    std::map<std::string, FolderChange> Changes(const std::string& below = {}) {
        Measurement cur, prev;
        EXPECT_TRUE(cur.Map(CacheFileName(*Global().CurrentDrive)));
        EXPECT_EQ(LoadPrevious(L(), cur.Header(), prev), PREVIOUS_OK);
        std::map<std::string, FolderChange> out;
        for (const FolderChange& c : CompareMeasurements(prev, cur, below)) {
            FolderChange copy = c;
            copy.Path = {};
            out[std::string(c.Path).substr(3)] = copy;
        }
        return out;
    }
};

} // namespace

// Two drive measurements around real changes of a tree: grown, shrunk, new,
// removed and renamed folders, names that are not UTF-8; the previous
// measurement keeps its file index, and the files that changed are found.
TEST_F(ChangesTest, DriveMeasurementsKeepThePreviousAndShowEveryKindOfChange) {
    const TempDir& d = drive->Dir();
    d.Write("grow/a.bin", std::string(1000, 'a'));
    d.Write("shrink/b.bin", std::string(50000, 'b'));
    d.Write("shrink/c.bin", std::string(10, 'c'));
    d.Write("gone/x.bin", std::string(300, 'x'));
    d.Write("old name/y.bin", std::string(700, 'y'));
    d.Write("same/z.bin", std::string(5, 'z'));
    d.Write(std::string("odd\xff/v.bin"), std::string(100, 'v'));
    MeasureDrive();
    Measurement none;
    EXPECT_EQ(LoadPrevious(L(), CacheHeaderLine(*Global().CurrentDrive), none), PREVIOUS_NONE);

    d.Write("grow/a.bin", std::string(9000, 'a'));
    d.Write("grow/new file", std::string(1000, 'n'));
    ASSERT_EQ(::unlink((d / "shrink/b.bin").c_str()), 0);
    test::RemoveTree(d / "gone");
    ASSERT_EQ(::rename((d / "old name").c_str(), (d / "new name").c_str()), 0);
    d.Write("fresh/deep/w.bin", std::string(64, 'w'));
    d.Write(std::string("odd\xff/v.bin"), std::string(4100, 'v'));
    const std::string before = CacheHeaderLine(*Global().CurrentDrive);
    struct stat oldIndex {
    }, oldCache{};
    ASSERT_EQ(::lstat(FileIndexName(L()).c_str(), &oldIndex), 0);
    ASSERT_EQ(::lstat(CacheFileName(*Global().CurrentDrive).c_str(), &oldCache), 0);
    MeasureDrive();
    EXPECT_TRUE(hooks.told.empty()) << hooks.told[0];

    Measurement prev;
    ASSERT_EQ(LoadPrevious(L(), CacheHeaderLine(*Global().CurrentDrive), prev), PREVIOUS_OK);
    EXPECT_EQ(prev.Header(), before);
    // Kept by a second name, not copied: nothing of the move is left
    // beside it, and the kept files are no longer the current ones (marking
    // files gone in the current index cannot reach the kept one).
    const std::string prevDir = PreviousCacheName(L()).substr(0, PreviousCacheName(L()).rfind('/'));
    for (const auto& e : std::filesystem::directory_iterator(prevDir))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    for (const auto& [kept, current] :
         {std::pair{PreviousIndexName(L()), FileIndexName(L())},
          std::pair{PreviousCacheName(L()), CacheFileName(*Global().CurrentDrive)}}) {
        struct stat k {
        }, c{};
        ASSERT_EQ(::lstat(kept.c_str(), &k), 0) << kept;
        ASSERT_EQ(::lstat(current.c_str(), &c), 0) << current;
        EXPECT_NE(k.st_ino, c.st_ino);
        EXPECT_EQ(k.st_nlink, 1u) << kept;
        EXPECT_EQ(k.st_ino, (kept == PreviousIndexName(L()) ? oldIndex : oldCache).st_ino)
            << "the very file, not a copy";
    }

    auto c = Changes();
    EXPECT_EQ(c.count("same\\"), 0u);
    ASSERT_EQ(c.count("grow\\"), 1u);
    EXPECT_EQ(c["grow\\"].Old.Size, 1000);
    EXPECT_EQ(c["grow\\"].New.Size, 10000);
    EXPECT_EQ(c["grow\\"].New.Files - c["grow\\"].Old.Files, 1);
    EXPECT_EQ(KindOfChange(c["grow\\"], CHANGE_KEY_SIZE), CHANGE_GROWN);
    EXPECT_EQ(KindOfChange(c["shrink\\"], CHANGE_KEY_SIZE), CHANGE_SHRUNK);
    EXPECT_EQ(c["shrink\\"].Delta(CHANGE_KEY_SIZE), -50000);
    EXPECT_EQ(KindOfChange(c["gone\\"], CHANGE_KEY_SIZE), CHANGE_REMOVED);
    EXPECT_EQ(c["gone\\"].Delta(CHANGE_KEY_SIZE), -300);
    // A rename is a removal and an addition.
    EXPECT_EQ(KindOfChange(c["old name\\"], CHANGE_KEY_SIZE), CHANGE_REMOVED);
    EXPECT_EQ(KindOfChange(c["new name\\"], CHANGE_KEY_SIZE), CHANGE_NEW);
    EXPECT_EQ(c["new name\\"].Delta(CHANGE_KEY_SIZE), 700);
    EXPECT_EQ(KindOfChange(c["fresh\\deep\\"], CHANGE_KEY_FILES), CHANGE_NEW);
    EXPECT_EQ(c["odd\xff\\"].Delta(CHANGE_KEY_SIZE), 4000);
    // The root changed by the sum of it all.
    EXPECT_EQ(c[""].Delta(CHANGE_KEY_SIZE), 8000 + 1000 - 50000 - 300 + 64 + 4000);

    // Ranked by the absolute change, largest first; the kinds filter.
    Measurement cur;
    ASSERT_TRUE(cur.Map(CacheFileName(*Global().CurrentDrive)));
    std::vector<FolderChange> ranked = CompareMeasurements(prev, cur);
    RankChanges(ranked, CHANGE_KEY_SIZE, CHANGE_ALL, 3);
    ASSERT_EQ(ranked.size(), 3u);
    EXPECT_EQ(ranked[0].Path, P("shrink\\"));
    EXPECT_EQ(ranked[1].Path, P(""));
    EXPECT_EQ(ranked[2].Path, P("grow\\"));
    ranked = CompareMeasurements(prev, cur);
    RankChanges(ranked, CHANGE_KEY_SIZE, CHANGE_NEW, 0);
    ASSERT_EQ(ranked.size(), 3u); // new name, fresh, fresh\deep (64 each for the last two: by path)
    EXPECT_EQ(ranked[0].Path, P("new name\\"));
    EXPECT_EQ(ranked[1].Path, P("fresh\\"));
    EXPECT_EQ(ranked[2].Path, P("fresh\\deep\\"));
    // Below a folder: only its subtree.
    EXPECT_EQ(Changes(P("grow\\")).size(), 1u);

    // The files, from the two indexes.
    FileIndex a, b;
    ASSERT_TRUE(a.Open(PreviousIndexName(L()), L(), prev.Header()));
    ASSERT_TRUE(b.Open(FileIndexName(L()), L(), cur.Header()));
    std::map<std::string, FileChange> files;
    for (const FileChange& f : CompareFileIndexes(a, b, {}, 0))
        files[f.Path.substr(3)] = f;
    EXPECT_EQ(files.size(), 8u);
    EXPECT_EQ(files["grow\\a.bin"].NewSize, 9000u);
    EXPECT_TRUE(files["grow\\new file"].After && !files["grow\\new file"].Before);
    EXPECT_TRUE(files["shrink\\b.bin"].Before && !files["shrink\\b.bin"].After);
    EXPECT_TRUE(files.count("old name\\y.bin") && files.count("new name\\y.bin"));
    EXPECT_EQ(files.count("shrink\\c.bin"), 0u);
    EXPECT_EQ(files["odd\xff\\v.bin"].OldSize, 100u);
    const auto top = CompareFileIndexes(a, b, P("grow\\"), 1);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].Path, P("grow\\a.bin"));
}

// A folder measurement puts the replaced figures of its subtree into the
// previous measurement and leaves the rest of it alone; the next drive
// measurement then compares with what each folder was at its last one.
TEST_F(ChangesTest, AFolderMeasurementBetweenTwoDriveMeasurements) {
    const TempDir& d = drive->Dir();
    TwoDriveMeasurements();
    d.Write("in/f.bin", std::string(1200, 'f'));
    d.Write("in/sub/new.bin", std::string(5, 'n'));
    d.Write("out/h.bin", std::string(9300, 'h')); // not measured by the folder
    MeasureFolderOf("in\\");                      // previous: M0 outside in\, M1 inside

    auto c = Changes();
    EXPECT_EQ(c["in\\"].Old.Size, 300); // M1
    EXPECT_EQ(c["in\\"].New.Size, 1305);
    EXPECT_EQ(c["in\\sub\\"].Delta(CHANGE_KEY_FILES), 1);
    EXPECT_EQ(c["out\\"].Old.Size, 100); // M0
    EXPECT_EQ(c["out\\"].New.Size, 300); // M1: the folder measurement did not see it
    // The previous index took the subtree's files of M1.
    Measurement prev, cur;
    ASSERT_TRUE(cur.Map(CacheFileName(*Global().CurrentDrive)));
    ASSERT_EQ(LoadPrevious(L(), cur.Header(), prev), PREVIOUS_OK);
    FileIndex a, b;
    ASSERT_TRUE(a.Open(PreviousIndexName(L()), L(), prev.Header()));
    ASSERT_TRUE(b.Open(FileIndexName(L()), L(), cur.Header()));
    std::map<std::string, FileChange> files;
    for (const FileChange& f : CompareFileIndexes(a, b, {}, 0))
        files[f.Path.substr(3)] = f;
    EXPECT_EQ(files["in\\f.bin"].OldSize, 200u);
    EXPECT_EQ(files["out\\h.bin"].OldSize, 100u);
    EXPECT_TRUE(files["in\\sub\\new.bin"].After && !files["in\\sub\\new.bin"].Before);

    MeasureDrive(); // M2: previous = the cache of the folder measurement
    c = Changes();
    EXPECT_EQ(c.count("in\\"), 0u);
    EXPECT_EQ(c["out\\"].Old.Size, 300);
    EXPECT_EQ(c["out\\"].New.Size, 9300);
}

// The command line's folder measurement keeps the previous measurement on
// a second thread while it merges the cache, reading it once and checking
// each line as it merges: a sound previous one (even out of order) takes
// the subtree's old figures; one with a damaged line anywhere is replaced
// by the whole cache the measurement replaced, never half merged.
TEST_F(ChangesTest, TheCommandLinesFolderMeasurementKeepsThePreviousAsTheWindowsDoes) {
    const TempDir& d = drive->Dir();
    TwoDriveMeasurements();
    const std::string prevName = PreviousCacheName(L()),
                      cacheName = CacheFileName(*Global().CurrentDrive);
    std::string m0, m1;
    ASSERT_TRUE(platform::ReadWholeFile(prevName, m0));
    ASSERT_TRUE(platform::ReadWholeFile(cacheName, m1));
    const size_t headEnd = m0.find("\r\n") + 2;
    const std::string own = std::string(1, L()) + ":\\";

    auto measureIn = [&](size_t bytes) {
        d.Write("in/f.bin", std::string(bytes, 'f'));
        ::sleep(1);
        ASSERT_EQ(MeasureFolderIntoCache(P("in\\"), hooks), 1);
    };
    // In order, and the same lines reversed (a file edited by hand): both
    // take M1's figures of in\ and keep M0's elsewhere.
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "in order");
        StringList lines;
        TextToLines(lines, std::string_view(m0).substr(headEnd));
        if (reversed) std::reverse(lines.begin(), lines.end());
        std::string text = m0.substr(0, headEnd);
        for (const std::string& l : lines)
            text += l + "\r\n";
        ASSERT_TRUE(platform::ReplaceFile(prevName, text));
        ASSERT_TRUE(platform::ReplaceFile(cacheName, m1));
        measureIn(reversed ? 1500 : 1200);
        auto c = Changes();
        EXPECT_EQ(c["in\\"].Old.Size, 300); // M1
        EXPECT_EQ(c["in\\"].New.Size, reversed ? 1600 : 1300);
        EXPECT_EQ(c["out\\"].Old.Size, 100); // M0
        EXPECT_EQ(c["out\\"].New.Size, 300);
    }
    // The replaced cache out of order: its subtree's lines, looked for by
    // halving while the cache is merged, are not where the halving looks;
    // the lines the merge took out go into the previous measurement.
    {
        StringList lines;
        TextToLines(lines, std::string_view(m1).substr(headEnd));
        std::reverse(lines.begin(), lines.end());
        std::string text = m1.substr(0, headEnd);
        for (const std::string& l : lines)
            text += l + "\r\n";
        ASSERT_TRUE(platform::ReplaceFile(prevName, m0));
        ASSERT_TRUE(platform::ReplaceFile(cacheName, text));
        measureIn(1700);
        auto c = Changes();
        EXPECT_EQ(c["in\\"].Old.Size, 300); // M1
        EXPECT_EQ(c["in\\"].New.Size, 1800);
        EXPECT_EQ(c["in\\sub\\"].Delta(CHANGE_KEY_SIZE), 0);
        EXPECT_EQ(c["out\\"].Old.Size, 100); // M0
    }
    // A damaged line after the subtree, and one inside it.
    for (const std::string& damaged : {own + "zz\\ > 1:2:3", own + "in\\sub\\ > 1:2"}) {
        SCOPED_TRACE(damaged);
        std::string text = m0 + damaged + "\r\n";
        ASSERT_TRUE(platform::ReplaceFile(prevName, text));
        ASSERT_TRUE(platform::ReplaceFile(cacheName, m1));
        measureIn(2200);
        std::string kept;
        ASSERT_TRUE(platform::ReadWholeFile(prevName, kept));
        EXPECT_EQ(kept, m1);
        auto c = Changes();
        EXPECT_EQ(c["in\\"].Old.Size, 300);
        EXPECT_EQ(c["in\\"].New.Size, 2300);
        EXPECT_EQ(c.count("out\\"), 0u);
    }
    // A keeper told that the new cache was not saved changes nothing.
    std::string before;
    ASSERT_TRUE(platform::ReadWholeFile(prevName, before));
    {
        PreviousKeeper keeper(*Global().CurrentDrive, P("in\\"));
        std::string why;
        int asked = 0;
        EXPECT_TRUE(
            keeper.Commit("2001/01/01 00:00:00=00:00:00", &why, [&] { return ++asked, false; }));
        EXPECT_EQ(asked, 1);
    }
    std::string after;
    ASSERT_TRUE(platform::ReadWholeFile(prevName, after));
    EXPECT_EQ(after, before);
    for (const std::string& name :
         std::filesystem::directory_iterator(std::filesystem::path(prevName).parent_path()) |
             std::views::transform([](const auto& e) { return e.path().filename().string(); }))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

// With no previous measurement, a folder measurement keeps the whole cache
// it replaced, so that no folder outside the subtree shows as new; the
// folder measurements after it keep the previous measurement whole too, its
// folders above theirs moved with them, so that it is each time the cache
// they replaced. With the setting off nothing is kept and what was kept goes.
TEST_F(ChangesTest, TheFirstFolderMeasurementKeepsTheWholeCacheAndTheSettingTurnsItOff) {
    const TempDir& d = drive->Dir();
    d.Write("in/f.bin", std::string(100, 'f'));
    d.Write("in/sub/g.bin", std::string(100, 'g'));
    d.Write("out/h.bin", std::string(100, 'h'));
    MeasureDrive();
    d.Write("in/f.bin", std::string(150, 'f'));
    MeasureFolderOf("in\\");
    auto c = Changes();
    ASSERT_EQ(c.size(), 2u) << "the folder and the drive's root above it";
    EXPECT_EQ(c["in\\"].Delta(CHANGE_KEY_SIZE), 50);
    EXPECT_EQ(c[""].Delta(CHANGE_KEY_SIZE), 50);

    const std::string cacheName = CacheFileName(*Global().CurrentDrive);
    auto linesOf = [](const std::string& name) {
        StringList lines;
        LoadLines(lines, name);
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    };
    // in\sub\ gone, then back: the second measurement finds no line of it in
    // the cache it replaces, and takes it out of the previous measurement.
    for (const auto& [change, folder] :
         {std::pair<std::function<void()>, std::string>{[&] { test::RemoveTree(d / "in/sub"); },
                                                        "in\\"},
          {[&] { d.Write("in/sub/g.bin", std::string(7000, 'g')); }, "in\\sub\\"}}) {
        SCOPED_TRACE(folder);
        const StringList replaced = linesOf(cacheName);
        change();
        MeasureFolderOf(folder);
        EXPECT_EQ(linesOf(PreviousCacheName(L())), replaced);
    }
    EXPECT_EQ(Changes()[""].Delta(CHANGE_KEY_SIZE), 7000);

    Global().KeepPrevious = 0;
    MeasureDrive();
    struct stat st {};
    EXPECT_NE(::lstat(PreviousCacheName(L()).c_str(), &st), 0);
    EXPECT_NE(::lstat(PreviousIndexName(L()).c_str(), &st), 0);
    Measurement m;
    EXPECT_EQ(LoadPrevious(L(), CacheHeaderLine(*Global().CurrentDrive), m), PREVIOUS_NONE);
}

// A previous measurement of another volume under the letter takes no
// folder's figures of this one: the folder measurement after this volume's
// first keeps the cache it replaced whole, and is compared with it alone.
TEST_F(ChangesTest, AFolderMeasurementMixesNoOtherVolumeIntoThePrevious) {
    drive->Dir().Write("in/f.bin", std::string(100, 'f'));
    MeasureDrive();
    drive->SwapVolume();
    drive->Dir().Write("in/f.bin", std::string(300, 'f'));
    drive->Dir().Write("out/h.bin", std::string(50, 'h'));
    test::MakeCurrent(*drive);
    Global().AskBeforeMeasure = 0;
    MeasureDrive();
    Measurement other;
    EXPECT_EQ(LoadPrevious(L(), CacheHeaderLine(*Global().CurrentDrive), other),
              PREVIOUS_OTHER_DRIVE);
    drive->Dir().Write("in/f.bin", std::string(1300, 'f'));
    MeasureFolderOf("in\\");
    auto c = Changes();
    EXPECT_EQ(c.size(), 2u) << "the folder and the root";
    EXPECT_EQ(c["in\\"].Old.Size, 300);
    EXPECT_EQ(c[""].Delta(CHANGE_KEY_SIZE), 1000);
}

// A previous measurement that is damaged or of another drive is refused with
// the line at fault, never compared.
// A measurement is read in place: cut short by another program while it is
// mapped, its lost lines read as zeros (damaged lines), never a crash; a
// link at its name is not followed.
TEST(MeasurementTest, AMappedMeasurementCutShortReadsAsDamagedAndALinkIsRefused) {
    TempDir d;
    const std::string name = d / "m.txt";
    std::string text = "2026/12/08 01:00:00=00:00:01\r\n";
    for (int i = 0; i < 3000; ++i)
        text += "C:\\f" + std::to_string(i) + "\\ > 1:4096:1:4096:1:1:0:0:0:0:0:0\r\n";
    ASSERT_TRUE(platform::ReplaceFile(name, text));
    Measurement m;
    ASSERT_TRUE(m.Map(name));
    ASSERT_EQ(m.Lines().size(), 3000u);
    ASSERT_EQ(::truncate(name.c_str(), 100), 0);
    size_t zeros = 0;
    for (std::string_view line : m.Lines())
        zeros += static_cast<size_t>(std::count(line.begin(), line.end(), '\0'));
    EXPECT_GT(zeros, 0u);
    EXPECT_EQ(CheckMeasurement(m, 'C'), PREVIOUS_DAMAGED);

    ASSERT_TRUE(platform::ReplaceFile(name, text));
    ASSERT_EQ(::symlink(name.c_str(), (d / "link.txt").c_str()), 0);
    EXPECT_FALSE(m.Map(d / "link.txt"));
    EXPECT_TRUE(m.Map(name));
}

TEST_F(ChangesTest, DamagedOrForeignPreviousMeasurementsAreRefused) {
    drive->Dir().Write("a/b.bin", "bb");
    MeasureDrive();
    MeasureDrive();
    const std::string name = PreviousCacheName(L());
    const std::string header = CacheHeaderLine(*Global().CurrentDrive);
    std::string good;
    ASSERT_TRUE(platform::ReadWholeFile(name, good));
    auto state = [&](const std::string& text, PreviousFault* fault = nullptr) {
        EXPECT_TRUE(platform::ReplaceFile(name, text));
        Measurement m;
        return LoadPrevious(L(), header, m, fault);
    };
    EXPECT_EQ(state(good), PREVIOUS_OK);
    PreviousFault fault;
    EXPECT_EQ(state("not a date\r\n" + good.substr(good.find('\n') + 1), &fault), PREVIOUS_DAMAGED);
    EXPECT_EQ(fault.Line, 1u);
    const std::string head = good.substr(0, good.find('\n') + 1);
    const std::string own = std::string(1, L()) + ":\\";
    EXPECT_EQ(state(head + own + "a\\ > 1:2:3\r\n", &fault), PREVIOUS_DAMAGED);
    EXPECT_EQ(fault.Line, 2u);
    EXPECT_EQ(state(head + own + "a\\\r\n"), PREVIOUS_DAMAGED);
    // A figure the cache's reader would take as 0, or a negative one.
    for (const char* figures : {"5x00:4096:0:0:0:1:1:1:0:0:0:0", "2:-4096:0:0:0:1:1:1:0:0:0:0",
                                "2:4096:0:0:0:-1:1:1:0:0:0:0", "2:4096:0:0:0:1:1:1:0:0::0",
                                "2:4096:0:0:0:1:1:1:0:0:0:1.5", "2:4096:0:0:0:1:1:1:0:0:0:0:"}) {
        EXPECT_EQ(state(head + own + " > " + figures + "\r\n", &fault), PREVIOUS_DAMAGED)
            << figures;
        EXPECT_EQ(fault.Line, 2u) << figures;
    }
    EXPECT_EQ(state(head + "\x01\x02garbage > 0:0:0:0:0:0:0:0:0:0:0:0\r\n"), PREVIOUS_DAMAGED);
    const char other = L() == 'Q' ? 'R' : 'Q';
    EXPECT_EQ(state(head + std::string(1, other) + ":\\ > 2:4096:0:0:0:1:1:1:0:0:0:0\r\n", &fault),
              PREVIOUS_OTHER_DRIVE);
    EXPECT_NE(
        PreviousStateText(PREVIOUS_OTHER_DRIVE, L(), fault).find(std::string(1, other) + ":\\"),
        std::string::npos);
    // Random damage anywhere: refused with a line of the file, or read and
    // compared without a fault.
    const RandomRun run(400, 7);
    std::mt19937_64 rng(run.seed);
    const char pieces[] = "0123456789:>\\ -x.eE\r\n";
    const size_t lines = static_cast<size_t>(std::count(good.begin(), good.end(), '\n')) + 8;
    for (long round = 0; round < run.iterations; ++round) {
        std::string bad = good;
        for (long k = 0; k < 1 + round % 4 && !bad.empty(); ++k) {
            const size_t at = rng() % bad.size();
            const char piece = pieces[rng() % (sizeof pieces - 1)];
            if (rng() % 3 == 0)
                bad.erase(at, 1 + rng() % 6);
            else if (rng() % 2 == 0)
                bad[at] = piece;
            else
                bad.insert(at, 1, piece);
        }
        PreviousFault damage;
        const PreviousState st = state(bad, &damage);
        if (st == PREVIOUS_DAMAGED) {
            EXPECT_LE(damage.Line, lines) << bad;
        }
        if (st == PREVIOUS_OK) Changes();
    }

    // The same letter, but the volume note says the previous measurement
    // was taken of another folder than the drive is now.
    EXPECT_EQ(state(good), PREVIOUS_OK);
    StringList note;
    LoadLines(note, PreviousVolumeName(L()));
    ASSERT_EQ(note.size(), 2u);
    note[0] = note[0].substr(0, note[0].find('\t')) + "\t00000000\t/elsewhere/";
    ASSERT_TRUE(SaveLines(note, PreviousVolumeName(L())));
    EXPECT_EQ(state(good, &fault), PREVIOUS_OTHER_DRIVE);
    EXPECT_NE(fault.Text.find("/elsewhere/"), std::string::npos);
}

// The merge pass against a lookup of every path: case-only twins, names
// that sort differently as lines than as paths (" !" after a folder's own
// line), names with " > " and bytes that are not UTF-8, paths given twice,
// in lists sorted as the cache sorts them, and in lists out of order.
TEST(ChangesMerge, AgreesWithALookupOfEveryPath) {
    const std::vector<std::string> names = {"a",    "A",        " !",       " > x", "b",
                                            "\xff", "\xc3\xa9", "\xc3\x89", "a b",  "z"};
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        std::map<std::string, std::string> sides[2];
        std::vector<std::string> paths = {"C:\\"};
        for (int k = 0; k < 40; ++k) {
            const std::string parent = paths[rng() % paths.size()];
            if (parent.size() < 30) paths.push_back(parent + names[rng() % names.size()] + "\\");
        }
        for (auto& side : sides)
            for (const std::string& p : paths)
                if (rng() % 4 != 0)
                    side[p] = std::to_string(rng() % 3) +
                              ":4096:0:0:0:" + std::to_string(rng() % 2) + ":0:0:0:0:0:0";
        StringList lines[2];
        for (int s = 0; s < 2; ++s) {
            FolderList list;
            for (const auto& [p, n] : sides[s]) {
                list.Append(p + " > " + n);
                // A path given twice (a cache edited by hand): its first line
                // in the file counts, wherever the figures sort it.
                if (rng() % 8 == 0)
                    list.Append(p + " > " + std::to_string(rng() % 3) +
                                ":8192:0:0:0:1:0:0:0:0:0:0");
            }
            if (round % 3 != 0) list.Sort(); // every third round out of order
            list.InsertFirst("2024/01/01 00:00:00=00:00:01");
            lines[s] = list.CopyLines();
            sides[s].clear();
            for (size_t i = 1; i < lines[s].size(); ++i) {
                const size_t sep = lines[s][i].rfind(" > ");
                sides[s].emplace(lines[s][i].substr(0, sep), lines[s][i].substr(sep + 3));
            }
        }
        Measurement before, after;
        before.Borrow(lines[0]);
        after.Borrow(lines[1]);
        std::map<std::string, std::pair<bool, bool>> got;
        for (const FolderChange& c : CompareMeasurements(before, after)) {
            ASSERT_EQ(got.count(std::string(c.Path)), 0u) << c.Path;
            got[std::string(c.Path)] = {c.Before, c.After};
        }
        std::map<std::string, std::pair<bool, bool>> want;
        for (const std::string& p : paths) {
            const bool a = sides[0].count(p), b = sides[1].count(p);
            if (a != b || (a && sides[0][p] != sides[1][p])) want[p] = {a, b};
        }
        ASSERT_EQ(got, want) << "round " << round;
    }
}

// A long run of folders whose paths differ only in case, in the order of
// their figures (as a cache sorts them), merges as a short one does.
TEST(ChangesMerge, LongRunsOfCaseTwins) {
    std::vector<std::string> paths;
    for (int v = 0; v < 256; ++v) {
        std::string name = "abcdefgh";
        for (int b = 0; b < 8; ++b)
            if (v >> b & 1)
                name[static_cast<size_t>(b)] = static_cast<char>(name[static_cast<size_t>(b)] - 32);
        paths.push_back("C:\\" + name + "\\");
    }
    StringList lines[2];
    for (int s = 0; s < 2; ++s) {
        FolderList list;
        for (size_t i = 0; i < paths.size(); ++i) {
            // Figures that put the twins against their bytes' order; the
            // second measurement changes every fifth folder.
            const size_t size = 1000 - i + (s == 1 && i % 5 == 0 ? 7 : 0);
            list.Append(paths[i] + " > " + std::to_string(size) + ":4096:0:0:0:1:0:0:0:0:0:0");
        }
        list.Sort();
        list.InsertFirst("2024/01/01 00:00:00=00:00:01");
        lines[s] = list.CopyLines();
    }
    Measurement before, after;
    before.Borrow(lines[0]);
    after.Borrow(lines[1]);
    std::vector<std::string> got;
    for (const FolderChange& c : CompareMeasurements(before, after)) {
        EXPECT_TRUE(c.Before && c.After) << c.Path;
        got.emplace_back(c.Path);
    }
    std::vector<std::string> want;
    for (size_t i = 0; i < paths.size(); i += 5)
        want.push_back(paths[i]);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
}

// A drive of many folders (both sides read at once) gives the changes a
// small one gives: every seventh folder grown, every eleventh only before,
// every thirteenth only after.
TEST(ChangesMerge, ManyFoldersReadAtOnce) {
    StringList lines[2];
    std::vector<std::string> want;
    for (int s = 0; s < 2; ++s)
        lines[s].push_back("2024/01/01 00:00:00=00:00:01");
    for (int i = 0; i < 120000; ++i) {
        const std::string path = FormatText("C:\\d%06d\\", i);
        const bool before = i % 13 != 0, after = i % 11 != 0;
        if (before) lines[0].push_back(path + " > 100:4096:0:0:0:1:0:0:0:0:0:0");
        if (after)
            lines[1].push_back(path + (i % 7 == 0 ? " > 200:4096:0:0:0:1:0:0:0:0:0:0"
                                                  : " > 100:4096:0:0:0:1:0:0:0:0:0:0"));
        if (before != after || (before && i % 7 == 0)) want.push_back(path);
    }
    Measurement before, after;
    before.Borrow(lines[0]);
    after.Borrow(lines[1]);
    std::vector<std::string> got;
    for (const FolderChange& c : CompareMeasurements(before, after))
        got.emplace_back(c.Path);
    EXPECT_EQ(got, want);
}

namespace {

// A folder tree for a file index: names, files (name, size, flags) and
// subfolders in listing order.
struct IndexNode {
    std::string name;
    std::vector<std::tuple<std::string, uint64_t, uint8_t>> files;
    std::vector<IndexNode> children;
};

void AddInPreOrder(const IndexNode& n, uint32_t parent, FileIndexData& d) {
    const uint32_t self = static_cast<uint32_t>(d.Folders.size());
    d.Folders.emplace_back();
    FileIndexData::Folder f;
    f.Parent = parent;
    if (parent != UINT32_MAX) d.SetFolderName(f, n.name);
    f.Begin = d.Files[0].Position();
    const uint64_t nameBytes = d.Files[0].NameBytes();
    for (const auto& [name, size, flags] : n.files) {
        IndexedFile file;
        file.Size = size;
        file.Occupied = size;
        file.Flags = flags;
        d.Files[0].Add(file, name);
    }
    f.Count = static_cast<uint32_t>(n.files.size());
    f.NameBytes = static_cast<uint32_t>(d.Files[0].NameBytes() - nameBytes);
    for (const IndexNode& c : n.children)
        AddInPreOrder(c, self, d);
    f.SubtreeEnd = static_cast<uint32_t>(d.Folders.size());
    d.Folders[self] = f;
}

void PathsOf(const IndexNode& n, const std::string& path, bool skipGone,
             std::map<std::string, uint64_t>& out) {
    for (const auto& [name, size, flags] : n.files)
        if (!skipGone || !(flags & INDEX_FLAG_GONE)) out[path + name] = size;
    for (const IndexNode& c : n.children)
        PathsOf(c, path + c.name + "\\", skipGone, out);
}

} // namespace

// The files' changes between two indexes of random trees against the files'
// paths compared one by one: folders listed alike, listed in another order,
// renamed, new and gone; files grown, renamed, new, gone, and deleted by the
// program since (gone on the current side).
TEST(ChangesFiles, RandomTreesAgreeWithTheirPaths) {
    TempDir dir;
    std::mt19937 rng(31);
    int counter = 0;
    std::function<IndexNode(int)> grow = [&](int depth) {
        IndexNode n;
        n.name = "d" + std::to_string(counter++);
        for (int k = static_cast<int>(rng() % 5); k > 0; --k)
            n.files.emplace_back("f" + std::to_string(counter++) + (rng() % 2 ? ".txt" : ""),
                                 rng() % 50, uint8_t{0});
        if (depth < 4)
            for (int k = static_cast<int>(rng() % 4); k > 0; --k)
                n.children.push_back(grow(depth + 1));
        return n;
    };
    std::function<void(IndexNode&, int)> change = [&](IndexNode& n, int depth) {
        for (auto& [name, size, flags] : n.files) {
            const unsigned r = rng() % 20;
            if (r == 0)
                size += 1 + rng() % 9;
            else if (r == 1)
                name = "r" + name;
            else if (r == 2)
                flags = INDEX_FLAG_GONE;
        }
        if (rng() % 10 == 0)
            n.files.emplace_back("new" + std::to_string(counter++), rng() % 50, uint8_t{0});
        if (rng() % 10 == 0 && !n.files.empty()) n.files.erase(n.files.begin());
        if (rng() % 6 == 0) std::shuffle(n.files.begin(), n.files.end(), rng);
        if (rng() % 6 == 0) std::shuffle(n.children.begin(), n.children.end(), rng);
        if (rng() % 12 == 0 && !n.children.empty()) n.children.pop_back();
        if (rng() % 12 == 0) n.children.push_back(grow(depth + 1));
        for (IndexNode& c : n.children) {
            if (rng() % 25 == 0) c.name = "moved" + std::to_string(counter++);
            change(c, depth + 1);
        }
    };
    for (int round = 0; round < 12; ++round) {
        const IndexNode a = grow(0);
        IndexNode b = a;
        change(b, 0);
        const std::string headerA = "2026/12/01 10:00:00=00:00:01",
                          headerB = "2026/12/08 10:00:00=00:00:01";
        FileIndex before, after;
        for (int side = 0; side < 2; ++side) {
            FileIndexData d;
            d.Files.resize(1);
            AddInPreOrder(side ? b : a, UINT32_MAX, d);
            const std::string name = dir / (side ? "after.idx" : "before.idx");
            ASSERT_TRUE(WriteFileIndex(name, 'C', side ? headerB : headerA, d, nullptr, {}));
            ASSERT_TRUE((side ? after : before).Open(name, 'C', side ? headerB : headerA));
        }
        std::map<std::string, uint64_t> old, now;
        PathsOf(a, "C:\\", false, old);
        PathsOf(b, "C:\\", true, now);
        std::vector<FileChange> want;
        for (const auto& [path, size] : old)
            if (!now.count(path) || now[path] != size)
                want.push_back(
                    {path, true, now.count(path) > 0, size, now.count(path) ? now[path] : 0});
        for (const auto& [path, size] : now)
            if (!old.count(path)) want.push_back({path, false, true, 0, size});
        std::sort(want.begin(), want.end(), [](const FileChange& x, const FileChange& y) {
            const double dx = std::fabs(x.Delta()), dy = std::fabs(y.Delta());
            return dx != dy ? dx > dy : x.Path < y.Path;
        });
        for (size_t top : {size_t{0}, size_t{5}}) {
            const std::vector<FileChange> got = CompareFileIndexes(before, after, {}, top);
            ASSERT_EQ(got.size(), top ? std::min(top, want.size()) : want.size())
                << "round " << round;
            for (size_t k = 0; k < got.size(); ++k) {
                EXPECT_EQ(got[k].Path, want[k].Path) << "round " << round << " row " << k;
                EXPECT_EQ(got[k].Before, want[k].Before) << got[k].Path;
                EXPECT_EQ(got[k].After, want[k].After) << got[k].Path;
                EXPECT_EQ(got[k].OldSize, want[k].OldSize) << got[k].Path;
                EXPECT_EQ(got[k].NewSize, want[k].NewSize) << got[k].Path;
            }
        }
    }
}
