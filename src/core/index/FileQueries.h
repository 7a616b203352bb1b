// Questions asked of a file index: the largest or newest files of a folder
// that match a filter, and the extensions and kinds the lists of files show.
#pragma once

#include "core/index/FileIndex.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

enum FileKey { FILE_KEY_SIZE = 0, FILE_KEY_OCCUPIED = 1, FILE_KEY_MODIFIED = 2 };

struct FileQuery {
    std::string Below; // program path of a folder; empty: the whole drive
    FileKey Key = FILE_KEY_SIZE;
    size_t Top = 100;
    std::vector<std::string> Extensions; // lower-case, without dots; empty: any
    int64_t MinSize = -1;                // bytes; -1: any
    int64_t ModifiedBefore = INT64_MAX;  // seconds since 1970, exclusive
    int64_t ModifiedAfter = INT64_MIN;   // exclusive
    std::string Name;                    // search pattern (wildcards * and ?); empty: any
    bool OnPath = false;                 // the pattern is matched against the whole program path
    bool WithFolders = false;            // folders whose name matches are rows too
};

struct FileHit {
    bool IsFolder = false;
    uint32_t Index = 0; // file, or folder when IsFolder
    std::string Path;   // program path (a folder's ends with a backslash)
    uint64_t Size = 0, Occupied = 0;
    int64_t ModifiedTime = 0;
    uint8_t Flags = 0;
};

// The matching files, the largest first by the key (the newest first by
// modification time), ties in byte order of the path, at most Top of them.
// A file with several names is listed once, at the name that owns it, when
// the measurement counted it once. Gone files never match. cancel: checked
// now and then; a cancelled query returns what it has (callers drop it).
std::vector<FileHit> QueryFiles(const FileIndex& index, const FileQuery& query,
                                const std::atomic<bool>* cancel = nullptr);

// A file's extension: the text after the last dot of its name when that dot
// is neither the first nor the last character; lower-case ASCII. Numbers
// after a known extension are a version: libc.so.6 has the extension "so".
std::string ExtensionOf(std::string_view name);

// Reads "jpg,PNG, .gif" into {"jpg", "png", "gif"}; false when an entry is empty.
bool ParseExtensionList(std::string_view text, std::vector<std::string>& out);

// The kind column of a file row: the extension's upper-case form with
// "ファイル", or "ファイル" alone; "フォルダ" for a folder.
std::string FileKindText(std::string_view name, bool folder);

} // namespace nrvs
