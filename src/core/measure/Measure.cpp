#include "core/measure/Measure.h"

#include "core/measure/Walk.h"

#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "lib/Messages.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
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

namespace walking {

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

bool Walk::Enter(Node* node, P::Folder& dir, Frame& frame, NodeArena& arena, char* buffer,
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

void Walk::Descend(Node* start, P::Folder dir, NodeArena& arena, char* buffer) {
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
    NodeArena& arena = arenas_[static_cast<size_t>(index)];
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

std::string Walk::NameOf(const Linked& name) const {
    std::string out;
    index_->Files[name.worker].Each(name.record, 1,
                                    [&](const IndexedFile&, std::string_view n) { out = n; });
    return out;
}

std::unordered_map<const Node*, uint64_t>
Walk::PathRanks(const std::vector<const Node*>& nodes) const {
    // The folders holding the names and their ancestors, each folder once:
    // the work is bounded by the folders of the tree, however deep the names.
    struct Marked {
        const Node* node;
        std::vector<uint32_t> children;
    };
    std::vector<Marked> marked;
    std::unordered_map<const Node*, uint32_t> slot;
    for (const Node* n : nodes) {
        uint32_t below = UINT32_MAX;
        for (; n; n = n->parent) {
            auto [it, added] = slot.emplace(n, static_cast<uint32_t>(marked.size()));
            if (added) marked.push_back({n, {}});
            if (below != UINT32_MAX) marked[it->second].children.push_back(below);
            if (!added) break;
            below = it->second;
        }
    }
    // Numbered in pre-order with each folder's children in the byte order of
    // their names as the path shows them, each followed by its separator.
    // A shown name holds no backslash, so no child's part of the path is the
    // start of another's: the order of the parts is the order of every path
    // below them, and a folder's path sorts before the paths below it.
    std::unordered_map<const Node*, uint64_t> rank;
    rank.reserve(marked.size());
    auto rootIt = slot.find(root_);
    if (rootIt == slot.end()) return rank;
    std::vector<std::string> keys;
    std::vector<std::pair<uint32_t, size_t>> stack{{rootIt->second, 0}};
    rank.emplace(root_, 0);
    while (!stack.empty()) {
        auto& [at, next] = stack.back();
        std::vector<uint32_t>& children = marked[at].children;
        if (next == 0 && children.size() > 1) {
            keys.clear();
            for (uint32_t c : children)
                keys.push_back(P::ShownName(marked[c].node->name) + '\\');
            std::vector<uint32_t> order(children.size());
            for (uint32_t k = 0; k < order.size(); ++k)
                order[k] = k;
            std::sort(order.begin(), order.end(),
                      [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
            for (uint32_t& k : order)
                k = children[k];
            children = std::move(order);
        }
        if (next == children.size()) {
            stack.pop_back();
            continue;
        }
        const uint32_t child = children[next++];
        rank.emplace(marked[child].node, rank.size());
        stack.emplace_back(child, 0);
    }
    return rank;
}

void Walk::ResolveLinks() {
    std::vector<Linked> all;
    for (auto& v : linked_) {
        all.insert(all.end(), v.begin(), v.end());
        std::vector<Linked>().swap(v);
    }
    std::sort(all.begin(), all.end(), [](const Linked& a, const Linked& b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    });
    // Only folders that hold a name of a file seen more than once here (or,
    // handed out, any) are compared.
    std::vector<const Node*> holders;
    for (size_t i = 0; i < all.size(); ++i)
        if (linkedOut_ ||
            (i > 0 && all[i - 1].device == all[i].device && all[i - 1].inode == all[i].inode) ||
            (i + 1 < all.size() && all[i + 1].device == all[i].device &&
             all[i + 1].inode == all[i].inode))
            holders.push_back(all[i].node);
    const std::unordered_map<const Node*, uint64_t> rank = PathRanks(holders);
    std::vector<const Node*>().swap(holders);
    for (size_t i = 0; i < all.size();) {
        size_t j = i + 1;
        while (j < all.size() && all[j].device == all[i].device && all[j].inode == all[i].inode)
            ++j;
        // The name that gets the bytes does not depend on which thread saw
        // which name first, nor on the order a folder lists its names: the
        // folder whose path sorts first, and in it the first name in byte
        // order (the index keeps the names; without it, which name of one
        // folder owns the file changes no figure).
        const Linked* owner = &all[i];
        if (j - i > 1) {
            uint64_t best = rank.at(owner->node);
            std::string ownerName; // read once it is needed, then kept
            for (size_t k = i + 1; k < j; ++k) {
                if (all[k].node == owner->node) {
                    if (!index_ || linkedOut_) continue;
                    if (ownerName.empty()) ownerName = NameOf(*owner);
                    std::string name = NameOf(all[k]);
                    if (name < ownerName) ownerName = std::move(name), owner = &all[k];
                    continue;
                }
                const uint64_t r = rank.at(all[k].node);
                if (r < best) best = r, owner = &all[k], ownerName.clear();
            }
        }
        if (linkedOut_) {
            // The caller counts the file once across several walks: of this
            // walk's names only the first by path can be the one it counts.
            linkedOut_->push_back({owner->device, owner->inode, ProgramPath(owner->node),
                                   owner->size, owner->occupied});
            i = j;
            continue;
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
    // The workers' reading buffers and lists are freed, but their arenas
    // would keep the pages while the lines are made.
    P::ReturnFreedMemory();
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
    const auto before = out.Count();
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

} // namespace walking

using walking::Walk;

namespace {

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
