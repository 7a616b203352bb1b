#include "core/cache/Cache.h"
#include "core/cache/FolderMerge.h"
#include "core/cache/Folders.h"
#include "core/GlobalState.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "support/ResetGlobalState.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

using namespace nrvs;
using nrvs::test::TempDir;

TEST(FolderRecordTest, FormatAndParse) {
    FolderRecord r;
    r.Path = "C:\\WINDOWS\\";
    r.TreeBytes = 9000;
    r.TreeOccupied = 16384;
    r.OwnBytes = 1000;
    r.OwnOccupied = 4096;
    r.OwnFiles = 1;
    r.TreeFiles = 7;
    r.OwnFolders = 2;
    r.TreeFolders = 3;
    r.System = 1;
    EXPECT_EQ(FormatRecord(r), "C:\\WINDOWS\\ > 9000:16384:1000:4096:1:7:2:3:0:0:0:1");
    EXPECT_EQ(r.Line, "C:\\WINDOWS\\ > 9000:16384:1000:4096:1:7:2:3:0:0:0:1");
    FolderRecord back = ParseRecord(r.Line);
    EXPECT_EQ(back.Path, r.Path);
    EXPECT_EQ(back.TreeOccupied, 16384);
    EXPECT_EQ(back.TreeFolders, 3);
    EXPECT_EQ(back.System, 1);

    r.TreeBytes = 1e15;
    r.OwnBytes = 1e15 - 1;
    EXPECT_EQ(FormatRecord(r), "C:\\WINDOWS\\ > 1E15:16384:999999999999999:4096:1:7:2:3:0:0:0:1");
    EXPECT_EQ(ParseRecord(r.Line).TreeBytes, 1e15);

    FolderRecord h = ParseRecord("2004/05/01 10:00:00=00:03:12");
    EXPECT_EQ(h.Path, "2004/05/01 10:00:00=00:03:12");
    EXPECT_EQ(h.TreeBytes + h.OwnBytes, 0);
    EXPECT_EQ(h.TreeFiles, 0);

    FolderRecord s = ParseRecord("C:\\ > 10:12");
    EXPECT_EQ(s.Path, "C:\\");
    EXPECT_EQ(s.TreeBytes, 10);
    EXPECT_EQ(s.TreeOccupied, 12);
    EXPECT_EQ(s.OwnBytes + s.OwnFiles + s.System, 0);

    FolderRecord bad = ParseRecord("C:\\x\\ > a:b:3:-:7:9999999999:x");
    EXPECT_EQ(bad.Path, "C:\\x\\");
    EXPECT_EQ(bad.TreeBytes, 0);
    EXPECT_EQ(bad.OwnBytes, 3);
    EXPECT_EQ(bad.OwnFiles, 7);
    EXPECT_EQ(bad.TreeFiles, 0);

    // A folder whose name holds " > " keeps its whole path.
    FolderRecord odd;
    odd.Path = "C:\\a > b\\";
    odd.OwnFiles = 4;
    FolderRecord oddBack = ParseRecord(FormatRecord(odd));
    EXPECT_EQ(oddBack.Path, "C:\\a > b\\");
    EXPECT_EQ(oddBack.OwnFiles, 4);
}

TEST(FolderListTest, LookupsAreExactFirstMatchAndTakeDamagedLinesWhole) {
    FolderList l;
    l.Append("2004/05/01 10:00:00=00:03:12");
    l.Append("C:\\ > 1:2:3:4:5:6:7:8:0:0:0:0");
    l.Append("C:\\WINDOWS\\ > 10:20:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\WINDOWS\\ > 99:99:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\a > b\\ > 5:5:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(l.IndexOfPath("C:\\WINDOWS\\"), 2);
    EXPECT_EQ(l.FindPath("C:\\WINDOWS\\")->TreeBytes, 10);
    EXPECT_EQ(l.IndexOfPath("c:\\windows\\"), -1) << "exact comparison";
    EXPECT_EQ(l.IndexOfPath("2004/05/01 10:00:00=00:03:12"), 0)
        << "a line without \" > \" is all path";
    EXPECT_EQ(l.IndexOfPath("2004/05/01 10:00:00"), -1);
    EXPECT_EQ(l.IndexOfPath("C:\\a > b\\"), 4);
    EXPECT_EQ(l.IndexOfPath("C:\\a"), -1);
    EXPECT_EQ(l.FindPath("C:\\nothing\\"), nullptr);
    EXPECT_EQ(l.RecordAt(5), nullptr);
    EXPECT_EQ(l.RecordAt(-1), nullptr);

    // The index follows every change of the list.
    l.Delete(2);
    EXPECT_EQ(l.IndexOfPath("C:\\WINDOWS\\"), 2);
    EXPECT_EQ(l.FindPath("C:\\WINDOWS\\")->TreeBytes, 99);
    l.InsertFirst("C:\\new\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(l.IndexOfPath("C:\\new\\"), 0);
    EXPECT_EQ(l.IndexOfPath("C:\\"), 2);
    l.Append("C:\\direct\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(l.IndexOfPath("C:\\direct\\"), 5);
    // A folder line cut short before its numbers is still found, with zeros.
    l.Append("C:\\cut\\");
    EXPECT_EQ(l.IndexOfPath("C:\\cut\\"), 6);
    ASSERT_NE(l.FindPath("C:\\cut\\"), nullptr);
    EXPECT_EQ(l.FindPath("C:\\cut\\")->TreeBytes, 0);
}

TEST(FolderListTest, SortIgnoresCaseAndPutsParentsFirst) {
    FolderList l;
    l.Append("C:\\b\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\A\\x\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Append("C:\\a\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    l.Sort();
    EXPECT_EQ(
        l.CopyLines(),
        (StringList{"C:\\ > 0:0:0:0:0:0:0:0:0:0:0:0", "C:\\a\\ > 0:0:0:0:0:0:0:0:0:0:0:0",
                    "C:\\A\\x\\ > 0:0:0:0:0:0:0:0:0:0:0:0", "C:\\b\\ > 0:0:0:0:0:0:0:0:0:0:0:0"}));
}

TEST(FolderListTest, EntryRecordPrefersTheMeasuredRecord) {
    FolderList l;
    l.Append("C:\\sub\\ > 100:4096:0:0:0:3:0:1:0:1:0:0");
    DirEntry folder = ParseEntry("sub\\ > D..... -1:-1");
    FolderRecord r = EntryRecord("C:\\", folder, l);
    EXPECT_EQ(r.TreeBytes, 100);
    EXPECT_EQ(r.TreeFiles, 3);
    EXPECT_EQ(r.Line, l.LineAt(0));
    DirEntry other = ParseEntry("other\\ > D.H... -1:-1");
    r = EntryRecord("C:\\", other, l);
    EXPECT_EQ(r.Path, "C:\\other\\");
    EXPECT_EQ(r.TreeBytes, -1);
    EXPECT_EQ(r.OwnFiles, -1);
    EXPECT_EQ(r.Hidden, 1);
    DirEntry file = ParseEntry("f.txt > ...R.. 194:4096");
    r = EntryRecord("C:\\", file, l);
    EXPECT_EQ(r.TreeOccupied, 4096);
    EXPECT_EQ(r.OwnBytes, 0);
    EXPECT_EQ(r.ReadOnly, 1);
}

namespace {
class CacheTest : public ::testing::Test {
  protected:
    TempDir dir;
    DriveRecord drive;
    void SetUp() override {
        test::ResetGlobalState();
        platform::SetExecutablePath(dir / "norvessa");
        LoadParameters({});
        drive.Index = 2;
        drive.RootPath = "C:\\";
        drive.DriveType = 3;
    }
    void TearDown() override { platform::SetExecutablePath(""); }
};
} // namespace

TEST_F(CacheTest, WrittenAndReadBackByteForByte) {
    EXPECT_EQ(CacheFileName(drive), dir / "NRVS_C.txt");
    FolderList l;
    l.Append(HeaderLine(1083405600, 1083405600 + 192));
    l.Append("C:\\ > 1E15:1E15:0:0:0:2:1:1:0:0:0:0");
    l.Append("C:\\\xE6\x97\xA5\xff\\ > 999999999999999:999999999999999:0:0:2:2:0:0:0:0:1:0");
    SaveCache(l, drive);
    std::string bytes = dir.Read("NRVS_C.txt");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    FolderList back;
    back.Append("stale");
    LoadCache(back, drive);
    EXPECT_EQ(back.CopyLines(), l.CopyLines());
    SaveCache(back, drive);
    EXPECT_EQ(dir.Read("NRVS_C.txt"), bytes);
    EXPECT_EQ(back.FindPath("C:\\")->TreeBytes, 1e15);
}

TEST_F(CacheTest, DamagedFilesReadWithoutHarm) {
    FolderList l;
    dir.Write("NRVS_C.txt", "");
    LoadCache(l, drive);
    EXPECT_EQ(l.Count(), 0);
    std::string junk;
    for (int i = 0; i < 10000; ++i)
        junk += static_cast<char>((i * 131) & 0xFF);
    dir.Write("NRVS_C.txt", junk);
    LoadCache(l, drive);
    for (int i = 0; i < l.Count(); ++i)
        l.RecordAt(i);
    l.FindPath("C:\\");
    dir.Write("NRVS_C.txt", "not a date\r\nC:\\ > 1:2\r\n" + std::string(1 << 20, 'x') +
                                " > 1\r\nC:\\a\\ > :::\r\n");
    LoadCache(l, drive);
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.FindPath("C:\\")->TreeOccupied, 2);
    EXPECT_EQ(l.FindPath("C:\\a\\")->TreeBytes, 0);
    std::time_t t;
    EXPECT_FALSE(HeaderStart(std::string(l.LineAt(0)), t));
    ::unlink((dir / "NRVS_C.txt").c_str());
    LoadCache(l, drive);
    EXPECT_EQ(l.Count(), 0);
}

TEST_F(CacheTest, HeaderLineAndCacheRule) {
    std::time_t start = 0;
    struct tm tm {};
    tm.tm_year = 104, tm.tm_mon = 4, tm.tm_mday = 1, tm.tm_hour = 10, tm.tm_isdst = -1;
    start = std::mktime(&tm);
    EXPECT_EQ(HeaderLine(start, start + 192), "2004/05/01 10:00:00=00:03:12");
    EXPECT_EQ(HeaderLine(start, start + 25 * 3600), "2004/05/01 10:00:00=01:00:00");
    std::time_t back;
    ASSERT_TRUE(HeaderStart("2004/05/01 10:00:00=00:03:12", back));
    EXPECT_EQ(back, start);
    EXPECT_FALSE(HeaderStart("2004/13/01 10:00:00=00:03:12", back));

    GlobalState& g = Global();
    DriveRecord cd = drive;
    cd.DriveType = 5;
    cd.Removable = 1;
    cd.Index = 4;
    EXPECT_EQ(IsCached(drive), 1) << "fixed disks by default";
    EXPECT_EQ(IsCached(cd), 0);
    g.CacheKinds = "1000";
    EXPECT_EQ(IsCached(cd), 1);
    EXPECT_EQ(IsCached(drive), 0);
    g.CacheMode = "001";
    EXPECT_EQ(IsCached(drive), 1) << "letter C";
    EXPECT_EQ(IsCached(cd), 0);
    g.CacheLetters = "001";
    EXPECT_EQ(IsCached(cd), 0) << "a short string caches no later letter";
    g.CacheMode = "100";
    EXPECT_EQ(IsCached(cd), 1);
    g.CacheMode = "000";
    EXPECT_EQ(IsCached(drive), 0);
}

// A folder measurement merges its new lines into the kept ones instead of
// sorting the whole cache again: line for line what the full sort gives.
TEST(FolderListTest, MergingNewLinesGivesTheFullSortsOrder) {
    std::mt19937 rng(11);
    const char* parts[] = {"a", "A", "b", "B", "\xE3\x81\x82", "a b", "a.b",
                           "Z", "z", "_", "0", "\xff"};
    auto randomLine = [&] {
        std::string path = "C:\\";
        const int depth = 1 + static_cast<int>(rng() % 4);
        for (int d = 0; d < depth; ++d)
            path += std::string(parts[rng() % 12]) + parts[rng() % 12] + "\\";
        return path + " > " + std::to_string(rng() % 1000) + ":0:0:0:0:0:0:0:0:0:0:0";
    };
    for (int round = 0; round < 200; ++round) {
        FolderList kept;
        const int n = static_cast<int>(rng() % 300);
        for (int i = 0; i < n; ++i)
            kept.Append(randomLine());
        if (round % 10 != 9) kept.Sort(); // now and then a cache out of order
        const size_t firstNew = kept.Size();
        const int added = static_cast<int>(rng() % 50);
        for (int i = 0; i < added; ++i)
            kept.Append(rng() % 5            ? randomLine()
                        : (kept.Size() == 0) ? randomLine()
                                             : kept.LineAt(rng() % kept.Size()));
        FolderList full = kept;
        full.Sort();
        kept.SortMerged(firstNew);
        ASSERT_EQ(kept.CopyLines(), full.CopyLines()) << "round " << round;
    }
}

namespace {
// What a folder measurement saved before the merge: every line read, the
// header and the folder's old lines dropped, the new lines appended, all
// sorted stably, the header put first, each line ended by CR LF.
std::string FullSortOfFolderMeasurement(const std::string& text, const std::string& below,
                                        const std::string& header, const StringList& fresh) {
    StringList lines;
    TextToLines(lines, text);
    FolderList list;
    std::string_view path;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool hasPath = PathOfLine(lines[i], path);
        const bool drivePath = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                               std::isalpha(static_cast<unsigned char>(path[0]));
        if (i == 0 && !hasPath && !drivePath) continue;
        if (hasPath && path.substr(0, below.size()) == below) continue;
        list.Append(lines[i]);
    }
    for (const std::string& line : fresh)
        list.Append(line);
    list.Sort();
    list.InsertFirst(header);
    std::string out;
    for (const std::string& line : list.CopyLines())
        out += line + "\r\n";
    return out;
}

std::string Merged(const std::string& text, const std::string& below, const std::string& header,
                   StringList fresh, size_t chunk = size_t{1} << 20) {
    std::string out;
    EXPECT_TRUE(MergeFolderLines(
        text, below, header, fresh,
        [&](std::string_view bytes) {
            out.append(bytes);
            return true;
        },
        chunk));
    return out;
}
} // namespace

// The merge of a folder measurement is line for line the full sort it
// replaces, on caches as they come: with and without a header, with damaged
// lines, line ends of other systems, names that sort differently by case,
// folders whose names differ from the measured one's only by case, out of
// order, empty.
TEST(CacheMergeTest, FolderLinesMergeAsTheFullSortWouldPlaceThem) {
    std::mt19937 rng(20261207);
    const char* parts[] = {"a", "A", "b", "B", "\xC3\xA9", "\xC3\x89", "a b", "a.b",
                           "Z", "z", "_", "[", "\xff",     "]",        "K",   "\xE2\x84\xAA"};
    constexpr size_t kParts = sizeof parts / sizeof parts[0];
    auto randomPath = [&](const std::string& under, int depth) {
        std::string path = under;
        for (int d = 0; d < depth; ++d)
            path += std::string(parts[rng() % kParts]) + parts[rng() % kParts] + "\\";
        return path;
    };
    auto line = [&](const std::string& path) {
        return path + " > " + std::to_string(rng() % 100000) +
               ":4096:0:0:" + std::to_string(rng() % 9) + ":0:0:0:0:0:0:0";
    };
    const std::string header = "2026/12/07 10:00:00=00:00:01";
    TempDir files;
    for (int round = 0; round < 400; ++round) {
        StringList lines;
        const int n = static_cast<int>(rng() % 200);
        for (int i = 0; i < n; ++i)
            lines.push_back(line(randomPath("C:\\", 1 + static_cast<int>(rng() % 4))));
        if (rng() % 4 == 0 && !lines.empty()) {
            // A line cut short, with or without part of its numbers.
            std::string& cut = lines[rng() % lines.size()];
            cut.resize(rng() % 2 ? cut.find(" > ") : cut.find(" > ") + 4);
        }
        if (round % 9 != 8) {
            FolderList sorted;
            sorted.Assign(lines);
            sorted.Sort();
            lines = sorted.CopyLines();
        }
        const int kind =
            round % 4; // a header, none, one that is no date, a header after a blank line
        if (kind == 0) lines.insert(lines.begin(), "2026/01/02 03:04:05=00:01:00");
        if (kind == 2) lines.insert(lines.begin(), "no date at all");
        if (kind == 3) lines.insert(lines.begin(), "");
        std::string eol = round % 7 == 3 ? "\n" : round % 11 == 5 ? "\r" : "\r\n";
        std::string text;
        for (const std::string& l : lines)
            text += l + eol;
        if (round % 13 == 6 && !text.empty())
            text.resize(text.size() - eol.size()); // no end after the last line

        // The measured folder: one in the cache, one under a path that
        // differs only by case, or one the cache does not know.
        std::string below;
        std::string_view path;
        if (!lines.empty() && rng() % 3 && PathOfLine(lines[rng() % lines.size()], path) &&
            path.size() > 3)
            below = std::string(path);
        else
            below = randomPath("C:\\", 1 + static_cast<int>(rng() % 2));
        if (rng() % 5 == 0)
            for (char& c : below)
                c = static_cast<char>(c >= 'a' && c <= 'z'   ? c - 32
                                      : c >= 'A' && c <= 'Z' ? c + 32
                                                             : c);
        StringList fresh{line(below)};
        const int added = static_cast<int>(rng() % 40);
        for (int i = 0; i < added; ++i)
            fresh.push_back(line(randomPath(below, 1 + static_cast<int>(rng() % 3))));
        if (rng() % 4 == 0 && fresh.size() > 1)
            fresh.push_back(fresh[rng() % fresh.size()]); // equal lines stay in order
        // The folder's old line, found by halving in a cache in order, is
        // the first a reading from the top finds.
        if (round % 9 != 8) {
            std::string_view first;
            for (size_t i = 0; i < lines.size() && first.empty(); ++i)
                if (!(i == 0 && IsHeaderLine(lines[i])) && PathOfLine(lines[i], path) &&
                    path == below)
                    first = lines[i];
            EXPECT_EQ(FindLineOfPath(text, below), first)
                << "round " << round << ", folder " << below;
            // And the subtree's lines are those a reading from the top
            // finds, when the first line is no folder's.
            if (kind != 1) {
                size_t at = 0;
                const StringList read = SubtreeLinesOf(
                    [&](char* b, size_t size) {
                        const size_t n = std::min(size, text.size() - at);
                        std::memcpy(b, text.data() + at, n);
                        at += n;
                        return static_cast<long>(n);
                    },
                    below);
                EXPECT_EQ(SubtreeLinesIn(text, below), read)
                    << "round " << round << ", folder " << below;
            }
        }
        // The cache is read in pieces: lines and CR LF pairs split between them.
        const size_t chunk = round % 3 == 0 ? 1 + rng() % 40 : size_t{1} << 20;
        ASSERT_EQ(Merged(text, below, header, fresh, chunk),
                  FullSortOfFolderMeasurement(text, below, header, fresh))
            << "round " << round << ", folder " << below << ", pieces of " << chunk;
        // The same merged into a file, which is read in place.
        if (round % 5 == 0) {
            const std::string name = files / ("cache" + std::to_string(round) + ".txt");
            ASSERT_TRUE(platform::ReplaceFile(name, text));
            StringList copy = fresh;
            ASSERT_TRUE(MergeIntoFile(name, below, header, copy));
            std::string merged;
            ASSERT_TRUE(platform::ReadWholeFile(name, merged));
            ASSERT_EQ(merged, FullSortOfFolderMeasurement(text, below, header, fresh))
                << "round " << round;
        }
    }
    EXPECT_EQ(Merged("", "C:\\a\\", header, {"C:\\a\\b\\ > 1", "C:\\a\\ > 2"}),
              header + "\r\nC:\\a\\ > 2\r\nC:\\a\\b\\ > 1\r\n");
}

// Lines that only contain the folder's path, or name it in another case,
// belong to other folders; kept lines go out byte for byte, however long.
TEST(CacheMergeTest, OnlyTheFolderAndBelowAreReplaced) {
    const std::string text = "2026/01/02 03:04:05=00:01:00\r\n"
                             "C:\\ > 9:9:0:0:0:0:0:0:0:0:0:0\r\n"
                             "C:\\a\\ > 1:1:0:0:0:0:0:0:0:0:0:0\r\n"
                             "C:\\A\\ > 2:2:0:0:0:0:0:0:0:0:0:0\r\n"
                             "C:\\a\\x\\ > 3:3:0:0:0:0:0:0:0:0:0:0\r\n"
                             "C:\\a\\x\\" +
                             std::string(300000, 'y') +
                             "\\ > 4:4:0:0:0:0:0:0:0:0:0:0\r\n"
                             "C:\\a\\x\\z\r\n"
                             "C:\\ab\\ > 5:5:0:0:0:0:0:0:0:0:0:0\r\n"
                             "C:\\q\\C:\\a\\ > 6:6:0:0:0:0:0:0:0:0:0:0\r\n";
    const std::string out = Merged(text, "C:\\a\\", "H", {"C:\\a\\ > 7:7:0:0:0:0:0:0:0:0:0:0"});
    EXPECT_EQ(out, "H\r\n"
                   "C:\\ > 9:9:0:0:0:0:0:0:0:0:0:0\r\n"
                   "C:\\A\\ > 2:2:0:0:0:0:0:0:0:0:0:0\r\n"
                   "C:\\a\\ > 7:7:0:0:0:0:0:0:0:0:0:0\r\n"
                   "C:\\a\\x\\z\r\n"
                   "C:\\ab\\ > 5:5:0:0:0:0:0:0:0:0:0:0\r\n"
                   "C:\\q\\C:\\a\\ > 6:6:0:0:0:0:0:0:0:0:0:0\r\n");
    // The lines a merge replaces, found in the text without splitting it
    // (the first line is the header, whatever it holds; a lone CR ends a line).
    // Read in small pieces, so that lines and line ends span them.
    auto reader = [](std::string_view t) {
        return [t, at = size_t{0}](char* b, size_t n) mutable {
            const size_t k = std::min({n, t.size() - at, size_t{7}});
            std::memcpy(b, t.data() + at, k);
            at += k;
            return static_cast<long>(k);
        };
    };
    const StringList replaced = SubtreeLinesOf(reader(text), "C:\\a\\");
    ASSERT_EQ(replaced.size(), 3u);
    EXPECT_EQ(replaced[0], "C:\\a\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(replaced[1], "C:\\a\\x\\ > 3:3:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(replaced[2].size(), 300000u + 34u);
    EXPECT_EQ(SubtreeLinesOf(reader("C:\\a\\ > 1\rC:\\a\\b\\ > 2\r\nC:\\a\\c\\ > 3\n"), "C:\\a\\"),
              (StringList{"C:\\a\\b\\ > 2", "C:\\a\\c\\ > 3"}));
    StringList lines;
    ASSERT_TRUE(ForEachLine(reader("a\r\n\nb\rc\r"), [&](std::string_view l) {
        lines.emplace_back(l);
        return true;
    }));
    EXPECT_EQ(lines, (StringList{"a", "", "b", "c"}))
        << "CR LF, LF and a lone CR each end one line; none after the last";
    // A writer that refuses ends the merge with false.
    StringList fresh{"C:\\a\\ > 1"};
    EXPECT_FALSE(
        MergeFolderLines(text, "C:\\a\\", "H", fresh, [](std::string_view) { return false; }));
}

namespace {
// The lookup as the list has always answered it: the first line, from line
// 0 on, whose path is the path byte for byte.
int ScanFor(const FolderList& list, std::string_view path) {
    std::string_view p;
    for (size_t i = 0; i < list.Size(); ++i) {
        PathOfLine(list.LineAt(i), p);
        if (p == path) return static_cast<int>(i);
    }
    return -1;
}

// Caches as they come: a header or none (or one that is no date), sorted or
// edited out of order, with damaged lines, the same folder twice, names that
// differ only in case, that sort differently by case (Kelvin sign, é/É),
// and names that begin with " > ".
struct CacheMaker {
    std::mt19937 rng;
    explicit CacheMaker(unsigned seed) : rng(seed) {}
    std::string Path(const std::string& under, int depth) {
        static const char* parts[] = {"a",   "A",    "b",    "B", "\xC3\xA9", "\xC3\x89",
                                      "a b", " > x", " > ",  "K", "k",        "\xE2\x84\xAA",
                                      "_",   "[",    "\xff", "z"};
        std::string path = under;
        for (int d = 0; d < depth; ++d)
            path += std::string(parts[rng() % 16]) + parts[rng() % 16] + "\\";
        return path;
    }
    std::string Line(const std::string& path) {
        return path + " > " + std::to_string(rng() % 100000) +
               ":4096:0:0:" + std::to_string(rng() % 9) + ":0:0:0:0:0:0:0";
    }
    StringList Lines(int round) {
        StringList lines;
        const int n = static_cast<int>(rng() % 150);
        for (int i = 0; i < n; ++i)
            lines.push_back(Line(Path("C:\\", 1 + static_cast<int>(rng() % 3))));
        if (!lines.empty() && rng() % 3 == 0) lines.push_back(lines[rng() % lines.size()]);
        if (!lines.empty() && rng() % 3 == 0) {
            std::string& cut = lines[rng() % lines.size()];
            cut.resize(rng() % 2 ? cut.rfind(" > ") : cut.rfind(" > ") + 4);
        }
        if (round % 7 != 6) {
            FolderList sorted;
            sorted.Assign(lines);
            sorted.Sort();
            lines = sorted.CopyLines();
        }
        const int kind = round % 4;
        if (kind == 0) lines.insert(lines.begin(), "2026/01/02 03:04:05=00:01:00");
        if (kind == 2) lines.insert(lines.begin(), "zz no date at all");
        return lines;
    }
};

void ExpectLookupsAsAScan(FolderList& list, CacheMaker& make, const std::string& where) {
    std::vector<std::string> paths;
    std::string_view p;
    for (size_t i = 0; i < list.Size(); i += 1 + make.rng() % 6) {
        PathOfLine(list.LineAt(i), p);
        paths.emplace_back(p);
        std::string other(p);
        for (char& c : other)
            c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c)
                                                                              : std::toupper(c));
        paths.push_back(other);
        paths.emplace_back(p.substr(0, p.size() / 2));
    }
    for (int i = 0; i < 8; ++i)
        paths.push_back(make.Path("C:\\", 1 + static_cast<int>(make.rng() % 3)));
    paths.push_back("");
    for (const std::string& path : paths)
        ASSERT_EQ(list.IndexOfPath(path), ScanFor(list, path)) << where << ": " << path;
}
} // namespace

// The list answers every lookup as a scan from line 0 would, whichever way
// it finds the line, and goes on doing so through every change.
TEST(FolderListTest, LookupsAnswerAsAScanFromTheTop) {
    CacheMaker make(31);
    for (int round = 0; round < 150; ++round) {
        std::string text;
        for (const std::string& l : make.Lines(round))
            text += l + "\r\n";
        FolderList list;
        list.SetText(text);
        const std::string where = "round " + std::to_string(round);
        ExpectLookupsAsAScan(list, make, where + " read");
        if (list.Count() > 2) {
            list.Delete(static_cast<int>(make.rng() % list.Size()));
            ExpectLookupsAsAScan(list, make, where + " after a delete");
            list.PutLine(static_cast<int>(make.rng() % list.Size()),
                         make.Line(make.Path("C:\\", 1)));
            ExpectLookupsAsAScan(list, make, where + " after a line replaced");
        }
        list.Append(make.Line(make.Path("C:\\", 2)));
        list.InsertFirst(round % 2 ? "2026/12/07 10:00:00=00:00:01" : make.Line("C:\\a\\"));
        ExpectLookupsAsAScan(list, make, where + " after lines added");
        const StringList before = list.CopyLines();
        const auto taken = list.TakeOut(LinesOfFolder(list, make.Path("C:\\", 1)));
        ExpectLookupsAsAScan(list, make, where + " after a folder taken out");
        list.Restore(taken);
        ASSERT_EQ(list.CopyLines(), before) << where;
        ExpectLookupsAsAScan(list, make, where + " put back");
    }
    // Many folders named " > ..." under one folder make the run of lines
    // that begin with its path long; the first match is still the one.
    FolderList list;
    list.Append("C:\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
    list.Append("C:\\a\\ > 2:2:0:0:0:0:0:0:0:0:0:0");
    for (int i = 0; i < 500; ++i)
        list.Append("C:\\a\\ > " + std::to_string(i) + "\\ > 3:3:0:0:0:0:0:0:0:0:0:0");
    list.Append("C:\\a\\ > 9:9:0:0:0:0:0:0:0:0:0:0");
    list.Sort();
    list.InsertFirst("2026/12/07 10:00:00=00:00:01");
    EXPECT_EQ(list.IndexOfPath("C:\\a\\"), ScanFor(list, "C:\\a\\"));
    EXPECT_EQ(list.FindPath("C:\\a\\")->TreeBytes, 2);
    EXPECT_EQ(list.IndexOfPath("C:\\a\\ > 499\\"), ScanFor(list, "C:\\a\\ > 499\\"));
}

// Reading keeps every line as the string list did, line ends of any system,
// blank lines, no end after the last line, a line longer than a length word
// holds; saving writes each line with CR LF.
TEST_F(CacheTest, ReadIntoOneBufferLineForLine) {
    const std::string longLine =
        "C:\\" + std::string((size_t{1} << 24) + 5, 'x') + "\\ > 1:2:0:0:0:0:0:0:0:0:0:0";
    const std::string text =
        "2026/01/02 03:04:05=00:01:00\r\nC:\\ > 1\n\r\nC:\\a\\ > 2\rC:\\b\\\n\r" + longLine +
        "\r\nC:\\c\\ > 3";
    const std::string file = dir / "cache.txt";
    ASSERT_TRUE(platform::ReplaceFile(file, text));
    FolderList list;
    ASSERT_TRUE(list.Load(file));
    StringList expected;
    TextToLines(expected, text);
    EXPECT_EQ(list.CopyLines(), expected);
    EXPECT_EQ(list.IndexOfPath(longLine.substr(0, longLine.rfind(" > "))), 6);
    EXPECT_EQ(list.FindPath("C:\\c\\")->TreeBytes, 3);
    size_t textBytes = 0;
    for (const std::string& l : expected)
        textBytes += l.size();
    EXPECT_EQ(list.TextBytes(), textBytes) << "no line ends are held";
    const std::string copy = dir / "copy.txt";
    ASSERT_TRUE(list.Save(copy));
    std::string written;
    ASSERT_TRUE(platform::ReadWholeFile(copy, written));
    std::string crlf;
    for (const std::string& l : expected)
        crlf += l + "\r\n";
    EXPECT_TRUE(written == crlf);
    // A copy shares the text until one of them changes.
    FolderList other = list;
    other.PutLine(1, "C:\\ > 5");
    EXPECT_EQ(list.FindPath("C:\\")->TreeBytes, 1);
    EXPECT_EQ(other.FindPath("C:\\")->TreeBytes, 5);
    EXPECT_FALSE(list.Load(dir / "missing.txt"));
    EXPECT_EQ(list.Count(), 0);
}

// A folder measurement takes the folder's lines out of the run they lie in
// and merges its new ones into it: the list and the file it saves are line
// for line what sorting the whole cache again gives.
TEST(FolderListTest, AFolderMeasurementReplacesItsRunAsTheFullSortWould) {
    CacheMaker make(7);
    const std::string header = "2026/12/07 10:00:00=00:00:01";
    for (int round = 0; round < 200; ++round) {
        const StringList lines = make.Lines(round);
        std::string text;
        for (const std::string& l : lines)
            text += l + "\r\n";
        std::string below;
        std::string_view path;
        if (!lines.empty() && make.rng() % 3 &&
            PathOfLine(lines[make.rng() % lines.size()], path) && path.size() > 3 &&
            path.back() == '\\')
            below = std::string(path);
        else
            below = make.Path("C:\\", 1 + static_cast<int>(make.rng() % 2));
        if (make.rng() % 5 == 0)
            for (char& c : below)
                c = static_cast<char>(std::isupper(static_cast<unsigned char>(c))
                                          ? std::tolower(c)
                                          : std::toupper(c));
        StringList fresh{make.Line(below)};
        const int added = static_cast<int>(make.rng() % 30);
        for (int i = 0; i < added; ++i)
            fresh.push_back(make.Line(make.Path(below, 1 + static_cast<int>(make.rng() % 2))));

        FolderList list;
        list.SetText(text);
        list.IndexOfPath("C:\\"); // as the window does on opening
        list.TakeOut(LinesOfFolder(list, below));
        const size_t firstNew = list.Size();
        for (const std::string& l : fresh)
            list.Append(l);
        list.SortMerged(firstNew);
        list.InsertFirst(header);
        std::string out;
        for (const std::string& l : list.CopyLines())
            out += l + "\r\n";
        ASSERT_EQ(out, FullSortOfFolderMeasurement(text, below, header, fresh))
            << "round " << round << ", folder " << below;
        ExpectLookupsAsAScan(list, make, "round " + std::to_string(round) + " measured");
    }
}
