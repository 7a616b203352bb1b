// Measuring a folder tree: per folder the bytes of its files, the space they
// occupy in whole clusters, and the numbers of files and folders, directly
// inside and in the whole subtree.
#pragma once

#include "core/cache/Folders.h"
#include "lib/StringList.h"
#include "core/index/FileIndexWriter.h"

#include <cstdint>
#include <functional>
#include <ctime>
#include <string>
#include <vector>

namespace nrvs {

// What a measurement asks of the windows. Every call comes on the thread
// that started the measurement. The defaults serve callers without windows:
// the job runs at once, nothing is stopped, questions go to AskYesNo.
class MeasureHooks {
  public:
    virtual ~MeasureHooks() = default;
    // Runs job inside the running dialog (caption, STOP shown) and returns
    // when the job has returned.
    virtual void RunJob(const std::string& caption, const std::function<void()>& job);
    // True once the user pressed STOP.
    virtual bool StopRequested() { return false; }
    virtual void SetProgressText(const std::string&) {}
    // What the walk has counted so far: folders and files listed, bytes of
    // those files. Called a few times a second while a walk runs, and once
    // with the totals at its end.
    virtual void SetProgressCounts(int64_t /*folders*/, int64_t /*files*/, double /*bytes*/) {}
    // Lets pending window messages through.
    virtual void ProcessMessages() {}
    virtual int Ask(const std::string& text, int style);
    // A message box (ShowMessageBox).
    virtual void Tell(const std::string& text, int style);
    // The drives-to-measure dialog: one "0"/"1" per listed drive; false when
    // the dialog was cancelled.
    virtual bool ChooseDrives(std::string& flags);
};

// The space counted for a file of size S that holds A bytes on disk, on
// clusters of C bytes (0: no rounding). The cluster count is 64-bit.
double OccupiedSize(double size, double onDisk, uint32_t clusterSize);

// What a measurement could not read. The cache file has no room for it, so
// it lives only as long as the program holds the result.
struct MeasureReport {
    // The folder where the walk starts could not be opened: nothing was
    // measured.
    bool RootFailed = false;
    // Program-form paths of the folders below it that could not be listed
    // (access denied, vanished), in the order their lines are written.
    StringList Unreadable;
    // The cache file could not be written ("file: reason"): the result is
    // held for this run only. Empty when it was saved.
    std::string SaveError;
    // The cache was saved, but the file index beside it could not be
    // written ("file: reason"): the drive's files must be measured again.
    std::string IndexError;
};

struct FileIndexData;

// A name of a file with several names, handed out of a walk instead of
// being counted (MeasureOptions::LinkedNames).
struct LinkedName {
    uint64_t Device = 0, Inode = 0;
    std::string Folder; // program path of the folder holding the name
    double Size = 0, Occupied = 0;
};

struct MeasureOptions {
    // Worker threads for the walk; 0 picks a few by the number of cores.
    // The result does not depend on it.
    int Threads = 0;
    // Round every file's nominal size, not the bytes it holds on disk (what
    // a copy to a file system without holes or compression would take).
    bool NominalSizes = false;
    // A regular file with several names within the walk adds its bytes
    // once, to the folder whose program path sorts first (byte order) among
    // those holding a name of it; the other names count as files of 0 bytes.
    bool CountLinksOnce = true;
    // Filled with what could not be read, when given.
    MeasureReport* Report = nullptr;
    // With CountLinksOnce: the names of files with several names are not
    // counted by this walk but appended here, for a caller that counts
    // them once across several walks (the rows of a simulation).
    std::vector<LinkedName>* LinkedNames = nullptr;
    // Filled with every file the walk counts, for the drive's file index.
    FileIndexData* Files = nullptr;
    // The lines in the order of a sorted cache instead of post order (the
    // start folder's first), as far as the names allow: a caller that sorts
    // them finds them sorted, but for names that sort otherwise.
    bool LinesInOrder = false;
};

// Walks the program-form folder path (ending in a backslash), appends one
// line per completed folder to out in post order (a folder after its
// subfolders), and returns the folder's record. A folder that cannot be
// listed, or where another mount begins than the drive root's (the start
// folder too), gets a line with zero sizes. After
// STOP, folders not yet entered return empty records without lines; folders
// being read finish with what they have. Uses no recursion, so any depth
// works.
FolderRecord MeasureTree(FolderList& out, const std::string& path, uint32_t clusterSize, int depth,
                         MeasureHooks& hooks, const MeasureOptions& options = {});

} // namespace nrvs

namespace nrvs {

struct DriveRecord;

// The job of one drive: its volume queried again, then its root walked.
// files: filled for the drive's file index, when given.
FolderRecord MeasureDriveJob(DriveRecord& drive, MeasureHooks& hooks,
                             MeasureReport* report = nullptr, FileIndexData* files = nullptr);
// The job of one folder of the current drive.
FolderRecord MeasureFolderJob(const std::string& path, MeasureHooks& hooks,
                              MeasureReport* report = nullptr, FileIndexData* files = nullptr);

// Measures the current drive (or the drives chosen, with several-drive
// measurement on) after the question the settings ask for; each drive's
// result is sorted, stamped and saved as its cache file, also when stopped.
// A drive whose root cannot be opened keeps its list and cache file, and the
// user is told. At the end the user is told of folders that could not be
// read. 1 when anything was measured; report gets what could not be read.
int MeasureDrives(MeasureHooks& hooks, MeasureReport* report = nullptr);
// Measures one folder of the current drive after asking, merging its lines
// into the drive's list in place of the old ones below it. A folder that
// cannot be opened changes nothing. 1 when measured.
int MeasureFolder(const std::string& path, MeasureHooks& hooks, MeasureReport* report = nullptr);
// The same for a caller that holds no list of the drive (the command line):
// the folder's lines are merged into the drive's cache file as it is on disk,
// without loading it. Afterwards the list holds the folder's lines only. 0
// also for a drive root, which MeasureDrives measures.
int MeasureFolderIntoCache(const std::string& path, MeasureHooks& hooks,
                           MeasureReport* report = nullptr);

// Whether the folder (program form, trailing backslash) could not be read
// by the last measurement of its drive in this run of the program.
bool IsUnreadableFolder(const std::string& path);
// The message at the end of a measurement that could not read some folders:
// their number and the first paths; empty when every folder was read.
std::string UnreadableMessage(const MeasureReport& report);
// Whether the current drive is to be measured without being asked.
// listShowsUnmeasured: the main list shows a folder without a record.
int ShouldMeasure(bool listShowsUnmeasured, std::time_t now);

} // namespace nrvs
