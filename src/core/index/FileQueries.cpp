#include "core/index/FileQueries.h"

#include "core/index/FileKinds.h"
#include "core/index/IndexFormat.h"
#include "core/index/NameMatch.h"

#include <algorithm>
#include <cstring>

namespace nrvs {

namespace {

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

std::string ExtensionOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    std::string ext = LowerAscii(name.substr(dot + 1));
    if (!AllDigits(ext)) return ext;
    // A version after a known extension (libc.so.6, libz.so.1.2.13,
    // syslog.log.1): the extension is the one before the numbers. One number
    // after the stem alone (python3.11, ls.1, part.001) stays the extension;
    // a dotted version after it (kubectl.1.33) is no extension at all.
    size_t end = dot;
    for (;;) {
        const size_t before = name.rfind('.', end - 1);
        const bool dottedVersion = end != dot;
        if (before == std::string_view::npos || before == 0)
            return dottedVersion ? std::string() : ext;
        const std::string_view part = name.substr(before + 1, end - before - 1);
        if (AllDigits(part)) {
            end = before;
            continue;
        }
        std::string known = LowerAscii(part);
        if (KindOfExtension(known) != KIND_OTHER) return known;
        return dottedVersion ? std::string() : ext;
    }
}

bool ParseExtensionList(std::string_view text, std::vector<std::string>& out) {
    out.clear();
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos) comma = text.size();
        std::string_view item = text.substr(pos, comma - pos);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        if (!item.empty() && item.front() == '.') item.remove_prefix(1);
        if (item.empty()) return false;
        std::string ext(item);
        for (char& c : ext)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        out.push_back(std::move(ext));
        pos = comma + 1;
    }
    return !out.empty();
}

std::string FileKindText(std::string_view name, bool folder) {
    if (folder) return "フォルダ";
    std::string ext = ExtensionOf(name);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext.empty() ? "ファイル" : ext + " ファイル";
}

namespace {

// Whether a native name shows as itself (no byte the program form stands
// in for): most names, which then need no conversion to be matched.
bool ShowsAsItself(std::string_view name) {
    for (unsigned char c : name)
        if (c < 0x20 || c == '\\' || c == 0x7F || c >= 0x80) return false;
    return true;
}

struct Candidate {
    uint64_t key;
    bool folder;
    uint32_t index;
};

} // namespace

std::vector<FileHit> QueryFiles(const FileIndex& index, const FileQuery& q,
                                const std::atomic<bool>* cancel) {
    std::vector<FileHit> hits;
    if (!index.IsOpen() || q.Top == 0) return hits;
    uint32_t folderBegin = 0, folderEnd = index.FolderCount();
    if (!q.Below.empty()) {
        const int64_t f = index.FindFolder(q.Below);
        if (f < 0) return hits;
        folderBegin = static_cast<uint32_t>(f);
        folderEnd = index.FolderSubtreeEnd(folderBegin);
        // Zeros where a file cut short under the map lost its pages.
        if (folderEnd <= folderBegin) return hits;
    }
    const NameMatcher matcher(q.Name);
    const bool byName = !matcher.Empty();
    std::vector<std::string> folderPaths;
    if (q.OnPath && byName) {
        // Built parent first: pre-order puts every parent before its children.
        folderPaths.resize(folderEnd - folderBegin);
        for (uint32_t f = folderBegin; f < folderEnd; ++f) {
            const uint32_t p = index.FolderParent(f);
            folderPaths[f - folderBegin] =
                f == folderBegin || p < folderBegin
                    ? index.FolderPath(f)
                    : folderPaths[p - folderBegin] + ShownOrSame(index.FolderName(f)) + "\\";
        }
    }
    const bool skipFurther = index.LinksOnce();
    auto keyOf = [&](uint64_t size, uint64_t occ, int64_t mtime) -> uint64_t {
        switch (q.Key) {
        case FILE_KEY_OCCUPIED:
            return occ;
        case FILE_KEY_MODIFIED:
            return static_cast<uint64_t>(mtime) ^ (uint64_t{1} << 63); // order of signed times
        default:
            return size;
        }
    };
    std::string scratch;
    auto nameMatches = [&](std::string_view native, uint32_t folder, bool isFolder) {
        if (!byName) return true;
        std::string_view shown = native;
        std::string converted;
        if (!ShowsAsItself(native)) {
            converted = P::ShownName(native);
            shown = converted;
        }
        if (!q.OnPath) return matcher.Matches(shown);
        const std::string& base = folderPaths[folder - folderBegin];
        if (isFolder) return matcher.Matches(base);
        scratch.assign(base);
        scratch.append(shown);
        return matcher.Matches(scratch);
    };
    std::vector<Candidate> found;
    uint64_t floor = 0;
    for (uint32_t f = folderBegin; f < folderEnd; ++f) {
        if (cancel && (f & 255) == 0 && cancel->load(std::memory_order_relaxed)) return hits;
        if (q.WithFolders && byName && f != 0 && nameMatches(index.FolderName(f), f, true) &&
            q.Extensions.empty()) {
            // A folder row: what its files hold, as counted.
            const uint32_t a = index.FolderFirstFile(f), stop = index.FolderSubtreeEnd(f);
            const uint32_t b =
                stop < index.FolderCount() ? index.FolderFirstFile(stop) : index.FileCount();
            uint64_t size = 0, occ = 0;
            for (uint32_t i = a; i < b; ++i)
                if (!(index.Flags(i) & (INDEX_FLAG_GONE | INDEX_FLAG_FURTHER_NAME)))
                    size += index.Size(i), occ += index.Occupied(i);
            if (q.MinSize < 0 || size >= static_cast<uint64_t>(q.MinSize))
                found.push_back({keyOf(size, occ, 0), true, f});
        }
        const uint32_t first = index.FolderFirstFile(f), n = index.FolderFileCount(f);
        for (uint32_t i = first; i < first + n; ++i) {
            const uint8_t flags = index.Flags(i);
            if ((flags & INDEX_FLAG_GONE) || (skipFurther && (flags & INDEX_FLAG_FURTHER_NAME)))
                continue;
            const uint64_t size = index.Size(i);
            if (q.MinSize >= 0 && size < static_cast<uint64_t>(q.MinSize)) continue;
            const int64_t mtime = index.ModifiedTime(i);
            if (mtime >= q.ModifiedBefore || mtime <= q.ModifiedAfter) continue;
            const std::string_view name = index.Name(i);
            if (!q.Extensions.empty() && std::find(q.Extensions.begin(), q.Extensions.end(),
                                                   ExtensionOf(name)) == q.Extensions.end())
                continue;
            if (!nameMatches(name, f, false)) continue;
            const uint64_t key = keyOf(size, index.Occupied(i), mtime);
            if (key < floor) continue;
            found.push_back({key, false, i});
            // Only the largest are wanted: now and then those below the
            // Top-th largest key so far are dropped (ties with it stay, for
            // the order by path), so a query of a million files never holds
            // a million candidates.
            if (found.size() >= 4 * q.Top + 4096) {
                std::nth_element(
                    found.begin(), found.begin() + static_cast<std::ptrdiff_t>(q.Top - 1),
                    found.end(),
                    [](const Candidate& a, const Candidate& b) { return a.key > b.key; });
                floor = found[q.Top - 1].key;
                std::erase_if(found, [&](const Candidate& c) { return c.key < floor; });
            }
        }
    }
    auto pathOf = [&](const Candidate& c) {
        return c.folder ? index.FolderPath(c.index) : index.FilePath(c.index);
    };
    // The Top largest keys; of those equal to the smallest key taken, the
    // first ones in byte order of the path.
    std::vector<Candidate> chosen;
    if (found.size() > q.Top) {
        std::nth_element(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(q.Top - 1),
                         found.end(),
                         [](const Candidate& a, const Candidate& b) { return a.key > b.key; });
        const uint64_t threshold = found[q.Top - 1].key;
        std::vector<Candidate> ties;
        for (const auto& c : found) {
            if (c.key > threshold)
                chosen.push_back(c);
            else if (c.key == threshold)
                ties.push_back(c);
        }
        const size_t room = q.Top - chosen.size();
        if (ties.size() > room) {
            std::vector<std::pair<std::string, Candidate>> named;
            named.reserve(ties.size());
            for (const auto& c : ties)
                named.emplace_back(pathOf(c), c);
            std::partial_sort(named.begin(), named.begin() + static_cast<std::ptrdiff_t>(room),
                              named.end(),
                              [](const auto& a, const auto& b) { return a.first < b.first; });
            for (size_t k = 0; k < room; ++k)
                chosen.push_back(named[k].second);
        } else {
            chosen.insert(chosen.end(), ties.begin(), ties.end());
        }
    } else {
        chosen = std::move(found);
    }
    hits.reserve(chosen.size());
    for (const auto& c : chosen) {
        FileHit h;
        h.IsFolder = c.folder;
        h.Index = c.index;
        h.Path = pathOf(c);
        if (c.folder) {
            const uint32_t a = index.FolderFirstFile(c.index),
                           stop = index.FolderSubtreeEnd(c.index);
            const uint32_t b =
                stop < index.FolderCount() ? index.FolderFirstFile(stop) : index.FileCount();
            for (uint32_t i = a; i < b; ++i)
                if (!(index.Flags(i) & (INDEX_FLAG_GONE | INDEX_FLAG_FURTHER_NAME)))
                    h.Size += index.Size(i), h.Occupied += index.Occupied(i);
        } else {
            h.Size = index.Size(c.index);
            h.Occupied = index.Occupied(c.index);
            h.ModifiedTime = index.ModifiedTime(c.index);
            h.Flags = index.Flags(c.index);
        }
        hits.push_back(std::move(h));
    }
    std::sort(hits.begin(), hits.end(), [&](const FileHit& a, const FileHit& b) {
        const uint64_t ka = keyOf(a.Size, a.Occupied, a.ModifiedTime),
                       kb = keyOf(b.Size, b.Occupied, b.ModifiedTime);
        if (ka != kb) return ka > kb;
        return a.Path < b.Path;
    });
    return hits;
}

} // namespace nrvs
