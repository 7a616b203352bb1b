// The walk of a folder tree: its folders in memory while worker threads read
// them, and the folder lines written from them once every folder is read.
// Only the measurement includes it.
#pragma once

#include "core/measure/Measure.h"

#include "core/index/FileIndexWriter.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nrvs::walking {

namespace P = platform;

// One folder of the walk. The tree of nodes is kept until the end so that
// the lines can be written in the order a depth-first walk appends them,
// whichever thread measured which folder.
struct Node {
    Node* parent = nullptr;
    std::string_view name; // native bytes, in the worker's NodeArena
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

// One worker's folders and their names, in blocks that never move (nodes
// point at each other and at their names until the lines are written). A
// tree of millions of folders is held at the size of its nodes: no
// allocation per node or per long name.
class NodeArena {
  public:
    Node& Add(std::string_view name) {
        if (used_ == kNodesPerBlock) {
            nodes_.push_back(std::make_unique<Node[]>(kNodesPerBlock));
            used_ = 0;
        }
        Node& n = nodes_.back()[used_++];
        n.name = Keep(name);
        return n;
    }

  private:
    static constexpr size_t kNodesPerBlock = 64;
    static constexpr size_t kNameBlock = 8192;
    std::string_view Keep(std::string_view name) {
        if (name.empty()) return {};
        if (name.size() > kNameBlock / 4) {
            // A long name gets a block of its own; the current one goes on.
            longNames_.push_back(std::make_unique<char[]>(name.size()));
            std::copy(name.begin(), name.end(), longNames_.back().get());
            return {longNames_.back().get(), name.size()};
        }
        if (names_.empty() || nameUsed_ + name.size() > kNameBlock) {
            names_.push_back(std::make_unique<char[]>(kNameBlock));
            nameUsed_ = 0;
        }
        char* at = names_.back().get() + nameUsed_;
        std::copy(name.begin(), name.end(), at);
        nameUsed_ += name.size();
        return {at, name.size()};
    }
    std::vector<std::unique_ptr<Node[]>> nodes_;
    size_t used_ = kNodesPerBlock;
    std::vector<std::unique_ptr<char[]>> names_, longNames_;
    size_t nameUsed_ = 0;
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

    Node* NewNode(NodeArena& arena, Node* parent, std::string_view name) {
        Node& n = arena.Add(name);
        n.parent = parent;
        n.depth = parent ? parent->depth + 1 : baseDepth_;
        return &n;
    }

    void Worker(int index);
    void Descend(Node* start, P::Folder dir, NodeArena& arena, char* buffer);
    // Reads one opened folder; false when it gets no frame (empty, other
    // mount, stopped).
    bool Enter(Node* node, P::Folder& dir, Frame& frame, NodeArena& arena, char* buffer,
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
    // Numbers for the given folders (and their ancestors) in the byte order
    // of their program paths, without building the paths.
    std::unordered_map<const Node*, uint64_t>
    PathRanks(const std::vector<const Node*>& nodes) const;
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

    std::vector<NodeArena> arenas_;
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
    // A name's bytes as the walk found it, read back from the index's records.
    std::string NameOf(const Linked& name) const;
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

} // namespace nrvs::walking
