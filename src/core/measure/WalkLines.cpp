// The folder lines of a walk, written once every folder is read: in the
// order a depth-first walk on one thread appends them, whichever thread
// read which folder.

#include "core/measure/Walk.h"

#include <algorithm>
#include <cstring>

namespace nrvs::walking {

void Walk::Finish(FolderList& out) {
    // Post order, children in the order the folder listed them: the order a
    // depth-first walk on one thread appends the lines.
    struct Item {
        const Node* node;
        size_t next;
        size_t pathLen;
    };
    std::string path = programRoot_;
    std::vector<Item> stack{{root_, 0, path.size()}};
    FolderRecord r;
    while (!stack.empty()) {
        Item& it = stack.back();
        if (it.next < it.node->children.size()) {
            const Node* c = it.node->children[it.next++];
            path.resize(it.pathLen);
            path += P::ShownName(c->name);
            path += '\\';
            stack.push_back({c, 0, path.size()});
            continue;
        }
        path.resize(it.pathLen);
        AppendLine(out, it.node, path, r);
        stack.pop_back();
        if (!stack.empty()) path.resize(stack.back().pathLen);
    }
}

void Walk::AppendLine(FolderList& out, const Node* n, const std::string& path, FolderRecord& r) {
    if (report_ && n->unlistable && n->parent) report_->Unreadable.push_back(path);
    if (!n->hasLine || path.size() > kMaxRecordedPath) return;
    r.Path = path;
    r.TreeBytes = n->treeBytes;
    r.TreeOccupied = n->treeOccupied;
    r.OwnBytes = n->ownBytes;
    r.OwnOccupied = n->ownOccupied;
    r.OwnFiles = n->ownFiles;
    r.TreeFiles = n->treeFiles;
    r.OwnFolders = n->ownFolders;
    r.TreeFolders = n->treeFolders;
    r.Hidden = n->hidden;
    r.ReadOnly = n->readOnly;
    out.Append(FormatRecord(r));
}

void Walk::FinishInOrder(FolderList& out) {
    // Pre order: a folder's line before its subfolders' (" > " sorts before
    // a name of printable characters), the subfolders in the order of their
    // names with the separator, ignoring case, as the lines that begin with
    // them sort. Names that sort otherwise (case-only twins, characters
    // before a space) leave the lines out of order, and the caller's sort
    // puts them right.
    struct Item {
        std::vector<std::pair<std::string, const Node*>> kids; // shown name and separator
        size_t next;
        size_t pathLen;
    };
    std::string path = programRoot_;
    FolderRecord r;
    auto enter = [&](const Node* n) {
        AppendLine(out, n, path, r);
        Item it{{}, 0, path.size()};
        it.kids.reserve(n->children.size());
        for (const Node* c : n->children)
            it.kids.emplace_back(P::ShownName(c->name) + '\\', c);
        std::stable_sort(it.kids.begin(), it.kids.end(), [](const auto& a, const auto& b) {
            return P::LessIgnoreCase(a.first, b.first);
        });
        return it;
    };
    std::vector<Item> stack;
    stack.push_back(enter(root_));
    while (!stack.empty()) {
        Item& it = stack.back();
        if (it.next == it.kids.size()) {
            stack.pop_back();
            continue;
        }
        const auto& [shown, child] = it.kids[it.next++];
        path.resize(it.pathLen);
        path += shown;
        stack.push_back(enter(child));
    }
}

void Walk::CollectFolders() {
    struct Item {
        const Node* node;
        size_t next;
        uint32_t out;
    };
    auto& folders = index_->Folders;
    auto add = [&](const Node* n, uint32_t parent) {
        FileIndexData::Folder f;
        f.Parent = parent;
        if (n->parent) index_->SetFolderName(f, n->name);
        f.Worker = n->fileWorker;
        f.Begin = n->fileBegin;
        f.Count = n->fileCount;
        f.NameBytes = n->fileNameBytes;
        folders.push_back(std::move(f));
        return static_cast<uint32_t>(folders.size() - 1);
    };
    if (!root_->hasLine) return;
    // Counted first: a list that doubled would hold two copies of every
    // folder's entry at the measurement's peak.
    size_t count = 0, names = 0;
    for (std::vector<const Node*> todo{root_}; !todo.empty();) {
        const Node* n = todo.back();
        todo.pop_back();
        ++count;
        if (n->parent) names += n->name.size();
        for (const Node* c : n->children)
            if (c->hasLine) todo.push_back(c);
    }
    folders.reserve(folders.size() + count);
    index_->FolderNames.reserve(index_->FolderNames.size() + names);
    std::vector<Item> stack{{root_, 0, add(root_, UINT32_MAX)}};
    while (!stack.empty()) {
        Item& it = stack.back();
        if (it.next < it.node->children.size()) {
            const Node* c = it.node->children[it.next++];
            // A folder a stopped walk never entered has no line and no files.
            if (c->hasLine) stack.push_back({c, 0, add(c, it.out)});
            continue;
        }
        folders[it.out].SubtreeEnd = static_cast<uint32_t>(folders.size());
        stack.pop_back();
    }
}

} // namespace nrvs::walking
