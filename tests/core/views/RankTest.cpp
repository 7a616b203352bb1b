#include "core/views/Rank.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "support/ResetGlobalState.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace nrvs;
using nrvs::test::TempDir;

namespace {

// A folder line: path, sizes, counts, attributes (archive, hidden, read-only,
// system).
struct Folder {
    std::string path;
    double size = 100, occupied = 4096, ownSize = 10, ownOccupied = 4096;
    int ownFiles = 1, treeFiles = 1, ownFolders = 0, treeFolders = 0;
    int archive = 0, hidden = 0, readOnly = 0, system = 0;
};

std::string Line(const Folder& f) {
    FolderRecord r;
    r.Path = f.path;
    r.TreeBytes = f.size;
    r.TreeOccupied = f.occupied;
    r.OwnBytes = f.ownSize;
    r.OwnOccupied = f.ownOccupied;
    r.OwnFiles = f.ownFiles;
    r.TreeFiles = f.treeFiles;
    r.OwnFolders = f.ownFolders;
    r.TreeFolders = f.treeFolders;
    r.Archive = f.archive;
    r.Hidden = f.hidden;
    r.ReadOnly = f.readOnly;
    r.System = f.system;
    return FormatRecord(r);
}

// Header, root, then the folders in the order given (callers give the cache
// order).
StringList Drive(const std::vector<Folder>& folders) {
    StringList l{"2026/12/07 10:00:00=00:00:05", Line({"C:\\", 1e9, 1e9})};
    for (const auto& f : folders)
        l.push_back(Line(f));
    return l;
}

struct Messages : RankHooks {
    std::vector<std::string> seen;
    void Message(std::string_view text) override { seen.emplace_back(text); }
};

std::vector<std::string> Ranked(const StringList& lines, const RankOptions& o) {
    Messages m;
    RankList r;
    r.Compute(lines, o, m);
    std::vector<std::string> out;
    for (int k = 0; k < r.Count(); ++k)
        out.push_back(r.RecordAt(k).Path);
    return out;
}

RankOptions By(int key, std::string filters = "00000") {
    RankOptions o;
    o.SortKey = key;
    o.Filters = std::move(filters);
    return o;
}

using Paths = std::vector<std::string>;

} // namespace

TEST(RankTest, RowsAreNumberedAtTheWidthOfTheRowCount) {
    std::vector<Folder> many;
    for (int i = 0; i < 25; ++i)
        many.push_back({FormatText("C:\\f%02d\\", i), 1000.0 + i, 4096.0 * (i + 1)});
    StringList lines = Drive(many);
    RankList r;
    Messages m;
    r.Compute(lines, By(1), m);
    ASSERT_EQ(r.Count(), 25);

    int n = RankRowCount("Top 10");
    ASSERT_EQ(n, 10);
    EXPECT_EQ(RankCaption(0, n, r.RecordAt(0).Path), "01 C:\\f24\\");
    EXPECT_EQ(RankCaption(9, n, r.RecordAt(9).Path), "10 C:\\f15\\");
    EXPECT_EQ(RankCaption(0, RankRowCount("Top 100"), "C:\\a\\"), "001 C:\\a\\");
    EXPECT_EQ(RankCaption(6, RankRowCount("Top 100"), "C:\\a\\"), "007 C:\\a\\");
    EXPECT_EQ(RankCaption(4, RankRowCount("Top 5"), "C:\\a\\"), "5 C:\\a\\");
    // No item selected: one row.
    EXPECT_EQ(RankRowCount(""), 1);
    EXPECT_EQ(RankRowCount("Top x"), 1);

    FolderRecord top = r.RecordAt(0);
    auto cells = RankCells(top, 1);
    EXPECT_EQ(cells[0], "1,024 B");
    EXPECT_EQ(cells[1], "102,400 B");
    EXPECT_EQ(cells[2], "101,376 B");
    EXPECT_EQ(cells[5], "1");
    top.TreeFolders = 1234567;
    EXPECT_EQ(RankCells(top, 1)[8], "1,234,567");
    // Sparse files: less occupied than held, a negative gap, not 未計測.
    top.TreeBytes = 10485760;
    top.TreeOccupied = 10240;
    EXPECT_EQ(RankCells(top, 0)[2], "-9.99 MB");
    EXPECT_EQ(r.RecordAt(25).Path, "");
}

TEST(RankTest, EveryKeyRanksLargestFirst) {
    // Each folder is the largest by exactly one measure.
    StringList lines = Drive({
        {"C:\\a\\", 900, 1000, 1, 1, 1, 1, 1, 1},
        {"C:\\b\\", 1000, 8192 + 1000, 1, 1, 1, 1, 1, 1},
        {"C:\\c\\", 1, 1, 500, 1, 1, 1, 1, 1},
        {"C:\\d\\", 1, 1, 1, 600, 1, 1, 1, 1},
        {"C:\\e\\", 1, 1, 1, 1, 70, 1, 1, 1},
        {"C:\\f\\", 1, 1, 1, 1, 1, 80, 1, 1},
        {"C:\\g\\", 1, 1, 1, 1, 1, 1, 90, 1},
        {"C:\\h\\", 1, 1, 1, 1, 1, 1, 1, 2147483647},
    });
    lines.push_back(Line({"C:\\i\\", 2000, 2000, 1, 1, 1, 1, 1, -1}));
    const char* first[] = {"C:\\i\\", "C:\\b\\", "C:\\b\\", "C:\\c\\", "C:\\d\\",
                           "C:\\e\\", "C:\\f\\", "C:\\g\\", "C:\\h\\"};
    for (int key = 0; key < kRankKeys; ++key)
        EXPECT_EQ(Ranked(lines, By(key))[0], first[key]) << key;
    // Counts far apart must not wrap: the largest count first, -1 last.
    EXPECT_EQ(Ranked(lines, By(8)).back(), "C:\\i\\");
    // No key: every pair equal, the folder order stays.
    Paths none = Ranked(lines, By(-1));
    EXPECT_EQ(none.front(), "C:\\a\\");
    EXPECT_EQ(none.back(), "C:\\i\\");

    // The cluster gap of a small file on big clusters beats a big file's.
    StringList gap = Drive({{"C:\\big\\", 100000, 102400}, {"C:\\small\\", 1000, 8192}});
    EXPECT_EQ(Ranked(gap, By(2)), (Paths{"C:\\small\\", "C:\\big\\"}));
    EXPECT_EQ(Ranked(gap, By(0)), (Paths{"C:\\big\\", "C:\\small\\"}));
}

TEST(RankTest, TooFewLinesAndDamagedLines) {
    EXPECT_TRUE(Ranked({}, By(1)).empty());
    EXPECT_TRUE(Ranked(Drive({}), By(1)).empty());
    // Header and root are left out whatever they hold.
    EXPECT_EQ(Ranked(Drive({{"C:\\a\\"}}), By(1)), Paths{"C:\\a\\"});

    StringList lines = Drive({{"C:\\a\\", 10, 4096}});
    lines.push_back("junk without separator");
    lines.push_back("");
    lines.push_back("C:\\b\\ > x:y:z");
    lines.push_back("C:\\c\\ > 50:8192:1:4096:2");
    lines.push_back(std::string(100000, 'x') + " > 1:2");
    // The default filters drop what has no files of its own, which is what a
    // damaged line reads as; the good lines rank in order.
    EXPECT_EQ(Ranked(lines, By(1, "01111")), (Paths{"C:\\c\\", "C:\\a\\"}));
    // Without filters the damaged lines rank with zeros, after the good ones.
    Paths all = Ranked(lines, By(1));
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0], "C:\\c\\");
    EXPECT_EQ(all[1], "C:\\a\\");

    // The keys the ranking reads are those of the record parser, for every
    // form a number can take in a damaged or hand-made line.
    StringList odd = Drive({});
    for (const char* numbers :
         {"+5:-3:1E15:1.5:0012:-0:+7:99999999999:1:1:0:2", "1234567890123456:7:::::::::1",
          "12345678901234567890:1e400:-1e3:.5:2147483647:-2147483648:2147483648:x:0:0:0:0",
          "1:2:3:4:5:6:7:8:9:10:11:12:13:14", ":::::", "5:4 > 3:2:1:1", "  1:2", "1.0E2:0x10"})
        odd.push_back(std::string("C:\\odd > x\\ > ") + numbers);
    for (int key = 0; key < kRankKeys; ++key) {
        Messages m;
        RankList r;
        r.Compute(odd, By(key), m);
        ASSERT_EQ(r.Count(), static_cast<int>(odd.size()) - 2);
        for (const auto& e : r.Entries()) {
            const FolderRecord rec = ParseRecord(odd[e.Line]);
            EXPECT_EQ(e.Key, RankKey(rec, key)) << key << " " << odd[e.Line];
            EXPECT_EQ(odd[e.Line].substr(0, e.PathLength), rec.Path);
        }
    }

    // The numbers read for ranking are those the record parser reads.
    std::string_view path;
    RecordNumbers n;
    for (const auto& line : lines) {
        FolderRecord r = ParseRecord(line);
        ParseNumbers(line, path, n);
        EXPECT_EQ(path, r.Path);
        EXPECT_EQ(n.Floats[0], r.TreeBytes);
        EXPECT_EQ(n.Ints[0], r.OwnFiles);
        EXPECT_EQ(n.Ints[7], r.System);
    }
}

TEST(RankTest, RandomLinesReadAsTheRecordParserReadsThem) {
    // Lines made of the characters that matter to splitting and numbers, so
    // that separators, colons and signs fall everywhere.
    std::mt19937 rng(7);
    const std::string wide = " >:0123456789-+E.\\a", narrow = " >:1";
    StringList lines = Drive({});
    for (int i = 0; i < 4000; ++i) {
        const std::string& alphabet = i % 2 ? wide : narrow;
        std::string line;
        for (int n = static_cast<int>(rng() % 40); n > 0; --n)
            line += alphabet[rng() % alphabet.size()];
        if (rng() % 2)
            line += " > " + std::to_string(rng() % 100000) + ":" + std::to_string(rng() % 9) +
                    ":1:1:" + std::to_string(rng() % 3);
        lines.push_back(line);
    }
    for (int key = -1; key < kRankKeys; ++key) {
        Messages m;
        RankList r;
        r.Compute(lines, By(key), m);
        ASSERT_EQ(r.Count(), static_cast<int>(lines.size()) - 2);
        for (const auto& e : r.Entries()) {
            const FolderRecord rec = ParseRecord(lines[e.Line]);
            ASSERT_EQ(e.Key, RankKey(rec, key)) << lines[e.Line];
            ASSERT_EQ(lines[e.Line].substr(0, e.PathLength), rec.Path) << lines[e.Line];
        }
        // The filters see the same numbers: with "no own files" on, what
        // stays is exactly what has own files by the record parser.
        RankList f;
        f.Compute(lines, By(key, "00001"), m);
        int withFiles = 0;
        for (size_t i = 2; i < lines.size(); ++i)
            withFiles += ParseRecord(lines[i]).OwnFiles != 0;
        ASSERT_EQ(f.Count(), withFiles);
    }
}

// The command-line tool asks only for the first places: they are those of
// the whole ranking, ties (many equal sizes) in the folders' order, and a
// count beyond the ranking gives all of it.
TEST(RankTest, FirstPlacesAreThoseOfTheWholeRanking) {
    std::mt19937 rng(11);
    std::vector<Folder> folders;
    for (int i = 0; i < 3000; ++i) {
        Folder f;
        f.path = "C:\\f" + std::to_string(i) + "\\";
        f.size = static_cast<double>(rng() % 50); // many ties
        f.occupied = static_cast<double>(rng() % 7) * 4096;
        f.ownFiles = static_cast<int>(rng() % 3);
        f.hidden = rng() % 10 == 0;
        folders.push_back(f);
    }
    const StringList lines = Drive(folders);
    FolderList list;
    list.Assign(lines);
    for (int key = 0; key < kRankKeys; ++key)
        for (const std::string filters : {"00000", "01001"}) {
            Messages m;
            RankList all, first;
            all.Compute(list, By(key, filters), m);
            for (size_t top : {size_t{1}, size_t{10}, size_t{100}, size_t{5000}}) {
                first.Compute(list, By(key, filters), m, top);
                ASSERT_EQ(first.Count(), std::min<int>(static_cast<int>(top), all.Count()));
                for (int k = 0; k < first.Count(); ++k)
                    ASSERT_EQ(first.Entries()[static_cast<size_t>(k)].Line,
                              all.Entries()[static_cast<size_t>(k)].Line)
                        << "key " << key << " place " << k;
            }
        }
}

// The ranking of random caches against the steps written out plainly:
// every line read whole by the record parser, each removed subtree found by
// comparing every remaining path with every removed folder. The caches hold
// what makes the quick reading and the shared-start lookups go wrong when
// they do: folders deeper and shallower than each other in any order, the
// same path twice, case twins, blanks that sort a subfolder before its
// parent, paths without a final backslash, figures that are no plain digits.
TEST(RankTest, RandomCachesRankAsThePlainStepsDo) {
    std::mt19937 rng(23);
    const std::vector<std::string> names = {"a",   "A", "a b", "ab",   " 1",    "a>b",
                                            "x:y", "Ü", "ü",   "日本", "a > b", ""};
    const std::vector<std::string> odd = {"0",   "1", "-1", "",  "1E15", "12345678901234567",
                                          "2.5", "x", " 3", "1>"};
    auto number = [&](int scale) {
        return rng() % 8 == 0 ? odd[rng() % odd.size()]
                              : std::to_string(rng() % static_cast<unsigned>(scale));
    };
    for (int round = 0; round < 40; ++round) {
        std::vector<std::string> paths = {"C:\\"};
        for (int i = 0; i < 300; ++i) {
            std::string p = paths[rng() % paths.size()];
            if (rng() % 20 == 0) p.pop_back(); // no final backslash
            p += names[rng() % names.size()];
            if (rng() % 20 != 0) p += "\\";
            paths.push_back(p);
        }
        std::sort(paths.begin() + 1, paths.end(), [](const std::string& a, const std::string& b) {
            return platform::LessIgnoreCase(a, b);
        });
        // A few moved out of order, as a cache edited by hand.
        for (int k = 0; k < round % 4; ++k)
            std::swap(paths[1 + rng() % 299], paths[1 + rng() % 299]);
        StringList lines = {"2026/12/07 10:00:00=00:00:05", "C:\\ > 1:1:1:1:1:1:1:1:0:0:0:0"};
        for (size_t i = 1; i < paths.size(); ++i) {
            std::string line = paths[i];
            if (rng() % 30 == 0) {
                lines.push_back(line); // no figures at all
                continue;
            }
            line += " > ";
            const int fields = rng() % 15 == 0 ? 9 + static_cast<int>(rng() % 6) : 12;
            for (int f = 0; f < fields; ++f) {
                if (f) line += ':';
                line += f < 4   ? number(1 << 20)
                        : f < 8 ? number(6)
                                : (rng() % 12 == 0 ? std::string("1") : number(1));
            }
            lines.push_back(line);
        }
        RankOptions o;
        o.SortKey = static_cast<int>(rng() % 10);
        o.Filters.clear();
        for (int k = 0; k < 5; ++k)
            o.Filters += rng() % 2 ? '1' : '0';
        for (int k = static_cast<int>(rng() % 4); k > 0; --k)
            o.Exclusions.push_back({paths[rng() % paths.size()], rng() % 2 == 0});

        // The plain steps.
        std::vector<std::pair<std::string, bool>> removed; // path, with its subfolders
        std::vector<size_t> kept;
        for (size_t i = 2; i < lines.size(); ++i) {
            const FolderRecord r = ParseRecord(lines[i]);
            int mode = 0;
            const RankExclusion* e = nullptr;
            for (const auto& x : o.Exclusions)
                if (platform::CompareTextIgnoreCase(x.Path, r.Path) == 0) {
                    e = &x;
                    break;
                }
            const int attributes[4] = {r.Archive, r.Hidden, r.ReadOnly, r.System};
            bool attribute = false;
            for (size_t k = 0; k < 4; ++k)
                attribute |= o.Filters[k] == '1' && attributes[k] != 0;
            if (e)
                mode = e->WithSubfolders ? 2 : 1;
            else if (attribute)
                mode = 2;
            else if (o.Filters[4] == '1' && r.OwnFiles == 0)
                mode = 1;
            if (mode == 2) removed.push_back({r.Path, true});
            if (mode == 0) kept.push_back(i);
        }
        std::vector<std::pair<double, size_t>> expected;
        for (size_t i : kept) {
            const FolderRecord r = ParseRecord(lines[i]);
            bool gone = false;
            // A folder is below a removed one whose path begins its own up
            // to a backslash; a damaged path without its final backslash
            // takes only itself.
            for (const auto& [root, sub] : removed)
                gone |= !root.empty() && r.Path.compare(0, root.size(), root) == 0 &&
                        (root.back() == '\\' || root.size() == r.Path.size());
            if (!gone) expected.push_back({RankKey(r, o.SortKey), i});
        }
        std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });

        FolderList list;
        list.Assign(lines);
        Messages m;
        for (size_t top : {size_t{0}, size_t{7}}) {
            RankList r;
            r.Compute(list, o, m, top);
            const size_t want = top ? std::min(top, expected.size()) : expected.size();
            ASSERT_EQ(r.Entries().size(), want) << "round " << round;
            for (size_t k = 0; k < want; ++k) {
                ASSERT_EQ(r.Entries()[k].Line, expected[k].second)
                    << "round " << round << " place " << k;
                ASSERT_EQ(r.Entries()[k].Key, expected[k].first) << lines[expected[k].second];
            }
        }
    }
}

TEST(RankTest, AttributeFilters) {
    StringList lines = Drive({
        {"C:\\.hid\\", 100, 4096, 10, 4096, 1, 3, 1, 2, 0, 1},
        {"C:\\.hid\\plain\\", 100, 4096, 10, 4096, 1, 2, 1, 1},
        {"C:\\.hid\\plain\\deep\\", 100, 4096},
        {"C:\\.hidden2\\", 100, 4096},
        {"C:\\arc\\", 100, 4096, 10, 4096, 1, 1, 0, 0, 1},
        {"C:\\empty\\", 300, 8192, 0, 0, 0, 2, 1, 1},
        {"C:\\empty\\full\\", 300, 8192, 10, 4096, 2, 2},
        {"C:\\ro\\", 100, 4096, 10, 4096, 1, 1, 0, 0, 0, 0, 1},
        {"C:\\ro\\sub\\", 100, 4096},
        {"C:\\sys\\", 100, 4096, 10, 4096, 1, 1, 0, 0, 0, 0, 0, 1},
    });
    auto sorted = [&](const std::string& filters) {
        Paths p = Ranked(lines, By(-1, filters));
        return p;
    };
    // Hidden: the folder and everything below it, hidden or not; a sibling
    // whose name merely begins the same stays.
    EXPECT_EQ(sorted("01000"),
              (Paths{"C:\\.hidden2\\", "C:\\arc\\", "C:\\empty\\", "C:\\empty\\full\\", "C:\\ro\\",
                     "C:\\ro\\sub\\", "C:\\sys\\"}));
    // No own files: the folder alone; its subfolder with files stays.
    EXPECT_EQ(sorted("00001").size(), 9u);
    for (const auto& p : sorted("00001"))
        EXPECT_NE(p, "C:\\empty\\");
    EXPECT_EQ(sorted("00001")[5], "C:\\empty\\full\\");
    EXPECT_EQ(sorted("10000").size(), 9u);
    EXPECT_EQ(sorted("00100"),
              (Paths{"C:\\.hid\\", "C:\\.hid\\plain\\", "C:\\.hid\\plain\\deep\\", "C:\\.hidden2\\",
                     "C:\\arc\\", "C:\\empty\\", "C:\\empty\\full\\", "C:\\sys\\"}));
    EXPECT_EQ(sorted("00010").size(), 9u);
    // The defaults: hidden, read-only, system and no own files.
    EXPECT_EQ(sorted("01111"), (Paths{"C:\\.hidden2\\", "C:\\arc\\", "C:\\empty\\full\\"}));
    // Any character but "0" turns a filter on; a short string leaves the rest off.
    EXPECT_EQ(sorted("0x"), sorted("01000"));
}

TEST(RankTest, SubtreesGoWhereverTheirLinesSort) {
    // On a case-sensitive disk "Data" and "data" are two folders; sorted
    // without regard to case their subfolders interleave, and a subfolder
    // whose name begins with a blank and a digit sorts before its parent.
    StringList lines = Drive({
        {"C:\\Data\\ 1\\"},
        {"C:\\Data\\", 100, 4096, 10, 4096, 1, 1, 2, 2, 0, 1},
        {"C:\\data\\"},
        {"C:\\data\\keep\\"},
        {"C:\\Data\\Old\\"},
        {"C:\\Data\\Old\\x\\"},
    });
    EXPECT_EQ(Ranked(lines, By(-1, "01000")), (Paths{"C:\\data\\", "C:\\data\\keep\\"}));
}

TEST(RankTest, Exclusions) {
    StringList lines = Drive({
        {"C:\\Data\\"},
        {"C:\\Data\\Old\\"},
        {"C:\\Data\\Old\\Older\\"},
        {"C:\\Database\\"},
        {"C:\\Ｄａｔａ\\"},
        {"C:\\Ünï\\"},
    });
    RankOptions o = By(-1);
    o.Exclusions = {{"C:\\Data\\", false}};
    EXPECT_EQ(Ranked(lines, o), (Paths{"C:\\Data\\Old\\", "C:\\Data\\Old\\Older\\",
                                       "C:\\Database\\", "C:\\Ｄａｔａ\\", "C:\\Ünï\\"}));
    o.Exclusions = {{"C:\\Data\\", true}};
    EXPECT_EQ(Ranked(lines, o), (Paths{"C:\\Database\\", "C:\\Ｄａｔａ\\", "C:\\Ünï\\"}));
    // Letter case does not matter, beyond ASCII too.
    o.Exclusions = {{"c:\\DATA\\old\\", true}, {"C:\\ｄＡＴＡ\\", false}, {"C:\\üNÏ\\", false}};
    EXPECT_EQ(Ranked(lines, o), (Paths{"C:\\Data\\", "C:\\Database\\"}));
    // A path that is not in the data changes nothing.
    o.Exclusions = {{"C:\\Gone\\", true}, {"", false}, {"C:\\Data", true}};
    EXPECT_EQ(Ranked(lines, o).size(), 6u);
    // A removed subtree takes its subfolders whatever their own entries say.
    o.Exclusions = {{"C:\\Data\\", true}, {"C:\\Data\\Old\\", false}};
    EXPECT_EQ(Ranked(lines, o).size(), 3u);
    // The first matching entry decides.
    o.Exclusions = {{"C:\\DATA\\", false}, {"C:\\data\\", true}};
    EXPECT_EQ(Ranked(lines, o).size(), 5u);

    // An entry takes precedence over the attribute filters: a hidden folder
    // excluded alone leaves its visible subfolders in the ranking.
    StringList hidden = Drive({{"C:\\.h\\", 1, 1, 1, 1, 1, 1, 1, 1, 0, 1}, {"C:\\.h\\v\\"}});
    RankOptions h = By(1, "01111");
    EXPECT_TRUE(Ranked(hidden, h).empty());
    h.Exclusions = {{"C:\\.H\\", false}};
    EXPECT_EQ(Ranked(hidden, h), Paths{"C:\\.h\\v\\"});
}

TEST(RankTest, MessageLineFollowsTheComparisons) {
    std::vector<Folder> many;
    for (int i = 0; i < 500; ++i)
        many.push_back({FormatText("C:\\f%03d\\", i), double((i * 7919) % 500)});
    StringList lines = Drive(many);
    Messages m;
    RankList r;
    r.Compute(lines, By(0), m);
    ASSERT_GE(m.seen.size(), 2u);
    EXPECT_EQ(m.seen[0], "ランク外のフォルダを調整");
    for (size_t k = 1; k < m.seen.size(); ++k)
        EXPECT_EQ(m.seen[k].substr(0, 4), "C:\\f");
    // A sort of 500 makes thousands of comparisons: one message per hundred.
    EXPECT_GT(m.seen.size(), 20u);
    EXPECT_LT(m.seen.size(), 500u);
    r.Clear();
    EXPECT_EQ(r.Count(), 0);
}

namespace {
class RankFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        test::ResetGlobalState();
        platform::SetExecutablePath(dir / "norvessa");
        LoadParameters({});
    }
    void TearDown() override { platform::SetExecutablePath(""); }
};

void ExpectDefaults(const RankSettings& s) {
    EXPECT_EQ(s.Columns, "111110000");
    EXPECT_EQ(s.NameWidth, 240);
    EXPECT_EQ(s.SortIndex, 1);
    EXPECT_EQ(s.CountIndex, 1);
    EXPECT_EQ(s.Filters, "01111");
}
} // namespace

TEST_F(RankFileTest, DefaultsRoundTripAndOneFilePerDrive) {
    EXPECT_EQ(RankFileName('C'), dir / "norvessa_C.rks");
    RankSettings first = LoadRankSettings(RankFileName('C'));
    ExpectDefaults(first);
    EXPECT_TRUE(first.Exclusions.empty());

    // With no exclusions the file ends after the filters.
    ASSERT_EQ(SaveRankSettings(first, RankFileName('C')), 1);
    EXPECT_EQ(dir.Read("norvessa_C.rks"), "111110000\r\n240\r\n1\r\n1\r\n01111\r\n");

    RankSettings s;
    s.Columns = "001000001";
    s.NameWidth = 333;
    s.SortIndex = 8;
    s.CountIndex = 14;
    s.Filters = "10000";
    s.Exclusions = {{"D:\\a=b\\", true}, {"D:\\c\\", false}};
    ASSERT_EQ(SaveRankSettings(s, RankFileName('D')), 1);
    EXPECT_EQ(
        dir.Read("norvessa_D.rks"),
        "001000001\r\n333\r\n8\r\n14\r\n10000\r\n\r\n\r\n\r\n\r\n\r\n1=D:\\a=b\\\r\n0=D:\\c\\\r\n");
    RankSettings back = LoadRankSettings(RankFileName('D'));
    EXPECT_EQ(back.Columns, s.Columns);
    EXPECT_EQ(back.NameWidth, 333);
    EXPECT_EQ(back.SortIndex, 8);
    EXPECT_EQ(back.CountIndex, 14);
    EXPECT_EQ(back.Filters, "10000");
    ASSERT_EQ(back.Exclusions.size(), 2u);
    EXPECT_EQ(back.Exclusions[0].Path, "D:\\a=b\\");
    EXPECT_TRUE(back.Exclusions[0].WithSubfolders);
    EXPECT_FALSE(back.Exclusions[1].WithSubfolders);
    // C: kept its own file.
    ExpectDefaults(LoadRankSettings(RankFileName('C')));

    // An executable with an extension loses it: NRVS.exe gives NRVS_C.rks.
    platform::SetExecutablePath(dir / "NRVS.exe");
    LoadParameters({});
    EXPECT_EQ(RankFileName('C'), dir / "NRVS_C.rks");
}

TEST_F(RankFileTest, DamagedFilesOpenWithDefaults) {
    // Junk everywhere.
    dir.Write("norvessa_C.rks", "junk\r\nwide\r\n1x\r\n\r\n\r\n");
    RankSettings junk = LoadRankSettings(RankFileName('C'));
    EXPECT_EQ(junk.Columns, "junk10000"); // any character but "0" is a pressed button
    EXPECT_EQ(junk.NameWidth, 240);
    EXPECT_EQ(junk.SortIndex, 1);
    EXPECT_EQ(junk.CountIndex, 1);
    EXPECT_EQ(junk.Filters, "01111");

    // Short state strings keep the default for the missing positions;
    // indexes the lists do not have and absurd widths take the defaults.
    dir.Write("norvessa_C.rks", "0\r\n-5\r\n9\r\n15\r\n1\r\n");
    RankSettings shortOnes = LoadRankSettings(RankFileName('C'));
    EXPECT_EQ(shortOnes.Columns, "011110000");
    EXPECT_EQ(shortOnes.Filters, "11111");
    EXPECT_EQ(shortOnes.NameWidth, 240);
    EXPECT_EQ(shortOnes.SortIndex, 1);
    EXPECT_EQ(shortOnes.CountIndex, 1);
    dir.Write("norvessa_C.rks", "111111111\r\n99999999999\r\n-1\r\n-1\r\n");
    RankSettings negative = LoadRankSettings(RankFileName('C'));
    EXPECT_EQ(negative.NameWidth, 240);
    EXPECT_EQ(negative.SortIndex, 1);
    EXPECT_EQ(negative.CountIndex, 1);

    // Exclusion lines: no "=" is an empty path, the mark is a number (0 when
    // not), empty lines count, a 1 MB line neither crashes nor spills.
    std::string huge(1 << 20, 'y');
    dir.Write("norvessa_C.rks",
              "111110000\n240\n1\n1\n01111\n\n\n\n\n\nnoequals\n2=C:\\two\\\nx=C:\\x\\\n\n0=" +
                  huge + "\n" + huge + "\r\n");
    RankSettings ex = LoadRankSettings(RankFileName('C'));
    ExpectDefaults(ex);
    ASSERT_EQ(ex.Exclusions.size(), 6u);
    EXPECT_EQ(ex.Exclusions[0].Path, "");
    EXPECT_EQ(ex.Exclusions[1].Path, "C:\\two\\");
    EXPECT_TRUE(ex.Exclusions[1].WithSubfolders);
    EXPECT_FALSE(ex.Exclusions[2].WithSubfolders);
    EXPECT_EQ(ex.Exclusions[3].Path, "");
    EXPECT_EQ(ex.Exclusions[4].Path.size(), huge.size());
    EXPECT_EQ(ex.Exclusions[5].Path, "");

    // A file that cannot be written leaves the old one whole.
    dir.MakeDir("norvessa_E.rks");
    EXPECT_EQ(SaveRankSettings(RankSettings{}, RankFileName('E')), 0);
}
