#include "core/TypesView.h"

#include "core/Utglobal.h"
#include "lib/Slib.h"

namespace nrvs {

namespace {

enum Line { L_LEFT, L_TOP, L_WIDTH, L_HEIGHT, L_COLUMNS, L_BYKIND, L_SORT, L_ASCENDING };

} // namespace

std::string TypesSettingsName() { return SettingsFileName("typ"); }

TypesSettings LoadTypesSettings(const std::string& fileName) {
    TypesSettings s;
    StringList lines;
    LoadLines(lines, fileName);
    const int left = IntAt(lines, L_LEFT, s.Left), top = IntAt(lines, L_TOP, s.Top);
    const int width = IntAt(lines, L_WIDTH, s.Width), height = IntAt(lines, L_HEIGHT, s.Height);
    // A place far off every screen or a size nobody can use comes from a
    // damaged file; the window is then placed as on its first opening.
    if (left >= -10000 && left <= 100000 && top >= -10000 && top <= 100000) s.Left = left, s.Top = top;
    if (width >= 200 && width <= 20000 && height >= 150 && height <= 20000) s.Width = width, s.Height = height;
    StringList widths;
    SplitToLines(widths, ",", LineAt(lines, L_COLUMNS, ""));
    if (widths.size() == kTypesColumns) {
        std::array<int, kTypesColumns> w{};
        bool ok = true;
        for (size_t c = 0; c < kTypesColumns; ++c) ok = ok && ParseInt(widths[c], w[c]) && w[c] >= 0 && w[c] <= 5000;
        if (ok) s.ColumnWidths = w;
    }
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
    for (int w : s.ColumnWidths) widths += (widths.empty() ? "" : ",") + std::to_string(w);
    PutLineAt(lines, L_COLUMNS, widths);
    PutIntAt(lines, L_BYKIND, s.ByKind ? 1 : 0);
    PutIntAt(lines, L_SORT, s.SortColumn);
    PutIntAt(lines, L_ASCENDING, s.Ascending ? 1 : 0);
    return SaveLines(lines, fileName);
}

} // namespace nrvs
