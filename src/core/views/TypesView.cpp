#include "core/views/TypesView.h"

#include "core/GlobalState.h"
#include "lib/SettingsLines.h"
#include "lib/StringList.h"

namespace nrvs {

namespace {

enum Line { L_LEFT, L_TOP, L_WIDTH, L_HEIGHT, L_COLUMNS, L_BYKIND, L_SORT, L_ASCENDING };

} // namespace

std::string TypesSettingsName() {
    return SettingsFileName("typ");
}

TypesSettings LoadTypesSettings(const std::string& fileName) {
    TypesSettings s;
    StringList lines;
    LoadLines(lines, fileName);
    ReadWindowPlace(lines, L_LEFT, s.Left, s.Top, s.Width, s.Height);
    std::vector<int> widths;
    if (ReadColumnWidths(LineAt(lines, L_COLUMNS, ""), kTypesColumns, widths))
        std::copy(widths.begin(), widths.end(), s.ColumnWidths.begin());
    const int byKind = IntAt(lines, L_BYKIND, 0);
    s.ByKind = byKind == 1;
    const int sort = IntAt(lines, L_SORT, s.SortColumn);
    if (sort >= 0 && sort < kTypesColumns) s.SortColumn = sort;
    s.Ascending = IntAt(lines, L_ASCENDING, 0) == 1;
    return s;
}

int SaveTypesSettings(const TypesSettings& s, const std::string& fileName) {
    StringList lines;
    PutIntAt(lines, L_LEFT, s.Left);
    PutIntAt(lines, L_TOP, s.Top);
    PutIntAt(lines, L_WIDTH, s.Width);
    PutIntAt(lines, L_HEIGHT, s.Height);
    std::string widths;
    for (int w : s.ColumnWidths)
        widths += (widths.empty() ? "" : ",") + std::to_string(w);
    PutLineAt(lines, L_COLUMNS, widths);
    PutIntAt(lines, L_BYKIND, s.ByKind ? 1 : 0);
    PutIntAt(lines, L_SORT, s.SortColumn);
    PutIntAt(lines, L_ASCENDING, s.Ascending ? 1 : 0);
    return SaveLines(lines, fileName);
}

} // namespace nrvs
