#include "core/index/FileIndex.h"

#include "core/drives/DriveTable.h"
#include "core/index/IndexFormat.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>

namespace nrvs {

std::string FileIndexName(const DriveRecord& drive) {
    return FileIndexName(drive.RootPath.empty() ? static_cast<char>('A' + drive.Index)
                                                : drive.RootPath[0]);
}

std::string FileIndexName(char letter) {
    return platform::ProgramFileFolders().Data + "NRVS_" + std::string(1, letter) + ".idx";
}

std::shared_ptr<const FileIndex> OpenFileIndex(char letter, const std::string& cacheHeader,
                                               std::string* why) {
    auto index = std::make_shared<FileIndex>();
    if (!index->Open(FileIndexName(letter), letter, cacheHeader, why)) return nullptr;
    return index;
}

// ---- reading ----

FileIndex::FileIndex() = default;
FileIndex::~FileIndex() {
    Close();
}

void FileIndex::Close() {
    if (base_) P::UnmapFileGuarded(base_, length_);
    base_ = nullptr;
    length_ = 0;
    files_ = folders_ = 0;
}

bool FileIndex::Open(const std::string& nativePath, char letter, const std::string& cacheHeader,
                     std::string* why) {
    Close();
    auto fail = [&](const char* text) {
        if (why) *why = text;
        Close();
        return false;
    };
    const void* map = nullptr;
    size_t length = 0;
    if (!P::MapFileReadOnlyGuarded(nativePath, map, length, &identity_))
        return fail("このドライブのファイル一覧がありません。");
    base_ = static_cast<const unsigned char*>(map);
    length_ = length;
    const unsigned char* h = base_;
    if (length < kHeaderSize || std::memcmp(h, kMagic, sizeof kMagic) != 0)
        return fail("ファイル一覧が壊れています。");
    if (Load<uint32_t>(h + HEADER_VERSION) != kVersion)
        return fail("ファイル一覧が別のバージョンのものです。");
    if (Load<uint32_t>(h + HEADER_LETTER) != static_cast<unsigned char>(letter))
        return fail("ファイル一覧が別のドライブのものです。");
    const uint32_t lineLength = Load<uint32_t>(h + HEADER_LINE_LENGTH);
    if (lineLength > kHeaderLineRoom) return fail("ファイル一覧が壊れています。");
    header_.assign(reinterpret_cast<const char*>(h + HEADER_LINE), lineLength);
    if (header_ != cacheHeader) return fail("ファイル一覧が前回の計測結果と一致しません。");
    Layout l;
    l.files = Load<uint64_t>(h + HEADER_FILES);
    l.folders = Load<uint64_t>(h + HEADER_FOLDERS);
    l.pool = Load<uint64_t>(h + HEADER_POOL_BYTES);
    if (l.files > UINT32_MAX || l.folders > UINT32_MAX || l.folders == 0 || l.pool > length)
        return fail("ファイル一覧が壊れています。");
    l.Compute();
    // Every offset is derived from the counts: a file whose stored offsets
    // or length disagree was not written by this version, or was cut short.
    if (Load<uint64_t>(h + HEADER_LENGTH) != length || l.length != length ||
        Load<uint64_t>(h + HEADER_OFFSET_FOLDERS) != l.offFolders ||
        Load<uint64_t>(h + HEADER_OFFSET_SIZE) != l.offSize ||
        Load<uint64_t>(h + HEADER_OFFSET_OCCUPIED) != l.offOccupied ||
        Load<uint64_t>(h + HEADER_OFFSET_MODIFIED_TIME) != l.offMtime ||
        Load<uint64_t>(h + HEADER_OFFSET_NAME_OFFSET) != l.offNameOffset ||
        Load<uint64_t>(h + HEADER_OFFSET_NAME_LENGTH) != l.offNameLength ||
        Load<uint64_t>(h + HEADER_OFFSET_FLAGS) != l.offFlags ||
        Load<uint64_t>(h + HEADER_OFFSET_POOL) != l.offPool)
        return fail(CutShortText());
    files_ = static_cast<uint32_t>(l.files);
    folders_ = static_cast<uint32_t>(l.folders);
    poolBytes_ = l.pool;
    linksOnce_ = Load<uint32_t>(h + HEADER_LINKS_ONCE) != 0;
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
        const uint32_t parent = Load<uint32_t>(e), nameOff = Load<uint32_t>(e + 4),
                       nameLen = Load<uint32_t>(e + 8), first = Load<uint32_t>(e + 12),
                       count = Load<uint32_t>(e + 16), end = Load<uint32_t>(e + 20);
        if ((i == 0) != (parent == UINT32_MAX) || (i > 0 && parent >= i) || end <= i ||
            end > folders_ || (i > 0 && end > FolderSubtreeEnd(parent)) ||
            uint64_t{nameOff} + nameLen > poolBytes_ || nameLen > 255 || first != nextFile ||
            uint64_t{first} + count > files_)
            return fail("ファイル一覧が壊れています。");
        nextFile += count;
    }
    if (nextFile != files_) return fail("ファイル一覧が壊れています。");
    for (uint32_t i = 0; i < files_; ++i)
        if (uint64_t{nameOffset_[i]} + nameLength_[i] > poolBytes_)
            return fail("ファイル一覧が壊れています。");
    // Cut short while it was checked: the zeros read may have passed.
    if (!Intact()) return fail(CutShortText());
    if (why) why->clear();
    return true;
}

bool FileIndex::Intact() const {
    return !P::MappingLostPages(base_);
}

const char* FileIndex::CutShortText() {
    return "ファイル一覧が壊れているか、途中までしかありません。";
}

uint32_t FileIndex::FolderParent(uint32_t f) const {
    return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry);
}
std::string_view FileIndex::FolderName(uint32_t f) const {
    const unsigned char* e = folderTable_ + size_t{f} * kFolderEntry;
    return {pool_ + Load<uint32_t>(e + 4), Load<uint32_t>(e + 8)};
}
uint32_t FileIndex::FolderFirstFile(uint32_t f) const {
    return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry + 12);
}
uint32_t FileIndex::FolderFileCount(uint32_t f) const {
    return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry + 16);
}
uint32_t FileIndex::FolderSubtreeEnd(uint32_t f) const {
    return Load<uint32_t>(folderTable_ + size_t{f} * kFolderEntry + 20);
}

std::string FileIndex::FolderPath(uint32_t folder) const {
    std::vector<uint32_t> chain;
    for (uint32_t f = folder; f != 0 && f < folders_; f = FolderParent(f))
        chain.push_back(f);
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
    if (!IsOpen() || programPath.size() < 3 || programPath[0] != letter_ ||
        programPath.compare(1, 2, ":\\") != 0)
        return -1;
    int64_t at = 0;
    size_t pos = 3;
    while (pos < programPath.size()) {
        size_t slash = programPath.find('\\', pos);
        if (slash == std::string::npos) slash = programPath.size();
        at = ChildFolder(static_cast<uint32_t>(at),
                         P::NativeName(std::string_view(programPath).substr(pos, slash - pos)));
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
        if (FolderFirstFile(mid) <= file)
            lo = mid;
        else
            hi = mid;
    }
    while (lo > 0 && FolderFileCount(lo) == 0)
        --lo;
    while (lo + 1 < folders_ && FolderFirstFile(lo) + FolderFileCount(lo) <= file)
        ++lo;
    return lo;
}

uint64_t FileIndex::Size(uint32_t f) const {
    return Load<uint64_t>(reinterpret_cast<const unsigned char*>(size_ + f));
}
uint64_t FileIndex::Occupied(uint32_t f) const {
    return Load<uint64_t>(reinterpret_cast<const unsigned char*>(occupied_ + f));
}
int64_t FileIndex::ModifiedTime(uint32_t f) const {
    return Load<int64_t>(reinterpret_cast<const unsigned char*>(mtime_ + f));
}
uint8_t FileIndex::Flags(uint32_t f) const {
    return flags_[f];
}
std::string_view FileIndex::Name(uint32_t f) const {
    return {pool_ + Load<uint32_t>(reinterpret_cast<const unsigned char*>(nameOffset_ + f)),
            nameLength_[f]};
}

std::string FileIndex::FilePath(uint32_t file) const {
    return FolderPath(FolderOfFile(file)) + ShownOrSame(Name(file));
}

} // namespace nrvs
