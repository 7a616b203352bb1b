#include "core/history/PreviousKeeper.h"

#include "core/cache/Cache.h"
#include "core/cache/FolderMerge.h"
#include "core/drives/DriveTable.h"
#include "core/history/MeasurementLines.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/GlobalState.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

namespace nrvs {

namespace P = platform;

// ---- keeping ----

namespace {

// The subtree of folder below of an index, as a walk of it would have
// gathered it: for putting it into another index of the same drive.
FileIndexData SubtreeData(const FileIndex* x, const std::string& below) {
    FileIndexData d;
    d.Files.resize(1);
    const int64_t found = x ? x->FindFolder(below) : -1;
    if (found < 0) {
        FileIndexData::Folder empty;
        empty.SubtreeEnd = 1;
        d.Folders.push_back(std::move(empty));
        return d;
    }
    d.LinksOnce = x->LinksOnce();
    const uint32_t a = static_cast<uint32_t>(found), end = x->FolderSubtreeEnd(a);
    for (uint32_t f = a; f < end; ++f) {
        FileIndexData::Folder o;
        o.Parent = f == a ? UINT32_MAX : x->FolderParent(f) - a;
        if (f != a) d.SetFolderName(o, x->FolderName(f));
        o.Begin = d.Files[0].Position();
        const uint64_t nameBytes = d.Files[0].NameBytes();
        o.Count = x->FolderFileCount(f);
        o.SubtreeEnd = x->FolderSubtreeEnd(f) - a;
        const uint32_t first = x->FolderFirstFile(f);
        for (uint32_t k = first; k < first + o.Count; ++k) {
            IndexedFile file;
            file.Size = x->Size(k);
            file.Occupied = x->Occupied(k);
            file.ModifiedTime = x->ModifiedTime(k);
            file.Flags = x->Flags(k);
            d.Files[0].Add(file, x->Name(k));
        }
        o.NameBytes = static_cast<uint32_t>(d.Files[0].NameBytes() - nameBytes);
        d.Folders.push_back(std::move(o));
    }
    return d;
}

bool Failed(std::string* why, const std::string& name) {
    if (why) *why = name + ": " + P::LastWriteError();
    return false;
}

} // namespace

bool StartHistoryAfresh(char letter, const std::string& header, const std::string& host,
                        const std::string& root, std::string* why) {
    for (const std::string& name : {PreviousIndexName(letter), PreviousCacheName(letter)})
        if (!P::RemoveOwnFile(name)) return Failed(why, name);
    const std::string note = PreviousVolumeName(letter);
    // Without the note a later measurement would not know what it replaced;
    // an older note names another cache than the import's, and tells nothing.
    if (Global().KeepPrevious && P::PrepareProgramFolderOf(note))
        SaveLines({std::string(), header + "\t" + ImportIdentity(host, root)}, note);
    else
        P::RemoveOwnFile(note);
    return true;
}

PreviousKeeper::PreviousKeeper(const DriveRecord& drive, const std::string& below)
    : letter_(CacheFileName(drive)[CacheFileName(drive).size() - 5]),
      below_(below.size() > 3 ? below : std::string()), volume_(VolumeIdentity(drive)),
      oldIndex_(std::make_unique<FileIndex>()) {
    if (!Global().KeepPrevious) return;
    std::time_t start = 0;
    // Its lines are not split: a drive measurement keeps the old cache whole,
    // a folder measurement looks for its subtree's lines alone.
    hasCache_ = cache_.Map(CacheFileName(drive), false) && HeaderStart(cache_.Header(), start);
    if (!hasCache_) return;
    // Held from now: the save renames the new files over these names. A
    // drive measurement keeps them whole by a second name in the folder of
    // previous measurements, taken now and moved into place at Commit; the
    // bytes are copied only where the system cannot link them.
    if (below_.empty()) {
        P::LinkAsTemporary(CacheFileName(drive), PreviousCacheName(letter_), linkedCache_);
        if (!P::LinkAsTemporary(FileIndexName(letter_), PreviousIndexName(letter_), linkedIndex_))
            P::MapFileReadOnlyGuarded(FileIndexName(letter_), index_, indexLength_);
    } else {
        oldIndex_->Open(FileIndexName(letter_), letter_, cache_.Header());
        oldCache_ = std::make_unique<P::FileReader>();
        if (!oldCache_->Open(CacheFileName(drive))) oldCache_.reset();
    }
}

PreviousKeeper::~PreviousKeeper() {
    P::UnmapFileGuarded(index_, indexLength_);
    // Second names not moved into place (no Commit, or a copy instead).
    for (const std::string* name : {&linkedCache_, &linkedIndex_})
        if (!name->empty()) P::RemoveOwnFile(*name);
}

bool PreviousKeeper::Commit(const std::string& newHeader, std::string* why) {
    return Commit(newHeader, why, {});
}

void SaveSignal::Set(bool saved) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (known_) return;
        known_ = true;
        saved_ = saved;
    }
    changed_.notify_all();
}

bool SaveSignal::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return known_; });
    return saved_;
}

namespace {
// Lines written aside and flushed on a thread of their own from the start,
// and given their file's name only when Put(true) says so: a file whose
// contents are known early is on disk by the time it is due.
class EarlyLines {
  public:
    EarlyLines(const std::string& name, StringList lines) : lines_(std::move(lines)) {
        writer_ = std::thread([this, name] {
            written_ = P::ReplaceFileStreamedGated(
                name,
                [&](const P::PutBytes& put) {
                    std::string text;
                    for (const std::string& line : lines_)
                        text += line + "\r\n";
                    return put(text);
                },
                [&] { return let_.Wait(); });
        });
    }
    ~EarlyLines() { Put(false); }
    EarlyLines(const EarlyLines&) = delete;
    EarlyLines& operator=(const EarlyLines&) = delete;
    // put: whether the lines take the name. True when they did.
    bool Put(bool put) {
        let_.Set(put);
        if (writer_.joinable()) writer_.join();
        return put && written_;
    }

  private:
    StringList lines_;
    SaveSignal let_;
    bool written_ = false;
    std::thread writer_;
};
} // namespace

bool PreviousKeeper::Commit(const std::string& newHeader, std::string* why,
                            const std::function<bool()>& saved) {
    std::optional<bool> known;
    const std::function<bool()> cacheSaved = [&] {
        if (!known) known = !saved || saved();
        return *known;
    };
    if (!Global().KeepPrevious) {
        if (!cacheSaved()) return true;
        // Kept no longer: an older one would pass for the one before this.
        for (const std::string& name :
             {PreviousCacheName(letter_), PreviousIndexName(letter_), PreviousVolumeName(letter_)})
            P::RemoveOwnFile(name);
        return true;
    }
    if (!P::PrepareProgramFolderOf(PreviousCacheName(letter_))) {
        if (why) *why = P::PreviousMeasurementFolder() + ": no folder of the program's own";
        return false;
    }
    // The volume note is as it will be unless the replaced cache is kept
    // whole (as a drive measurement keeps it): written meanwhile, and named
    // once the cache is saved.
    std::optional<EarlyLines> note;
    if (!below_.empty() || !hasCache_)
        note.emplace(PreviousVolumeName(letter_), VolumeNote(newHeader, false));
    auto noteVolume = [&](bool keptWhole) {
        if (!keptWhole && note && note->Put(true)) return;
        note.reset();
        SaveLines(VolumeNote(newHeader, keptWhole), PreviousVolumeName(letter_));
    };
    // Nothing was replaced (the drive had no measurement): what is kept
    // belongs to an older one and stays as it is.
    if (!hasCache_) {
        if (cacheSaved()) noteVolume(false);
        return true;
    }
    bool ok = true;
    bool whole = true;
    std::string previousHeader;
    // A folder's figures go into a previous measurement that is sound from
    // its header to its last line; its lines are checked as the merge reads
    // them, so the file is read once. Any other is replaced whole.
    bool refused = false;
    if (!below_.empty() && oldCache_ && PreviousHeader(previousHeader) &&
        OfOneSource(previousHeader)) {
        whole = false;
        ok = KeepSubtree(previousHeader, why, refused, cacheSaved);
    }
    // Not replaced: the previous measurement is still the one before it.
    if (!cacheSaved()) return true;
    if (whole || refused) {
        whole = true;
        ok = KeepWhole(why);
    }
    noteVolume(whole && ok);
    return ok;
}

bool PreviousKeeper::KeepWhole(std::string* why) {
    const std::string cacheName = PreviousCacheName(letter_),
                      indexName = PreviousIndexName(letter_);
    // The index goes first: a cache kept without it must not meet an older
    // index of its own date (they are matched by the cache's header line).
    bool indexOk = true;
    if (!linkedIndex_.empty() && P::RenameOwnFile(linkedIndex_, indexName)) {
        linkedIndex_.clear();
    } else {
        indexOk = linkedIndex_.empty() &&
                  (index_ ? P::ReplaceFileFromMapping(indexName, index_, indexLength_) &&
                                !P::MappingLostPages(index_)
                          : P::RemoveOwnFile(indexName));
    }
    if (!indexOk) {
        std::string reason = index_ && P::MappingLostPages(index_)
                                 ? "the file index was cut short by another program while copied"
                                 : P::LastWriteError();
        P::RemoveOwnFile(indexName);
        if (why) *why = indexName + ": " + reason;
    }
    if (!linkedCache_.empty()) {
        if (!P::RenameOwnFile(linkedCache_, cacheName)) return Failed(why, cacheName);
        linkedCache_.clear();
        return indexOk;
    }
    const std::string_view text = cache_.Text();
    if (!P::ReplaceFileFromMapping(cacheName, text.data(), text.size()))
        return Failed(why, cacheName);
    return indexOk;
}

bool PreviousKeeper::PreviousHeader(std::string& header) const {
    header = HeaderLineOf(PreviousCacheName(letter_));
    return !header.empty();
}

bool PreviousKeeper::OfOneSource(const std::string& previousHeader) const {
    StringList note;
    LoadLines(note, PreviousVolumeName(letter_));
    const auto [prevHeader, prevVolume] = NoteLine(note, 0);
    const auto [curHeader, curVolume] = NoteLine(note, 1);
    return !(prevHeader == previousHeader && curHeader == cache_.Header() &&
             prevVolume != curVolume);
}

void PreviousKeeper::TakeReplaced(StringList lines) {
    replaced_ = std::move(lines);
    hasReplaced_ = true;
}

bool PreviousKeeper::KeepSubtree(const std::string& previousHeader, std::string* why, bool& refused,
                                 const std::function<bool()>& saved) {
    const std::string cacheName = PreviousCacheName(letter_),
                      indexName = PreviousIndexName(letter_);
    // The replaced subtree's lines take the place of its lines there, merged
    // into the file as it is read: the rest is neither held nor parsed.
    const bool guessed = !hasReplaced_ && confirmLater_;
    StringList fresh =
        hasReplaced_ ? std::move(replaced_)
        : guessed
            ? SubtreeLinesIn(cache_.Text(), below_)
            : SubtreeLinesOf([&](char* b, size_t n) { return oldCache_->Read(b, n); }, below_);
    MergeExtras extras;
    // The folders above it move with it, as they did in the replaced cache:
    // the root's "before" stays the sum of what is below it.
    extras.UpdateParents = true;
    size_t number = 1;
    extras.Accept = [&](std::string_view line) {
        return CheckLine(line, letter_, ++number, nullptr) == PREVIOUS_OK;
    };
    // Once the merged lines are written aside and the new cache is saved,
    // the index goes first: the index of the previous measurement gets the
    // replaced subtree's files when both it and the replaced index belong
    // to their caches; otherwise it would describe other figures than the
    // lines, and goes.
    bool wrongGuess = false;
    extras.Gate = [&] {
        if (!saved()) return false;
        // In order, the halving found what the saver took out, in the same
        // order (fresh was sorted by the merge: a run of a file in order
        // stays as it is).
        if (guessed && !wrongGuess && confirmed_ && *confirmed_ != fresh) {
            wrongGuess = true;
            return false;
        }
        FileIndex prevIndex;
        bool indexOk = false;
        if (oldIndex_->IsOpen() && prevIndex.Open(indexName, letter_, previousHeader)) {
            const FileIndexData data = SubtreeData(oldIndex_.get(), below_);
            indexOk = WriteFileIndex(indexName, letter_, previousHeader, data, &prevIndex, below_);
        }
        if (!indexOk) P::RemoveOwnFile(indexName);
        return true;
    };
    bool merged = MergeIntoFile(cacheName, below_, previousHeader, fresh, why, &extras);
    if (!merged && wrongGuess) {
        fresh = std::move(*confirmed_);
        number = 1;
        merged = MergeIntoFile(cacheName, below_, previousHeader, fresh, why, &extras);
    }
    if (!merged) {
        refused = extras.Refused;
        if (!saved()) return false;
        // The index may be of the new lines already: it must not pass for
        // the old ones' files.
        P::RemoveOwnFile(indexName);
        return false;
    }
    return true;
}

StringList PreviousKeeper::VolumeNote(const std::string& newHeader, bool keptWhole) const {
    StringList note;
    LoadLines(note, PreviousVolumeName(letter_));
    note.resize(2);
    if (keptWhole) {
        const auto [header, volume] = NoteLine(note, 1);
        note[0] = header == cache_.Header() && !header.empty() ? note[1] : std::string();
    }
    note[1] = newHeader + "\t" + volume_;
    return note;
}

} // namespace nrvs
