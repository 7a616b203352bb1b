#include "core/index/FileIndexWriter.h"

#include "core/index/IndexFormat.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>

namespace nrvs {

namespace {

// One folder of the index being written and where its files come from.
struct OutFolder {
    bool fromOld = false;
    uint32_t source = 0; // folder index in its source
    uint32_t parent = UINT32_MAX;
    uint32_t subtreeEnd = 0;
    bool ownName = false; // the start folder of a fresh walk, named by the writer's startName
};

class IndexWriter {
  public:
    IndexWriter(const FileIndexData& fresh, const FileIndex* old) : fresh_(fresh), old_(old) {}

    std::vector<OutFolder> folders;
    std::string startName;

    std::string_view FolderName(const OutFolder& f) const {
        if (f.ownName) return startName; // empty for the root of a walk that found nothing
        return f.fromOld ? old_->FolderName(f.source) : fresh_.FolderName(fresh_.Folders[f.source]);
    }
    uint32_t FileCount(const OutFolder& f) const {
        if (f.ownName && f.fromOld && !old_)
            return 0; // the empty root of a walk that found nothing
        return f.fromOld ? old_->FolderFileCount(f.source) : fresh_.Folders[f.source].Count;
    }
    // Calls fn(size, occupied, mtime, nameView, flags) for each file of f.
    template <typename Fn> void EachFile(const OutFolder& f, Fn&& fn) const {
        if (f.ownName && f.fromOld && !old_) return;
        if (f.fromOld) {
            const uint32_t first = old_->FolderFirstFile(f.source),
                           n = old_->FolderFileCount(f.source);
            for (uint32_t i = first; i < first + n; ++i)
                fn(old_->Size(i), old_->Occupied(i), old_->ModifiedTime(i), old_->Name(i),
                   old_->Flags(i));
            return;
        }
        const auto& src = fresh_.Folders[f.source];
        fresh_.Files[src.Worker].Each(src.Begin, src.Count,
                                      [&](const IndexedFile& x, std::string_view name) {
                                          fn(x.Size, x.Occupied, x.ModifiedTime, name, x.Flags);
                                      });
    }
    // The bytes of the names of f's files.
    uint64_t NameBytes(const OutFolder& f) const {
        if (f.ownName && f.fromOld && !old_) return 0;
        if (!f.fromOld) return fresh_.Folders[f.source].NameBytes;
        uint64_t n = 0;
        const uint32_t first = old_->FolderFirstFile(f.source),
                       count = old_->FolderFileCount(f.source);
        for (uint32_t i = first; i < first + count; ++i)
            n += old_->Name(i).size();
        return n;
    }

  private:
    const FileIndexData& fresh_;
    const FileIndex* old_;
};

// One section of the file, written in pieces at its place: every column
// is filled in the same single pass over the files.
class Column {
  public:
    Column(const P::PutBytesAt& put, uint64_t at) : put_(put), at_(at) {}
    void Add(const void* p, size_t n) {
        // Written out before it would outgrow its buffer: a string that
        // doubled would hold twice the piece.
        if (buf_.size() + n > kChunk) Flush();
        if (n > kChunk) {
            if (ok_) ok_ = put_(at_, std::string_view(static_cast<const char*>(p), n));
            at_ += n;
            return;
        }
        buf_.append(static_cast<const char*>(p), n);
    }
    template <typename T> void Add(T v) { Add(&v, sizeof v); }
    bool Flush() {
        if (ok_ && !buf_.empty()) ok_ = put_(at_, buf_);
        at_ += buf_.size();
        buf_.clear();
        return ok_;
    }

  private:
    static constexpr size_t kChunk = 1 << 14;
    const P::PutBytesAt& put_;
    uint64_t at_;
    std::string buf_;
    bool ok_ = true;
};

bool PlanMerge(const FileIndexData& fresh, const FileIndex* old, const std::string& below,
               std::vector<OutFolder>& out, std::string& startName) {
    const uint32_t n = static_cast<uint32_t>(fresh.Folders.size());
    if (!old) {
        out.reserve(std::max<uint32_t>(n, 1));
        for (uint32_t k = 0; k < n; ++k) {
            const auto& f = fresh.Folders[k];
            out.push_back({false, k, f.Parent, f.SubtreeEnd, false});
        }
        // A walk stopped before it entered the root found nothing: the
        // index of an empty drive, as the cache holds no folder either.
        if (n == 0) out.push_back({true, 0, UINT32_MAX, 1, true});
        return true;
    }
    if (n == 0 || below.size() <= 3) return false;
    // Where the fresh subtree goes: in place of the folder's old subtree, or
    // as the last child of its parent when the folder is new.
    uint32_t a = 0, b = 0, parent = 0;
    const int64_t found = old->FindFolder(below);
    std::string shownName = below.substr(0, below.size() - 1);
    shownName = shownName.substr(shownName.rfind('\\') + 1);
    if (found > 0) {
        a = static_cast<uint32_t>(found);
        b = old->FolderSubtreeEnd(a);
        parent = old->FolderParent(a);
    } else {
        const std::string up = below.substr(0, below.size() - 1 - shownName.size());
        const int64_t q = old->FindFolder(up);
        if (q < 0) return false;
        parent = static_cast<uint32_t>(q);
        a = b = old->FolderSubtreeEnd(parent);
    }
    startName = P::NativeName(shownName);
    out.reserve(size_t{a} + n + (old->FolderCount() - b));
    std::vector<bool> ancestor(old->FolderCount(), false);
    for (uint32_t f = parent;; f = old->FolderParent(f)) {
        ancestor[f] = true;
        if (f == 0) break;
    }
    const int64_t delta = static_cast<int64_t>(n) - static_cast<int64_t>(b - a);
    auto shift = [&](uint32_t v) { return static_cast<uint32_t>(static_cast<int64_t>(v) + delta); };
    for (uint32_t j = 0; j < a; ++j) {
        uint32_t end = old->FolderSubtreeEnd(j);
        if (ancestor[j]) end = shift(end);
        out.push_back({true, j, old->FolderParent(j), end, false});
    }
    for (uint32_t k = 0; k < n; ++k) {
        const auto& f = fresh.Folders[k];
        out.push_back({false, k, k == 0 ? parent : a + f.Parent, a + f.SubtreeEnd, k == 0});
    }
    for (uint32_t j = b; j < old->FolderCount(); ++j) {
        const uint32_t p = old->FolderParent(j);
        out.push_back({true, j, p < a ? p : shift(p), shift(old->FolderSubtreeEnd(j)), false});
    }
    return true;
}

} // namespace

bool WriteFileIndex(const std::string& nativePath, char letter, const std::string& cacheHeader,
                    const FileIndexData& fresh, const FileIndex* old, const std::string& below,
                    std::string* why, const std::function<bool()>& gate) {
    IndexWriter w(fresh, old);
    if (cacheHeader.size() > kHeaderLineRoom ||
        !PlanMerge(fresh, old, below, w.folders, w.startName)) {
        if (why) *why = nativePath + ": the index does not hold the folder's parent";
        return false;
    }
    Layout l;
    l.folders = w.folders.size();
    for (const auto& f : w.folders) {
        l.pool += w.FolderName(f).size() + w.NameBytes(f);
        l.files += w.FileCount(f);
    }
    if (l.files > UINT32_MAX || l.folders > UINT32_MAX || l.pool > UINT32_MAX) {
        if (why) *why = nativePath + ": too many files for one index";
        return false;
    }
    l.Compute();
    bool dataLost = false;
    const auto produce = [&](const P::PutBytesAt& put) {
        std::string head(kHeaderSize, '\0');
        std::memcpy(head.data(), kMagic, sizeof kMagic);
        Store<uint32_t>(head, HEADER_VERSION, kVersion);
        Store<uint32_t>(head, HEADER_LETTER, static_cast<unsigned char>(letter));
        Store<uint64_t>(head, HEADER_FILES, l.files);
        Store<uint64_t>(head, HEADER_FOLDERS, l.folders);
        Store<uint64_t>(head, HEADER_POOL_BYTES, l.pool);
        Store<uint64_t>(head, HEADER_LENGTH, l.length);
        Store<uint64_t>(head, HEADER_OFFSET_FOLDERS, l.offFolders);
        Store<uint64_t>(head, HEADER_OFFSET_SIZE, l.offSize);
        Store<uint64_t>(head, HEADER_OFFSET_OCCUPIED, l.offOccupied);
        Store<uint64_t>(head, HEADER_OFFSET_MODIFIED_TIME, l.offMtime);
        Store<uint64_t>(head, HEADER_OFFSET_NAME_OFFSET, l.offNameOffset);
        Store<uint64_t>(head, HEADER_OFFSET_NAME_LENGTH, l.offNameLength);
        Store<uint64_t>(head, HEADER_OFFSET_FLAGS, l.offFlags);
        Store<uint64_t>(head, HEADER_OFFSET_POOL, l.offPool);
        Store<uint32_t>(head, HEADER_LINKS_ONCE, fresh.LinksOnce ? 1u : 0u);
        Store<uint32_t>(head, HEADER_LINE_LENGTH, static_cast<uint32_t>(cacheHeader.size()));
        std::memcpy(head.data() + HEADER_LINE, cacheHeader.data(), cacheHeader.size());
        if (!put(0, head)) return false;
        // Folder names come first in the pool, then the files' in order.
        Column folderTable(put, l.offFolders), sizes(put, l.offSize), occupied(put, l.offOccupied),
            times(put, l.offMtime), nameOffsets(put, l.offNameOffset),
            nameLengths(put, l.offNameLength), flags(put, l.offFlags), folderNames(put, l.offPool);
        uint32_t poolAt = 0, fileAt = 0;
        for (const auto& f : w.folders) {
            const std::string_view name = w.FolderName(f);
            const uint32_t nameLen = static_cast<uint32_t>(name.size()), count = w.FileCount(f);
            const uint32_t entry[6] = {f.parent, poolAt, nameLen, fileAt, count, f.subtreeEnd};
            folderTable.Add(entry, sizeof entry);
            folderNames.Add(name.data(), name.size());
            poolAt += nameLen;
            fileAt += count;
        }
        Column names(put, l.offPool + poolAt);
        for (const auto& f : w.folders)
            w.EachFile(f, [&](uint64_t size, uint64_t occ, int64_t t, std::string_view name,
                              uint8_t flag) {
                sizes.Add(size);
                occupied.Add(occ);
                times.Add(t);
                nameOffsets.Add(poolAt);
                poolAt += static_cast<uint32_t>(name.size());
                nameLengths.Add(static_cast<uint8_t>(name.size()));
                flags.Add(flag);
                names.Add(name.data(), name.size());
            });
        for (const auto& records : fresh.Files)
            if (!records.Failure().empty()) {
                if (why) *why = records.Failure();
                dataLost = true;
                return false;
            }
        bool all = true;
        for (Column* c : {&folderTable, &sizes, &occupied, &times, &nameOffsets, &nameLengths,
                          &flags, &folderNames, &names})
            all = c->Flush() && all;
        return all;
    };
    const bool ok = P::ReplaceFilePlaced(nativePath, l.length, produce, gate);
    if (dataLost) {
        if (why) *why = nativePath + ": " + *why;
        return false;
    }
    if (!ok && why) *why = nativePath + ": " + P::LastWriteError();
    return ok;
}

bool MarkGoneInIndex(const std::string& nativePath, FileIndex* index,
                     const std::string& programPath, const std::string& cacheHeader) {
    if (programPath.size() < 4) return false;
    FileIndex own;
    FileIndex& idx = index && index->IsOpen() ? *index : own;
    if (!idx.IsOpen() && !idx.Open(nativePath, programPath[0], cacheHeader)) return false;
    uint32_t first = 0, end = 0;
    if (programPath.back() == '\\') {
        const int64_t f = idx.FindFolder(programPath);
        if (f <= 0) return false;
        const uint32_t folder = static_cast<uint32_t>(f), stop = idx.FolderSubtreeEnd(folder);
        first = idx.FolderFirstFile(folder);
        end = stop < idx.FolderCount() ? idx.FolderFirstFile(stop) : idx.FileCount();
    } else {
        const size_t cut = programPath.rfind('\\');
        const int64_t f = idx.FindFolder(programPath.substr(0, cut + 1));
        if (f < 0) return false;
        const std::string name = P::NativeName(std::string_view(programPath).substr(cut + 1));
        const uint32_t folder = static_cast<uint32_t>(f);
        const uint32_t a = idx.FolderFirstFile(folder), n = idx.FolderFileCount(folder);
        for (uint32_t i = a; i < a + n; ++i)
            if (idx.Name(i) == name) first = i, end = i + 1;
        if (end == 0) return false;
    }
    if (end <= first) return true;
    std::string flags(end - first, '\0');
    for (uint32_t i = first; i < end; ++i)
        flags[i - first] = static_cast<char>(idx.Flags(i) | INDEX_FLAG_GONE);
    // Written into the mapped file itself: the map shows it at once.
    return P::WriteAt(nativePath, idx.FlagsOffset() + first, flags, idx.Identity());
}

} // namespace nrvs
