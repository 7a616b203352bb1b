#include "core/cache/Cache.h"
#include "core/cache/FolderMerge.h"
#include "core/history/PreviousKeeper.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/measure/Measure.h"
#include "core/offline/Snapshot.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/SettingsLines.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>

namespace nrvs {

namespace {
const char* const kRunningCaption = " 計測中...";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

void TellSaveFailed(MeasureHooks& hooks, const std::string& why) {
    hooks.Tell("計測結果をキャッシュファイルに保存できませんでした。\n" + why +
                   "\n\n今回の計測結果は表示しますが、保存されていません。",
               MB_ICONSTOP);
}

void TellIndexNotSaved(MeasureHooks& hooks, const std::string& cacheName, const std::string& why) {
    hooks.Tell("計測結果はキャッシュファイル " + cacheName +
                   " に保存しましたが、ファイル一覧を保存できませんでした。\n" + why +
                   "\n\nファイルの一覧と検索には、もう一度計測してください。",
               MB_ICONSTOP);
}

void SealIndex(const DriveRecord& drive, const std::string& header, MeasureHooks& hooks,
               MeasureReport& report, const FileIndexData* files, const std::string& below,
               const std::string& diskHeader);

// Whether a folder measurement of the drive gathers its files: only an index
// that belongs to the cache on disk takes them (SealIndex), so for any other
// the walk would gather them for nothing. Asked before the walk, outside the
// cache lock: SealIndex asks again under it.
bool GathersFilesFor(const DriveRecord& drive) {
    if (Global().NoFileIndex) return false;
    const std::string cacheName = CacheFileName(drive);
    FileIndex index;
    return index.Open(FileIndexName(drive), cacheName[cacheName.size() - 5],
                      CacheHeaderLine(drive));
}

// Saves the new cache with save() while previous keeps what it replaces on
// another thread, written aside and put in place once the cache is saved.
// True when the cache was saved; kept and notKept: what the keeper says.
bool SaveKeepingPrevious(PreviousKeeper& previous, const std::string& header,
                         const std::function<bool()>& save, bool& kept, std::string& notKept) {
    SaveSignal saved;
    std::thread keeper(
        [&] { kept = previous.Commit(header, &notKept, [&] { return saved.Wait(); }); });
    struct Join {
        SaveSignal& saved;
        std::thread& keeper;
        ~Join() {
            saved.Set(false); // no effect once set
            keeper.join();
        }
    } join{saved, keeper};
    const bool ok = save();
    saved.Set(ok);
    return ok;
}

void TellNotKept(MeasureHooks& hooks, const std::string& notKept) {
    hooks.Tell("前回の計測結果を残せませんでした。今回の計測結果は保存しています。\n" + notKept,
               MB_ICONINFORMATION);
}

// Sorted, stamped with the header line and written as the drive's cache,
// under the drive's cache lock. A folder measurement (below: its path, its
// lines from firstNew on) that finds the cache saved by someone else since
// it was read takes that version and puts its own lines in, so that a drive
// measured meanwhile in another window or process is not undone.
// oldLine: the folder's line before (empty when it had none), for the
// totals of the folders above it; replaced: the lines the list had of the
// folder and below when the list was the cache on disk (none otherwise),
// for the previous measurement.
// Gives the header line of the cache saved; empty when it was not saved.
std::string Seal(FolderList& folders, const DriveRecord& drive, std::time_t start,
                 MeasureHooks& hooks, MeasureReport& report, const FileIndexData* files,
                 const std::string& below = {}, size_t firstNew = 0, std::string oldLine = {},
                 std::optional<StringList> replaced = {}) {
    platform::FileLock lock(CacheLockName(drive));
    // The index on disk belongs to the cache on disk; a folder's records go
    // into it only when it does (else it stays stale and is never shown).
    // Its first line is enough: the rest of a large cache is read only when
    // it has to be merged.
    const std::string diskHeader = below.empty() ? std::string() : CacheHeaderLine(drive);
    // Still the lines of the file on disk unless it was saved since.
    bool replacedKnown = replaced && !below.empty() && !CacheChangedOnDisk(drive);
    if (!below.empty() && CacheChangedOnDisk(drive)) {
        FolderList disk;
        LoadCache(disk, drive);
        std::string_view linePath;
        // Only a cache with its header line is taken: a missing or damaged
        // file says less than what is in hand.
        std::time_t stamped = 0;
        if (disk.Count() > 0 && HeaderStart(std::string(disk.LineAt(0)), stamped)) {
            FolderList merged;
            oldLine.clear();
            replaced.emplace();
            for (size_t i = 1; i < disk.Size(); ++i) {
                const std::string_view line = disk.LineAt(i);
                const bool hasPath = PathOfLine(line, linePath);
                if (!hasPath || !StartsWith(linePath, below)) {
                    merged.Append(line);
                    continue;
                }
                if (linePath == below && oldLine.empty()) oldLine = line;
                replaced->emplace_back(line);
            }
            replacedKnown = true;
            const size_t keptFromDisk = merged.Size();
            for (size_t i = firstNew; i < folders.Size(); ++i)
                merged.Append(folders.LineAt(i));
            folders = std::move(merged);
            firstNew = keptFromDisk;
        }
    }
    std::time_t end = std::time(nullptr);
    // A folder measurement merges its lines into the kept ones, which are
    // in order already; a drive measurement's lines are all new.
    if (below.empty()) {
        folders.Sort();
    } else {
        folders.SortMerged(firstNew);
        if (const int at = folders.IndexOfPath(below); at >= 0)
            UpdateParents(folders, ParentsUpdate(below, oldLine, folders.LineAt(at)));
    }
    folders.InsertFirst(NewHeaderLine(start, end));
    PreviousKeeper previous(drive, below);
    if (replacedKnown) previous.TakeReplaced(std::move(*replaced));
    const std::string header(folders.LineAt(0));
    bool kept = true;
    std::string notKept;
    if (!SaveKeepingPrevious(
            previous, header, [&] { return SaveCache(folders, drive, &report.SaveError); }, kept,
            notKept)) {
        TellSaveFailed(hooks, report.SaveError);
        return {};
    }
    if (!kept) TellNotKept(hooks, notKept);
    SealIndex(drive, header, hooks, report, files, below, diskHeader);
    return header;
}

// Brings the drive's file index up to the cache just saved with header, or
// removes it. diskHeader: for a folder measurement (below), the header of
// the cache before it, which the index on disk must belong to.
// files: none when the walk gathered none.
void SealIndex(const DriveRecord& drive, const std::string& header, MeasureHooks& hooks,
               MeasureReport& report, const FileIndexData* files, const std::string& below,
               const std::string& diskHeader) {
    const std::string cacheName = CacheFileName(drive);
    const char letter = cacheName[cacheName.size() - 5];
    const std::string indexName = FileIndexName(drive);
    // An index that this measurement does not bring up to date would
    // describe another one: it goes (a header line of the same second could
    // otherwise pass it off as this measurement's).
    if (Global().NoFileIndex) {
        platform::RemoveOwnFile(indexName);
        return;
    }
    std::string why;
    bool written = false;
    if (below.empty()) {
        written = files && WriteFileIndex(indexName, letter, header, *files, nullptr, {}, &why);
    } else {
        FileIndex old;
        if (files && old.Open(indexName, letter, diskHeader))
            written = WriteFileIndex(indexName, letter, header, *files, &old, below, &why);
        else
            why.clear(); // no index of the cache before: the drive must be measured for its files
        if (!written) platform::RemoveOwnFile(indexName);
    }
    if (!written && !why.empty()) {
        report.IndexError = why;
        TellIndexNotSaved(hooks, cacheName, why);
    }
}

// The message shows this many paths; the rest are counted.
constexpr size_t kShownUnreadable = 10;

// The unreadable folders of each drive letter, sorted, from its last
// measurement in this run.
std::array<StringList, 26>& UnreadableByDrive() {
    static std::array<StringList, 26> lists;
    return lists;
}

int DriveIndexOf(std::string_view path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return -1;
    const char c = path[0];
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a';
    return -1;
}

// Replaces what is known below folder (all of the drive for its root) with
// what the measurement found.
void RememberUnreadable(const std::string& folder, const StringList& found) {
    const int drive = DriveIndexOf(folder);
    if (drive < 0) return;
    StringList& known = UnreadableByDrive()[static_cast<size_t>(drive)];
    std::erase_if(known, [&](const std::string& p) { return StartsWith(p, folder); });
    known.insert(known.end(), found.begin(), found.end());
    std::sort(known.begin(), known.end());
    known.erase(std::unique(known.begin(), known.end()), known.end());
}

// A folder's lines merged into a cache of another volume (another stick in
// the same slot, the letter given to another folder) would mix the two:
// such a folder measurement is refused, and the drive is to be measured
// whole. A cache whose volume was not noted with it is taken to be the
// drive's. True when refused (and told).
bool RefusedForOtherVolume(DriveRecord& drive, const std::string& path, MeasureHooks& hooks) {
    if (path.size() <= 3) return false;
    Global().Drives.ReadVolume(drive);
    std::string was;
    if (!CacheOfOtherVolume(drive, CacheHeaderLine(drive), &was)) return false;
    const std::string letter = drive.RootPath.substr(0, 2);
    hooks.Tell(letter + " のキャッシュは別のボリューム（" + was + "）の計測結果なので、" + path +
                   " だけを計測して混ぜることはできません。\n" + letter +
                   " ドライブ全体を計測してください。",
               MB_ICONSTOP);
    return true;
}

void TellRootFailed(MeasureHooks& hooks, const std::string& path) {
    hooks.Tell(
        path + " を開けないため、計測できませんでした。\n前回の計測結果はそのまま残しています。",
        MB_ICONSTOP);
}
} // namespace

std::string UnreadableMessage(const MeasureReport& report) {
    const size_t n = report.Unreadable.size();
    if (n == 0) return {};
    std::string text = "読み取れなかったフォルダが " + std::to_string(n) +
                       " 個あります。これらのフォルダの中身は計測されていません。\n";
    for (size_t i = 0; i < n && i < kShownUnreadable; ++i)
        text += "\n" + report.Unreadable[i];
    if (n > kShownUnreadable) text += "\n…ほか " + std::to_string(n - kShownUnreadable) + " 個";
    return text;
}

bool IsUnreadableFolder(const std::string& path) {
    const int drive = DriveIndexOf(path);
    if (drive < 0) return false;
    const StringList& known = UnreadableByDrive()[static_cast<size_t>(drive)];
    return std::binary_search(known.begin(), known.end(), path);
}

// The walk keeps the files it finds in scratch files beside the index it
// will write, not in memory.
static FileIndexData* SpilledBesideIndex(FileIndexData* files) {
    if (files && files->SpillFolder.empty())
        files->SpillFolder = platform::ProgramFileFolders().Data;
    return files;
}

FolderRecord MeasureDriveJob(DriveRecord& drive, MeasureHooks& hooks, MeasureReport* report,
                             FileIndexData* files) {
    Global().Drives.ReadVolume(drive);
    MeasureOptions options;
    options.Report = report;
    options.Files = SpilledBesideIndex(files);
    options.CountLinksOnce = Global().CountLinksOnce != 0;
    options.LinesInOrder = true; // sorted next
    return MeasureTree(Global().Folders, drive.RootPath, drive.ClusterSize, 0, hooks, options);
}

FolderRecord MeasureFolderJob(const std::string& path, MeasureHooks& hooks, MeasureReport* report,
                              FileIndexData* files) {
    const DriveRecord* cur = Global().CurrentDrive;
    MeasureOptions options;
    options.Report = report;
    options.Files = SpilledBesideIndex(files);
    options.CountLinksOnce = Global().CountLinksOnce != 0;
    options.LinesInOrder = true; // merged into the cache's order next
    return MeasureTree(Global().Folders, path, cur ? cur->ClusterSize : 0, 0, hooks, options);
}

int MeasureDrives(MeasureHooks& hooks, MeasureReport* report) {
    GlobalState& g = Global();
    DriveRecord* current = g.CurrentDrive;
    if (!current || !current->Ready || current->Offline) return 0;
    const std::string question = std::string(1, current->RootPath[0]) + "ドライブを計測しますか？";
    std::vector<DriveRecord*> drives;
    if (g.MeasureMulti) {
        std::string flags;
        if (!hooks.ChooseDrives(flags)) return 0;
        for (int i = 0; i < g.Drives.ListedCount(); ++i)
            if (DigitAt(flags, i) == 1) drives.push_back(g.Drives.ListedAt(i));
    } else {
        drives.push_back(current);
    }
    if (g.AskBeforeMeasure && hooks.Ask(question, MB_ICONQUESTION) != ID_YES) return 0;
    int measured = 0;
    MeasureReport all;
    for (DriveRecord* drive : drives) {
        // A chosen drive without media, or not here at all, keeps its
        // earlier cache file.
        if (drive->Offline || !g.Drives.ReadVolume(*drive)) continue;
        FolderList before = std::move(g.Folders);
        g.Folders.Clear();
        std::time_t start = std::time(nullptr);
        MeasureReport one;
        FileIndexData files;
        hooks.RunJob(kRunningCaption, [&] {
            MeasureDriveJob(*drive, hooks, &one, g.NoFileIndex ? nullptr : &files);
        });
        if (one.RootFailed) {
            // A root that cannot be listed says nothing about its folders:
            // the earlier result stays, in memory and on disk.
            g.Folders = std::move(before);
            all.RootFailed = true;
            TellRootFailed(hooks, drive->RootPath);
            continue;
        }
        const std::string header = Seal(g.Folders, *drive, start, hooks, one, &files);
        // What the volume looked like is kept for browsing the drive while
        // it is not here, and for telling whether the cache is of the volume
        // a folder measurement finds; the measurement stands without it.
        if (!header.empty()) SaveVolumeNote(*drive, platform::ToNative(drive->RootPath), header);
        RememberUnreadable(drive->RootPath, one.Unreadable);
        all.Unreadable.insert(all.Unreadable.end(), one.Unreadable.begin(), one.Unreadable.end());
        if (!one.SaveError.empty())
            all.SaveError += (all.SaveError.empty() ? "" : "\n") + one.SaveError;
        if (!one.IndexError.empty())
            all.IndexError += (all.IndexError.empty() ? "" : "\n") + one.IndexError;
        ++measured;
    }
    const std::string message = UnreadableMessage(all);
    if (!message.empty()) hooks.Tell(message, MB_ICONINFORMATION);
    if (report) *report = std::move(all);
    return measured ? 1 : 0;
}

int MeasureFolder(const std::string& path, MeasureHooks& hooks, MeasureReport* report) {
    GlobalState& g = Global();
    DriveRecord* current = g.CurrentDrive;
    if (!current || !current->Ready || current->Offline) return 0;
    if (RefusedForOtherVolume(*current, path, hooks)) return 0;
    if (hooks.Ask(path + "を計測しますか？", MB_ICONQUESTION) != ID_YES) return 0;
    // What is taken out is kept with its place, to be put back when the
    // folder cannot be opened: its text stays in the list meanwhile.
    FolderList& folders = g.Folders;
    const int oldAt = folders.IndexOfPath(path);
    const std::string oldLine = oldAt >= 0 ? std::string(folders.LineAt(oldAt)) : std::string();
    std::vector<size_t> out = LinesOfFolder(folders, path);
    // The lines taken out are the replaced cache's when the list's header
    // (taken out with them) is the file's.
    std::optional<StringList> replaced;
    if (path.size() > 3 && folders.Size() > 0 && IsHeaderLine(folders.LineAt(0)) &&
        folders.LineAt(0) == CacheHeaderLine(*current)) {
        replaced.emplace();
        replaced->reserve(out.size());
        for (size_t i : out)
            if (i > 0) replaced->emplace_back(folders.LineAt(i));
    }
    const auto removed = folders.TakeOut(out);
    std::vector<size_t>().swap(out);
    auto restore = [&] { folders.Restore(removed); };
    std::time_t start = std::time(nullptr);
    MeasureReport one;
    const size_t firstNew = g.Folders.Size();
    FileIndexData files;
    const bool gather = path.size() > 3 ? GathersFilesFor(*current) : !g.NoFileIndex;
    hooks.RunJob(kRunningCaption,
                 [&] { MeasureFolderJob(path, hooks, &one, gather ? &files : nullptr); });
    if (one.RootFailed) {
        // Nothing was added to the list: it is put back as it was.
        restore();
        TellRootFailed(hooks, path);
        if (report) *report = std::move(one);
        return 0;
    }
    const std::string header =
        Seal(g.Folders, *current, start, hooks, one, gather ? &files : nullptr,
             path.size() > 3 ? path : std::string(), firstNew, oldLine, std::move(replaced));
    if (!header.empty()) SaveVolumeNote(*current, platform::ToNative(current->RootPath), header);
    RememberUnreadable(path, one.Unreadable);
    const std::string message = UnreadableMessage(one);
    if (!message.empty()) hooks.Tell(message, MB_ICONINFORMATION);
    if (report) *report = std::move(one);
    return 1;
}

int MeasureFolderIntoCache(const std::string& path, MeasureHooks& hooks, MeasureReport* report) {
    GlobalState& g = Global();
    DriveRecord* current = g.CurrentDrive;
    if (!current || !current->Ready || current->Offline || path.size() <= 3) return 0;
    if (RefusedForOtherVolume(*current, path, hooks)) return 0;
    if (hooks.Ask(path + "を計測しますか？", MB_ICONQUESTION) != ID_YES) return 0;
    g.Folders.Clear();
    std::time_t start = std::time(nullptr);
    MeasureReport one;
    FileIndexData files;
    const bool gather = GathersFilesFor(*current);
    hooks.RunJob(kRunningCaption,
                 [&] { MeasureFolderJob(path, hooks, &one, gather ? &files : nullptr); });
    if (one.RootFailed) {
        TellRootFailed(hooks, path);
        if (report) *report = std::move(one);
        return 0;
    }
    {
        platform::FileLock lock(CacheLockName(*current));
        // Read before the merge replaces it: the index on disk belongs to it.
        const std::string diskHeader = CacheHeaderLine(*current);
        const std::string header = NewHeaderLine(start, std::time(nullptr));
        // The merge sorts the new lines in place; the list keeps them, so the
        // caller can look the folder up.
        // The subtree's replaced figures go into the previous measurement
        // once the new cache is saved.
        PreviousKeeper previous(*current, path);
        StringList fresh;
        fresh.reserve(g.Folders.Size());
        for (size_t i = 0; i < g.Folders.Size(); ++i)
            fresh.emplace_back(g.Folders.LineAt(i));
        g.Folders.Clear();
        // The previous measurement is merged aside at the same time, and put
        // in place once the cache is saved.
        std::string notKept;
        bool kept = true;
        previous.ConfirmReplacedLater();
        const bool merged = SaveKeepingPrevious(
            previous, header,
            [&] {
                StringList replaced;
                const bool ok =
                    MergeIntoCache(*current, path, header, fresh, &one.SaveError, &replaced);
                previous.ConfirmReplaced(std::move(replaced));
                return ok;
            },
            kept, notKept);
        for (const std::string& line : fresh)
            g.Folders.Append(line);
        StringList().swap(fresh);
        if (merged) {
            if (!kept) TellNotKept(hooks, notKept);
            SealIndex(*current, header, hooks, one, gather ? &files : nullptr, path, diskHeader);
            SaveVolumeNote(*current, platform::ToNative(current->RootPath), header);
        } else {
            TellSaveFailed(hooks, one.SaveError);
        }
    }
    RememberUnreadable(path, one.Unreadable);
    const std::string message = UnreadableMessage(one);
    if (!message.empty()) hooks.Tell(message, MB_ICONINFORMATION);
    if (report) *report = std::move(one);
    return 1;
}

int ShouldMeasure(bool listShowsUnmeasured, std::time_t now) {
    GlobalState& g = Global();
    const DriveRecord* current = g.CurrentDrive;
    switch (ChoiceIndex(g.MeasureMode)) {
    case 1:
        return listShowsUnmeasured ? 1 : 0;
    case 2:
        return current && !IsCached(*current) ? 1 : 0;
    case 3:
        return current && current->SelectCount == 1 ? 1 : 0;
    case 4:
        return 1;
    case 5: {
        if (g.Folders.Count() < 3) return 0;
        long long days = 0;
        if (!HeaderAgeDays(std::string(g.Folders.LineAt(0)), now, days)) return 0;
        return days > g.ExpiryDays ? 1 : 0;
    }
    default:
        return 0;
    }
}

} // namespace nrvs
