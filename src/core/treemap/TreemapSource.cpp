#include "core/treemap/Treemap.h"

#include "core/offline/Snapshot.h"
#include "core/treemap/LinePaths.h"
#include "core/treemap/LineTree.h"
#include "platform/Drives.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

TreemapLines::TreemapLines(std::initializer_list<std::string> lines) {
    for (const std::string& line : lines)
        push_back(line);
}

TreemapLines::TreemapLines(const FolderList& list, std::vector<uint32_t> positions)
    : list_(list), at_(std::move(positions)), all_(false) {}

void TreemapLines::push_back(std::string_view line) {
    if (!all_ || from_ != 0 || count_ != list_.Size()) {
        // Lines of a list, then one more: the chosen ones become a list of
        // their own.
        FolderList own;
        for (size_t i = 0; i < size(); ++i)
            own.Append((*this)[i]);
        list_ = std::move(own);
        std::vector<uint32_t>().swap(at_);
        all_ = true;
        from_ = 0;
    }
    list_.Append(line);
    count_ = list_.Size();
    inOrder_ = false;
}

TreemapLines SubtreeLines(const FolderList& folders, const std::string& path) {
    TreemapLines out;
    out.list_ = folders;
    out.all_ = false;
    // The line begins with the path, and its own path (up to its last
    // " > ") is no shorter.
    auto begins = [&](size_t i) {
        const std::string_view line = out.list_.LineAt(i);
        if (line.size() < path.size() || line.compare(0, path.size(), path) != 0) return false;
        const size_t length = PathLength(line);
        return length != std::string_view::npos && length >= path.size();
    };
    size_t first = 0, last = 0;
    if (folders.Size() > 1 && out.list_.PrefixRun(path, first, last)) {
        // The lines after the first are in order: the folder's are among
        // those that begin with its path in any case, usually all of them.
        // The first line is a header, or a folder line of a cache without
        // one, whose place in the order nobody checked.
        std::vector<uint32_t> at;
        const bool zero = begins(0);
        if (zero) at.push_back(0);
        size_t runFrom = 0, runCount = 0;
        bool oneRun = !zero;
        for (size_t i = first; i < last; ++i) {
            if (!begins(i)) continue;
            if (runCount == 0)
                runFrom = i;
            else if (runFrom + runCount != i)
                oneRun = false;
            ++runCount;
        }
        if (oneRun) {
            out.all_ = true;
            out.from_ = runFrom;
            out.count_ = runCount;
        } else {
            for (size_t i = first; i < last; ++i)
                if (begins(i)) at.push_back(static_cast<uint32_t>(i));
            at.shrink_to_fit();
            out.at_ = std::move(at);
        }
        out.inOrder_ = !zero;
        return out;
    }
    std::vector<uint32_t> at;
    for (size_t i = 0; i < folders.Size(); ++i)
        if (begins(i)) at.push_back(static_cast<uint32_t>(i));
    at.shrink_to_fit();
    out.at_ = std::move(at);
    return out;
}

void ListEntries(TreemapSource& source, int32_t clusterSize) {
    DirListing listing;
    listing.ClusterSize = clusterSize;
    ListFolder(listing, source.Path + "*.*", LIST_ALL);
    source.Entries.clear();
    source.Entries.reserve(listing.Entries.size());
    for (const std::string& line : listing.Entries)
        source.Entries.push_back(ParseEntry(line));
}

TreemapSource MakeSource(const FolderList& folders, const std::string& path, int32_t clusterSize,
                         double usedBytes) {
    TreemapSource s;
    s.Path = path;
    if (!s.Path.empty() && s.Path.back() != '\\') s.Path += '\\';
    s.UsedBytes = usedBytes;
    s.Lines = SubtreeLines(folders, s.Path);
    // The index of the measurement these lines come from, and no other.
    if (s.Path.size() >= 3 && folders.Count() > 0)
        s.Files = OpenFileIndex(s.Path[0], std::string(folders.LineAt(0)));
    if (s.Path.size() >= 3 &&
        platform::GetDriveTypeA(s.Path.substr(0, 3)) <= platform::DRIVE_NO_ROOT_DIR) {
        // A drive that is not here (unplugged, or a scan of another
        // machine): the folder's entries as its last measurement saw them.
        DirListing listing;
        ListSnapshot(listing, folders, s.Files.get(), s.Path + "*.*", LIST_ALL);
        for (const std::string& line : listing.Entries)
            s.Entries.push_back(ParseEntry(line));
        return s;
    }
    ListEntries(s, clusterSize);
    return s;
}

std::shared_ptr<LineTreeCache> NewIndexCache() {
    return std::make_shared<LineTreeCache>();
}

} // namespace nrvs
