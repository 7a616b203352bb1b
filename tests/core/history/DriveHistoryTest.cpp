// A drive's history: every cache a run of drive and folder measurements
// wrote is rebuilt from the newest cache byte for byte; a history cut or
// damaged anywhere serves the records before the fault and names it; the
// limit drops the oldest; a previous measurement is taken in.
#include "core/cache/Cache.h"
#include "core/cache/FolderLines.h"
#include "core/history/DriveHistory.h"
#include "platform/Paths.h"
#include "support/RandomRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace nrvs {
namespace {

// A drive's folders as a measurement leaves them, turned into cache texts.
class RandomDrive {
  public:
    explicit RandomDrive(uint64_t seed) : rng_(seed) {
        folders_["C:\\"] = Figures();
        for (int i = 0; i < 60; ++i)
            AddUnder(AnyFolder());
    }

    // A drive measurement: figures change anywhere, folders come and go.
    void MeasureDrive() {
        for (auto& [path, line] : folders_)
            if (rng_() % 8 == 0) line = Figures();
        for (int i = static_cast<int>(rng_() % 6); i > 0; --i)
            AddUnder(AnyFolder());
        for (int i = static_cast<int>(rng_() % 4); i > 0; --i)
            RemoveTree(AnyFolder());
    }
    // A folder measurement: its subtree changes, and the folders above it.
    void MeasureFolder() {
        const std::string below = AnyFolder();
        for (auto& [path, line] : folders_)
            if (path.compare(0, below.size(), below) == 0
                    ? rng_() % 2 == 0
                    : below.compare(0, path.size(), path) == 0)
                line = Figures();
        if (rng_() % 2) AddUnder(below);
        if (rng_() % 3 == 0 && below.size() > 3) RemoveTree(SubfolderOf(below));
    }

    // The cache text: header, then the lines in the cache's order.
    std::string Text(int measurement, bool endless) {
        std::vector<std::string> lines;
        for (auto& [path, figures] : folders_) {
            FolderRecord r = ParseRecord(path + " > " + figures);
            lines.push_back(FormatRecord(r));
        }
        std::stable_sort(lines.begin(), lines.end(), platform::LessIgnoreCase);
        std::string text = NewHeaderLine(1700000000 + measurement * 86400, 1700000100) + "\r\n";
        for (const std::string& line : lines)
            text += line + "\r\n";
        if (endless) text.resize(text.size() - 2);
        return text;
    }

  private:
    std::string Figures() {
        std::string f = std::to_string(rng_() % 100000);
        for (int i = 1; i < 12; ++i)
            f += ":" + std::to_string(rng_() % (i < 4 ? 100000 : 50));
        return f;
    }
    std::string AnyFolder() {
        auto it = folders_.begin();
        std::advance(it, static_cast<long>(rng_() % folders_.size()));
        return it->first;
    }
    std::string SubfolderOf(const std::string& below) {
        for (const auto& [path, line] : folders_)
            if (path.size() > below.size() && path.compare(0, below.size(), below) == 0)
                return path;
        return below;
    }
    void AddUnder(const std::string& parent) {
        // Names that differ only in case, and ones around the separator in
        // the order, so that the lines of a subtree interleave with others.
        static const char* const names[] = {"a",  "A",    "b",        "x y",
                                            "x!", "Zeta", "\xC3\xA4", "q > r"};
        folders_[parent + names[rng_() % 8] + std::to_string(rng_() % 5) + "\\"] = Figures();
    }
    void RemoveTree(const std::string& top) {
        if (top.size() <= 3) return;
        for (auto it = folders_.begin(); it != folders_.end();)
            it = it->first.compare(0, top.size(), top) == 0 ? folders_.erase(it) : std::next(it);
    }

    std::mt19937_64 rng_;
    std::map<std::string, std::string> folders_;
};

std::string HeaderLineOfText(const std::string& text) {
    return text.substr(0, text.find('\r'));
}

// The folder lines of a cache text, read plainly: no CR, the header left out.
std::vector<std::string> FolderLinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = text.find('\n'); pos != std::string::npos && pos + 1 < text.size();) {
        const size_t end = text.find('\n', pos + 1);
        std::string line = text.substr(pos + 1, end == std::string::npos ? end : end - pos - 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end;
    }
    return lines;
}
std::string PathOfLineIn(const std::string& text, uint64_t pick) {
    const std::vector<std::string> lines = FolderLinesOf(text);
    std::string_view path;
    PathOfLine(lines[pick % lines.size()], path);
    return std::string(path);
}
std::string LineOfPathIn(const std::string& text, const std::string& path) {
    for (const std::string& line : FolderLinesOf(text)) {
        std::string_view p;
        if (PathOfLine(line, p) && p == path) return line;
    }
    return {};
}

struct History {
    test::TempDir dir;
    DriveHistory history;
    explicit History(HistoryLimit limit = {}) : history(dir / "NRVS_C", limit) {}
};

// Rebuilds each earlier cache from the newest and compares it with what it was.
void ExpectRebuilds(const DriveHistory& history, const std::vector<std::string>& caches,
                    size_t newest, size_t steps) {
    for (size_t back = 1; back <= steps; ++back) {
        std::string rebuilt;
        HistoryFault fault;
        ASSERT_TRUE(history.Rebuild(caches[newest], back, rebuilt, &fault))
            << back << " back: " << fault.File << " @" << fault.Offset << ": " << fault.Text;
        ASSERT_EQ(rebuilt, caches[newest - back]) << back << " back";
    }
}

TEST(DriveHistoryTest, RebuildsEveryMeasurementByteForByte) {
    const RandomRun run(25);
    for (long i = 0; i < run.iterations; ++i) {
        SCOPED_TRACE("seed " + std::to_string(run.seed + static_cast<uint64_t>(i)));
        std::mt19937_64 rng(run.seed + static_cast<uint64_t>(i));
        RandomDrive drive(rng());
        History h;
        std::vector<std::string> caches{drive.Text(0, false)};
        const int measurements = 3 + static_cast<int>(rng() % 10);
        for (int m = 1; m <= measurements; ++m) {
            if (rng() % 3 == 0)
                drive.MeasureDrive();
            else
                drive.MeasureFolder();
            caches.push_back(drive.Text(m, rng() % 7 == 0));
            ASSERT_TRUE(h.history.Append(caches[caches.size() - 2], caches.back(),
                                         {1700000000 + m * 86400, 1000u * m, 5000}));
        }
        ExpectRebuilds(h.history, caches, caches.size() - 1, caches.size() - 1);
        std::string none;
        EXPECT_FALSE(h.history.Rebuild(caches.back(), caches.size(), none));
        // A cache the history was not written up to is never edited.
        EXPECT_FALSE(h.history.Rebuild(caches[caches.size() - 2], 1, none));

        // A folder's line at every measurement, read from the edits alone,
        // against the same read from each cache as it was.
        for (int f = 0; f < 6; ++f) {
            const std::string& from = caches[rng() % caches.size()];
            std::vector<std::string> expected, lines;
            const std::string path = PathOfLineIn(from, rng());
            for (const std::string& cache : caches)
                expected.push_back(LineOfPathIn(cache, path));
            ASSERT_TRUE(h.history.FolderLines(caches.back(), path, lines)) << path;
            EXPECT_EQ(lines, expected) << path;
        }

        std::vector<HistorySummary> summaries;
        ASSERT_TRUE(h.history.Summaries(summaries));
        ASSERT_EQ(summaries.size(), caches.size() - 1);
        for (size_t k = 0; k < summaries.size(); ++k) {
            EXPECT_EQ(summaries[k].Header, HeaderLineOfText(caches[k + 1]));
            EXPECT_EQ(summaries[k].Before, HeaderLineOfText(caches[k]));
            EXPECT_EQ(summaries[k].RootLine.substr(0, 6), "C:\\ > ");
            EXPECT_EQ(summaries[k].Used, 1000u * (k + 1));
        }
    }
}

TEST(DriveHistoryTest, ServesTheRecordsBeforeACutOrDamagedOne) {
    RandomDrive drive(7);
    History h;
    std::vector<std::string> caches{drive.Text(0, false)};
    for (int m = 1; m <= 5; ++m) {
        m % 2 ? drive.MeasureFolder() : drive.MeasureDrive();
        caches.push_back(drive.Text(m, false));
        ASSERT_TRUE(h.history.Append(caches[caches.size() - 2], caches.back(), {m, 0, 0}));
    }
    const std::string segment = h.history.SegmentName(1);
    const std::string whole = h.dir.Read("NRVS_C.h00000001");
    // Where each record starts, from the lengths in its frame (docs/history.md).
    std::vector<uint64_t> starts{0};
    const auto number = [&](uint64_t at, int bytes) {
        uint64_t v = 0;
        for (int k = bytes - 1; k >= 0; --k)
            v = v << 8 | static_cast<unsigned char>(whole[at + static_cast<uint64_t>(k)]);
        return v;
    };
    while (starts.back() < whole.size())
        starts.push_back(starts.back() + 24 + number(starts.back() + 4, 4) +
                         number(starts.back() + 8, 8));
    ASSERT_EQ(starts.size(), 6u);
    ASSERT_EQ(starts.back(), whole.size());
    // Cut at every boundary and at places inside each record's head,
    // summary and body.
    for (size_t r = 0; r < starts.size(); ++r) {
        for (const uint64_t inside : {0, 1, 16, 23, 24, 25, 60, 200, 100000}) {
            const uint64_t length = std::min<uint64_t>(
                starts[r] + inside, r + 1 < starts.size() ? starts[r + 1] - 1 : whole.size());
            if (inside > 0 && length == starts[r]) continue;
            h.dir.Write("NRVS_C.h00000001", whole.substr(0, length));
            std::vector<HistorySummary> summaries;
            HistoryFault fault;
            const bool sound = h.history.Summaries(summaries, &fault);
            ASSERT_EQ(sound, length == starts[r]) << length;
            ASSERT_EQ(summaries.size(), r) << length;
            if (!sound) {
                EXPECT_EQ(fault.File, segment);
                EXPECT_EQ(fault.Offset, starts[r]) << length;
            }
            // What is left rebuilds from the cache it was written up to.
            if (r > 0) ExpectRebuilds(h.history, caches, r, r);
        }
    }
    // A byte changed in each record: the head refuses the record on reading,
    // the body when it is applied; the records before it serve either way.
    for (size_t r = 0; r < 5; ++r) {
        for (const uint64_t at : {starts[r] + 2, starts[r] + 30, starts[r + 1] - 2}) {
            std::string bad = whole;
            bad[at] ^= 0x20;
            h.dir.Write("NRVS_C.h00000001", bad);
            std::vector<HistorySummary> summaries;
            HistoryFault fault;
            std::string rebuilt;
            if (!h.history.Summaries(summaries, &fault)) {
                EXPECT_EQ(summaries.size(), r);
                EXPECT_EQ(fault.Offset, starts[r]);
                if (r > 0) ExpectRebuilds(h.history, caches, r, r);
            } else {
                EXPECT_FALSE(h.history.Rebuild(caches[5], 5 - r, rebuilt, &fault));
                EXPECT_EQ(fault.Offset, starts[r]);
                ExpectRebuilds(h.history, caches, 5, 4 - r);
            }
        }
    }
    // A measurement after a cut append starts a new file: the older records
    // and the new one serve together.
    h.dir.Write("NRVS_C.h00000001", whole.substr(0, starts[5] - 3));
    drive.MeasureDrive();
    caches[5] = drive.Text(6, false);
    ASSERT_TRUE(h.history.Append(caches[4], caches[5], {6, 0, 0}));
    EXPECT_TRUE(h.dir.Exists("NRVS_C.h00000002"));
    ExpectRebuilds(h.history, caches, 5, 5);
}

TEST(DriveHistoryTest, DropsTheOldestAtItsLimitAndTakesInThePreviousMeasurement) {
    const int64_t day = 86400;
    struct Case {
        HistoryLimit limit;
        const char* what;
    } cases[] = {{{365 * day, 16 << 10}, "bytes"}, {{60 * day, 200 << 20}, "age"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RandomDrive drive(11);
        std::vector<std::string> caches{drive.Text(0, false)};
        drive.MeasureDrive();
        caches.push_back(drive.Text(1, false));
        // The first record: the previous measurement of an older version.
        History taken;
        ASSERT_TRUE(taken.history.TakeInPrevious(caches[0], caches[1], day));
        ASSERT_TRUE(taken.history.TakeInPrevious("", caches[1], day)); // there is one already
        ExpectRebuilds(taken.history, caches, 1, 1);

        caches.resize(1);
        History limited(c.limit);
        for (int m = 1; m <= 60; ++m) {
            drive.MeasureFolder();
            caches.push_back(drive.Text(m, false));
            ASSERT_TRUE(limited.history.Append(caches[caches.size() - 2], caches.back(),
                                               {m * 5 * day, 0, 0}));
        }
        std::vector<HistorySummary> summaries;
        ASSERT_TRUE(limited.history.Summaries(summaries));
        ASSERT_LT(summaries.size(), 60u);
        ASSERT_FALSE(summaries.empty());
        EXPECT_FALSE(limited.dir.Exists("NRVS_C.h00000001"));
        uint64_t bytes = 0;
        for (uint64_t n = 1; n < 1000; ++n) {
            const std::string name =
                limited.history.SegmentName(n).substr(limited.dir.Path().size());
            if (limited.dir.Exists(name)) bytes += limited.dir.Read(name).size();
        }
        // What is kept is within the limit, and not much less.
        const int64_t now = 60 * 5 * day, step = c.limit.MaxAgeSeconds / 12 + 5 * day;
        EXPECT_LE(bytes, c.limit.MaxBytes);
        EXPECT_GE(summaries.front().Time, now - c.limit.MaxAgeSeconds - step);
        if (c.limit.MaxBytes < 1 << 20)
            EXPECT_GT(bytes, c.limit.MaxBytes / 2);
        else
            EXPECT_LE(summaries.front().Time, now - c.limit.MaxAgeSeconds + step);
        ExpectRebuilds(limited.history, caches, 60, summaries.size());
    }
}

} // namespace
} // namespace nrvs
