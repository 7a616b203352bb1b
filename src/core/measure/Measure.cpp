#include "core/measure/Measure.h"

#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "lib/Messages.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace nrvs {

namespace P = platform;

void MeasureHooks::RunJob(const std::string&, const std::function<void()>& job) {
    job();
}
int MeasureHooks::Ask(const std::string& text, int style) {
    return AskYesNo(text, style);
}
void MeasureHooks::Tell(const std::string& text, int style) {
    ShowMessageBox(text, style);
}
bool MeasureHooks::ChooseDrives(std::string&) {
    return false;
}

double OccupiedSize(double size, double onDisk, uint32_t clusterSize) {
    if (clusterSize == 0) return onDisk;
    const double c = clusterSize;
    double o = static_cast<double>(static_cast<int64_t>(onDisk / c)) * c;
    if (o < size) o += c;
    return o;
}

namespace {

// One folder of the walk. The tree of nodes is kept until the end so that
// the lines can be written in the order a depth-first walk appends them,
// whichever thread measured which folder.
struct Node {
    Node* parent = nullptr;
    std::string name; // native bytes
    std::vector<Node*> children;
    double ownBytes = 0, ownOccupied = 0, treeBytes = 0, treeOccupied = 0;
    int32_t ownFiles = 0, treeFiles = 0, ownFolders = 0, treeFolders = 0;
    uint64_t mountId = 0;
    int depth = 0;
    uint8_t hidden = 0, readOnly = 0;
    // Where the folder's files are in the index lists: one range of one
    // worker's list, since one worker reads a whole folder.
    uint8_t fileWorker = 0;
    uint32_t fileCount = 0, fileNameBytes = 0;
    uint64_t fileBegin = 0;
    bool hasLine = true;
    bool otherMount = false;
    bool unlistable = false;
    // Subfolders not yet complete; the folder completes when it reaches 0.
    std::atomic<int> pending{0};
};

// Keeps at most this many folders of one descent open; deeper ones are
// reopened through ".." on the way back up, so a tree of any depth stays
// within the process's file limit.
constexpr size_t kOpenFolders = 64;
// Every line holds its folder's whole path, so a deep chain costs the square
// of its depth in memory and file size. Like the long paths of the system
// this format comes from, a path is recorded up to this length; deeper
// folders still count in the totals of the folders above them.
constexpr size_t kMaxRecordedPath = 32767;
// Folders handed to other threads are opened by their full path; one name
// more must still fit.
const size_t kHandOverPath = P::DirectPathLength() - 256;

class Walk {
  public:
    Walk(const std::string& programRoot, const std::string& nativeRoot, uint32_t cluster, int depth,
         int threads, MeasureReport* report)
        : programRoot_(programRoot), nativeRoot_(nativeRoot), cluster_(cluster), baseDepth_(depth),
          threads_(threads), report_(report) {}

    FolderRecord Run(FolderList& out, MeasureHooks& hooks);
    void SetNominalSizes(bool on) { nominal_ = on; }
    // Lets the walk add workers up to this many once it reads from the
    // device (a cold cache): more requests in flight hide the wait.
    void SetMaxThreads(int n) { maxThreads_ = std::max(n, threads_); }
    void SetCountLinksOnce(bool on) { linksOnce_ = on; }
    void SetLinkedNames(std::vector<LinkedName>* out) { linkedOut_ = out; }
    void SetFileIndex(FileIndexData* out) { index_ = out; }
    void SetLinesInOrder(bool on) { inOrder_ = on; }

  private:
    struct Frame {
        Node* node = nullptr;
        P::Folder dir;
        P::FileId id;
        size_t next = 0;
    };

    Node* NewNode(std::deque<Node>& arena, Node* parent, std::string_view name) {
        Node& n = arena.emplace_back();
        n.parent = parent;
        n.name = name;
        n.depth = parent ? parent->depth + 1 : baseDepth_;
        return &n;
    }

    void Worker(int index);
    void Descend(Node* start, P::Folder dir, std::deque<Node>& arena, char* buffer);
    // Reads one opened folder; false when it gets no frame (empty, other
    // mount, stopped).
    bool Enter(Node* node, P::Folder& dir, Frame& frame, std::deque<Node>& arena, char* buffer,
               const P::FolderStat* known);
    void MarkUnlistable(Node* node, const P::Folder* parent);
    // Listed by its parent with zero sizes and its own attributes, never entered.
    void MarkOtherMount(Node* node, const P::FolderStat& st);
    void Complete(Node* node);
    std::string NativePath(const Node* node) const;
    size_t NativePathLength(const Node* node) const;
    void Progress(const Node* node);
    bool HandOver(std::vector<Frame>& stack);
    void Finish(FolderList& out);
    // The same lines in the order of a sorted cache, as far as each
    // folder's subfolders sorted by name give it.
    void FinishInOrder(FolderList& out);
    // The folder's line at path (r: a record to reuse), when it has one;
    // an unreadable folder goes into the report.
    void AppendLine(FolderList& out, const Node* n, const std::string& path, FolderRecord& r);
    // Adds the bytes of each multiply linked file once, to the folder whose
    // program path sorts first among those holding one of its names.
    void ResolveLinks();
    std::string ProgramPath(const Node* node) const;
    // Whether the start folder lies on another mount than its drive's root.
    bool StartsOnOtherMount() const;

    const std::string programRoot_;
    const std::string nativeRoot_;
    const uint32_t cluster_;
    bool nominal_ = false;
    bool linksOnce_ = false;
    std::vector<LinkedName>* linkedOut_ = nullptr;
    FileIndexData* index_ = nullptr;
    bool inOrder_ = false;
    // The index's folders in pre-order, from the tree of nodes.
    void CollectFolders();
    const int baseDepth_;
    const int threads_;
    int maxThreads_ = 0;

    MeasureReport* const report_;

    std::vector<std::deque<Node>> arenas_;
    // Files with more than one name, kept aside per worker (same index as
    // the arenas) until the walk is over: only these cost memory.
    struct Linked {
        uint64_t device, inode;
        Node* node;
        double size, occupied;
        uint32_t worker;
        uint64_t record; // the name's place in the worker's index stream
    };
    std::vector<std::vector<Linked>> linked_;
    Node* root_ = nullptr;

    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    std::vector<Node*> queue_;
    int idle_ = 0;
    std::atomic<int> idleHint_{0};
    bool done_ = false;
    std::atomic<bool> stop_{false};

    std::mutex progressMutex_;
    std::string progress_;
    bool progressNew_ = false;
    // Added once per folder read, not per file: the workers touch the shared
    // counters rarely enough not to slow one another.
    std::atomic<int64_t> countedFolders_{0}, countedFiles_{0};
    std::atomic<uint64_t> countedBytes_{0};
};

std::string Walk::NativePath(const Node* node) const {
    std::vector<const Node*> chain;
    for (const Node* n = node; n && n->parent; n = n->parent)
        chain.push_back(n);
    std::string path = nativeRoot_;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (path.empty() || path.back() != '/') path += '/';
        path += (*it)->name;
    }
    return path;
}

size_t Walk::NativePathLength(const Node* node) const {
    size_t len = nativeRoot_.size();
    for (const Node* n = node; n && n->parent; n = n->parent)
        len += n->name.size() + 1;
    return len;
}

void Walk::Progress(const Node* node) {
    if (node->depth >= 4) return;
    std::string text;
    std::vector<const Node*> chain;
    for (const Node* n = node; n && n->parent; n = n->parent)
        chain.push_back(n);
    text = programRoot_;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        text += P::ShownName((*it)->name) + "\\";
    text += "...";
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_ = std::move(text);
    progressNew_ = true;
}

void Walk::Complete(Node* node) {
    while (node) {
        node->treeBytes = node->ownBytes;
        node->treeOccupied = node->ownOccupied;
        // The file holds 32-bit counts; a subtree beyond them shows the
        // largest one rather than a wrapped, negative number.
        int64_t files = node->ownFiles, folders = node->ownFolders;
        for (const Node* c : node->children) {
            node->treeBytes += c->treeBytes;
            node->treeOccupied += c->treeOccupied;
            files += c->treeFiles;
            folders += c->treeFolders;
        }
        node->treeFiles = static_cast<int32_t>(std::min<int64_t>(files, INT32_MAX));
        node->treeFolders = static_cast<int32_t>(std::min<int64_t>(folders, INT32_MAX));
        Node* parent = node->parent;
        if (!parent) {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
            workCv_.notify_all();
            doneCv_.notify_all();
            return;
        }
        if (parent->pending.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
        node = parent;
    }
}

void Walk::MarkUnlistable(Node* node, const P::Folder* parent) {
    node->unlistable = true;
    // Whatever attributes can still be read are kept.
    P::FindData d;
    uint32_t attributes = P::INVALID_FILE_ATTRIBUTES;
    if (parent && P::StatEntry(*parent, node->name, d, 0))
        attributes = d.Attributes;
    else if (!parent)
        attributes = P::GetFileAttributesA(NativePath(node));
    if (attributes != P::INVALID_FILE_ATTRIBUTES) {
        node->hidden = (attributes & P::FILE_ATTRIBUTE_HIDDEN) ? 1 : 0;
        node->readOnly = (attributes & P::FILE_ATTRIBUTE_READONLY) ? 1 : 0;
    } else if (!node->name.empty() && node->name.front() == '.') {
        node->hidden = 1;
    }
    Complete(node);
}

void Walk::MarkOtherMount(Node* node, const P::FolderStat& st) {
    node->readOnly = st.ReadOnly ? 1 : 0;
    node->hidden = !node->name.empty() && node->name.front() == '.' ? 1 : 0;
    Complete(node);
}

bool Walk::Enter(Node* node, P::Folder& dir, Frame& frame, std::deque<Node>& arena, char* buffer,
                 const P::FolderStat* known) {
    if (stop_.load(std::memory_order_relaxed)) {
        node->hasLine = false;
        Complete(node);
        return false;
    }
    Progress(node);
    P::FolderStat st;
    if (known) st = *known;
    if (known || dir.Stat(st)) {
        node->readOnly = st.ReadOnly ? 1 : 0;
        node->mountId = st.MountId;
        frame.id = st.Id;
    }
    std::string_view own = node->name;
    if (!node->parent) {
        // The folder where the walk starts: its own name is the path's last.
        own = nativeRoot_;
        while (own.size() > 1 && own.back() == '/')
            own.remove_suffix(1);
        own = own.substr(own.find_last_of('/') + 1);
    }
    if (!own.empty() && own.front() == '.') node->hidden = 1;
    // Another mount begins here: listed by its parent, never entered.
    if (node->otherMount || (node->parent && node->mountId && node->parent->mountId &&
                             node->mountId != node->parent->mountId)) {
        Complete(node);
        return false;
    }
    P::FolderReader reader(dir, false, buffer);
    P::FindData d;
    const uint32_t worker = static_cast<uint32_t>(&arena - arenas_.data());
    FileRecords* files = index_ ? &index_->Files[worker] : nullptr;
    const uint64_t nameBytesBefore = files ? files->NameBytes() : 0;
    if (files) {
        node->fileWorker = static_cast<uint8_t>(worker);
        node->fileBegin = files->Position();
    }
    while (reader.Next(d)) {
        if (d.Attributes & P::FILE_ATTRIBUTE_DIRECTORY) {
            ++node->ownFolders;
            Node* child = NewNode(arena, node, d.Name);
            child->otherMount = d.MountRoot;
            // Hidden is the system's word (an attribute on Windows, the name on Linux).
            child->hidden = (d.Attributes & P::FILE_ATTRIBUTE_HIDDEN) ? 1 : 0;
            node->children.push_back(child);
            continue;
        }
        ++node->ownFiles;
        const double size = static_cast<double>(d.Size);
        double onDisk = size;
        if (!nominal_ &&
            (d.Attributes & (P::FILE_ATTRIBUTE_COMPRESSED | P::FILE_ATTRIBUTE_SPARSE_FILE)))
            onDisk = static_cast<double>(d.Allocated);
        const double occupied = OccupiedSize(size, onDisk, cluster_);
        uint64_t record = 0;
        if (files) {
            IndexedFile f;
            f.Size = d.Size;
            f.Occupied = static_cast<uint64_t>(occupied);
            f.ModifiedTime = d.ModifiedTime;
            f.Flags = static_cast<uint8_t>(
                (d.Executable ? INDEX_FLAG_EXECUTABLE : 0) |
                ((d.Attributes & P::FILE_ATTRIBUTE_SPARSE_FILE) ? INDEX_FLAG_SPARSE : 0) |
                ((d.Attributes & P::FILE_ATTRIBUTE_COMPRESSED) ? INDEX_FLAG_COMPRESSED : 0) |
                ((d.Attributes & P::FILE_ATTRIBUTE_SYSTEM) ? INDEX_FLAG_NOT_REGULAR : 0));
            record = files->Add(f, d.Name);
            ++node->fileCount;
        }
        if (linksOnce_ && d.Links > 1) {
            linked_[worker].push_back({d.Device, d.Inode, node, size, occupied, worker, record});
            continue;
        }
        node->ownBytes += size;
        node->ownOccupied += occupied;
    }
    if (files) node->fileNameBytes = static_cast<uint32_t>(files->NameBytes() - nameBytesBefore);
    countedFolders_.fetch_add(node->ownFolders, std::memory_order_relaxed);
    countedFiles_.fetch_add(node->ownFiles, std::memory_order_relaxed);
    countedBytes_.fetch_add(static_cast<uint64_t>(node->ownBytes), std::memory_order_relaxed);
    if (node->children.empty()) {
        Complete(node);
        return false;
    }
    node->pending.store(static_cast<int>(node->children.size()), std::memory_order_release);
    frame.node = node;
    frame.dir = std::move(dir);
    frame.next = 0;
    return true;
}

bool Walk::HandOver(std::vector<Frame>& stack) {
    // The shallowest folders promise the largest subtrees.
    const size_t scan = std::min<size_t>(stack.size(), 16);
    for (size_t i = 0; i < scan; ++i) {
        Frame& f = stack[i];
        if (f.next >= f.node->children.size()) continue;
        Node* child = f.node->children[f.next];
        if (NativePathLength(child) >= kHandOverPath) return false;
        ++f.next;
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(child);
        workCv_.notify_one();
        return true;
    }
    return false;
}

void Walk::Descend(Node* start, P::Folder dir, std::deque<Node>& arena, char* buffer) {
    std::vector<Frame> stack;
    Frame first;
    if (!dir.Valid()) {
        MarkUnlistable(start, nullptr);
        return;
    }
    if (!Enter(start, dir, first, arena, buffer, nullptr)) return;
    stack.push_back(std::move(first));
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->children.size()) {
            Frame done = std::move(stack.back());
            stack.pop_back();
            if (!stack.empty() && !stack.back().dir.Valid() && done.dir.Valid()) {
                // Back up to a folder closed on the way down.
                P::Folder up = done.dir.OpenParent();
                P::FolderStat s;
                if (up.Stat(s) && s.Id == stack.back().id) stack.back().dir = std::move(up);
            }
            continue;
        }
        if (maxThreads_ > 1 && idleHint_.load(std::memory_order_relaxed) > 0 && HandOver(stack))
            continue;
        Frame& cur = stack.back();
        Node* child = cur.node->children[cur.next++];
        if (stop_.load(std::memory_order_relaxed)) {
            child->hasLine = false;
            Complete(child);
            continue;
        }
        if (!cur.dir.Valid()) {
            MarkUnlistable(child, nullptr);
            continue;
        }
        // Asked by name before it is opened: opening would trigger an
        // automount, and another mount is never entered.
        P::FolderStat st;
        if (!cur.dir.StatChild(child->name, st)) {
            MarkUnlistable(child, &cur.dir);
            continue;
        }
        if (P::IsOtherMount(st, cur.node->mountId)) {
            MarkOtherMount(child, st);
            continue;
        }
        P::Folder sub = cur.dir.OpenChild(child->name);
        if (!sub.Valid()) {
            MarkUnlistable(child, &cur.dir);
            continue;
        }
        Frame next;
        if (!Enter(child, sub, next, arena, buffer, &st)) continue;
        stack.push_back(std::move(next));
        if (stack.size() > kOpenFolders) stack[stack.size() - 1 - kOpenFolders].dir = P::Folder();
    }
}

void Walk::Worker(int index) {
    std::deque<Node>& arena = arenas_[static_cast<size_t>(index)];
    std::unique_ptr<char[]> buffer(new char[P::kFolderReadBuffer]);
    for (;;) {
        Node* node = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++idle_;
            idleHint_.store(idle_, std::memory_order_relaxed);
            workCv_.wait(lock, [&] { return done_ || !queue_.empty(); });
            --idle_;
            idleHint_.store(idle_, std::memory_order_relaxed);
            if (queue_.empty()) return;
            node = queue_.back();
            queue_.pop_back();
        }
        if (stop_.load(std::memory_order_relaxed)) {
            node->hasLine = false;
            Complete(node);
            continue;
        }
        const std::string path = NativePath(node);
        P::FolderStat st;
        if (P::StatFolderPath(path, st) &&
            (node->parent ? P::IsOtherMount(st, node->parent->mountId) : node->otherMount)) {
            MarkOtherMount(node, st);
            continue;
        }
        Descend(node, P::Folder::Open(path), arena, buffer.get());
    }
}

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

bool Walk::StartsOnOtherMount() const {
    // The drive measures each of its folders itself; a folder where another
    // mount begins is walked only as the root of its own drive.
    if (programRoot_.size() <= 3) return false;
    std::string driveRoot;
    if (!P::ToNative(programRoot_.substr(0, 3), driveRoot)) return false;
    P::FolderStat rootSt, st;
    if (!P::StatFolderPath(driveRoot, rootSt) || !P::StatFolderPath(nativeRoot_, st)) return false;
    return P::IsOtherMount(st, rootSt.MountId);
}

std::string Walk::ProgramPath(const Node* node) const {
    std::vector<const Node*> chain;
    for (const Node* n = node; n && n->parent; n = n->parent)
        chain.push_back(n);
    std::string path = programRoot_;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path += P::ShownName((*it)->name) + "\\";
    return path;
}

void Walk::ResolveLinks() {
    std::vector<Linked> all;
    for (auto& v : linked_) {
        all.insert(all.end(), v.begin(), v.end());
        std::vector<Linked>().swap(v);
    }
    if (linkedOut_) {
        for (const Linked& l : all)
            linkedOut_->push_back({l.device, l.inode, ProgramPath(l.node), l.size, l.occupied});
        return;
    }
    std::sort(all.begin(), all.end(), [](const Linked& a, const Linked& b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    });
    for (size_t i = 0; i < all.size();) {
        size_t j = i + 1;
        while (j < all.size() && all[j].device == all[i].device && all[j].inode == all[i].inode)
            ++j;
        // The folder that gets the bytes does not depend on which thread saw
        // which name first.
        const Linked* owner = &all[i];
        if (j - i > 1) {
            std::string best = ProgramPath(owner->node);
            for (size_t k = i + 1; k < j; ++k) {
                if (all[k].node == owner->node) continue;
                std::string p = ProgramPath(all[k].node);
                if (p < best) best = std::move(p), owner = &all[k];
            }
        }
        if (index_)
            for (size_t k = i; k < j; ++k)
                if (&all[k] != owner)
                    index_->Files[all[k].worker].AddFlags(all[k].record, INDEX_FLAG_FURTHER_NAME);
        owner->node->ownBytes += owner->size;
        owner->node->ownOccupied += owner->occupied;
        for (Node* n = owner->node; n; n = n->parent) {
            n->treeBytes += owner->size;
            n->treeOccupied += owner->occupied;
        }
        i = j;
    }
}

// Device reads after which the walk counts as waiting for the device: more
// than stray reads of a warm walk, less than a few milliseconds of a cold one.
constexpr long long kColdReadBytes = 64 * 1024;

using P::DeviceReadBytes;

FolderRecord Walk::Run(FolderList& out, MeasureHooks& hooks) {
    if (maxThreads_ < threads_) maxThreads_ = threads_;
    arenas_.resize(static_cast<size_t>(maxThreads_) + 1);
    linked_.resize(arenas_.size());
    if (index_) {
        index_->Files.clear();
        index_->Files.resize(arenas_.size());
        if (!index_->SpillFolder.empty())
            for (auto& files : index_->Files)
                files.SpillTo(index_->SpillFolder);
        index_->Folders.clear();
        index_->LinksOnce = linksOnce_;
    }
    root_ = NewNode(arenas_.back(), nullptr, "");
    if (hooks.StopRequested()) stop_ = true;
    if (stop_) {
        FolderRecord r;
        r.Path = programRoot_;
        return r;
    }
    root_->otherMount = StartsOnOtherMount();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(root_);
    }
    std::vector<std::thread> workers;
    for (int i = 0; i < threads_; ++i)
        workers.emplace_back(&Walk::Worker, this, i);
    // The caller's thread keeps the window alive and passes STOP on, and
    // starts every worker the walk may have once it has to read from the
    // device (a cold cache): more requests in flight hide the device's wait.
    // That shows within milliseconds of the start; a warm walk reads nothing.
    const long long readAtStart = DeviceReadBytes();
    auto countsShown = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    for (;;) {
        if (static_cast<int>(workers.size()) < maxThreads_ && !stop_ && readAtStart >= 0 &&
            DeviceReadBytes() - readAtStart >= kColdReadBytes)
            for (size_t i = workers.size(); i < static_cast<size_t>(maxThreads_); ++i)
                workers.emplace_back(&Walk::Worker, this, static_cast<int>(i));
        std::string text;
        {
            std::lock_guard<std::mutex> lock(progressMutex_);
            if (progressNew_) text = progress_, progressNew_ = false;
        }
        if (!text.empty()) hooks.SetProgressText(text);
        // A few times a second: more would only cost the window's drawing.
        if (const auto now = std::chrono::steady_clock::now();
            now - countsShown >= std::chrono::milliseconds(250)) {
            countsShown = now;
            hooks.SetProgressCounts(
                countedFolders_.load(std::memory_order_relaxed),
                countedFiles_.load(std::memory_order_relaxed),
                static_cast<double>(countedBytes_.load(std::memory_order_relaxed)));
        }
        hooks.ProcessMessages();
        if (!stop_ && hooks.StopRequested()) stop_ = true;
        std::unique_lock<std::mutex> lock(mutex_);
        const auto tick = static_cast<int>(workers.size()) < maxThreads_ ? 2 : 30;
        if (doneCv_.wait_for(lock, std::chrono::milliseconds(tick), [&] { return done_; })) break;
    }
    for (auto& t : workers)
        t.join();
    if (index_)
        for (auto& files : index_->Files)
            files.Seal();
    {
        std::lock_guard<std::mutex> lock(progressMutex_);
        if (progressNew_) hooks.SetProgressText(progress_);
    }
    hooks.SetProgressCounts(countedFolders_.load(), countedFiles_.load(),
                            static_cast<double>(countedBytes_.load()));
    hooks.ProcessMessages();
    if (report_ && root_->unlistable) {
        // Nothing was measured: no line that would pass for a measured folder.
        report_->RootFailed = true;
        FolderRecord r;
        r.Path = programRoot_;
        return r;
    }
    ResolveLinks();
    const size_t before = out.Count();
    if (inOrder_)
        FinishInOrder(out);
    else
        Finish(out);
    if (index_) CollectFolders();
    FolderRecord r;
    r.Path = programRoot_;
    // The start folder's line is the last in post order, the first in order.
    if (root_->hasLine && out.Count() > before)
        r = ParseRecord(out.LineAt(inOrder_ ? before : out.Count() - 1));
    return r;
}

// Requests in flight beyond this gained nothing measurable on a cold cache.
constexpr int kMaxWalkThreads = 16;

int DefaultThreads() {
    unsigned hw = std::thread::hardware_concurrency();
    if (hw == 0) hw = 2;
    return static_cast<int>(std::clamp(hw + 1, 2u, 6u));
}

} // namespace

FolderRecord MeasureTree(FolderList& out, const std::string& path, uint32_t clusterSize, int depth,
                         MeasureHooks& hooks, const MeasureOptions& options) {
    std::string native;
    if (!P::ToNative(path, native)) {
        // Nothing to list: the folder's line with zero sizes, unless the
        // caller wants to know and keep what it had.
        FolderRecord r;
        r.Path = path;
        if (options.Report) {
            options.Report->RootFailed = true;
            return r;
        }
        if (hooks.StopRequested()) return r;
        out.Append(FormatRecord(r));
        return r;
    }
    int threads = options.Threads > 0 ? std::min(options.Threads, 16) : DefaultThreads();
    Walk walk(path, native, clusterSize, depth, threads, options.Report);
    // A chosen number of threads stays as it is; otherwise the walk grows
    // while it waits for the device.
    walk.SetMaxThreads(options.Threads > 0 ? threads : kMaxWalkThreads);
    walk.SetNominalSizes(options.NominalSizes);
    walk.SetCountLinksOnce(options.CountLinksOnce);
    walk.SetLinkedNames(options.LinkedNames);
    walk.SetFileIndex(options.Files);
    walk.SetLinesInOrder(options.LinesInOrder);
    return walk.Run(out, hooks);
}

} // namespace nrvs
