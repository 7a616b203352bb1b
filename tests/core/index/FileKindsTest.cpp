// Totals by extension and kind from the file index: what the types window,
// the treemap's colours and the command line show.
#include "core/cache/Cache.h"
#include "core/index/FileKinds.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "support/CurrentDrive.h"
#include "support/TempDir.h"
#include "support/TempDrive.h"
#include "core/index/FileIndexWriter.h"
#include "core/index/FileQueries.h"
#include "support/YesHooks.h"
#include "lib/Messages.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDrive;

namespace {
const TypeRow* Find(const std::vector<TypeRow>& rows, const std::string& ext, FileKind kind) {
    for (const auto& r : rows)
        if (r.Extension == ext && r.Kind == kind) return &r;
    return nullptr;
}
} // namespace

TEST(FileKindsTest, KindsByExtensionAndExecuteBit) {
    EXPECT_EQ(KindOfFile("photo.JPG", false), KIND_IMAGE);
    EXPECT_EQ(KindOfFile("movie.mkv", true), KIND_VIDEO)
        << "the extension decides before the execute bit";
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
    test::MakeCurrent(drive);
    Global().AskBeforeMeasure = 0;
    const auto& d = drive.Dir();
    d.Write("a/IMG_1.JPG", std::string(5000, 'j'));
    d.Write("a/img_2.jpg", std::string(3000, 'j'));
    d.Write("b/archive.tar.gz", std::string(20000, 'z'));
    d.Write("b/.hidden", std::string(100, 'h'));
    d.Write("b/trailing.", std::string(200, 't'));
    d.Write("bin/tool", std::string(9000, 'x'));
    d.Write("lib/libc.so.6", std::string(700, 'l'));
    d.Write("lib/libcublasLt.so.13", std::string(800, 'l'));
    ::chmod((d / "bin/tool").c_str(), 0755);
    d.Write("c/shared.jpg", std::string(10000, 's'));
    d.MakeDir("d");
    ASSERT_EQ(::link((d / "c/shared.jpg").c_str(), (d / "d/again.jpg").c_str()), 0);
    d.MakeDir("e");
    int fd = ::open((d / "e/disk.img").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, 1 << 22), 0);
    ::close(fd);
    test::YesHooks hooks;
    ASSERT_EQ(MeasureDrives(hooks), 1);
    FileIndex index;
    ASSERT_TRUE(index.Open(FileIndexName(*Global().CurrentDrive), drive.Letter(),
                           CacheHeaderLine(*Global().CurrentDrive)));

    const auto rows = TypeStatistics(index, "", false);
    const TypeRow* jpg = Find(rows, "jpg", KIND_IMAGE);
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(jpg->Files, 3u) << "upper and lower case together; the shared file once";
    EXPECT_EQ(jpg->Size, 18000u);
    const TypeRow* none = Find(rows, "", KIND_OTHER);
    ASSERT_NE(none, nullptr) << "a leading or trailing dot is no extension";
    EXPECT_EQ(none->Files, 3u) << "one row for no extension, programs and the rest";
    EXPECT_EQ(none->Size, 9300u);
    EXPECT_EQ(Find(rows, "", KIND_EXECUTABLE), nullptr);
    const TypeRow* so = Find(rows, "so", KIND_EXECUTABLE);
    ASSERT_NE(so, nullptr) << "a version after the extension";
    EXPECT_EQ(so->Files, 2u);
    const TypeRow* gz = Find(rows, "gz", KIND_ARCHIVE);
    ASSERT_NE(gz, nullptr) << "the last dot counts";
    const TypeRow* img = Find(rows, "img", KIND_ARCHIVE);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->Size, uint64_t{1} << 22);
    EXPECT_LT(img->Occupied, 4096u * 2) << "a hole occupies nothing";
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_GE(rows[i - 1].Occupied, rows[i].Occupied) << "largest first";

    // The totals add up to the measurement's.
    const FolderRecord* root = Global().Folders.FindPath(drive.Root());
    uint64_t files = 0, size = 0, occupied = 0;
    for (const auto& r : rows)
        files += r.Files, size += r.Size, occupied += r.Occupied;
    EXPECT_EQ(static_cast<double>(size), root->TreeBytes);
    EXPECT_EQ(static_cast<double>(occupied), root->TreeOccupied);
    EXPECT_EQ(files + 1, static_cast<uint64_t>(root->TreeFiles))
        << "one further name of the shared file";

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

// The totals of an index of random names against the rules applied file by
// file (extension of each name, kind of each file, one map of rows): the
// names hold what tells extensions apart or together (case, several dots,
// a leading or trailing dot, versioned shared objects, bytes above ASCII,
// the longest name), with the execute bit, files gone and further names.
TEST(FileKindsTest, RandomIndexTotalsAsFileByFile) {
    nrvs::test::TempDir dir;
    const std::vector<std::string> names = {"a.txt",
                                            "B.TXT",
                                            "c.Txt",
                                            "x.tar.GZ",
                                            "libq.so.3",
                                            "libq.so",
                                            "LIBZ.SO.1.2.13",
                                            "ls.1",
                                            "kubectl.1.33",
                                            "app.log.1",
                                            ".rc",
                                            "end.",
                                            "noext",
                                            "a.b.c",
                                            "\xc3\x89.JPG",
                                            "x.\xc3\x89xt",
                                            "x.\xc3\xa9xt",
                                            "photo.jpeg",
                                            "run",
                                            "a.so.",
                                            ".",
                                            "..",
                                            "m.MKV",
                                            std::string(251, 'n') + ".Doc"};
    std::mt19937 rng(5);
    for (int round = 0; round < 6; ++round) {
        FileIndexData data;
        data.LinksOnce = round % 2 == 0;
        data.Files.resize(1);
        FileRecords& files = data.Files[0];
        FileIndexData::Folder root, sub;
        root.SubtreeEnd = 2;
        sub.Parent = 0;
        data.SetFolderName(sub, "sub");
        sub.SubtreeEnd = 2;
        struct Added {
            std::string name;
            IndexedFile file;
            bool inSub;
        };
        std::vector<Added> all;
        for (FileIndexData::Folder* f : {&root, &sub}) {
            f->Begin = files.Position();
            const uint64_t nameBytes = files.NameBytes();
            f->Count = 200 + rng() % 200;
            for (uint32_t k = 0; k < f->Count; ++k) {
                IndexedFile file;
                file.Size = rng() % 100000;
                file.Occupied = (file.Size + 4095) / 4096 * 4096;
                if (rng() % 3 == 0) file.Flags |= INDEX_FLAG_EXECUTABLE;
                if (rng() % 10 == 0) file.Flags |= INDEX_FLAG_FURTHER_NAME;
                if (rng() % 10 == 0) file.Flags |= INDEX_FLAG_GONE;
                const std::string& name = names[rng() % names.size()];
                files.Add(file, name);
                all.push_back({name, file, f == &sub});
            }
            f->NameBytes = static_cast<uint32_t>(files.NameBytes() - nameBytes);
        }
        data.Folders = {root, sub};
        const std::string header = "2026/12/08 10:00:00=00:00:01", path = dir / "NRVS_C.idx";
        std::string why;
        ASSERT_TRUE(WriteFileIndex(path, 'C', header, data, nullptr, {}, &why)) << why;
        FileIndex index;
        ASSERT_TRUE(index.Open(path, 'C', header, &why)) << why;
        for (const bool byKind : {false, true})
            for (const std::string below : {"", "C:\\sub\\"}) {
                std::map<std::pair<std::string, int>, TypeRow> want;
                for (const Added& a : all) {
                    if ((a.file.Flags & INDEX_FLAG_GONE) ||
                        (data.LinksOnce && (a.file.Flags & INDEX_FLAG_FURTHER_NAME)))
                        continue;
                    if (!below.empty() && !a.inSub) continue;
                    const FileKind kind =
                        KindOfFile(a.name, (a.file.Flags & INDEX_FLAG_EXECUTABLE) != 0);
                    // By extension one row each, "other" when its files' kinds differ.
                    const std::string ext = byKind ? std::string() : ExtensionOf(a.name);
                    const auto [at, added] =
                        want.try_emplace({ext, byKind ? static_cast<int>(kind) : 0});
                    TypeRow& r = at->second;
                    r.Extension = ext;
                    r.Kind = added || r.Kind == kind ? kind : KIND_OTHER;
                    ++r.Files;
                    r.Size += a.file.Size;
                    r.Occupied += a.file.Occupied;
                }
                const std::vector<TypeRow> got = TypeStatistics(index, below, byKind);
                ASSERT_EQ(got.size(), want.size()) << "round " << round;
                for (size_t i = 0; i < got.size(); ++i) {
                    const auto it =
                        want.find({got[i].Extension, byKind ? static_cast<int>(got[i].Kind) : 0});
                    ASSERT_NE(it, want.end()) << got[i].Extension;
                    EXPECT_EQ(got[i].Kind, it->second.Kind) << got[i].Extension;
                    EXPECT_EQ(got[i].Files, it->second.Files) << got[i].Extension;
                    EXPECT_EQ(got[i].Size, it->second.Size) << got[i].Extension;
                    EXPECT_EQ(got[i].Occupied, it->second.Occupied) << got[i].Extension;
                    if (i > 0) {
                        const TypeRow& a = got[i - 1];
                        EXPECT_TRUE(a.Occupied > got[i].Occupied ||
                                    (a.Occupied == got[i].Occupied &&
                                     (a.Extension < got[i].Extension ||
                                      (a.Extension == got[i].Extension && a.Kind < got[i].Kind))))
                            << "rows out of order at " << i;
                    }
                }
            }
    }
}
