// What the property dialog shows for a drive, a folder or a file: one
// caption and value per row, read afresh from the disk and, for folders, from
// the drive's measured records.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/cache/Folders.h"

#include <string>
#include <vector>

namespace nrvs {

struct PropertyRow {
    std::string Caption;
    std::string Value;
};

// Rows for a program-form path (a drive's root, a folder ending in a
// backslash, or a file). A folder's size, occupied size and contents come
// from its record in folders when measured, "未計測" otherwise. Empty when
// the item cannot be found.
std::vector<PropertyRow> ItemProperties(const std::string& programPath, FolderList& folders,
                                        const DriveRecord* drive);

// "rwxr-xr-x (0755)" for the permission bits of a mode.
std::string PermissionText(unsigned mode);

} // namespace nrvs
