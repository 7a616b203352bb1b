// Scans of other analyzers imported as a drive letter of their own, and our
// measurements written in their format: an import must give the very lines
// and index records a measurement of the same tree gives, and bad input must
// leave what the letter held untouched.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/measure/Measure.h"
#include "core/exchange/Ncdu.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/Drives.h"
#include "platform/FileAccess.h"
#include "platform/InputDocument.h"
#include "support/CurrentDrive.h"
#include "support/RandomRun.h"
#include "support/TempDrive.h"
#include "support/YesHooks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;

namespace {

class NcduTest : public ::testing::Test {
  protected:
    std::unique_ptr<TempDrive> drive;
    char target = 0; // a free letter for the imports
    uint32_t cluster = 0;

    void SetUp() override {
        drive = std::make_unique<TempDrive>();
        test::MakeCurrent(*drive);
        Global().AskBeforeMeasure = 0;
        cluster = Global().CurrentDrive->ClusterSize;
        for (char c = 'Z'; c > 'D' && !target; --c)
            if (platform::DriveRoots()[static_cast<size_t>(c - 'A')].empty() &&
                c != drive->Letter())
                target = c;
        ASSERT_NE(target, 0);
    }
    void TearDown() override { drive.reset(); }

    std::string Beside(char letter, const char* ext) const {
        return drive->ExeDir() / ("NRVS_" + std::string(1, letter) + "." + ext);
    }
    std::string ReadFile(const std::string& path) const {
        std::string s;
        platform::ReadWholeFile(path, s);
        return s;
    }
    // The folder lines of a letter's cache without the header, with the
    // letter written as '?', so that two letters can be compared.
    std::vector<std::string> Lines(char letter) const {
        DriveRecord r;
        r.Index = letter - 'A';
        r.RootPath = std::string(1, letter) + ":\\";
        FolderList list;
        LoadCache(list, r);
        std::vector<std::string> out;
        for (int i = 1; i < list.Count(); ++i) {
            std::string line(list.LineAt(i));
            if (!line.empty() && line[0] == letter) line[0] = '?';
            out.push_back(line);
        }
        return out;
    }
    // path (without the letter) -> size, occupied, flags of each indexed file.
    std::map<std::string, std::tuple<uint64_t, uint64_t, int>> IndexRecords(char letter) const {
        DriveRecord r;
        r.Index = letter - 'A';
        r.RootPath = std::string(1, letter) + ":\\";
        FileIndex index;
        std::string why;
        EXPECT_TRUE(index.Open(Beside(letter, "idx"), letter, CacheHeaderLine(r), &why)) << why;
        std::map<std::string, std::tuple<uint64_t, uint64_t, int>> out;
        for (uint32_t i = 0; i < index.FileCount(); ++i)
            out[index.FilePath(i).substr(1)] = {
                index.Size(i), index.Occupied(i),
                index.Flags(i) &
                    (INDEX_FLAG_FURTHER_NAME | INDEX_FLAG_NOT_REGULAR | INDEX_FLAG_EXECUTABLE)};
        return out;
    }
    uint64_t Occ(uint64_t size) const {
        return cluster ? (size + cluster - 1) / cluster * cluster : size;
    }
    bool Import(std::string doc, NcduImportReport& report, const std::string& host = {}) {
        NcduImportOptions options;
        options.Host = host;
        options.Source = "test.json";
        doc.reserve(doc.size() + kNcduPadding);
        return ImportNcdu(doc, target, options, report);
    }
    void Measure() {
        test::YesHooks hooks;
        ASSERT_EQ(MeasureDrives(hooks), 1);
    }

    // A tree with what exports hold: names with spaces, ">" and bytes that
    // are not UTF-8, a file with two names in two folders, a FIFO, hidden
    // and read-only folders, an empty folder, files at every depth.
    void MakeTree() {
        const TempDir& d = drive->Dir();
        d.Write("top.txt", std::string(100, 't'));
        d.Write("a b/x>y.bin", std::string(5000, 'x'));
        d.Write("a b/n\xff\xfe", std::string(10, 'n'));
        d.Write("a b/q\"\xff\\", std::string(7, 'q'));
        d.Write("c/orig", std::string(3000, 'o'));
        ASSERT_EQ(::link((d / "c/orig").c_str(), (d / "a b/link1").c_str()), 0);
        d.Write("c/deep/deeper/bottom", std::string(12345, 'b'));
        d.Write(".hidden/h", "hh");
        d.MakeDir("locked");
        d.MakeDir("ro");
        d.Write("ro/inside", std::string(1, 'r'));
        ASSERT_EQ(::mkfifo((d / "c/fifo").c_str(), 0644), 0);
        ASSERT_EQ(::chmod((d / "ro").c_str(), 0555), 0);
    }
    // The export ncdu would write of that tree, with what ncdu adds on top:
    // a read error, excluded entries and extended fields.
    std::string HandMadeExport() const {
        auto file = [&](const std::string& name, uint64_t size, const std::string& more = {}) {
            std::string s = ",\n{\"name\":\"" + name + "\"";
            if (size)
                s += ",\"asize\":" + std::to_string(size) +
                     ",\"dsize\":" + std::to_string(Occ(size));
            return s + more + "}";
        };
        std::string j =
            "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000},\n";
        j += "[{\"name\":\"/srv/scan\",\"asize\":4096,\"dsize\":4096,\"dev\":2049,\"mode\":16877}";
        j += file("top.txt", 100, ",\"mode\":33188,\"mtime\":1690000000");
        j += ",\n[{\"name\":\"a b\",\"asize\":4096,\"dsize\":4096}";
        j += file("x>y.bin", 5000);
        j += file("n\xff\xfe", 10);
        j += file("q\\\"\xff\\\\", 7);
        j += file("link1", 3000, ",\"ino\":77,\"hlnkc\":true,\"nlink\":2");
        j += file("skipped", 999, ",\"excluded\":\"pattern\"");
        j += "]";
        j += ",\n[{\"name\":\"c\"}";
        j += file("orig", 3000, ",\"ino\":77,\"hlnkc\":true");
        j += file("fifo", 0, ",\"notreg\":true");
        j += ",\n[{\"name\":\"deep\"},[{\"name\":\"deeper\"}" + file("bottom", 12345) + "]]";
        j += "]";
        j += ",\n[{\"name\":\".hidden\"}" + file("h", 2) + "]";
        j += ",\n[{\"name\":\"locked\",\"read_error\":true}]";
        j += ",\n[{\"name\":\"ro\",\"mode\":16749}" + file("inside", 1) + "]";
        j += ",\n[{\"name\":\"elsewhere\",\"excluded\":\"otherfs\"}" + file("notcounted", 55555) +
             "]";
        j += "]]\n";
        return j;
    }
};

TEST_F(NcduTest, ImportGivesTheLinesAndRecordsOfAMeasurement) {
    MakeTree();
    Measure();
    NcduImportReport report;
    ASSERT_TRUE(Import(HandMadeExport(), report, "server1")) << report.Error;
    EXPECT_EQ(Lines(target), Lines(drive->Letter()));
    EXPECT_EQ(IndexRecords(target), IndexRecords(drive->Letter()));
    // The further name is the one in the folder that sorts after the other.
    EXPECT_EQ(std::get<2>(IndexRecords(target).at(":\\c\\orig")), INDEX_FLAG_FURTHER_NAME);
    EXPECT_EQ(std::get<2>(IndexRecords(target).at(":\\c\\fifo")), INDEX_FLAG_NOT_REGULAR);
    ASSERT_EQ(report.Unreadable.size(), 1u);
    EXPECT_EQ(report.Unreadable[0], std::string(1, target) + ":\\locked\\");
    EXPECT_EQ(report.Root, "/srv/scan");
    EXPECT_EQ(report.Files, 10u);

    const ImportInfo info = ReadImportInfo(target);
    EXPECT_TRUE(info.Valid);
    EXPECT_TRUE(IsImportedDrive(target));
    EXPECT_FALSE(IsImportedDrive(drive->Letter()));
    EXPECT_EQ(info.Root, "/srv/scan");
    EXPECT_EQ(info.Host, "server1");
    EXPECT_EQ(info.Program, "ncdu 1.18");
    EXPECT_EQ(info.ScanTime, 1700000000);
    EXPECT_GT(info.ImportTime, 1700000000);
    // The letter stays free: it leads to no folder of this machine.
    EXPECT_TRUE(platform::DriveRoots()[static_cast<size_t>(target - 'A')].empty());
    // The cache is dated by the scan, and the index belongs to it.
    DriveRecord r;
    r.Index = target - 'A';
    r.RootPath = std::string(1, target) + ":\\";
    std::time_t start = 0;
    ASSERT_TRUE(HeaderStart(CacheHeaderLine(r), start));
    EXPECT_EQ(start, 1700000000);
}

TEST_F(NcduTest, ImportInfoIsReadDefensively) {
    EXPECT_FALSE(ReadImportInfo(target).Valid);
    ASSERT_TRUE(platform::ReplaceFile(Beside(target, "imp"), "garbage\n\xff\xfe=\nroot\n"));
    EXPECT_FALSE(IsImportedDrive(target));
    ASSERT_TRUE(platform::ReplaceFile(Beside(target, "imp"), "import=ncdu\nroot=/a\xe2\x90\x8a"
                                                             "b\nscanned=12x\n"));
    const ImportInfo info = ReadImportInfo(target);
    EXPECT_TRUE(info.Valid);
    EXPECT_EQ(info.Root, "/a\nb"); // a control byte of a name comes back from its stand-in
    EXPECT_EQ(info.ScanTime, 0);
    EXPECT_FALSE(ReadImportInfo('?').Valid);
}

TEST_F(NcduTest, BadInputWritesNothing) {
    NcduImportReport report;
    const std::string good =
        "[1,0,{\"progname\":\"gdu\"},[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":1}]]";
    ASSERT_TRUE(Import(good, report)) << report.Error;
    const std::string cache = ReadFile(Beside(target, "txt")),
                      index = ReadFile(Beside(target, "idx")),
                      info = ReadFile(Beside(target, "imp"));
    ASSERT_FALSE(cache.empty());
    ASSERT_FALSE(index.empty());

    std::string deep = "[1,2,{},";
    for (size_t i = 0; i <= kNcduMaxDepth; ++i)
        deep += "[{\"name\":\"d\"},";
    deep += "{\"name\":\"f\"}";
    for (size_t i = 0; i <= kNcduMaxDepth; ++i)
        deep += "]";
    deep += "]";
    const std::string base = HandMadeExport();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {base.substr(0, base.size() / 2), "cut short"},
        {base.substr(0, base.size() - 3), ""},
        {"this is no export", ""},
        {"", ""},
        {"{\"name\":\"x\"}", "no JSON array"},
        {"[2,0,{},[{\"name\":\"/r\"}]]", "major version"},
        {deep, "deeper than"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\\u0000b\"}]]", "NUL"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a/b\"}]]", "'/'"},
        {"[1,2,{},[{\"name\":\"/r\"},[{\"name\":\"..\"}]]]", "\"..\""},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"\"}]]", "empty name"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":-1}]]", "asize is negative"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"dsize\":\"12\"}]]",
         "dsize is no whole number"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":1.5}]]", "asize is no whole number"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"hlnkc\":1}]]", "hlnkc"},
        {"[1,2,{},{\"name\":\"/r\"}]", "root is no folder"},
        {"[1,2,{}]", "no root folder"},
        {"[1,2,{},[]]", "without its entry"},
        {"[1,2,{},[{\"name\":\"/r\"},17]]", "neither an entry nor a folder"},
        {"[1,2,{},[{\"asize\":3}]]", "without a name"},
        {"[1,2,{},[{\"name\":\"/r\"}],[]]", "more elements"},
        {"[1,2,{},[{\"name\":\"/r\"}]] [", ""},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"" + std::string(256, 'n') + "\"}]]",
         "longer than 255"},
        {"[1,2,{},[{\"name\":\"/"
         "r\"},[{\"name\":\"d\"},{\"name\":\"f\"},{\"name\":\"g\"},{\"name\":\"f\"}]]]",
         "\"f\" is listed twice in /r/d"},
        {"[1,2,{},[{\"name\":\"/r\"},[{\"name\":\"d\"}],{\"name\":\"d\"}]]",
         "\"d\" is listed twice in /r"},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\xff\",\"asize\":1}\xff]]", ""},
        // What the import's note would keep, beyond what its reader takes.
        {"[1,2,{\"progname\":\"" + std::string(2 << 20, 'p') + "\"},[{\"name\":\"/r\"}]]",
         "progname is longer than"},
        {"[1,2,{\"progver\":\"" + std::string(1025, 'v') + "\"},[{\"name\":\"/r\"}]]",
         "progver is longer than"},
        {"[1,2,{},[{\"name\":\"/" + std::string(4096, 'r') + "\"}]]", "root's name is longer than"},
    };
    for (const auto& [doc, expected] : cases) {
        SCOPED_TRACE(doc.substr(0, 80));
        EXPECT_FALSE(Import(doc, report));
        EXPECT_FALSE(report.Error.empty());
        if (!expected.empty()) {
            EXPECT_NE(report.Error.find(expected), std::string::npos) << report.Error;
        }
        EXPECT_EQ(ReadFile(Beside(target, "txt")), cache);
        EXPECT_EQ(ReadFile(Beside(target, "idx")), index);
        EXPECT_EQ(ReadFile(Beside(target, "imp")), info);
    }
    // Good input that cannot be written whole (its import note cannot take
    // its name): the letter keeps its scan, cache and index alike.
    ASSERT_TRUE(std::filesystem::remove(Beside(target, "imp")));
    ASSERT_TRUE(std::filesystem::create_directory(Beside(target, "imp")));
    EXPECT_FALSE(Import("[1,0,{},[{\"name\":\"/r\"},{\"name\":\"g\",\"asize\":2}]]", report));
    EXPECT_NE(report.Error.find(Beside(target, "imp")), std::string::npos) << report.Error;
    EXPECT_EQ(ReadFile(Beside(target, "txt")), cache);
    EXPECT_EQ(ReadFile(Beside(target, "idx")), index);
    std::filesystem::remove(Beside(target, "imp"));
    // What is kept is bounded: refused at the entry that passes a limit.
    const std::string two = "[1,2,{},[{\"name\":\"/r\"},\n{\"name\":\"ab\"},{\"name\":\"c\"}]]";
    const std::vector<std::tuple<uint64_t, uint64_t, std::string>> limits = {
        {2, 100, "line 2, column 15: more than 2 files and folders"},
        {100, 3, "line 2, column 1: the names take more than 3 bytes"},
        {3, 5, ""},
    };
    for (const auto& [entries, nameBytes, refusal] : limits) {
        NcduImportOptions options;
        options.MaxEntries = entries;
        options.MaxNameBytes = nameBytes;
        EXPECT_EQ(ImportNcdu(two, target, options, report), refusal.empty()) << report.Error;
        EXPECT_EQ(report.Error, refusal);
    }
    // Where the fault is, as far as the parser says.
    EXPECT_FALSE(
        Import("[1,2,{},\n[{\"name\":\"/r\"},\n  {\"name\":\"f\",\"asize\":-5}]]", report));
    EXPECT_EQ(report.Error.rfind("line 3, column ", 0), 0u) << report.Error;
}

TEST_F(NcduTest, DeepButAllowedTreesAndOddNamesImport) {
    std::string doc = "[1,2,{},";
    const int depth = 2000;
    for (int i = 0; i < depth; ++i)
        doc += "[{\"name\":\"d\"},";
    doc += "{\"name\":\"f\",\"asize\":9,\"dsize\":4096}";
    for (int i = 0; i < depth; ++i)
        doc += "]";
    doc += "]";
    NcduImportReport report;
    ASSERT_TRUE(Import(doc, report)) << report.Error;
    EXPECT_EQ(report.Folders, static_cast<uint64_t>(depth));
    const auto lines = Lines(target);
    ASSERT_EQ(lines.size(), static_cast<size_t>(depth));
    EXPECT_EQ(lines.front(), "?:\\ > 9:4096:0:0:0:1:1:1999:0:0:0:0");

    // Escapes, a backslash byte and a full-width backslash stay apart.
    ASSERT_TRUE(Import("[1,1,{},[{\"name\":\"/\"},[{\"name\":\"a\\\\b\"},{\"name\":\"t\\tx\"}],"
                       "[{\"name\":\"a\xef\xbc\xbc"
                       "b\"},{\"name\":\"\\u65e5\\ud83d\\ude00\"}]]]",
                       report))
        << report.Error;
    const auto records = IndexRecords(target);
    EXPECT_EQ(records.count(":\\a\xef\xbc\xbc"
                            "b\\t\xe2\x90\x89x"),
              1u);
    EXPECT_EQ(records.count(":\\a\xee\x81\x9c\xef\xbc\xbc"
                            "b\\\xe6\x97\xa5\xf0\x9f\x98\x80"),
              1u);
}

TEST_F(NcduTest, NamesOfOneFileGoToTheFolderWhosePathSortsFirst) {
    // Each row: the root's folders, each holding a name of one file ("F");
    // the owner is the folder whose program path sorts first, separators
    // and shown names included.
    const std::string f = "{\"name\":\"f\",\"asize\":7,\"ino\":5,\"hlnkc\":true}";
    auto dir = [&](const std::string& name, const std::string& more = {}) {
        return ",[{\"name\":\"" + name + "\"}," + f + more + "]";
    };
    const std::vector<std::pair<std::string, std::string>> rows = {
        {dir("a") + dir("a!"), "a!\\"},
        {dir("a\\\\x") + dir("a]"), "a]\\"},
        {dir("b", dir("c")), "b\\"},
        {dir("b", dir("c")) + dir("b!"), "b!\\"},
        {dir("x\\u0001") + dir("x "), "x \\"},
        {dir("p", dir("r") + dir("q")), "p\\"},
        {"," + f.substr(0, f.size() - 1) + ",\"name\":\"g\"}" + dir("z", dir("y")), ""},
    };
    for (const auto& [body, owner] : rows) {
        const std::string doc = "[1,2,{},[{\"name\":\"/r\"}" + body + "]]";
        NcduImportReport report;
        ASSERT_TRUE(Import(doc, report)) << report.Error << "\n" << doc;
        std::string holder;
        for (const std::string& line : Lines(target))
            if (ParseRecord(line).OwnBytes > 0) holder = ParseRecord(line).Path;
        EXPECT_EQ(holder, "?:\\" + owner) << doc;
    }

    // A name at the top and one in each of 20,000 folders below a chain
    // 9,000 levels deep of long names: choosing the owner by each name's
    // rebuilt path took longer than the test's timeout (ten minutes).
    const std::string name(100, 'd');
    std::string doc = "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":7,\"ino\":5,"
                      "\"hlnkc\":true}";
    const int depth = 9000, names = 20000;
    for (int i = 0; i < depth; ++i)
        doc += ",[{\"name\":\"" + name + "\"}";
    for (int i = 0; i < names; ++i)
        doc += ",[{\"name\":\"" + std::to_string(i) +
               "\"},{\"name\":\"f\",\"asize\":7,\"ino\":5,\"hlnkc\":true}]";
    doc += std::string(depth, ']') + "]]";
    NcduImportReport report;
    ASSERT_TRUE(Import(doc, report)) << report.Error;
    EXPECT_EQ(report.Bytes, 7);
    EXPECT_EQ(report.Files, static_cast<uint64_t>(names + 1));
    EXPECT_EQ(ParseRecord(Lines(target).front()).OwnBytes, 7);
}

TEST_F(NcduTest, ExportedMeasurementImportsToTheSameLines) {
    MakeTree();
    drive->Dir().Write("a b/run.sh", "#!/bin/sh\n");
    ASSERT_EQ(::chmod((drive->Dir() / "a b/run.sh").c_str(), 0755), 0);
    Measure();
    const std::string out = drive->ExeDir() / "scan.json";
    std::string why;
    ASSERT_TRUE(ExportNcdu(std::string(1, drive->Letter()) + ":\\", out, why)) << why;
    std::string doc;
    ASSERT_TRUE(platform::ReadInputDocument(out, kNcduMaxBytes, kNcduPadding, doc, &why)) << why;
    NcduImportReport report;
    ASSERT_TRUE(Import(doc, report)) << report.Error;
    EXPECT_EQ(Lines(target), Lines(drive->Letter()));
    EXPECT_EQ(report.Root + "/", drive->Native());
    EXPECT_EQ(std::get<2>(IndexRecords(target).at(":\\a b\\run.sh")), INDEX_FLAG_EXECUTABLE);

    // A folder alone; and no export without the index.
    ASSERT_TRUE(ExportNcdu(std::string(1, drive->Letter()) + ":\\c\\", out, why)) << why;
    ASSERT_TRUE(platform::ReadInputDocument(out, kNcduMaxBytes, kNcduPadding, doc, &why));
    ASSERT_TRUE(Import(doc, report)) << report.Error;
    EXPECT_EQ(report.Root, drive->Native() + "c");
    EXPECT_EQ(Lines(target).size(), 3u);
    ASSERT_EQ(::unlink(Beside(drive->Letter(), "idx").c_str()), 0);
    EXPECT_FALSE(ExportNcdu(std::string(1, drive->Letter()) + ":\\", out, why));
    EXPECT_NE(why.find("measure again for its files"), std::string::npos) << why;
}

TEST_F(NcduTest, GzipInputIsUnpackedAndDamagedGzipRefused) {
    // "[1,2,{},[{\"name\":\"/\"}]]" packed by gzip -9n.
    const unsigned char packed[] = {
        0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0x8b, 0x36, 0xd4, 0x31, 0xd2,
        0xa9, 0xae, 0xd5, 0x89, 0xae, 0x56, 0xca, 0x4b, 0xcc, 0x4d, 0x55, 0xb2, 0x52, 0xd2, 0x57,
        0xaa, 0x8d, 0x8d, 0x05, 0x00, 0x71, 0x04, 0x72, 0x24, 0x17, 0x00, 0x00, 0x00};
    const std::string gz(reinterpret_cast<const char*>(packed), sizeof packed);
    // Each row: the stored bytes, what is read of them ("" when refused)
    // and what the refusal says.
    const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
        {gz + gz, "[1,2,{},[{\"name\":\"/\"}]][1,2,{},[{\"name\":\"/\"}]]", ""},
        {gz + std::string(5, '\0'), "[1,2,{},[{\"name\":\"/\"}]]", ""},
        {gz.substr(0, gz.size() - 6), "", "cut short"},
        {gz + "junk", "", "damaged"},
        {gz + gz + gz, "", "60"},
        {"[1]", "[1]", ""},
        {"", "", ""},
    };
    const std::string file = drive->ExeDir() / "scan.json.gz";
    for (const auto& [stored, read, refusal] : rows) {
        ASSERT_TRUE(platform::ReplaceFile(file, stored));
        std::string out, why;
        EXPECT_EQ(platform::ReadInputDocument(file, 60, kNcduPadding, out, &why), refusal.empty())
            << why;
        EXPECT_EQ(out, read);
        EXPECT_NE(why.find(refusal), std::string::npos) << why;
        if (refusal.empty()) {
            EXPECT_GE(out.capacity(), out.size() + kNcduPadding);
        }
    }
}

TEST_F(NcduTest, RandomDamageNeverCrashes) {
    const std::string base = HandMadeExport();
    const RandomRun run(3000);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(run.seed));
    const char pieces[] = "[]{},:\"\\-0123456789e.tfnu\xff\x00 ";
    NcduImportReport report;
    int accepted = 0;
    for (long round = 0; round < run.iterations; ++round) {
        std::string doc = base;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !doc.empty(); ++e) {
            const size_t at = rng() % doc.size();
            switch (rng() % 4) {
            case 0:
                doc[at] = pieces[rng() % (sizeof pieces - 1)];
                break;
            case 1:
                doc.erase(at, 1 + rng() % 8);
                break;
            case 2:
                doc.insert(at, 1, pieces[rng() % (sizeof pieces - 1)]);
                break;
            default:
                doc.resize(at);
                break;
            }
        }
        if (Import(doc, report)) {
            ++accepted;
        } else {
            EXPECT_FALSE(report.Error.empty());
        }
    }
    // Some damage leaves a valid export (a changed size): those are imported.
    EXPECT_GT(accepted, 0);
}

} // namespace
