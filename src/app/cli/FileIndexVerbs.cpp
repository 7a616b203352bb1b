// The verbs that answer from a drive's file index, never walking the disk:
// files and types.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/Verbs.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/index/FileQueries.h"
#include "core/index/FileKinds.h"
#include "core/GlobalState.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace nrvs::cli {

namespace {

// The drive of a folder given for its files: a drive that is here, or a
// letter that holds a last measurement only (an import, a volume that is
// not here), whose index and cache are read without the drive.
DriveRecord* OpenFolderDrive(const std::string& target, std::string& path) {
    if (!ImportedFolder(target, path) && !ResolveFolder(target, path)) return nullptr;
    return OpenMeasuredDrive(path, true);
}

// Opens the file index of the drive holding path (a folder, resolved); a
// message and false when there is none of the last measurement.
bool OpenIndexOf(const std::string& verb, const std::string& path, DriveRecord& drive,
                 FileIndex& index) {
    const std::string header = CacheHeaderLine(drive);
    std::string why;
    if (header.empty() || !index.Open(FileIndexName(drive), path[0], header, &why)) {
        std::fprintf(stderr,
                     "norvessa-cli %s: %s Measure the drive again (norvessa-cli measure %c:) for "
                     "its files.\n",
                     verb.c_str(),
                     header.empty() ? "The drive has not been measured." : why.c_str(), path[0]);
        return false;
    }
    if (path.size() > 3 && index.FindFolder(path) < 0) {
        std::fprintf(stderr,
                     "norvessa-cli %s: %s was not measured; measure it (norvessa-cli measure) for "
                     "its files\n",
                     verb.c_str(), path.c_str());
        return false;
    }
    return true;
}

// The index was cut short while it was read: what was read is dropped.
int CutShort(const std::string& verb, char letter) {
    std::fprintf(stderr,
                 "norvessa-cli %s: %s Measure the drive again (norvessa-cli measure %c:) for its "
                 "files.\n",
                 verb.c_str(), FileIndex::CutShortText(), letter);
    return 1;
}

} // namespace

// The largest files of a drive or below a folder, from the drive's file
// index: never a walk of the disk.
int RunFiles(const CommandLine& commandLine) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "norvessa-cli files: %s\n", text.c_str());
        return 1;
    };
    FileQuery q;
    const std::string& target = commandLine.arguments[0];
    auto whole = [](const std::string& text, long long& out) {
        if (text.empty() || text.size() > 18 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        out = std::stoll(text);
        return true;
    };
    for (const GivenOption& o : commandLine.options) {
        const std::string& a = o.name;
        const std::string value = o.values.empty() ? std::string() : o.values[0];
        long long n = 0;
        if (a == "--top") {
            if (!whole(value, n) || n < 1)
                return fail("--top takes a positive whole number, not " + value);
            q.Top = static_cast<size_t>(n);
        } else if (a == "--by") {
            const std::string& k = value;
            if (k == "size")
                q.Key = FILE_KEY_SIZE;
            else if (k == "occupied")
                q.Key = FILE_KEY_OCCUPIED;
            else if (k == "modified")
                q.Key = FILE_KEY_MODIFIED;
            else
                return fail("--by takes size, occupied or modified, not " + k);
        } else if (a == "--ext") {
            if (!ParseExtensionList(value, q.Extensions))
                return fail("--ext takes extensions such as jpg,png, not " + value);
        } else if (a == "--min-size") {
            if (!whole(value, n)) return fail("--min-size takes a number of bytes, not " + value);
            q.MinSize = n;
        } else if (a == "--older-than") {
            if (!whole(value, n) || n > 1000000)
                return fail("--older-than takes a number of days, not " + value);
            q.ModifiedBefore = static_cast<int64_t>(std::time(nullptr)) - n * 86400;
        } else if (a == "--name") {
            q.Name = value;
        } else if (a == "--path") {
            q.OnPath = true;
        }
    }
    std::string path;
    DriveRecord* drive = OpenFolderDrive(target, path);
    if (!drive) return 1;
    FileIndex index;
    if (!OpenIndexOf("files", path, *drive, index)) return 1;
    if (path.size() > 3) q.Below = path;
    const std::vector<FileHit> hits = QueryFiles(index, q);
    if (!index.Intact()) return CutShort("files", path[0]);
    for (const FileHit& h : hits) {
        char when[32] = "";
        struct tm tm {};
        if (platform::LocalTime(h.ModifiedTime, tm))
            std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &tm);
        PrintLine(h.Path + "\t" + std::to_string(h.Size) + "\t" + std::to_string(h.Occupied) +
                  "\t" + when);
    }
    return 0;
}

// Totals of the files of a drive or folder by extension (or kind), from the
// file index.
int RunTypes(const CommandLine& commandLine) {
    const bool byKind = commandLine.Has("--by-kind");
    const std::string& target = commandLine.arguments[0];
    std::string path;
    DriveRecord* drive = OpenFolderDrive(target, path);
    if (!drive) return 1;
    FileIndex index;
    if (!OpenIndexOf("types", path, *drive, index)) return 1;
    const std::vector<TypeRow> rows =
        TypeStatistics(index, path.size() > 3 ? path : std::string(), byKind);
    if (!index.Intact()) return CutShort("types", path[0]);
    for (const TypeRow& r : rows) {
        if (byKind)
            std::printf("%s\t%llu\t%llu\t%llu\n", KindKey(r.Kind),
                        static_cast<unsigned long long>(r.Files),
                        static_cast<unsigned long long>(r.Size),
                        static_cast<unsigned long long>(r.Occupied));
        else
            PrintLine(r.Extension + "\t" + KindKey(r.Kind) + "\t" + std::to_string(r.Files) + "\t" +
                      std::to_string(r.Size) + "\t" + std::to_string(r.Occupied));
    }
    return 0;
}

} // namespace nrvs::cli
