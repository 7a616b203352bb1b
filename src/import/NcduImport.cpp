// Reading another analyzer's export: a JSON document read a block at a time,
// of which only the names and records of the tree are kept.
#include "core/exchange/Ncdu.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/history/PreviousKeeper.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/cache/Folders.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "platform/ProgramLocation.h"
#include "platform/Drives.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "import/JsonReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <cstdio>
#include <ctime>
#include <vector>

namespace nrvs {

namespace P = platform;

// ---- import ----

namespace {

using Type = JsonReader::Type;
using Position = JsonReader::Position;

// One line of the information file: its control bytes shown as the paths
// show them, so that a hostile name cannot add lines.
std::string InfoValue(std::string_view value) {
    return P::ShownName(value);
}

struct EntryInfo {
    std::string name;
    bool hasName = false, nameTooLong = false;
    int64_t asize = 0, dsize = 0, mtime = 0;
    uint64_t dev = 0, ino = 0, nlink = 0, mode = 0;
    bool hasDev = false, hasIno = false, hasMode = false;
    bool hlnkc = false, readError = false, notreg = false, excluded = false;
};

struct Folder {
    uint32_t parent = UINT32_MAX;
    std::string name;
    double ownBytes = 0, ownOccupied = 0, treeBytes = 0, treeOccupied = 0;
    int64_t ownFiles = 0, ownFolders = 0, treeFiles = 0, treeFolders = 0;
    uint8_t hidden = 0, readOnly = 0;
    bool unreadable = false;
    uint32_t subtreeEnd = 0;
};

struct Linked {
    uint64_t dev, ino;
    uint32_t file;
};

// What the import's note keeps of the document: small enough that the
// note stays far below what its reader takes (1 MiB).
constexpr size_t kLongestRoot = 4096;
constexpr size_t kLongestProgram = 1024;
// The longest name of a file or folder a file system gives.
constexpr size_t kLongestName = 255;

class Importer {
  public:
    Importer(const NcduSource& source, const NcduImportOptions& options)
        // Folders nest in arrays below the top one; their entries are
        // objects, and what other producers add may nest a little more.
        : json_(source, kNcduMaxBytes, kNcduMaxDepth + 8), options_(options) {}
    bool Parse();
    std::string Error() const { return json_.Error(); }

    std::string rootName;
    std::string program, version;
    int64_t timestamp = 0;
    std::vector<Folder> folders;
    std::vector<IndexedFile> files;
    std::vector<uint32_t> fileFolder;
    std::string names;
    std::vector<Linked> linked;

  private:
    bool Fail(Position at, const std::string& reason) { return json_.Fail(at, reason); }
    bool ReadCount(int64_t& out, const char* what, bool mayBeNegative = false);
    bool ReadUnsigned(uint64_t& out, const char* what);
    bool ReadFlag(bool& out, const char* what);
    bool ReadInfo(EntryInfo& info, bool root);
    bool ReadMetadata();
    bool CheckName(Position at, const EntryInfo& info);
    bool Keep(Position at, const EntryInfo& info);
    bool Walk();
    bool SkipRest();
    bool CheckUniqueNames();
    void AddFile(const EntryInfo& info, uint32_t folder, uint64_t dev);
    uint32_t AddFolder(const EntryInfo& info, uint32_t parent);

    JsonReader json_;
    const NcduImportOptions& options_;
    uint64_t entries_ = 0, nameBytes_ = 0;
    Position last_;
};

bool Importer::ReadCount(int64_t& out, const char* what, bool mayBeNegative) {
    Type t = Type::Null;
    if (!json_.Peek(t)) return false;
    const Position at = json_.Where();
    JsonReader::Number n;
    if (t != Type::Number) return Fail(at, std::string(what) + " is no whole number");
    if (!json_.ReadNumber(n)) return false;
    if (!n.ToInt64(out)) return Fail(at, std::string(what) + " is no whole number");
    if (out < 0 && !mayBeNegative) return Fail(at, std::string(what) + " is negative");
    return true;
}

bool Importer::ReadUnsigned(uint64_t& out, const char* what) {
    Type t = Type::Null;
    if (!json_.Peek(t)) return false;
    const Position at = json_.Where();
    JsonReader::Number n;
    if (t != Type::Number || !json_.ReadNumber(n) || !n.ToUint64(out))
        return Fail(at, std::string(what) + " is no whole number of 0 or more");
    return true;
}

bool Importer::ReadFlag(bool& out, const char* what) {
    Type t = Type::Null;
    if (!json_.Peek(t)) return false;
    if (t != Type::Boolean)
        return Fail(json_.Where(), std::string(what) + " is neither true nor false");
    return json_.ReadBoolean(out);
}

bool Importer::CheckName(Position at, const EntryInfo& info) {
    const std::string& name = info.name;
    if (name.empty()) return Fail(at, "an empty name");
    if (name.find('\0') != std::string::npos) return Fail(at, "a name holds a NUL byte");
    if (name.find('/') != std::string::npos) return Fail(at, "a name holds a '/'");
    if (name == "." || name == "..") return Fail(at, "a name is \".\" or \"..\"");
    if (info.nameTooLong) return Fail(at, "a name longer than 255 bytes");
    return true;
}

bool Importer::ReadInfo(EntryInfo& info, bool root) {
    const Position at = json_.Where();
    if (!json_.EnterObject()) return false;
    std::string key;
    for (;;) {
        bool more = false;
        if (!json_.NextField(key, more)) return false;
        if (!more) break;
        Type t = Type::Null;
        if (!json_.Peek(t)) return false;
        last_ = json_.Where();
        bool ok = true;
        if (key == "name") {
            if (t != Type::String) return Fail(last_, "name is no string");
            // A name is kept only as long as a valid one can be.
            ok = json_.ReadString(info.name, root ? kLongestRoot : kLongestName, info.nameTooLong);
            info.hasName = true;
        } else if (key == "asize")
            ok = ReadCount(info.asize, "asize");
        else if (key == "dsize")
            ok = ReadCount(info.dsize, "dsize");
        else if (key == "mtime")
            ok = ReadCount(info.mtime, "mtime", true);
        else if (key == "dev")
            ok = ReadUnsigned(info.dev, "dev"), info.hasDev = true;
        else if (key == "ino")
            ok = ReadUnsigned(info.ino, "ino"), info.hasIno = true;
        else if (key == "nlink")
            ok = ReadUnsigned(info.nlink, "nlink");
        else if (key == "mode")
            ok = ReadUnsigned(info.mode, "mode"), info.hasMode = true;
        else if (key == "hlnkc")
            ok = ReadFlag(info.hlnkc, "hlnkc");
        else if (key == "read_error")
            ok = ReadFlag(info.readError, "read_error");
        else if (key == "notreg")
            ok = ReadFlag(info.notreg, "notreg");
        else if (key == "excluded") {
            // ncdu names why ("pattern", "otherfs", "kernfs"); an entry
            // written false was not excluded.
            bool flag = true;
            ok = t == Type::Boolean ? json_.ReadBoolean(flag) : json_.Skip();
            info.excluded = flag;
        } else
            ok = json_.Skip();
        if (!ok) return false;
    }
    if (!info.hasName) return Fail(at, "an entry without a name");
    if (root) {
        if (info.name.empty()) return Fail(at, "the root has an empty name");
        if (info.name.find('\0') != std::string::npos)
            return Fail(at, "the root's name holds a NUL byte");
        // No system has a longer path; and the import's note, which names
        // the root, must stay a file its reader takes.
        if (info.nameTooLong)
            return Fail(at, "the root's name is longer than " + std::to_string(kLongestRoot) +
                                " bytes");
        return true;
    }
    return CheckName(at, info);
}

bool Importer::ReadMetadata() {
    const Position at = json_.Where();
    Type t = Type::Null;
    if (!json_.Peek(t)) return false;
    if (t != Type::Object) return Fail(at, "the third element is no object of metadata");
    if (!json_.EnterObject()) return false;
    std::string key;
    for (;;) {
        bool more = false;
        if (!json_.NextField(key, more)) return false;
        if (!more) break;
        if (!json_.Peek(t)) return false;
        const Position valueAt = json_.Where();
        // Only what is shown later is taken; other producers write more.
        bool ok = true, tooLong = false;
        if (key == "progname" && t == Type::String) {
            if (!json_.ReadString(program, kLongestProgram, tooLong)) return false;
            if (tooLong)
                return Fail(valueAt, "progname is longer than " + std::to_string(kLongestProgram) +
                                         " bytes");
        } else if (key == "progver" && t == Type::String) {
            if (!json_.ReadString(version, kLongestProgram, tooLong)) return false;
            if (tooLong)
                return Fail(valueAt,
                            "progver is longer than " + std::to_string(kLongestProgram) + " bytes");
        } else if (key == "timestamp" && t == Type::Number) {
            ok = ReadCount(timestamp, "timestamp", true);
        } else {
            ok = json_.Skip();
        }
        if (!ok) return false;
    }
    return true;
}

// Counts an entry against what an import keeps: refused at the entry that
// would pass a limit.
bool Importer::Keep(Position at, const EntryInfo& info) {
    if (++entries_ > options_.MaxEntries)
        return Fail(at, "more than " + std::to_string(options_.MaxEntries) + " files and folders");
    nameBytes_ += info.name.size();
    if (nameBytes_ > options_.MaxNameBytes)
        return Fail(at,
                    "the names take more than " + std::to_string(options_.MaxNameBytes) + " bytes");
    return true;
}

uint32_t Importer::AddFolder(const EntryInfo& info, uint32_t parent) {
    Folder f;
    f.parent = parent;
    if (parent != UINT32_MAX) {
        f.name = info.name;
        ++folders[parent].ownFolders;
    } else {
        rootName = info.name;
    }
    std::string_view own = info.name;
    if (parent == UINT32_MAX) {
        // The root is named by its whole path; its own name is the last.
        while (own.size() > 1 && own.back() == '/')
            own.remove_suffix(1);
        const size_t slash = own.find_last_of('/');
        if (slash != std::string_view::npos) own = own.substr(slash + 1);
    }
    f.hidden = !own.empty() && own.front() == '.' ? 1 : 0;
    f.readOnly = info.hasMode && !(info.mode & 0200) ? 1 : 0;
    f.unreadable = info.readError;
    folders.push_back(std::move(f));
    return static_cast<uint32_t>(folders.size() - 1);
}

void Importer::AddFile(const EntryInfo& info, uint32_t folder, uint64_t dev) {
    Folder& f = folders[folder];
    ++f.ownFiles;
    IndexedFile r;
    r.Size = static_cast<uint64_t>(info.asize);
    r.Occupied = static_cast<uint64_t>(info.dsize);
    r.ModifiedTime = info.mtime;
    r.NameOffset = static_cast<uint32_t>(names.size());
    r.NameLength = static_cast<uint8_t>(info.name.size());
    const uint64_t type = info.mode & 0170000;
    // A link is a file of its own length, as a measurement counts it; only
    // devices, FIFOs and sockets are no regular files to it.
    if (info.hasMode && type == 0100000 && (info.mode & 0111)) r.Flags |= INDEX_FLAG_EXECUTABLE;
    if (info.notreg && !(info.hasMode && type == 0120000)) r.Flags |= INDEX_FLAG_NOT_REGULAR;
    names += info.name;
    const uint32_t index = static_cast<uint32_t>(files.size());
    files.push_back(r);
    fileFolder.push_back(folder);
    if ((info.hlnkc || info.nlink > 1) && info.hasIno) {
        linked.push_back({info.hasDev ? info.dev : dev, info.ino, index});
        return;
    }
    f.ownBytes += static_cast<double>(info.asize);
    f.ownOccupied += static_cast<double>(info.dsize);
}

// Reads past the rest of the array entered last.
bool Importer::SkipRest() {
    for (;;) {
        bool more = false;
        if (!json_.NextElement(more)) return false;
        if (!more) return true;
        if (!json_.Skip()) return false;
    }
}

bool Importer::Walk() {
    struct Frame {
        uint32_t folder;
        uint64_t dev;
    };
    std::vector<Frame> stack;
    // Opens the folder array that comes next below parent: its first
    // element is the folder's own entry. False on bad input; skipped when
    // excluded.
    auto open = [&](uint32_t parent, uint64_t parentDev) -> bool {
        const Position at = json_.Where();
        if (stack.size() >= kNcduMaxDepth)
            return Fail(at, "nested deeper than " + std::to_string(kNcduMaxDepth) + " folders");
        if (!json_.EnterArray()) return false;
        bool more = false;
        if (!json_.NextElement(more)) return false;
        if (!more) return Fail(at, "a folder without its entry");
        Type t = Type::Null;
        if (!json_.Peek(t)) return false;
        if (t != Type::Object) return Fail(json_.Where(), "a folder's first element is no object");
        EntryInfo info;
        if (!ReadInfo(info, parent == UINT32_MAX)) return false;
        if (info.excluded) return SkipRest(); // never entered: its elements are read past
        if (!Keep(at, info)) return false;
        const uint32_t folder = AddFolder(info, parent);
        stack.push_back({folder, info.hasDev ? info.dev : parentDev});
        return true;
    };
    if (!open(UINT32_MAX, 0)) return false;
    while (!stack.empty()) {
        const Frame top = stack.back();
        bool more = false;
        if (!json_.NextElement(more)) return false;
        if (!more) {
            folders[top.folder].subtreeEnd = static_cast<uint32_t>(folders.size());
            stack.pop_back();
            continue;
        }
        Type t = Type::Null;
        if (!json_.Peek(t)) return false;
        last_ = json_.Where();
        if (t == Type::Array) {
            if (!open(top.folder, top.dev)) return false;
            continue;
        }
        if (t != Type::Object)
            return Fail(last_, "an element of a folder is neither an entry nor a folder");
        const Position at = last_;
        EntryInfo info;
        if (!ReadInfo(info, false)) return false;
        if (!info.excluded) {
            if (!Keep(at, info)) return false;
            AddFile(info, top.folder, top.dev);
        }
    }
    return true;
}

// No file system lists one name twice in a folder, and the cache could not
// tell two such folders apart.
bool Importer::CheckUniqueNames() {
    const size_t fileCount = files.size();
    auto nameOf = [&](size_t id) -> std::string_view {
        if (id < fileCount)
            return std::string_view(names).substr(files[id].NameOffset, files[id].NameLength);
        return folders[id - fileCount].name;
    };
    auto parentOf = [&](size_t id) {
        return id < fileCount ? fileFolder[id] : folders[id - fileCount].parent;
    };
    struct Key {
        uint64_t hash;
        uint32_t id;
    };
    std::vector<Key> keys;
    keys.reserve(fileCount + folders.size());
    for (size_t id = 0; id < fileCount + folders.size(); ++id) {
        const uint32_t parent = parentOf(id);
        if (parent == UINT32_MAX) continue;
        const uint64_t h =
            std::hash<std::string_view>{}(nameOf(id)) ^ (uint64_t{parent} * 0x9E3779B97F4A7C15ull);
        keys.push_back({h, static_cast<uint32_t>(id)});
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.hash < b.hash; });
    for (size_t i = 0; i < keys.size();) {
        size_t j = i + 1;
        while (j < keys.size() && keys[j].hash == keys[i].hash)
            ++j;
        for (size_t a = i; a < j; ++a)
            for (size_t b = a + 1; b < j; ++b) {
                if (parentOf(keys[a].id) != parentOf(keys[b].id) ||
                    nameOf(keys[a].id) != nameOf(keys[b].id))
                    continue;
                std::string where;
                for (uint32_t f = parentOf(keys[a].id); f != UINT32_MAX; f = folders[f].parent)
                    where = (folders[f].parent == UINT32_MAX ? rootName : folders[f].name) +
                            (where.empty() ? "" : "/") + where;
                return Fail(last_, "the name \"" + P::ShownName(nameOf(keys[a].id)) +
                                       "\" is listed twice in " + P::ShownName(where));
            }
        i = j;
    }
    return true;
}

bool Importer::Parse() {
    Type t = Type::Null;
    if (!json_.Peek(t)) return false;
    if (t != Type::Array) return Fail(json_.Where(), "no export: the document is no JSON array");
    if (!json_.EnterArray()) return false;
    int element = 0;
    bool sawRoot = false;
    for (;;) {
        bool more = false;
        if (!json_.NextElement(more)) return false;
        if (!more) break;
        if (!json_.Peek(t)) return false;
        last_ = json_.Where();
        JsonReader::Number n;
        int64_t version = 0;
        if (element == 0) {
            if (t != Type::Number || !json_.ReadNumber(n) || !n.ToInt64(version) || version != 1)
                return Fail(last_, "not an export of format major version 1");
        } else if (element == 1) {
            if (t != Type::Number || !json_.ReadNumber(n) || !n.ToInt64(version) || version < 0)
                return Fail(last_, "the minor version is no whole number");
        } else if (element == 2) {
            if (!ReadMetadata()) return false;
        } else if (element == 3) {
            if (t != Type::Array) return Fail(last_, "the root is no folder");
            if (!Walk()) return false;
            sawRoot = true;
        } else {
            return Fail(last_, "more elements after the root folder");
        }
        ++element;
    }
    if (!sawRoot) return Fail(last_, "the export holds no root folder");
    bool end = false;
    if (!json_.AtEnd(end)) return false;
    if (!end) return Fail(json_.Where(), "more data after the end of the export");
    return CheckUniqueNames();
}

// Numbers of the given folders (and of their ancestors) in the byte order
// of their program paths, without building the paths: pre-order, each
// folder's children in the order of their shown names followed by the
// separator. A shown name holds no backslash, so no child's part of a path
// is the start of another's, and that order is the order of every path
// below them. Others are left UINT64_MAX.
std::vector<uint64_t> PathRanks(const std::vector<Folder>& folders,
                                const std::vector<uint32_t>& holders) {
    std::vector<uint64_t> rank(folders.size(), UINT64_MAX);
    std::vector<char> marked(folders.size(), 0);
    std::vector<std::pair<uint32_t, uint32_t>> edges; // parent, child
    for (uint32_t f : holders)
        for (; f != UINT32_MAX && !marked[f]; f = folders[f].parent) {
            marked[f] = 1;
            if (folders[f].parent != UINT32_MAX) edges.emplace_back(folders[f].parent, f);
        }
    if (edges.empty() && !marked[0]) return rank;
    std::vector<std::string> keys(edges.size());
    std::vector<uint32_t> order(edges.size());
    for (uint32_t k = 0; k < edges.size(); ++k) {
        keys[k] = P::ShownName(folders[edges[k].second].name) + '\\';
        order[k] = k;
    }
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        if (edges[a].first != edges[b].first) return edges[a].first < edges[b].first;
        return keys[a] < keys[b];
    });
    std::vector<std::string>().swap(keys);
    // Where each marked folder's children begin in that order.
    std::vector<std::pair<uint32_t, uint32_t>> range(folders.size(), {0, 0});
    for (uint32_t k = 0; k < order.size();) {
        const uint32_t parent = edges[order[k]].first;
        uint32_t end = k;
        while (end < order.size() && edges[order[end]].first == parent)
            ++end;
        range[parent] = {k, end};
        k = end;
    }
    uint64_t next = 0;
    std::vector<std::pair<uint32_t, uint32_t>> stack{{0, range[0].first}};
    rank[0] = next++;
    while (!stack.empty()) {
        auto& [folder, at] = stack.back();
        if (at == range[folder].second) {
            stack.pop_back();
            continue;
        }
        const uint32_t child = edges[order[at++]].second;
        rank[child] = next++;
        stack.emplace_back(child, range[child].first);
    }
    return rank;
}

// Every line holds its folder's whole path: as a measurement does, deeper
// paths go uncounted in lines of their own.
constexpr size_t kMaxRecordedPath = 32767;

} // namespace

bool ImportNcdu(const NcduSource& source, char letter, const NcduImportOptions& options,
                NcduImportReport& report) {
    report = NcduImportReport{};
    if (letter < 'A' || letter > 'Z') {
        report.Error = "no drive letter";
        return false;
    }
    if (options.Host.size() > kLongestProgram || options.Source.size() > kLongestRoot) {
        report.Error = "the machine's name or the file's is too long to be kept";
        return false;
    }
    Importer in(source, options);
    if (!in.Parse()) {
        report.Error = in.Error();
        return false;
    }
    std::vector<Folder>& folders = in.folders;
    const std::string root = std::string(1, letter) + ":\\";

    // Files with several names: the bytes go once, to the folder whose
    // program path sorts first among those holding a name.
    std::sort(in.linked.begin(), in.linked.end(), [](const Linked& a, const Linked& b) {
        if (a.dev != b.dev) return a.dev < b.dev;
        if (a.ino != b.ino) return a.ino < b.ino;
        return a.file < b.file;
    });
    std::vector<uint32_t> holders;
    for (size_t i = 0; i < in.linked.size(); ++i)
        if ((i > 0 && in.linked[i - 1].dev == in.linked[i].dev &&
             in.linked[i - 1].ino == in.linked[i].ino) ||
            (i + 1 < in.linked.size() && in.linked[i + 1].dev == in.linked[i].dev &&
             in.linked[i + 1].ino == in.linked[i].ino))
            holders.push_back(in.fileFolder[in.linked[i].file]);
    const std::vector<uint64_t> rank = PathRanks(folders, holders);
    std::vector<uint32_t>().swap(holders);
    for (size_t i = 0; i < in.linked.size();) {
        size_t j = i + 1;
        while (j < in.linked.size() && in.linked[j].dev == in.linked[i].dev &&
               in.linked[j].ino == in.linked[i].ino)
            ++j;
        // The first folder by path; within it the first name in the document.
        size_t owner = i;
        for (size_t k = i + 1; k < j; ++k)
            if (rank[in.fileFolder[in.linked[k].file]] < rank[in.fileFolder[in.linked[owner].file]])
                owner = k;
        for (size_t k = i; k < j; ++k)
            if (k != owner) in.files[in.linked[k].file].Flags |= INDEX_FLAG_FURTHER_NAME;
        const IndexedFile& f = in.files[in.linked[owner].file];
        Folder& holder = folders[in.fileFolder[in.linked[owner].file]];
        holder.ownBytes += static_cast<double>(f.Size);
        holder.ownOccupied += static_cast<double>(f.Occupied);
        i = j;
    }

    // Totals: the folders are in pre-order, so each comes after its parent.
    for (size_t i = folders.size(); i-- > 0;) {
        Folder& f = folders[i];
        f.treeBytes += f.ownBytes;
        f.treeOccupied += f.ownOccupied;
        f.treeFiles += f.ownFiles;
        f.treeFolders += f.ownFolders;
        if (f.parent != UINT32_MAX) {
            Folder& p = folders[f.parent];
            p.treeBytes += f.treeBytes;
            p.treeOccupied += f.treeOccupied;
            p.treeFiles += f.treeFiles;
            p.treeFolders += f.treeFolders;
        }
    }

    FolderList list;
    {
        std::vector<std::pair<uint32_t, size_t>> stack; // folder, length of its path
        std::string path = root;
        FolderRecord r;
        for (uint32_t i = 0; i < folders.size(); ++i) {
            const Folder& f = folders[i];
            while (!stack.empty() && stack.back().first != f.parent)
                stack.pop_back();
            path.resize(stack.empty() ? root.size() : stack.back().second);
            if (f.parent != UINT32_MAX) {
                path += P::ShownName(f.name);
                path += '\\';
            }
            stack.emplace_back(i, path.size());
            if (f.unreadable) report.Unreadable.push_back(path);
            if (path.size() > kMaxRecordedPath) continue;
            r.Path = path;
            r.TreeBytes = f.treeBytes;
            r.TreeOccupied = f.treeOccupied;
            r.OwnBytes = f.ownBytes;
            r.OwnOccupied = f.ownOccupied;
            r.OwnFiles = static_cast<int32_t>(std::min<int64_t>(f.ownFiles, INT32_MAX));
            r.TreeFiles = static_cast<int32_t>(std::min<int64_t>(f.treeFiles, INT32_MAX));
            r.OwnFolders = static_cast<int32_t>(std::min<int64_t>(f.ownFolders, INT32_MAX));
            r.TreeFolders = static_cast<int32_t>(std::min<int64_t>(f.treeFolders, INT32_MAX));
            r.Hidden = f.hidden;
            r.ReadOnly = f.readOnly;
            list.Append(FormatRecord(r));
        }
    }
    std::sort(report.Unreadable.begin(), report.Unreadable.end());

    // The index wants each folder's files as one range: put in folder order.
    FileIndexData data;
    data.LinksOnce = true;
    data.Files.resize(1);
    {
        // Files in the order of their folders, each folder's one range.
        std::vector<uint32_t> first(folders.size() + 1, 0);
        for (uint32_t f : in.fileFolder)
            ++first[f + 1];
        for (size_t i = 1; i < first.size(); ++i)
            first[i] += first[i - 1];
        std::vector<uint32_t> order(in.files.size());
        {
            std::vector<uint32_t> next(first.begin(), first.end() - 1);
            for (size_t k = 0; k < in.files.size(); ++k)
                order[next[in.fileFolder[k]]++] = static_cast<uint32_t>(k);
        }
        FileRecords& out = data.Files[0];
        out.SpillTo(platform::ProgramFileFolders().Data);
        data.Folders.resize(folders.size());
        for (size_t i = 0; i < folders.size(); ++i) {
            FileIndexData::Folder& d = data.Folders[i];
            d.Parent = folders[i].parent;
            data.SetFolderName(d, folders[i].name);
            d.Worker = 0;
            d.Begin = out.Position();
            d.Count = first[i + 1] - first[i];
            d.SubtreeEnd = folders[i].subtreeEnd;
            const uint64_t nameBytes = out.NameBytes();
            for (uint32_t j = first[i]; j < first[i + 1]; ++j) {
                const IndexedFile& f = in.files[order[j]];
                out.Add(f, std::string_view(in.names).substr(f.NameOffset, f.NameLength));
            }
            d.NameBytes = static_cast<uint32_t>(out.NameBytes() - nameBytes);
        }
        std::vector<IndexedFile>().swap(in.files);
        std::string().swap(in.names);
    }

    const Folder& top = folders.front();
    report.Folders = folders.size();
    report.Files = static_cast<uint64_t>(top.treeFiles);
    report.Bytes = top.treeBytes;
    report.Occupied = top.treeOccupied;
    report.Root = in.rootName;

    const std::time_t now = std::time(nullptr);
    const std::time_t scanned = in.timestamp > 0 ? static_cast<std::time_t>(in.timestamp) : now;
    list.Sort();
    list.InsertFirst(NewHeaderLine(scanned, scanned));
    const std::string header(list.LineAt(0));

    std::string info = "import=ncdu\r\n";
    info += "root=" + InfoValue(in.rootName) + "\r\n";
    info += "host=" + InfoValue(options.Host) + "\r\n";
    std::string program = in.program;
    if (!in.version.empty()) program += (program.empty() ? "" : " ") + in.version;
    info += "program=" + InfoValue(program) + "\r\n";
    info += "scanned=" + std::to_string(in.timestamp) + "\r\n";
    info += "imported=" + std::to_string(static_cast<long long>(now)) + "\r\n";
    info += "source=" + InfoValue(options.Source) + "\r\n";
    info += "cache=" + InfoValue(header) + "\r\n";

    DriveRecord drive;
    drive.Index = letter - 'A';
    drive.RootPath = root;
    P::FileLock lock(CacheLockName(drive));
    // Each file is written whole under a temporary name first, the index
    // holding the note, the note the cache: only once all three are written
    // do they take their names (the cache, the note, the index), so that a
    // full disk leaves the letter as it was. A failure after the cache took
    // its name leaves the index of another scan beside it, which its header
    // line refuses.
    std::string why, failed;
    const bool written =
        WriteFileIndex(FileIndexName(letter), letter, header, data, nullptr, {}, &why, [&] {
            const bool noted = P::ReplaceFileStreamedGated(
                ImportInfoName(letter), [&](const P::PutBytes& put) { return put(info); },
                [&] {
                    // Nothing kept of the letter's measurements is a "before"
                    // of the scan.
                    if (!StartHistoryAfresh(letter, header, options.Host, in.rootName, &failed))
                        return false;
                    report.CacheWritten = SaveCache(list, drive, &failed);
                    return report.CacheWritten;
                });
            if (!noted && failed.empty())
                failed = ImportInfoName(letter) + ": " + P::LastWriteError();
            return noted;
        });
    if (!written) {
        report.Error = failed.empty() ? why : failed;
        return false;
    }
    return true;
}

bool ImportNcdu(const std::string& document, char letter, const NcduImportOptions& options,
                NcduImportReport& report) {
    size_t at = 0;
    const NcduSource source = [&](char* buffer, size_t capacity, size_t& got, std::string&) {
        got = std::min(capacity, document.size() - at);
        std::memcpy(buffer, document.data() + at, got);
        at += got;
        return true;
    };
    return ImportNcdu(source, letter, options, report);
}

} // namespace nrvs
