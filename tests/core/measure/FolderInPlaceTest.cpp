// A cache read in place from its file: the list answers as one read into
// memory does, through every change, and survives the file being cut short
// or replaced underneath it.
#include "core/cache/Cache.h"
#include "core/cache/FolderMerge.h"
#include "core/cache/Folders.h"
#include "platform/FileAccess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;

namespace {
// A sorted cache of about 60-character paths, some names differing only in
// case, a damaged line and a header; "bytes" of text.
std::string MakeCache(size_t bytes, unsigned seed) {
    std::mt19937 rng(seed);
    const char* parts[] = {"Projects", "projects", "src",   "SRC", "\xC3\xA9t\xC3\xA9",
                           "a b",      " > x",     "build", "K",   "k"};
    FolderList sorted;
    size_t size = 0;
    for (int made = 0; size < bytes; ++made) {
        std::string path = "C:\\";
        for (int d = 0, n = 1 + static_cast<int>(rng() % 6); d < n; ++d)
            path += std::string(parts[rng() % 10]) + "\\";
        path += std::to_string(made) + "\\";
        std::string line =
            path + " > " + std::to_string(rng() % 1000000) + ":4096:0:0:1:2:0:0:0:0:0:0";
        if (rng() % 1000 == 0) line.resize(path.size());
        size += line.size() + 2;
        sorted.Append(line);
    }
    sorted.Sort();
    std::string text = "2026/01/02 03:04:05=00:01:00\r\n";
    for (size_t i = 0; i < sorted.Size(); ++i)
        (text += sorted.LineAt(i)) += "\r\n";
    return text;
}

std::string PathAt(const FolderList& list, size_t i) {
    std::string_view p;
    PathOfLine(list.LineAt(i), p);
    return std::string(p);
}
} // namespace

// Every change lands in the list's own memory: the file keeps its bytes and
// the list answers exactly as the same list read into memory, also when the
// changes replace most of the file's lines and the file is let go.
TEST(FolderInPlaceTest, ChangesAnswerAsInMemoryAndLeaveTheFileAlone) {
    TempDir dir;
    const std::string text = MakeCache(size_t{3} << 19, 5);
    dir.Write("NRVS_C.txt", text);
    FolderList mapped, memory;
    ASSERT_TRUE(mapped.Load(dir / "NRVS_C.txt"));
    ASSERT_TRUE(mapped.InPlace());
    memory.SetText(text);
    ASSERT_FALSE(memory.InPlace());
    ASSERT_EQ(mapped.CopyLines(), memory.CopyLines());
    EXPECT_LT(mapped.HeldBytes(), mapped.Size() * 9) << "the text stays the file's";

    std::mt19937 rng(9);
    auto both = [&](auto&& change) {
        change(mapped);
        change(memory);
    };
    auto same = [&](const std::string& where) {
        ASSERT_EQ(mapped.Size(), memory.Size()) << where;
        for (size_t i = 0; i < mapped.Size(); i += 1 + rng() % 50) {
            ASSERT_EQ(mapped.LineAt(i), memory.LineAt(i)) << where;
            const std::string p = PathAt(mapped, i);
            ASSERT_EQ(mapped.IndexOfPath(p), memory.IndexOfPath(p)) << where << ": " << p;
        }
    };
    same("read");
    for (int round = 0; round < 25; ++round) {
        const size_t n = mapped.Size();
        const int at = static_cast<int>(1 + rng() % (n - 1));
        const std::string line = std::string(mapped.LineAt(at)) + "0";
        switch (round % 5) {
        case 0:
            both([&](FolderList& l) { l.PutLine(at, line); });
            break;
        case 1:
            both([&](FolderList& l) { l.Delete(at); });
            break;
        case 2:
            both([&](FolderList& l) { l.InsertFirst(line); });
            break;
        case 3: {
            // A folder measurement: its run out, new lines merged in.
            const std::string folder = PathAt(mapped, static_cast<size_t>(at));
            both([&](FolderList& l) {
                l.TakeOut(LinesOfFolder(l, folder));
                const size_t firstNew = l.Size();
                l.Append(folder + " > 1:1:0:0:0:0:0:0:0:0:0:0");
                l.Append(folder + "new\\ > 1:1:0:0:0:0:0:0:0:0:0:0");
                l.SortMerged(firstNew);
            });
            break;
        }
        default:
            both([&](FolderList& l) { l.Append(line); });
        }
        same("round " + std::to_string(round));
    }
    // Every line replaced (by the same text, so the order holds): the
    // buffer takes them all and the file is let go.
    ASSERT_TRUE(mapped.Load(dir / "NRVS_C.txt"));
    memory.SetText(text);
    for (size_t i = 0; i < mapped.Size(); ++i) {
        const std::string line(mapped.LineAt(i));
        mapped.PutLine(static_cast<int>(i), line);
        memory.PutLine(static_cast<int>(i), line);
    }
    ASSERT_TRUE(mapped.InPlace());
    both([](FolderList& l) { l.SortMerged(l.Size()); });
    EXPECT_FALSE(mapped.InPlace());
    same("all replaced");
    // A whole sort works on the list's own copy of the lines.
    ASSERT_TRUE(mapped.Load(dir / "NRVS_C.txt"));
    memory.SetText(text);
    both([](FolderList& l) {
        l.PutLine(1, "zz out of order");
        l.Sort();
    });
    EXPECT_FALSE(mapped.InPlace());
    same("sorted whole");
    EXPECT_EQ(dir.Read("NRVS_C.txt"), text);
}

// The program replaces its caches by renaming: a list read in place goes on
// reading the old file, a copy keeps it after the original is cleared, and
// every list gives its mapping back (a thousand loads never run out).
TEST(FolderInPlaceTest, TheOldFileStaysReadableUntilTheLastListLetsItGo) {
    TempDir dir;
    const std::string file = dir / "NRVS_C.txt";
    const std::string text = MakeCache(200000, 6);
    dir.Write("NRVS_C.txt", text);
    FolderList list;
    ASSERT_TRUE(list.Load(file));
    ASSERT_TRUE(list.InPlace());
    const StringList before = list.CopyLines();
    FolderList copy = list;
    list.PutLine(1, "C:\\ > 7:7:0:0:0:0:0:0:0:0:0:0");
    ASSERT_TRUE(list.Save(file));
    list.Clear();
    EXPECT_EQ(copy.CopyLines(), before);
    ASSERT_TRUE(list.Load(file));
    EXPECT_EQ(list.FindPath("C:\\")->TreeBytes, 7);
    EXPECT_EQ(list.Size(), before.size());

    for (int i = 0; i < 1000; ++i) {
        FolderList again;
        ASSERT_TRUE(again.Load(file));
        ASSERT_TRUE(again.InPlace()) << "load " << i;
    }
    // More lists than mappings can be guarded: the rest read into memory.
    std::vector<FolderList> many(100);
    for (FolderList& l : many) {
        ASSERT_TRUE(l.Load(file));
        ASSERT_EQ(l.Size(), before.size());
    }
    EXPECT_FALSE(many.back().InPlace());
    EXPECT_EQ(many.back().LineAt(size_t{1}), list.LineAt(size_t{1}));
}

// Another program cutting the file short while it is read in place: the
// lines past the cut read as zero bytes, damaged lines that never match a
// folder, and the list goes on (saves, lookups, changes) without a crash.
TEST(FolderInPlaceTest, AFileCutShortUnderneathReadsAsDamagedLines) {
    TempDir dir;
    const std::string file = dir / "NRVS_C.txt";
    const std::string text = MakeCache(size_t{1} << 20, 7);
    dir.Write("NRVS_C.txt", text);
    for (const size_t cut : {size_t{0}, size_t{5000}, text.size() / 2}) {
        FolderList list;
        ASSERT_TRUE(list.Load(file));
        ASSERT_TRUE(list.InPlace());
        const StringList before = list.CopyLines();
        const std::string last = PathAt(list, list.Size() - 1);
        ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(cut)), 0);
        size_t kept = 0;
        for (size_t i = 0; i < list.Size(); ++i) {
            const std::string_view line = list.LineAt(i);
            ASSERT_EQ(line.size(), before[i].size());
            if (line == before[i]) {
                ++kept;
                continue;
            }
            // Zeros from where the cut went through the line on.
            const size_t zero = line.find('\0');
            ASSERT_NE(zero, std::string_view::npos);
            ASSERT_EQ(line.substr(0, zero), std::string_view(before[i]).substr(0, zero));
            ASSERT_EQ(line.find_first_not_of('\0', zero), std::string_view::npos);
            list.RecordAt(static_cast<int>(i));
        }
        EXPECT_LE(kept * 60, cut + 4096 + 200) << "cut at " << cut;
        EXPECT_EQ(list.IndexOfPath(last), -1) << "a lost line matches nothing";
        list.PutLine(1, "C:\\ > 3:3:0:0:0:0:0:0:0:0:0:0");
        list.Sort();
        EXPECT_EQ(list.FindPath("C:\\")->TreeBytes, 3);
        ASSERT_TRUE(list.Save(dir / "saved.txt"));
        dir.Write("NRVS_C.txt", text);
    }
}

// A bus error outside the guarded mappings still ends the process.
TEST(FolderInPlaceDeathTest, OtherBusErrorsStillEndTheProcess) {
    TempDir dir;
    dir.Write("other.bin", std::string(size_t{1} << 16, 'x'));
    FolderList list;
    dir.Write("NRVS_C.txt", MakeCache(100000, 8));
    ASSERT_TRUE(list.Load(dir / "NRVS_C.txt")); // the guard is in place
    EXPECT_DEATH(
        {
            const void* data = nullptr;
            size_t length = 0;
            if (!platform::MapFileReadOnly(dir / "other.bin", data, length)) std::abort();
            if (::truncate((dir / "other.bin").c_str(), 0) != 0) std::abort();
            volatile char c = static_cast<const char*>(data)[length - 1];
            (void)c;
            std::_Exit(0);
        },
        "");
}
