// The cluster-size simulation: how much the folder shown would occupy under
// another cluster size. The rows mirror the main list (the folder, its
// subfolders, its files) with the measured occupied size beside the
// simulated one.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/measure/Measure.h"
#include "core/views/Rows.h"

#include <string>
#include <vector>

namespace nrvs {

struct SimRow {
    int Image = -1;
    std::string Caption;
    std::string Before; // "占有量：元": a decimal number text, or empty
    std::string After;  // "占有量：先": a decimal number text, "?", or empty
};

// Rows 0 to 3 (the folder shown, the cluster size, the free space, a
// spacer) and the copies of the main list's rows from its third on, without
// the folder total and, when files are shown, without the file total.
std::vector<SimRow> BuildSimRows(const RowList& mainRows, const DriveRecord& current,
                                 bool showFiles);

// Every result back to "?" (the spacer stays empty).
void MarkUnknown(std::vector<SimRow>& rows);

// The cluster size typed in: a decimal integer, 1 when it is no number.
// False, with the reason, for a size below 1 or beyond what the settings
// can keep.
bool ParseClusterSize(const std::string& text, uint32_t& cluster, std::string& why);

// Size and occupied bytes of a folder's whole subtree with every file's
// nominal size rounded up to clusters of the given size. Links are not
// followed and other mounts not entered; after STOP, what was gathered.
struct SimSums {
    double Size = 0;
    double Occupied = 0;
};
// linked: with the setting "count once", the names of files with several
// names are left out of the sums and appended there instead.
SimSums SimulateFolder(const std::string& programPath, uint32_t cluster, MeasureHooks& hooks,
                       std::vector<LinkedName>* linked = nullptr);

// The job: row 1 gets the cluster size, row 2 the target's free space
// (targetFree < 0: none, the row stays "?"), every subfolder row its
// simulated subtree (until STOP), the shown folder's files theirs from the
// lister, row 0 the total.
void RunSimulation(std::vector<SimRow>& rows, uint32_t cluster, double targetFree, bool showFiles,
                   MeasureHooks& hooks);

} // namespace nrvs
