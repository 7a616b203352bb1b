// What the largest-files window shows and keeps, without the window: its
// settings file, the query its filter boxes make, the texts of its rows and of
// its questions.
#pragma once

#include "core/index/FileIndex.h"
#include "core/index/FileQueries.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nrvs {

inline constexpr int kFilesColumns = 6; // 名前, フォルダ, 容量, 占有量, 更新日時, 種類
inline constexpr int kFilesCounts = 3; // Top 100, 1,000, 10,000
inline constexpr int kFilesUnits = 4;  // バイト, KB, MB, GB
inline constexpr int kFilesDateModes = 4;

enum FilesDateMode { DATE_ANY = 0, DATE_OLDER_DAYS = 1, DATE_BEFORE = 2, DATE_AFTER = 3 };

struct FilesSettings {
    int Left = -1, Top = -1, Width = 820, Height = 540; // Left -1: placed by the main window
    std::array<int, kFilesColumns> ColumnWidths{{200, 280, 90, 90, 120, 90}};
    int KeyIndex = 0;   // FileKey
    int CountIndex = 0; // Top 100
    bool WholeDrive = false;
    bool OnPath = false;
    std::string Extensions;
    std::string MinSize;
    int UnitIndex = 2; // MB
    int DateMode = DATE_ANY;
    std::string DateText;
};

// "norvessa.big" beside the executable.
std::string FilesSettingsName();
// Missing or damaged lines take their defaults, each on its own.
FilesSettings LoadFilesSettings(const std::string& fileName);
int SaveFilesSettings(const FilesSettings& s, const std::string& fileName);

// The texts of the choices, in index order.
const char* FilesKeyText(int index);   // 容量順 ...
const char* FilesCountText(int index); // Top 100 ...
size_t FilesTopCount(int index);
const char* FilesUnitText(int index); // バイト, KB, MB, GB
const char* FilesDateText(int index); // 日付の指定なし ...

// The filter boxes as the user typed them.
struct FilesFilter {
    std::string Extensions;
    std::string MinSize; // a number, decimals allowed; empty: any size
    int UnitIndex = 0;
    int DateMode = DATE_ANY;
    std::string DateText; // days for DATE_OLDER_DAYS, "yyyy/mm/dd" (local) for the others
    int64_t Now = 0;      // seconds since 1970
};

// Puts the filter into query. False, with why (one line for the user) and
// query untouched, when a box holds something that is no filter.
bool ApplyFilesFilter(const FilesFilter& filter, FileQuery& query, std::string* why);

// "yyyy/mm/dd hh:nn" in local time; empty for a time the system cannot show.
std::string FileTimeText(int64_t seconds);
// A program path's last name ("b.txt"; a folder's without its backslash) and
// the folder holding it ("C:\a\").
std::string HitName(const std::string& programPath);
std::string HitFolder(const std::string& programPath);

// The question before a delete, copy or move of the chosen rows: the path
// itself for one, the count and the total size for several, always the
// trash rule for a delete. verb: "削除", "コピー", "移動"; dest empty for a
// delete.
std::string FilesConfirmText(const std::string& verb, const std::vector<FileHit>& items,
                             const std::string& dest, bool useRecycleBin);
// The message for rows whose files are no longer where the measurement saw
// them.
std::string VanishedText(const std::vector<std::string>& paths);

} // namespace nrvs
