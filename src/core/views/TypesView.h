// What the file types window keeps between runs: its place and size, the
// widths of its columns, its sort and whether it lists extensions or kinds.
#pragma once

#include <array>
#include <string>

namespace nrvs {

constexpr int kTypesColumns = 6; // 拡張子, 種類, ファイル数, 容量, 占有量, 割合

struct TypesSettings {
    int Left = -1, Top = -1, Width = 640, Height = 460; // Left -1: placed by the main window
    std::array<int, kTypesColumns> ColumnWidths{{90, 90, 80, 90, 90, 160}};
    bool ByKind = false;
    int SortColumn = 4; // 占有量
    bool Ascending = false;
};

// "norvessa.typ" beside the executable.
std::string TypesSettingsName();
// Missing or damaged lines take their defaults, each on its own.
TypesSettings LoadTypesSettings(const std::string& fileName);
int SaveTypesSettings(const TypesSettings& s, const std::string& fileName);

} // namespace nrvs
