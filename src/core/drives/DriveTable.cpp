#include "core/drives/DriveTable.h"

#include "platform/Drives.h"

namespace nrvs {

std::string CutToBytes(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = maxBytes;
    // Step back over continuation bytes to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

void DriveTable::DetectTypes(bool readMap) {
    if (readMap) platform::DetectDriveMap();
    for (int n = 0; n < 26; ++n) {
        DriveRecord& r = records_[static_cast<size_t>(n)];
        r.Ready = 0;
        r.Offline = 0;
        r.Index = n;
        r.RootPath = std::string(1, static_cast<char>('A' + n)) + ":\\";
        uint32_t type = platform::GetDriveTypeA(r.RootPath);
        switch (type) {
        case platform::DRIVE_REMOVABLE:
            r.Category = 1;
            r.Removable = 1;
            break;
        case platform::DRIVE_FIXED:
            r.Category = 2;
            r.Removable = 0;
            break;
        case platform::DRIVE_REMOTE:
            r.Category = 3;
            r.Removable = 0;
            break;
        case platform::DRIVE_CDROM:
            r.Category = 4;
            r.Removable = 1;
            break;
        case platform::DRIVE_RAMDISK:
            r.Category = 5;
            r.Removable = 0;
            break;
        default:
            type = 0;
            break;
        }
        r.DriveType = type;
    }
}

int DriveTable::ReadVolume(DriveRecord& r) {
    if (r.Offline) {
        if (offline_) offline_->FillRecord(r);
        return r.Ready;
    }
    r.Ready = 0;
    platform::VolumeInformation info;
    if (platform::GetVolumeInformationA(r.RootPath, info) != 1) return r.Ready;
    r.VolumeName = CutToBytes(info.VolumeName, kVolumeNameBuffer - 1);
    r.FileSystem = CutToBytes(info.FileSystemName, kFileSystemBuffer - 1);
    r.SerialNumber = info.SerialNumber;
    r.FileSystemFlags = info.FileSystemFlags;
    r.Ready = 1;
    r.FolderVolume = platform::FolderVolume(r.RootPath);

    platform::DiskFreeSpace space;
    if (!platform::GetDiskFreeSpaceA(r.RootPath, space)) return r.Ready;
    r.SectorsPerCluster = space.SectorsPerCluster;
    r.BytesPerSector = space.BytesPerSector;
    r.FreeClusters = space.FreeClusters;
    r.TotalClusters = space.TotalClusters;

    uint64_t total = 0, free = 0;
    if (platform::GetDiskFreeSpaceExA(r.RootPath, total, free)) {
        r.TotalBytes = static_cast<double>(total);
        r.FreeBytes = static_cast<double>(free);
        r.ClusterSize = r.SectorsPerCluster * r.BytesPerSector;
    }
    return r.Ready;
}

void DriveTable::RefreshListing(int showRemovable) {
    listedCount_ = 0;
    for (int n = 0; n < 26; ++n) {
        DriveRecord& r = records_[static_cast<size_t>(n)];
        if (ui_) ui_->HideItem(r);
        r.Offline = 0;
        if (r.DriveType == 0) {
            if (!offline_ || !offline_->HasSnapshot(static_cast<char>('A' + n))) continue;
            r.Offline = 1;
        } else if (!showRemovable && r.Removable == 1) {
            continue;
        }
        // A drive without media is listed all the same, just not ready.
        ReadVolume(r);
        if (ui_) ui_->ShowItem(r, listedCount_);
        listed_[static_cast<size_t>(listedCount_++)] = n;
    }
}

DriveRecord* DriveTable::ListedAt(int i) {
    if (i < 0 || i >= listedCount_) return nullptr;
    return &records_[static_cast<size_t>(listed_[static_cast<size_t>(i)])];
}

DriveRecord* DriveTable::ByLetter(int n) {
    if (n < 0 || n > 25) return nullptr;
    return &records_[static_cast<size_t>(n)];
}

const DriveRecord* DriveTable::ByLetter(int n) const {
    if (n < 0 || n > 25) return nullptr;
    return &records_[static_cast<size_t>(n)];
}

} // namespace nrvs
