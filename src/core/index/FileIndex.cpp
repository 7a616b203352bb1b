#include "core/index/FileIndex.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/NameMatch.h"
#include "core/GlobalState.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>

namespace nrvs {

namespace P = platform;

namespace {

// ---- layout ----

constexpr char kMagic[8] = {'N', 'R', 'V', 'S', 'I', 'D', 'X', 0};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 256;
constexpr size_t kHeaderLineRoom = 120;
constexpr size_t kFolderEntry = 24;

enum HeaderField : size_t {
    H_VERSION = 8,
    H_LETTER = 12,
    H_FILES = 16,
    H_FOLDERS = 24,
    H_POOL_BYTES = 32,
    H_LENGTH = 40,
    H_OFF_FOLDERS = 48,
    H_OFF_SIZE = 56,
    H_OFF_OCCUPIED = 64,
    H_OFF_MTIME = 72,
    H_OFF_NAME_OFFSET = 80,
    H_OFF_NAME_LENGTH = 88,
    H_OFF_FLAGS = 96,
    H_OFF_POOL = 104,
    H_LINKS_ONCE = 112,
    H_LINE_LENGTH = 116,
    H_LINE = 120,
};

template <typename T>
T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Store(std::string& out, size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}

constexpr uint64_t Align8(uint64_t n) { return (n + 7) & ~uint64_t{7}; }

struct Layout {
    uint64_t folders = 0, files = 0, pool = 0;
    uint64_t offFolders = 0, offSize = 0, offOccupied = 0, offMtime = 0, offNameOffset = 0, offNameLength = 0,
             offFlags = 0, offPool = 0, length = 0;
    void Compute() {
        offFolders = kHeaderSize;
        offSize = Align8(offFolders + folders * kFolderEntry);
        offOccupied = offSize + files * 8;
        offMtime = offOccupied + files * 8;
        offNameOffset = offMtime + files * 8;
        offNameLength = Align8(offNameOffset + files * 4);
        offFlags = offNameLength + files;
        offPool = Align8(offFlags + files);
        length = offPool + pool;
    }
};

std::string ShownOrSame(std::string_view native) {
    return P::ShownName(native);
}

} // namespace

std::string FileIndexName(const DriveRecord& drive) {
    return FileIndexName(drive.RootPath.empty() ? static_cast<char>('A' + drive.Index) : drive.RootPath[0]);
}

std::string FileIndexName(char letter) {
    return platform::ProgramFileFolders().Data + "NRVS_" + std::string(1, letter) + ".idx";
}

std::shared_ptr<const FileIndex> OpenFileIndex(char letter, const std::string& cacheHeader, std::string* why) {
    auto index = std::make_shared<FileIndex>();
    if (!index->Open(FileIndexName(letter), letter, cacheHeader, why)) return nullptr;
    return index;
}

FileRecords::FileRecords() = default;
FileRecords::~FileRecords() = default;
FileRecords::FileRecords(FileRecords&&) noexcept = default;
FileRecords& FileRecords::operator=(FileRecords&&) noexcept = default;

namespace {
// Writes to the scratch file in pieces of this size, and reads back as much.
constexpr size_t kSpillPiece = size_t{1} << 14;
} // namespace

void FileRecords::SpillTo(const std::string& nativeFolder) {
    if (!spill_ && size_ == 0) spillFolder_ = nativeFolder;
}

void FileRecords::Fail(const char* what) const {
    if (failure_.empty()) failure_ = std::string("scratch file of the index: ") + what;
}

void FileRecords::Append(const char* p, size_t n) {
    // The scratch file is made with the first record: a walk has a stream
    // for every worker it may start, most of which never find a file.
    if (!spillFolder_.empty()) {
        auto file = std::make_unique<P::ScratchFile>();
        if (file->Open(spillFolder_)) {
            spill_ = std::move(file);
            pending_.reserve(kSpillPiece);
        }
        std::string().swap(spillFolder_);
    }
    if (spill_) {
        // Written out before it would outgrow its buffer (n is at most a
        // record's head or a name, far below a piece).
        if (pending_.size() + n > kSpillPiece) {
            if (!spill_->WriteAt(flushed_, pending_)) Fail(spill_->Why().c_str());
            flushed_ += pending_.size();
            pending_.clear();
        }
        pending_.append(p, n);
        size_ += n;
        return;
    }
    while (n > 0) {
        const uint64_t used = size_ & (kBlockSize - 1);
        if (used == 0 && (size_ >> kBlockBits) == blocks_.size()) blocks_.push_back(std::make_unique<char[]>(kBlockSize));
        const size_t k = static_cast<size_t>(std::min<uint64_t>(n, kBlockSize - used));
        std::memcpy(blocks_[size_ >> kBlockBits].get() + used, p, k);
        size_ += k, p += k, n -= k;
    }
}

uint64_t FileRecords::Add(const IndexedFile& f, std::string_view name) {
    const uint64_t at = size_;
    const size_t length = std::min<size_t>(name.size(), 255);
    char head[kHead];
    std::memcpy(head, &f.Size, 8);
    std::memcpy(head + 8, &f.Occupied, 8);
    std::memcpy(head + 16, &f.ModifiedTime, 8);
    head[24] = static_cast<char>(length);
    head[25] = static_cast<char>(f.Flags);
    Append(head, kHead);
    Append(name.data(), length);
    nameBytes_ += length;
    return at;
}

void FileRecords::Seal() {
    if (!spill_ || pending_.empty()) return;
    if (!spill_->WriteAt(flushed_, pending_)) Fail(spill_->Why().c_str());
    flushed_ += pending_.size();
    std::string().swap(pending_);
}

void FileRecords::Read(uint64_t at, char* to, size_t n) const {
    while (n > 0) {
        size_t k = 0;
        if (!spill_) {
            const uint64_t off = at & (kBlockSize - 1);
            k = static_cast<size_t>(std::min<uint64_t>(n, kBlockSize - off));
            std::memcpy(to, blocks_[at >> kBlockBits].get() + off, k);
        } else if (at >= flushed_) {
            const size_t off = static_cast<size_t>(at - flushed_);
            k = std::min(n, pending_.size() - off);
            std::memcpy(to, pending_.data() + off, k);
        } else {
            if (at < windowAt_ || at >= windowAt_ + window_.size()) {
                windowAt_ = at;
                window_.resize(static_cast<size_t>(std::min<uint64_t>(kSpillPiece, flushed_ - at)));
                if (!spill_->ReadAt(at, window_.data(), window_.size())) {
                    Fail(spill_->Why().c_str());
                    std::memset(window_.data(), 0, window_.size());
                }
            }
            const size_t off = static_cast<size_t>(at - windowAt_);
            k = std::min(n, window_.size() - off);
            std::memcpy(to, window_.data() + off, k);
        }
        at += k, to += k, n -= k;
    }
}

void FileRecords::AddFlags(uint64_t position, uint8_t flags) {
    const uint64_t at = position + 25;
    char old = 0;
    Read(at, &old, 1);
    const char now = static_cast<char>(static_cast<uint8_t>(old) | flags);
    if (!spill_) {
        blocks_[at >> kBlockBits][at & (kBlockSize - 1)] = now;
    } else if (at >= flushed_) {
        pending_[static_cast<size_t>(at - flushed_)] = now;
    } else {
        if (!spill_->WriteAt(at, std::string_view(&now, 1))) Fail(spill_->Why().c_str());
        if (at >= windowAt_ && at < windowAt_ + window_.size()) window_[static_cast<size_t>(at - windowAt_)] = now;
    }
}

// ---- reading ----

FileIndex::FileIndex() = default;
FileIndex::~FileIndex() { Close(); }

void FileIndex::Close() {
    if (base_) P::UnmapFile(base_, length_);
    base_ = nullptr;
    length_ = 0;
    files_ = folders_ = 0;
}

bool FileIndex::Open(const std::string& nativePath, char letter, const std::string& cacheHeader, std::string* why) {
    Close();
    auto fail = [&](const char* text) {
        if (why) *why = text;
        Close();
        return false;
    };
    const void* map = nullptr;
    size_t length = 0;
    if (!P::MapFileReadOnly(nativePath, map, length, &identity_)) return fail("このドライブのファイル一覧がありません。");
    base_ = static_cast<const unsigned char*>(map);
    length_ = length;
    const unsigned char* h = base_;
    if (length < kHeaderSize || std::memcmp(h, kMagic, sizeof kMagic) != 0)
        return fail("ファイル一覧が壊れています。");
    if (Load<uint32_t>(h + H_VERSION) != kVersion) return fail("ファイル一覧が別のバージョンのものです。");
    if (Load<uint32_t>(h + H_LETTER) != static_cast<unsigned char>(letter)) return fail("ファイル一覧が別のドライブのものです。");
    const uint32_t lineLength = Load<uint32_t>(h + H_LINE_LENGTH);
    if (lineLength > kHeaderLineRoom) return fail("ファイル一覧が壊れています。");
    header_.assign(reinterpret_cast<const char*>(h + H_LINE), lineLength);
    if (header_ != cacheHeader) return fail("ファイル一覧が前回の計測結果と一致しません。");
    Layout l;
    l.files = Load<uint64_t>(h + H_FILES);
    l.folders = Load<uint64_t>(h + H_FOLDERS);
    l.pool = Load<uint64_t>(h + H_POOL_BYTES);
    if (l.files > UINT32_MAX || l.folders > UINT32_MAX || l.folders == 0 || l.pool > length)
        return fail("ファイル一覧が壊れています。");
    l.Compute();
    // Every offset is derived from the counts: a file whose stored offsets
    // or length disagree was not written by this version, or was cut short.
    if (Load<uint64_t>(h + H_LENGTH) != length || l.length != length || Load<uint64_t>(h + H_OFF_FOLDERS) != l.offFolders ||
        Load<uint64_t>(h + H_OFF_SIZE) != l.offSize || Load<uint64_t>(h + H_OFF_OCCUPIED) != l.offOccupied ||
        Load<uint64_t>(h + H_OFF_MTIME) != l.offMtime || Load<uint64_t>(h + H_OFF_NAME_OFFSET) != l.offNameOffset ||
        Load<uint64_t>(h + H_OFF_NAME_LENGTH) != l.offNameLength || Load<uint64_t>(h + H_OFF_FLAGS) != l.offFlags ||
        Load<uint64_t>(h + H_OFF_POOL) != l.offPool)
        return fail("ファイル一覧が壊れているか、途中までしかありません。");
    files_ = static_cast<uint32_t>(l.files);
    folders_ = static_cast<uint32_t>(l.folders);
    poolBytes_ = l.pool;
    linksOnce_ = Load<uint32_t>(h + H_LINKS_ONCE) != 0;
    letter_ = letter;
    folderTable_ = base_ + l.offFolders;
    size_ = reinterpret_cast<const uint64_t*>(base_ + l.offSize);
    occupied_ = reinterpret_cast<const uint64_t*>(base_ + l.offOccupied);
    mtime_ = reinterpret_cast<const int64_t*>(base_ + l.offMtime);
    nameOffset_ = reinterpret_cast<const uint32_t*>(base_ + l.offNameOffset);
    nameLength_ = base_ + l.offNameLength;
    flags_ = base_ + l.offFlags;
    pool_ = reinterpret_cast<const char*>(base_ + l.offPool);
    flagsOffset_ = l.offFlags;
    // The folders: a tree in pre-order whose file ranges follow each other;
    // checked once here so that no accessor needs to.
    uint64_t nextFile = 0;
    for (uint32_t i = 0; i < folders_; ++i) {
        const unsigned char* e = folderTable_ + size_t{i} * kFolderEntry;
        const uint32_t parent = Load<uint32_t>(e), nameOff = Load<uint32_t>(e + 4), nameLen = Load<uint32_t>(e + 8),
                       first = Load<uint32_t>(e + 12), count = Load<uint32_t>(e + 16), end = Load<uint32_t>(e + 20);
        if ((i == 0) != (parent == UINT32_MAX) || (i > 0 && parent >= i) || end <= i || end > folders_ ||
            (i > 0 && end > FolderSubtreeEnd(parent)) || uint64_t{nameOff} + nameLen > poolBytes_ || nameLen > 255 ||
            first != nextFile || uint64_t{first} + count > files_)
            return fail("ファイル一覧が壊れています。");
        nextFile += count;
    }
    if (nextFile != files_) return fail("ファイル一覧が壊れています。");
    for (uint32_t i = 0; i < files_; ++i)
        if (uint64_t{nameOffset_[i]} + nameLength_[i] > poolBytes_) return fail("ファイル一覧が壊れています。");
    if (why) why->clear();
    return true;
}

uint32_t FileIndex::FolderParent(uint32_t f) const { return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry); }
std::string_view FileIndex::FolderName(uint32_t f) const {
    const unsigned char* e = folderTable_ + size_t{f} * kFolderEntry;
    return {pool_ + Load<uint32_t>(e + 4), Load<uint32_t>(e + 8)};
}
uint32_t FileIndex::FolderFirstFile(uint32_t f) const { return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry + 12); }
uint32_t FileIndex::FolderFileCount(uint32_t f) const { return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry + 16); }
uint32_t FileIndex::FolderSubtreeEnd(uint32_t f) const { return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry + 20); }

std::string FileIndex::FolderPath(uint32_t folder) const {
    std::vector<uint32_t> chain;
    for (uint32_t f = folder; f != 0 && f < folders_; f = FolderParent(f)) chain.push_back(f);
    std::string path = std::string(1, letter_) + ":\\";
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += ShownOrSame(FolderName(*it));
        path += '\\';
    }
    return path;
}

int64_t FileIndex::ChildFolder(uint32_t parent, std::string_view nativeName) const {
    if (!IsOpen() || parent >= FolderCount()) return -1;
    // Children follow their parent in pre-order; each child's subtree is
    // skipped whole.
    const uint32_t end = FolderSubtreeEnd(parent);
    for (uint32_t child = parent + 1; child < end; child = FolderSubtreeEnd(child)) {
        if (FolderName(child) == nativeName) return child;
        // A damaged subtree end that does not move on would loop forever.
        if (FolderSubtreeEnd(child) <= child) return -1;
    }
    return -1;
}

int64_t FileIndex::FindFolder(const std::string& programPath) const {
    if (!IsOpen() || programPath.size() < 3 || programPath[0] != letter_ || programPath.compare(1, 2, ":\\") != 0) return -1;
    int64_t at = 0;
    size_t pos = 3;
    while (pos < programPath.size()) {
        size_t slash = programPath.find('\\', pos);
        if (slash == std::string::npos) slash = programPath.size();
        at = ChildFolder(static_cast<uint32_t>(at), P::NativeName(std::string_view(programPath).substr(pos, slash - pos)));
        if (at < 0) return -1;
        pos = slash + 1;
    }
    return at;
}

uint32_t FileIndex::FolderOfFile(uint32_t file) const {
    // The last folder whose first file is at or before it and that holds any.
    uint32_t lo = 0, hi = folders_;
    while (hi - lo > 1) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (FolderFirstFile(mid) <= file) lo = mid;
        else hi = mid;
    }
    while (lo > 0 && FolderFileCount(lo) == 0) --lo;
    while (lo + 1 < folders_ && FolderFirstFile(lo) + FolderFileCount(lo) <= file) ++lo;
    return lo;
}

uint64_t FileIndex::Size(uint32_t f) const { return Load<uint64_t>(reinterpret_cast<const unsigned char*>(size_ + f)); }
uint64_t FileIndex::Occupied(uint32_t f) const {
    return Load<uint64_t>(reinterpret_cast<const unsigned char*>(occupied_ + f));
}
int64_t FileIndex::ModifiedTime(uint32_t f) const {
    return Load<int64_t>(reinterpret_cast<const unsigned char*>(mtime_ + f));
}
uint8_t FileIndex::Flags(uint32_t f) const { return flags_[f]; }
std::string_view FileIndex::Name(uint32_t f) const {
    return {pool_ + Load<uint32_t>(reinterpret_cast<const unsigned char*>(nameOffset_ + f)), nameLength_[f]};
}

std::string FileIndex::FilePath(uint32_t file) const {
    return FolderPath(FolderOfFile(file)) + ShownOrSame(Name(file));
}

// ---- writing ----

namespace {

// One folder of the index being written and where its files come from.
struct OutFolder {
    bool fromOld = false;
    uint32_t source = 0;  // folder index in its source
    uint32_t parent = UINT32_MAX;
    uint32_t subtreeEnd = 0;
    bool ownName = false;  // the start folder of a fresh walk, named by the writer's startName
};

class IndexWriter {
public:
    IndexWriter(const FileIndexData& fresh, const FileIndex* old) : fresh_(fresh), old_(old) {}

    std::vector<OutFolder> folders;
    std::string startName;

    std::string_view FolderName(const OutFolder& f) const {
        if (f.ownName) return startName;  // empty for the root of a walk that found nothing
        return f.fromOld ? old_->FolderName(f.source) : fresh_.FolderName(fresh_.Folders[f.source]);
    }
    uint32_t FileCount(const OutFolder& f) const {
        if (f.ownName && f.fromOld && !old_) return 0;  // the empty root of a walk that found nothing
        return f.fromOld ? old_->FolderFileCount(f.source) : fresh_.Folders[f.source].Count;
    }
    // Calls fn(size, occupied, mtime, nameView, flags) for each file of f.
    template <typename Fn>
    void EachFile(const OutFolder& f, Fn&& fn) const {
        if (f.ownName && f.fromOld && !old_) return;
        if (f.fromOld) {
            const uint32_t first = old_->FolderFirstFile(f.source), n = old_->FolderFileCount(f.source);
            for (uint32_t i = first; i < first + n; ++i)
                fn(old_->Size(i), old_->Occupied(i), old_->ModifiedTime(i), old_->Name(i), old_->Flags(i));
            return;
        }
        const auto& src = fresh_.Folders[f.source];
        fresh_.Files[src.Worker].Each(src.Begin, src.Count, [&](const IndexedFile& x, std::string_view name) {
            fn(x.Size, x.Occupied, x.ModifiedTime, name, x.Flags);
        });
    }
    // The bytes of the names of f's files.
    uint64_t NameBytes(const OutFolder& f) const {
        if (f.ownName && f.fromOld && !old_) return 0;
        if (!f.fromOld) return fresh_.Folders[f.source].NameBytes;
        uint64_t n = 0;
        const uint32_t first = old_->FolderFirstFile(f.source), count = old_->FolderFileCount(f.source);
        for (uint32_t i = first; i < first + count; ++i) n += old_->Name(i).size();
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
    template <typename T>
    void Add(T v) { Add(&v, sizeof v); }
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

bool PlanMerge(const FileIndexData& fresh, const FileIndex* old, const std::string& below, std::vector<OutFolder>& out,
               std::string& startName) {
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
                    const FileIndexData& fresh, const FileIndex* old, const std::string& below, std::string* why) {
    IndexWriter w(fresh, old);
    if (cacheHeader.size() > kHeaderLineRoom || !PlanMerge(fresh, old, below, w.folders, w.startName)) {
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
    const bool ok = P::ReplaceFilePlaced(nativePath, l.length, [&](const P::PutBytesAt& put) {
        std::string head(kHeaderSize, '\0');
        std::memcpy(head.data(), kMagic, sizeof kMagic);
        Store<uint32_t>(head, H_VERSION, kVersion);
        Store<uint32_t>(head, H_LETTER, static_cast<unsigned char>(letter));
        Store<uint64_t>(head, H_FILES, l.files);
        Store<uint64_t>(head, H_FOLDERS, l.folders);
        Store<uint64_t>(head, H_POOL_BYTES, l.pool);
        Store<uint64_t>(head, H_LENGTH, l.length);
        Store<uint64_t>(head, H_OFF_FOLDERS, l.offFolders);
        Store<uint64_t>(head, H_OFF_SIZE, l.offSize);
        Store<uint64_t>(head, H_OFF_OCCUPIED, l.offOccupied);
        Store<uint64_t>(head, H_OFF_MTIME, l.offMtime);
        Store<uint64_t>(head, H_OFF_NAME_OFFSET, l.offNameOffset);
        Store<uint64_t>(head, H_OFF_NAME_LENGTH, l.offNameLength);
        Store<uint64_t>(head, H_OFF_FLAGS, l.offFlags);
        Store<uint64_t>(head, H_OFF_POOL, l.offPool);
        Store<uint32_t>(head, H_LINKS_ONCE, fresh.LinksOnce ? 1u : 0u);
        Store<uint32_t>(head, H_LINE_LENGTH, static_cast<uint32_t>(cacheHeader.size()));
        std::memcpy(head.data() + H_LINE, cacheHeader.data(), cacheHeader.size());
        if (!put(0, head)) return false;
        // Folder names come first in the pool, then the files' in order.
        Column folderTable(put, l.offFolders), sizes(put, l.offSize), occupied(put, l.offOccupied),
            times(put, l.offMtime), nameOffsets(put, l.offNameOffset), nameLengths(put, l.offNameLength),
            flags(put, l.offFlags), folderNames(put, l.offPool);
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
            w.EachFile(f, [&](uint64_t size, uint64_t occ, int64_t t, std::string_view name, uint8_t flag) {
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
        for (Column* c : {&folderTable, &sizes, &occupied, &times, &nameOffsets, &nameLengths, &flags, &folderNames, &names})
            all = c->Flush() && all;
        return all;
    });
    if (dataLost) {
        if (why) *why = nativePath + ": " + *why;
        return false;
    }
    if (!ok && why) *why = nativePath + ": " + P::LastWriteError();
    return ok;
}

bool MarkGoneInIndex(const std::string& nativePath, FileIndex* index, const std::string& programPath,
                     const std::string& cacheHeader) {
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
    for (uint32_t i = first; i < end; ++i) flags[i - first] = static_cast<char>(idx.Flags(i) | FI_GONE);
    // Written into the mapped file itself: the map shows it at once.
    return P::WriteAt(nativePath, idx.FlagsOffset() + first, flags, idx.Identity());
}

bool ForgetInFileIndex(const std::string& programPath) {
    if (programPath.size() < 4 || programPath[1] != ':') return false;
    const char letter = static_cast<char>(programPath[0] >= 'a' && programPath[0] <= 'z' ? programPath[0] - 32 : programPath[0]);
    if (letter < 'A' || letter > 'Z') return false;
    const DriveRecord* drive = Global().Drives.ByLetter(letter - 'A');
    if (!drive) return false;
    DriveRecord named = *drive;
    named.RootPath = std::string(1, letter) + ":\\";
    const std::string header = CacheHeaderLine(named);
    if (header.empty()) return false;
    const std::string path = std::string(1, letter) + programPath.substr(1);
    const std::string index = FileIndexName(letter);
    // A folder's path from a list row comes without its backslash.
    if (path.back() != '\\' && MarkGoneInIndex(index, nullptr, path, header)) return true;
    return MarkGoneInIndex(index, nullptr, path.back() == '\\' ? path : path + "\\", header);
}

// ---- queries ----

std::string ExtensionOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool ParseExtensionList(std::string_view text, std::vector<std::string>& out) {
    out.clear();
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos) comma = text.size();
        std::string_view item = text.substr(pos, comma - pos);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
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

std::vector<FileHit> QueryFiles(const FileIndex& index, const FileQuery& q, const std::atomic<bool>* cancel) {
    std::vector<FileHit> hits;
    if (!index.IsOpen() || q.Top == 0) return hits;
    uint32_t folderBegin = 0, folderEnd = index.FolderCount();
    if (!q.Below.empty()) {
        const int64_t f = index.FindFolder(q.Below);
        if (f < 0) return hits;
        folderBegin = static_cast<uint32_t>(f);
        folderEnd = index.FolderSubtreeEnd(folderBegin);
    }
    const NameMatcher matcher(q.Name);
    const bool byName = !matcher.Empty();
    std::vector<std::string> folderPaths;
    if (q.OnPath && byName) {
        // Built parent first: pre-order puts every parent before its children.
        folderPaths.resize(folderEnd - folderBegin);
        for (uint32_t f = folderBegin; f < folderEnd; ++f) {
            const uint32_t p = index.FolderParent(f);
            folderPaths[f - folderBegin] = f == folderBegin || p < folderBegin
                                               ? index.FolderPath(f)
                                               : folderPaths[p - folderBegin] + ShownOrSame(index.FolderName(f)) + "\\";
        }
    }
    const bool skipFurther = index.LinksOnce();
    auto keyOf = [&](uint64_t size, uint64_t occ, int64_t mtime) -> uint64_t {
        switch (q.Key) {
        case FK_OCCUPIED: return occ;
        case FK_MODIFIED: return static_cast<uint64_t>(mtime) ^ (uint64_t{1} << 63);  // order of signed times
        default: return size;
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
        if (q.WithFolders && byName && f != 0 &&
            nameMatches(index.FolderName(f), f, true) && q.Extensions.empty()) {
            // A folder row: what its files hold, as counted.
            const uint32_t a = index.FolderFirstFile(f), stop = index.FolderSubtreeEnd(f);
            const uint32_t b = stop < index.FolderCount() ? index.FolderFirstFile(stop) : index.FileCount();
            uint64_t size = 0, occ = 0;
            for (uint32_t i = a; i < b; ++i)
                if (!(index.Flags(i) & (FI_GONE | FI_FURTHER_NAME))) size += index.Size(i), occ += index.Occupied(i);
            if (q.MinSize < 0 || size >= static_cast<uint64_t>(q.MinSize)) found.push_back({keyOf(size, occ, 0), true, f});
        }
        const uint32_t first = index.FolderFirstFile(f), n = index.FolderFileCount(f);
        for (uint32_t i = first; i < first + n; ++i) {
            const uint8_t flags = index.Flags(i);
            if ((flags & FI_GONE) || (skipFurther && (flags & FI_FURTHER_NAME))) continue;
            const uint64_t size = index.Size(i);
            if (q.MinSize >= 0 && size < static_cast<uint64_t>(q.MinSize)) continue;
            const int64_t mtime = index.ModifiedTime(i);
            if (mtime >= q.ModifiedBefore || mtime <= q.ModifiedAfter) continue;
            const std::string_view name = index.Name(i);
            if (!q.Extensions.empty() &&
                std::find(q.Extensions.begin(), q.Extensions.end(), ExtensionOf(name)) == q.Extensions.end())
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
                std::nth_element(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(q.Top - 1), found.end(),
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
        std::nth_element(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(q.Top - 1), found.end(),
                         [](const Candidate& a, const Candidate& b) { return a.key > b.key; });
        const uint64_t threshold = found[q.Top - 1].key;
        std::vector<Candidate> ties;
        for (const auto& c : found) {
            if (c.key > threshold) chosen.push_back(c);
            else if (c.key == threshold) ties.push_back(c);
        }
        const size_t room = q.Top - chosen.size();
        if (ties.size() > room) {
            std::vector<std::pair<std::string, Candidate>> named;
            named.reserve(ties.size());
            for (const auto& c : ties) named.emplace_back(pathOf(c), c);
            std::partial_sort(named.begin(), named.begin() + static_cast<std::ptrdiff_t>(room), named.end(),
                              [](const auto& a, const auto& b) { return a.first < b.first; });
            for (size_t k = 0; k < room; ++k) chosen.push_back(named[k].second);
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
            const uint32_t a = index.FolderFirstFile(c.index), stop = index.FolderSubtreeEnd(c.index);
            const uint32_t b = stop < index.FolderCount() ? index.FolderFirstFile(stop) : index.FileCount();
            for (uint32_t i = a; i < b; ++i)
                if (!(index.Flags(i) & (FI_GONE | FI_FURTHER_NAME))) h.Size += index.Size(i), h.Occupied += index.Occupied(i);
        } else {
            h.Size = index.Size(c.index);
            h.Occupied = index.Occupied(c.index);
            h.ModifiedTime = index.ModifiedTime(c.index);
            h.Flags = index.Flags(c.index);
        }
        hits.push_back(std::move(h));
    }
    std::sort(hits.begin(), hits.end(), [&](const FileHit& a, const FileHit& b) {
        const uint64_t ka = keyOf(a.Size, a.Occupied, a.ModifiedTime), kb = keyOf(b.Size, b.Occupied, b.ModifiedTime);
        if (ka != kb) return ka > kb;
        return a.Path < b.Path;
    });
    return hits;
}

} // namespace nrvs
