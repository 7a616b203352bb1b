// A coverage-guided fuzzer (libFuzzer, clang) over the parsers of the files
// beside the executable and the list rows built from them. The first byte
// picks the target; the rest is the file's text. Built and run by
// `tools/fuzz.sh libfuzzer [seconds]`. Any property that does not hold aborts,
// so libFuzzer keeps the input that broke it.
#include "core/cache/Folders.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/StringList.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace nrvs;

namespace {

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

int LinearIndex(const FolderList& list, std::string_view path) {
    std::string_view linePath;
    for (int i = 0; i < list.Count(); ++i) {
        PathOfLine(list.LineAt(i), linePath);
        if (linePath == path) return i;
    }
    return -1;
}

void CacheLines(std::string_view text) {
    FolderList list;
    list.SetText(text);
    for (int i = 0; i < list.Count(); ++i) {
        FolderRecord first = ParseRecord(list.LineAt(i));
        const FolderRecord once = ParseRecord(FormatRecord(first));
        FolderRecord again = once;
        const FolderRecord twice = ParseRecord(FormatRecord(again));
        Require(twice.Path == once.Path && twice.TreeBytes == once.TreeBytes &&
                    twice.TreeFolders == once.TreeFolders,
                "a written record reads back");
        std::string_view path;
        PathOfLine(list.LineAt(i), path);
        Require(list.IndexOfPath(path) == LinearIndex(list, path),
                "lookup finds the first line of a path");
    }
    list.Sort();
    for (int i = 1; i < list.Count(); ++i)
        Require(!platform::LessIgnoreCase(list.LineAt(i), list.LineAt(i - 1)), "sorted");
}

void Rows(std::string_view text) {
    // Directory entry lines, a zero byte, then cache lines.
    const size_t split = text.find('\0');
    StringList entries;
    TextToLines(entries, text.substr(0, split));
    FolderList folders;
    if (split != std::string_view::npos) folders.SetText(text.substr(split + 1));
    for (const auto& e : entries)
        ParseEntry(e);
    FillInput in;
    in.Path = "X:\\";
    in.RootPath = "X:\\";
    in.Entries = &entries;
    in.ListedFolders = static_cast<int>(entries.size());
    in.TotalBytes = 1e12;
    in.FreeBytes = 1e11;
    in.ShowFiles = true;
    for (int base = 0; base < 4; ++base) {
        in.PercentBase = base;
        in.Order = {base & 1, base >> 1, "1111"};
        const FillResult out = BuildRows(in, folders, 0);
        Require(!out.Rows.empty() && SplitRow(out.Rows[0]).Image == IMG_HEADER,
                "a header row first");
        for (const std::string& counts :
             {SplitRow(out.Rows[0]).Files, SplitRow(out.Rows[0]).Folders})
            Require(counts.find('-', counts.find('=')) == std::string::npos,
                    "subtree counts never negative");
        for (const auto& row : out.Rows) {
            const RowFields f = SplitRow(row);
            InfoTip(f.Caption, f.Size, f.Occupied);
        }
        ColumnWidths(out.Rows, 9, 0, "1111", 150, 200);
    }
}

std::string Scratch() {
    static std::string dir = [] {
        char templ[] = "/tmp/nrvs-fuzz-XXXXXX";
        const char* made = ::mkdtemp(templ);
        return made ? std::string(made) + "/" : std::string("/tmp/");
    }();
    return dir;
}

void Settings(std::string_view text) {
    platform::SetExecutablePath(Scratch() + "norvessa");
    StringList lines;
    TextToLines(lines, text);
    SaveLines(lines, Scratch() + "norvessa.prm");
    Global() = GlobalState{};
    LoadParameters({});
    Require(Global().SizeUnit >= 0 && Global().SizeUnit <= 5 && Global().PercentBase >= 0 &&
                Global().PercentBase <= 3 && Global().StartDrive >= 0 && Global().StartDrive <= 26,
            "indexes in range");
    SaveParameters();
    StringList written;
    LoadLines(written, Scratch() + "norvessa.prm");
    Global() = GlobalState{};
    LoadParameters({});
    SaveParameters();
    StringList rewritten;
    LoadLines(rewritten, Scratch() + "norvessa.prm");
    Require(written == rewritten, "a second start changes nothing");
}

void DriveMap(std::string_view text) {
    // Map lines, a zero byte, then mountinfo text.
    const size_t split = text.find('\0');
    StringList lines;
    TextToLines(lines, text.substr(0, split));
    const auto mounts = platform::ParseMountInfo(
        split == std::string_view::npos ? std::string_view() : text.substr(split + 1));
    const platform::DriveMap map = platform::AssignLetters(lines, mounts);
    const auto written = platform::DriveMapLines(map);
    Require(platform::AssignLetters(written, mounts).Roots == map.Roots,
            "a written map reads back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0:
        CacheLines(text);
        break;
    case 1:
        Rows(text);
        break;
    case 2:
        Settings(text);
        break;
    default:
        DriveMap(text);
        break;
    }
    return 0;
}
