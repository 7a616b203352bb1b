// Writing a measured drive or folder as ncdu's JSON export, from the cache
// and the file index.
#include "core/exchange/Ncdu.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/cache/Folders.h"
#include "platform/Drives.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace nrvs {

namespace P = platform;

namespace {

void AppendJsonString(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"')
            out += "\\\"";
        else if (c == '\\')
            out += "\\\\";
        else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            // Bytes that are not UTF-8 go out as they are, as ncdu writes them.
            out += c;
        }
    }
    out += '"';
}

} // namespace

bool ExportNcdu(const std::string& path, const std::string& nativeOut, std::string& why) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\' || path.back() != '\\' ||
        path[0] < 'A' || path[0] > 'Z') {
        why = path + " is no folder path";
        return false;
    }
    const char letter = path[0];
    DriveRecord drive;
    drive.Index = letter - 'A';
    drive.RootPath = path.substr(0, 3);
    const std::string header = CacheHeaderLine(drive);
    if (header.empty()) {
        why = std::string(1, letter) + ": has not been measured";
        return false;
    }
    FileIndex index;
    std::string reason;
    if (!index.Open(FileIndexName(letter), letter, header, &reason)) {
        why = reason +
              " Without the file index its files cannot be listed: measure again for its files.";
        return false;
    }
    const int64_t start = index.FindFolder(path);
    if (start < 0) {
        why = path +
              " is not in the file index of the last measurement: measure again for its files.";
        return false;
    }
    FolderList cache;
    LoadCache(cache, drive);
    // The root is named as the scanning tool names it: by its whole path.
    std::string rootName;
    const ImportInfo imported = ReadImportInfo(letter);
    if (imported.Valid)
        rootName = imported.Root;
    else
        rootName = P::DriveRoots()[static_cast<size_t>(letter - 'A')];
    while (rootName.size() > 1 && rootName.back() == '/')
        rootName.pop_back();
    if (rootName.empty()) rootName = "/";
    {
        std::string rest = path.substr(3);
        size_t at = 0;
        while (at < rest.size()) {
            const size_t end = rest.find('\\', at);
            if (rootName.back() != '/') rootName += '/';
            rootName += P::NativeName(std::string_view(rest).substr(at, end - at));
            at = end + 1;
        }
    }
    std::time_t stamp = 0;
    HeaderStart(header, stamp);
    const uint32_t first = static_cast<uint32_t>(start), end = index.FolderSubtreeEnd(first);

    const bool ok = P::ReplaceFileStreamed(nativeOut, [&](const P::PutBytes& put) {
        std::string out;
        out.reserve(1 << 20);
        auto flush = [&](bool always) {
            if (out.size() < (1 << 20) && !always) return true;
            const bool written = put(out);
            out.clear();
            return written;
        };
        out += "[1,2,{\"progname\":\"norvessa\",\"progver\":\"0.1\",\"timestamp\":" +
               std::to_string(static_cast<long long>(stamp)) + "},\n";
        std::vector<uint32_t> open;
        for (uint32_t f = first; f < end; ++f) {
            const uint32_t parent = index.FolderParent(f);
            while (!open.empty() && open.back() != parent) {
                out += ']';
                open.pop_back();
            }
            if (f != first) out += ",\n";
            out += "[{\"name\":";
            AppendJsonString(out, f == first ? std::string_view(rootName) : index.FolderName(f));
            // The permission the measurement kept of a folder: the owner's write bit.
            const FolderRecord* r = cache.FindPath(index.FolderPath(f));
            out += (r && r->ReadOnly) ? ",\"mode\":16749}" : ",\"mode\":16877}";
            open.push_back(f);
            const uint32_t a = index.FolderFirstFile(f), n = index.FolderFileCount(f);
            for (uint32_t i = a; i < a + n; ++i) {
                const uint8_t flags = index.Flags(i);
                if (flags & INDEX_FLAG_GONE) continue;
                out += ",\n{\"name\":";
                AppendJsonString(out, index.Name(i));
                // A further name was counted as 0 bytes by the measurement;
                // the export has no inode to tie it to its first name.
                const bool further = flags & INDEX_FLAG_FURTHER_NAME;
                const uint64_t size = further ? 0 : index.Size(i),
                               occ = further ? 0 : index.Occupied(i);
                if (size) out += ",\"asize\":" + std::to_string(size);
                if (occ) out += ",\"dsize\":" + std::to_string(occ);
                if (flags & INDEX_FLAG_NOT_REGULAR)
                    out += ",\"notreg\":true";
                else
                    out += (flags & INDEX_FLAG_EXECUTABLE) ? ",\"mode\":33261" : ",\"mode\":33188";
                out += ",\"mtime\":" + std::to_string(index.ModifiedTime(i)) + "}";
            }
            if (!flush(false)) return false;
        }
        for (size_t k = 0; k < open.size(); ++k)
            out += ']';
        out += "]\n";
        return flush(true);
    });
    if (!ok) {
        why = nativeOut + ": " + P::LastWriteError();
        return false;
    }
    return true;
}

} // namespace nrvs
