// The file index a measurement writes beside the cache, read back as the
// largest-files window and the command line read it: every file the walk
// counted, once per file where the measurement counted it once, and never
// an index that does not belong to the cache.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/index/FileQueries.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "support/CurrentDrive.h"
#include "support/RandomRun.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {

struct YesHooks : MeasureHooks {
    int stopAfter = -1;
    int calls = 0;
    int Ask(const std::string&, int) override { return ID_YES; }
    bool StopRequested() override { return stopAfter >= 0 && ++calls > stopAfter; }
    std::vector<std::string> told;
    void Tell(const std::string& text, int) override { told.push_back(text); }
};

class FileIndexTest : public ::testing::Test {
  protected:
    std::unique_ptr<TempDrive> drive;
    void SetUp() override {
        drive = std::make_unique<TempDrive>();
        test::MakeCurrent(*drive);
        Global().AskBeforeMeasure = 0;
    }
    void TearDown() override { drive.reset(); }

    std::string IndexFile() const {
        return drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".idx");
    }
    std::string CacheFile() const {
        return drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt");
    }
    bool OpenIndex(FileIndex& index, std::string* why = nullptr) const {
        return index.Open(IndexFile(), drive->Letter(), CacheHeaderLine(*Global().CurrentDrive),
                          why);
    }
    std::vector<std::string> Paths(const std::vector<FileHit>& hits) const {
        std::vector<std::string> out;
        for (const auto& h : hits)
            out.push_back(h.Path.substr(3));
        return out;
    }
    void Sparse(const std::string& relative, off_t size) const {
        drive->Dir().MakeDir(relative.substr(0, relative.rfind('/')));
        int fd = ::open((drive->Dir() / relative).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }
};

} // namespace

// Sums of the index over the files it lists once equal the cache's totals:
// nothing lost, nothing counted twice.
TEST_F(FileIndexTest, EveryFileOfADriveMeasurementOnceWithItsFigures) {
    const TempDir& d = drive->Dir();
    d.Write("big/a b > c.bin", std::string(300000, 'x'));
    d.Write("big/small.TXT", "12345");
    d.Write(std::string("odd/\xff\xfe name.dat"), std::string(7000, 'o'));
    Sparse("sparse/hole.img", 1 << 24);
    d.Write("L2/shared.iso", std::string(100000, 's'));
    d.MakeDir("L1");
    ASSERT_EQ(::link((d / "L2/shared.iso").c_str(), (d / "L1/again.iso").c_str()), 0);
    d.Write("run.sh", "#!/bin/sh\n");
    ::chmod((d / "run.sh").c_str(), 0755);
    struct timespec old[2] = {{0, UTIME_OMIT}, {946684800, 0}}; // 2000-01-01
    ::utimensat(AT_FDCWD, (d / "big/small.TXT").c_str(), old, 0);

    YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    FileIndex index;
    std::string why;
    ASSERT_TRUE(OpenIndex(index, &why)) << why;
    const FolderRecord* root = Global().Folders.FindPath(drive->Root());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(index.FileCount(), static_cast<uint32_t>(root->TreeFiles))
        << "a record for every name the walk counted";
    uint64_t size = 0, occupied = 0;
    for (uint32_t i = 0; i < index.FileCount(); ++i)
        if (!(index.Flags(i) & INDEX_FLAG_FURTHER_NAME))
            size += index.Size(i), occupied += index.Occupied(i);
    EXPECT_EQ(static_cast<double>(size), root->TreeBytes);
    EXPECT_EQ(static_cast<double>(occupied), root->TreeOccupied)
        << "the occupied sizes as the measurement counted them";

    FileQuery q;
    q.Top = 3;
    auto hits = QueryFiles(index, q);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(Paths(hits),
              (std::vector<std::string>{"sparse\\hole.img", "big\\a b > c.bin", "L1\\again.iso"}))
        << "the shared file once, at the name in the folder that sorts first";
    EXPECT_TRUE(hits[0].Flags & INDEX_FLAG_SPARSE);
    EXPECT_LT(hits[0].Occupied, hits[0].Size) << "a hole occupies nothing";

    q.Top = 100;
    q.Key = FILE_KEY_OCCUPIED;
    EXPECT_EQ(Paths(QueryFiles(index, q))[0], "big\\a b > c.bin");
    q.Key = FILE_KEY_MODIFIED;
    EXPECT_EQ(Paths(QueryFiles(index, q)).back(), "big\\small.TXT") << "the oldest last";
    q.Key = FILE_KEY_SIZE;
    q.Extensions = {"txt"};
    EXPECT_EQ(Paths(QueryFiles(index, q)), (std::vector<std::string>{"big\\small.TXT"}))
        << "case of the extension ignored";
    q.Extensions.clear();
    q.ModifiedBefore = 1000000000;
    EXPECT_EQ(Paths(QueryFiles(index, q)), (std::vector<std::string>{"big\\small.TXT"}));
    q.ModifiedBefore = INT64_MAX;
    q.MinSize = 100000;
    EXPECT_EQ(QueryFiles(index, q).size(), 3u);
    q.MinSize = -1;
    q.Below = drive->Root() + "big\\";
    EXPECT_EQ(Paths(QueryFiles(index, q)),
              (std::vector<std::string>{"big\\a b > c.bin", "big\\small.TXT"}));
    q.Below.clear();
    q.Name = "NAME";
    const auto odd = QueryFiles(index, q);
    ASSERT_EQ(odd.size(), 1u) << "a name that is not UTF-8 is found by its readable part";
    EXPECT_EQ(odd[0].Path, drive->Root() + "odd\\" + platform::ShownName("\xff\xfe name.dat"));
    q.Name = "big";
    q.OnPath = true;
    EXPECT_EQ(QueryFiles(index, q).size(), 2u) << "the folder's name is part of the path";
    q.Name = "*.sh";
    q.OnPath = false;
    const auto script = QueryFiles(index, q);
    ASSERT_EQ(script.size(), 1u);
    EXPECT_TRUE(script[0].Flags & INDEX_FLAG_EXECUTABLE);
    q.Name = "big";
    q.WithFolders = true;
    const auto folders = QueryFiles(index, q);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_TRUE(folders[0].IsFolder);
    EXPECT_EQ(folders[0].Size, 300005u);

    // Every name when the measurement counted every name.
    Global().CountLinksOnce = 0;
    MeasureDrives(hooks);
    ASSERT_TRUE(OpenIndex(index));
    FileQuery all;
    all.Name = "*.iso";
    EXPECT_EQ(Paths(QueryFiles(index, all)),
              (std::vector<std::string>{"L1\\again.iso", "L2\\shared.iso"}))
        << "ties in byte order of the path";
}

// Which name of one folder owns a file is the first in byte order, not the
// one the folder happens to list first (upper case sorts before lower).
TEST_F(FileIndexTest, OfSeveralNamesInOneFolderTheFirstInByteOrderOwnsTheFile) {
    const TempDir& d = drive->Dir();
    d.Write("L/m.bin", std::string(50000, 'm'));
    std::vector<std::string> names = {"m.bin", "a.bin", "B.bin"};
    for (int i = 0; i < 30; ++i)
        names.push_back("z" + std::to_string(i) + ".bin");
    for (size_t i = 1; i < names.size(); ++i)
        ASSERT_EQ(::link((d / "L/m.bin").c_str(), (d / ("L/" + names[i])).c_str()), 0);
    YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    FileIndex index;
    std::string why;
    ASSERT_TRUE(OpenIndex(index, &why)) << why;
    EXPECT_EQ(Paths(QueryFiles(index, FileQuery{})), (std::vector<std::string>{"L\\B.bin"}));
}

TEST_F(FileIndexTest, AFolderMeasurementReplacesItsSubtreesRecordsOnly) {
    const TempDir& d = drive->Dir();
    d.Write("a/keep.bin", std::string(5000, 'k'));
    d.Write("b/old.bin", std::string(9000, 'o'));
    d.Write("b/c/deep.bin", std::string(100, 'd'));
    d.Write("z/last.bin", std::string(10, 'l'));
    YesHooks hooks;
    MeasureDrives(hooks);
    d.Write("b/new.bin", std::string(20000, 'n'));
    ASSERT_EQ(::unlink((d / "b/old.bin").c_str()), 0);
    d.Write("b/c/e/deeper.bin", std::string(30, 'e'));
    ASSERT_EQ(MeasureFolder(drive->Root() + "b\\", hooks), 1);
    FileIndex index;
    std::string why;
    ASSERT_TRUE(OpenIndex(index, &why)) << "the index follows the cache's new header: " << why;
    FileQuery q;
    EXPECT_EQ(Paths(QueryFiles(index, q)),
              (std::vector<std::string>{"b\\new.bin", "a\\keep.bin", "b\\c\\deep.bin",
                                        "b\\c\\e\\deeper.bin", "z\\last.bin"}));
    q.Below = drive->Root() + "b\\c\\";
    EXPECT_EQ(QueryFiles(index, q).size(), 2u);
    q.Below = drive->Root() + "z\\";
    EXPECT_EQ(QueryFiles(index, q).size(), 1u) << "the folders after the subtree keep their files";

    // A folder that is new since the drive was measured joins its parent.
    d.Write("a/fresh/f.bin", std::string(40000, 'f'));
    ASSERT_EQ(MeasureFolder(drive->Root() + "a\\fresh\\", hooks), 1);
    ASSERT_TRUE(OpenIndex(index, &why)) << why;
    q.Below = drive->Root() + "a\\";
    EXPECT_EQ(Paths(QueryFiles(index, q)),
              (std::vector<std::string>{"a\\fresh\\f.bin", "a\\keep.bin"}));
    q.Below.clear();
    EXPECT_EQ(QueryFiles(index, q).size(), 6u);
}

TEST_F(FileIndexTest, AStoppedMeasurementKeepsWhatItMeasured) {
    for (int i = 0; i < 40; ++i)
        for (int k = 0; k < 30; ++k)
            drive->Dir().Write("t" + std::to_string(i) + "/s" + std::to_string(k) + "/f", "x");
    YesHooks hooks;
    hooks.stopAfter = 2;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    FileIndex index;
    ASSERT_TRUE(OpenIndex(index));
    // When STOP comes depends on the machine: before the root's line (the
    // cache counts nothing), in the middle, or after the end. The index
    // holds what the cache counted, no more, in every case.
    const FolderRecord* root = Global().Folders.FindPath(drive->Root());
    EXPECT_EQ(index.FileCount(), root ? static_cast<uint32_t>(root->TreeFiles) : 0u)
        << "what the cache counted";
    if (index.FileCount() == 1200u) std::printf("note: the walk finished before it was stopped\n");

    // Stopped before the root was entered: nothing measured, an empty
    // index, and no message about it.
    hooks.stopAfter = 0;
    hooks.calls = 0;
    hooks.told.clear();
    MeasureDrives(hooks);
    EXPECT_TRUE(hooks.told.empty()) << hooks.told.front();
    ASSERT_TRUE(OpenIndex(index));
    EXPECT_EQ(index.FileCount(), 0u);
}

// A missing, damaged, cut, foreign or stale index is refused whole with one
// line to show; nothing reads past its end.
TEST_F(FileIndexTest, AnIndexThatDoesNotBelongIsNeverShown) {
    for (int i = 0; i < 30; ++i)
        drive->Dir().Write("f" + std::to_string(i % 4) + "/n" + std::to_string(i),
                           std::string(i * 10, 'x'));
    YesHooks hooks;
    FileIndex index;
    std::string why;
    EXPECT_FALSE(index.Open(IndexFile(), drive->Letter(), "", &why));
    EXPECT_FALSE(why.empty());
    MeasureDrives(hooks);
    ASSERT_TRUE(OpenIndex(index));
    index.Close();
    std::string good;
    ASSERT_TRUE(platform::ReadWholeFile(IndexFile(), good));
    const std::string header = CacheHeaderLine(*Global().CurrentDrive);
    EXPECT_FALSE(index.Open(IndexFile(), static_cast<char>(drive->Letter() == 'Z' ? 'Y' : 'Z'),
                            header, &why))
        << "another drive's";
    EXPECT_FALSE(index.Open(IndexFile(), drive->Letter(), "2001/01/01 00:00:00=00:00:00", &why))
        << "another measurement's";
    EXPECT_NE(why.find("一致しません"), std::string::npos);

    // Cut anywhere.
    for (size_t cut :
         {size_t{0}, size_t{7}, size_t{255}, size_t{256}, good.size() / 2, good.size() - 1}) {
        ASSERT_TRUE(platform::ReplaceFile(IndexFile(), good.substr(0, cut)));
        EXPECT_FALSE(index.Open(IndexFile(), drive->Letter(), header, &why)) << cut;
    }
    // Bytes changed anywhere: refused, or read without a fault.
    const RandomRun run(300, 7);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(run.seed));
    int refused = 0;
    for (long round = 0; round < run.iterations; ++round) {
        std::string bad = good;
        for (int k = 0; k < 1 + round % 4; ++k)
            bad[rng() % bad.size()] = static_cast<char>(rng());
        ASSERT_TRUE(platform::ReplaceFile(IndexFile(), bad));
        if (!index.Open(IndexFile(), drive->Letter(), header)) {
            ++refused;
            continue;
        }
        FileQuery q;
        q.Top = 1000;
        for (const auto& h : QueryFiles(index, q))
            EXPECT_FALSE(h.Path.empty());
        for (uint32_t f = 0; f < index.FolderCount(); ++f)
            index.FolderPath(f);
        for (uint32_t i = 0; i < index.FileCount(); ++i)
            index.FilePath(i);
    }
    EXPECT_GT(refused, 0);

    // The cache measured again while the index could not follow: stale.
    ASSERT_TRUE(platform::ReplaceFile(IndexFile(), good));
    ASSERT_TRUE(OpenIndex(index));
    StringList lines;
    LoadLines(lines, CacheFile());
    lines[0] = HeaderLine(std::time(nullptr) + 86400, std::time(nullptr) + 86400);
    ASSERT_TRUE(SaveLines(lines, CacheFile()));
    EXPECT_FALSE(OpenIndex(index, &why));
}

// A measurement killed between its cache's rename and its index's (or whose
// index found the disk full) leaves the index of the measurement before
// beside its cache. Within the same second both caches carry the same date,
// and that index must still not pass for this cache's: it lists files that
// are gone.
TEST_F(FileIndexTest, AnIndexOfAnotherMeasurementOfTheSameSecondIsNeverShown) {
    drive->Dir().Write("gone.bin", std::string(5000, 'g'));
    drive->Dir().Write("kept.bin", std::string(4000, 'k'));
    YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    std::string before;
    ASSERT_TRUE(platform::ReadWholeFile(IndexFile(), before));
    const std::string dated = CacheHeaderLine(*Global().CurrentDrive);
    std::filesystem::remove(drive->Dir() / "gone.bin");
    ASSERT_EQ(MeasureDrives(hooks), 1);
    ASSERT_TRUE(platform::ReplaceFile(IndexFile(), before));
    // The second cache dated to the second of the first.
    const size_t date = std::string("yyyy/mm/dd hh:nn:ss=hh:nn:ss").size();
    StringList lines;
    LoadLines(lines, CacheFile());
    lines[0] = dated.substr(0, date) + lines[0].substr(date);
    ASSERT_TRUE(SaveLines(lines, CacheFile()));
    FileIndex index;
    EXPECT_FALSE(OpenIndex(index)) << "the first measurement's index, gone.bin and all";
}

// Another program cuts the index short while it is mapped (a cp or an
// rsync --inplace over it): what is asked of it then must not end the
// process, and the index says it is damaged.
TEST_F(FileIndexTest, AnIndexCutShortWhileMappedIsDamagedNotAFault) {
    for (int i = 0; i < 3000; ++i)
        drive->Dir().Write("d" + std::to_string(i % 7) + "/a rather long file name " +
                               std::to_string(i) + ".dat",
                           std::string(static_cast<size_t>(i % 50), 'x'));
    YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    std::string good;
    ASSERT_TRUE(platform::ReadWholeFile(IndexFile(), good));
    ASSERT_GT(good.size(), size_t{16} * 4096);
    for (size_t cut : {size_t{0}, size_t{256}, good.size() / 3, good.size() - 9000}) {
        SCOPED_TRACE(cut);
        ASSERT_TRUE(platform::ReplaceFile(IndexFile(), good));
        FileIndex index;
        ASSERT_TRUE(OpenIndex(index));
        ASSERT_EQ(::truncate(IndexFile().c_str(), static_cast<off_t>(cut)), 0);
        FileQuery q;
        q.Top = 5000;
        QueryFiles(index, q);
        q.Name = "*long*";
        q.OnPath = true;
        q.WithFolders = true;
        QueryFiles(index, q);
        EXPECT_FALSE(index.Intact());
    }
}

TEST_F(FileIndexTest, FilesTheProgramRemovedLeaveTheIndexAtOnce) {
    drive->Dir().Write("a/one.bin", std::string(3000, '1'));
    drive->Dir().Write("a/b/two.bin", std::string(2000, '2'));
    drive->Dir().Write("three.bin", std::string(1000, '3'));
    YesHooks hooks;
    MeasureDrives(hooks);
    FileIndex index;
    ASSERT_TRUE(OpenIndex(index));
    const std::string header = CacheHeaderLine(*Global().CurrentDrive);
    ASSERT_TRUE(MarkGoneInIndex(IndexFile(), &index, drive->Root() + "three.bin", header));
    EXPECT_EQ(Paths(QueryFiles(index, {})),
              (std::vector<std::string>{"a\\one.bin", "a\\b\\two.bin"}))
        << "the map shows the change without opening again";
    ASSERT_TRUE(MarkGoneInIndex(IndexFile(), nullptr, drive->Root() + "a\\b\\", header));
    FileIndex again;
    ASSERT_TRUE(OpenIndex(again));
    EXPECT_EQ(Paths(QueryFiles(again, {})), (std::vector<std::string>{"a\\one.bin"}));
    EXPECT_FALSE(MarkGoneInIndex(IndexFile(), nullptr, drive->Root() + "nothing.bin", header));
}

TEST(FileIndexPieces, ExtensionsAndKinds) {
    const struct {
        const char* name;
        const char* extension;
    } extensions[] = {
        {"photo.JPG", "jpg"},
        {".bashrc", ""}, // a first dot is no extension
        {"name.", ""},   // nor a last one
        {"a.tar.gz", "gz"},
        // Numbers after a known extension are its version.
        {"libc.so.6", "so"},
        {"libcublasLt.so.13", "so"},
        {"LIBZ.SO.1.2.13", "so"},
        {"syslog.log.1", "log"},
        // Numbers after the stem alone, or after no extension, stay.
        {"python3.11", "11"},
        {"ls.1", "1"},
        {"notes.draft.2", "2"},
        // A dotted version after no known extension is no extension.
        {"kubectl.1.33", ""},
        {"notes.draft.1.2", ""},
        {".so.6", "6"},
        {"x..6", "6"},
        {"libq.so.1a", "1a"},
    };
    for (const auto& e : extensions)
        EXPECT_EQ(ExtensionOf(e.name), e.extension) << e.name;
    std::vector<std::string> exts;
    ASSERT_TRUE(ParseExtensionList("jpg,PNG, .gif", exts));
    EXPECT_EQ(exts, (std::vector<std::string>{"jpg", "png", "gif"}));
    EXPECT_FALSE(ParseExtensionList("jpg,,png", exts));
    EXPECT_FALSE(ParseExtensionList("", exts));
    EXPECT_EQ(FileKindText("a.mp4", false), "MP4 ファイル");
    EXPECT_EQ(FileKindText("README", false), "ファイル");
    EXPECT_EQ(FileKindText("libcublasLt.so.13", false), "SO ファイル");
    EXPECT_EQ(FileKindText("x", true), "フォルダ");
}

// A walk's files kept in a scratch file read back exactly as kept in
// memory: records across the pieces written out and the blocks held, flags
// set after the walk on records already written and on those still pending,
// and no file left behind in the folder.
TEST(FileIndexPieces, FilesKeptInAScratchFileReadBackAsInMemory) {
    TempDir dir;
    FileRecords held, spilled;
    spilled.SpillTo(dir.Path());
    std::mt19937_64 rng(7);
    std::vector<uint64_t> where;
    const int n = 40000;
    for (int i = 0; i < n; ++i) {
        IndexedFile f;
        f.Size = rng();
        f.Occupied = rng() % 100000;
        f.ModifiedTime = static_cast<int64_t>(rng()) >> 1;
        f.Flags = static_cast<uint8_t>(i % 3 == 0 ? INDEX_FLAG_EXECUTABLE : 0);
        std::string name(rng() % 300,
                         static_cast<char>('a' + i % 26)); // names over 255 bytes are cut
        if (!name.empty()) name[0] = static_cast<char>(0xff);
        const uint64_t a = held.Add(f, name), b = spilled.Add(f, name);
        ASSERT_EQ(a, b);
        where.push_back(a);
    }
    ASSERT_TRUE(spilled.Spilled());
    EXPECT_FALSE(held.Spilled());
    EXPECT_EQ(held.NameBytes(), spilled.NameBytes());
    for (size_t i : {size_t{0}, size_t{1}, where.size() / 2, where.size() - 2, where.size() - 1}) {
        held.AddFlags(where[i], INDEX_FLAG_FURTHER_NAME);
        spilled.AddFlags(where[i], INDEX_FLAG_FURTHER_NAME);
    }
    std::vector<std::pair<IndexedFile, std::string>> a, b;
    auto keep = [](auto& out) {
        return [&out](const IndexedFile& f, std::string_view name) {
            out.emplace_back(f, std::string(name));
        };
    };
    held.Each(0, n, keep(a));
    spilled.Each(0, n, keep(b));
    ASSERT_EQ(a.size(), b.size());
    int further = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].first.Size, b[i].first.Size) << i;
        ASSERT_EQ(a[i].first.Occupied, b[i].first.Occupied) << i;
        ASSERT_EQ(a[i].first.ModifiedTime, b[i].first.ModifiedTime) << i;
        ASSERT_EQ(a[i].first.Flags, b[i].first.Flags) << i;
        ASSERT_EQ(a[i].second, b[i].second) << i;
        ASSERT_LE(a[i].second.size(), 255u);
        further += (b[i].first.Flags & INDEX_FLAG_FURTHER_NAME) != 0;
    }
    EXPECT_EQ(further, 5);
    // A range from the middle, as a folder's files are read.
    std::vector<std::pair<IndexedFile, std::string>> part;
    spilled.Each(where[1234], 3, keep(part));
    ASSERT_EQ(part.size(), 3u);
    EXPECT_EQ(part[2].second, a[1236].second);
    EXPECT_TRUE(spilled.Failure().empty()) << spilled.Failure();
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "the scratch file has no name";
}
