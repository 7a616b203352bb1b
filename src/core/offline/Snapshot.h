// Drives that are not here: an unplugged disk, a share that is not
// connected, a scan imported from another machine. Each is browsed from what
// its last measurement left behind: the cache's folder lines, the file index,
// and the volume's figures noted when it was measured ("NRVS_X.vol").
// Nothing here opens a path of the drive itself.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/cache/Folders.h"
#include "lib/DirectoryListing.h"

#include <cstdint>
#include <string>

namespace nrvs {

// The volume as the last measurement of the drive found it.
struct VolumeNote {
    bool Valid = false;
    std::string VolumeName;
    std::string FileSystem;
    uint32_t Category = 2; // the drive bar's icon
    uint32_t SerialNumber = 0;
    uint32_t ClusterSize = 0;
    double TotalBytes = 0;
    double FreeBytes = 0;
    std::string Where; // the native root it was measured at
    // The mount point of the volume the root lay inside when the root was a
    // folder of it; empty for a volume's root (and in older notes).
    std::string FolderVolume;
    // The header line of the cache the note was written with; empty in a
    // note of a version that did not tie the two.
    std::string Cache;
};

// "NRVS_" + letter + ".vol" beside the caches.
std::string VolumeNoteName(char letter);
// Written after each measurement of a drive that is here, with the header
// line of the cache it saved; false when it could not be written (the
// measurement stands all the same).
bool SaveVolumeNote(const DriveRecord& drive, const std::string& nativeRoot,
                    const std::string& cacheHeader);
// Read defensively: missing, damaged or foreign gives Valid false.
VolumeNote ReadVolumeNote(char letter);

// Whether the drive's cache, of header line cacheHeader, was measured of
// another volume than the one the drive holds now (its volume read): the
// note written with that cache names another serial number, file system or
// root folder. A note written with another cache, or by a version that did
// not tie it to one, tells nothing: false, as for the same volume. was gets
// the noted volume, as the user knows it.
bool CacheOfOtherVolume(const DriveRecord& drive, const std::string& cacheHeader,
                        std::string* was = nullptr);

// Whether letter has something to browse while its drive is not here: a
// cache file with a measurement in it.
bool HasSnapshot(char letter);
// Fills an offline record's volume fields from the note or, for an import,
// from the scan's own totals (the root's line of folders, when given); Ready
// is 1 and Offline is 1.
void FillOfflineRecord(DriveRecord& record, FolderList* folders = nullptr);
// HasSnapshot and FillOfflineRecord (without folders) for the drive table.
const OfflineDrives& SnapshotDrives();

// The entries of folder pattern ("X:\a\*.*", program form) as ListFolder
// gives them, from the folder lines (folders) and the index (files; none when
// index is null or does not hold the folder). Files the program deleted or
// moved since are left out. hasSubfolders, when given, gets the names of the
// listed folders that have folders of their own.
void ListSnapshot(DirListing& listing, const FolderList& folders, const FileIndex* index,
                  const std::string& pattern, int kind, StringList* hasSubfolders = nullptr);

// One line for the drive bar's tip and the status bar: what the snapshot is
// and when it was taken, e.g. "オフライン: 2026/12/01 10:00:00 の計測" or
// "取り込み: server:/srv (ncdu 1.18) 2026/12/01 10:00:00".
std::string SnapshotText(const DriveRecord& drive, const std::string& cacheHeader);
// Why a command that needs the drive itself is not offered for it.
extern const char* const kOfflineCommandTip;

} // namespace nrvs
