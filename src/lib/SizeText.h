// Sizes as the lists show them: number and unit, automatic or the unit the
// user chose, digits grouped by thousands.
#pragma once

#include <string>

namespace nrvs {

struct SizeText {
    std::string Number;
    std::string Unit;
};
// unit: 0 automatic, 1 B, 2 KB, 3 MB, 4 GB, 5 TB.
SizeText FormatSize(double bytes, int unit);
// Number, one blank, unit; "未計測 " for a negative (unmeasured) count.
std::string FormatSizeText(double bytes, int unit);
// A difference of two measured sizes (the cluster gap, negative for sparse
// and compressed files): "-9.99 MB" below zero, never "未計測".
std::string FormatSignedSizeText(double bytes, int unit);
// Digits with thousands separators and the given number of decimals.
std::string GroupedNumber(double value, int decimals);

} // namespace nrvs
