// The drive table: one record per letter A to Z, and the letter-ordered list
// of the drives shown to the user.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nrvs {

struct DriveRecord {
    int Ready = 0;          // 1 when the last volume query succeeded
    int Index = 0;          // letter number, 0 = A
    std::string RootPath;   // "C:\"
    uint32_t DriveType = 0; // 0 not in use, 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk
    uint32_t Category = 0;  // icon: 1 removable, 2 hard disk, 3 network, 4 CD-ROM, 5 RAM disk
    uint32_t Removable = 0; // 1 for removable and CD-ROM drives
    int SelectCount = 0;    // selections found ready since start
    int Offline = 0;        // 1: not here, browsed from its last measurement (DriveType stays 0)
    std::string VolumeName;
    std::string FileSystem;
    uint32_t SerialNumber = 0;
    uint32_t FileSystemFlags = 0;
    double TotalBytes = 0;
    double FreeBytes = 0; // what an ordinary user can still write (df's Avail)
    uint32_t SectorsPerCluster = 0;
    uint32_t BytesPerSector = 0;
    uint32_t ClusterSize = 0; // the unit every occupied size is rounded to
    uint32_t FreeClusters = 0;
    uint32_t TotalClusters = 0;
    // Set when the letter's root is a folder inside a volume and not the
    // volume's root: the mount point of that volume, whose figures
    // TotalBytes and FreeBytes are. Empty at a volume's root.
    std::string FolderVolume;
};

// The drive menu items and drive-bar buttons live in the main window; the
// table tells it which to show, in which listed position, and which to hide.
class DriveItemsUi {
  public:
    virtual ~DriveItemsUi() = default;
    virtual void ShowItem(const DriveRecord& record, int listedPos) = 0;
    virtual void HideItem(const DriveRecord& record) = 0;
};

// Drives that are not here are browsed from their last measurement, which
// the layers above the table keep; the table asks them through this.
class OfflineDrives {
  public:
    virtual ~OfflineDrives() = default;
    // Whether letter has something to browse while its drive is not here.
    virtual bool HasSnapshot(char letter) const = 0;
    // Fills an offline record's volume fields from what was noted of it.
    virtual void FillRecord(DriveRecord& record) const = 0;
};

class DriveTable {
  public:
    // The volume label and file system name are cut to what the volume
    // query's buffers hold, less their terminating zero.
    static constexpr size_t kVolumeNameBuffer = 50;
    static constexpr size_t kFileSystemBuffer = 20;

    // Reads the drive map and mounts again (unless readMap is false: read
    // just before), then for every letter: Ready = 0, Index, RootPath and
    // the type fields.
    void DetectTypes(bool readMap = true);
    // Queries the volume, free space and cluster geometry; returns the new
    // Ready. Values that cannot be read keep what they were. An offline
    // drive gets the figures noted at its last measurement, never the disk's.
    int ReadVolume(DriveRecord& record);
    // Rebuilds the listed drives (letter order) and shows or hides each drive's
    // items; every listed drive's volume is queried. A letter not in use whose
    // last measurement is kept is listed offline.
    void RefreshListing(int showRemovable);

    // The i-th listed record, or nullptr outside 0 to ListedCount()-1.
    DriveRecord* ListedAt(int i);
    // The record of letter number n, or nullptr outside 0 to 25.
    DriveRecord* ByLetter(int n);
    const DriveRecord* ByLetter(int n) const;
    int ListedCount() const { return listedCount_; }

    void SetItemsUi(DriveItemsUi* ui) { ui_ = ui; }
    // Without it no letter is listed offline and an offline record keeps its
    // fields.
    void SetOfflineDrives(const OfflineDrives* offline) { offline_ = offline; }

  private:
    std::array<DriveRecord, 26> records_{};
    // Letter numbers rather than pointers, so a copied table lists its own records.
    std::array<int, 26> listed_{};
    int listedCount_ = 0;
    DriveItemsUi* ui_ = nullptr;
    const OfflineDrives* offline_ = nullptr;
};

// Cuts text to at most maxBytes without splitting a UTF-8 character.
std::string CutToBytes(const std::string& text, size_t maxBytes);

} // namespace nrvs
