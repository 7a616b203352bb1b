#include "core/GlobalState.h"

#include "core/offline/Snapshot.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "platform/ProgramLocation.h"

#include <climits>

namespace nrvs {

DriveState::DriveState() {
    Drives.SetOfflineDrives(&SnapshotDrives());
}

GlobalState& Global() {
    static GlobalState state;
    return state;
}

namespace {

struct IntParam {
    int line;
    int GlobalState::*member;
    int def;
};
struct TextParam {
    int line;
    std::string GlobalState::*member;
    const char* def;
};

const IntParam kIntParams[] = {
    {0, &GlobalState::MainWidth, 1000},       {1, &GlobalState::MainHeight, 600},
    {2, &GlobalState::MainLeft, 0},           {3, &GlobalState::MainTop, 0},
    {4, &GlobalState::TreeWidth, 150},        {5, &GlobalState::NameColumnWidth, 150},
    {6, &GlobalState::GraphColumnWidth, 200}, {10, &GlobalState::ShowRemovable, 1},
    {11, &GlobalState::ShowFiles, 0},         {12, &GlobalState::SortKey, 0},
    {13, &GlobalState::SortDescending, 0},    {20, &GlobalState::ShowSplash, 1},
    {21, &GlobalState::StartDrive, 0},        {22, &GlobalState::SizeUnit, 0},
    {23, &GlobalState::PercentBase, 0},       {41, &GlobalState::ExpiryDays, 7},
    {42, &GlobalState::MeasureMulti, 0},      {43, &GlobalState::AskBeforeMeasure, 1},
    {44, &GlobalState::SimCluster, -512},     {50, &GlobalState::RemeasureAfterAction, 0},
    {51, &GlobalState::UseRecycleBin, 1},     {52, &GlobalState::CountLinksOnce, 1},
    {53, &GlobalState::KeepPrevious, 1},
};

const TextParam kTextParams[] = {
    {24, &GlobalState::BarFlags, "111"},
    {25, &GlobalState::ColumnFlags, "1111"},
    {30, &GlobalState::CacheMode, "010"},
    {31, &GlobalState::CacheKinds, "0100"},
    {32, &GlobalState::CacheLetters, "00100000000000000000000000"},
    {40, &GlobalState::MeasureMode, "010000"},
};

void ClampInt(int& v, int lo, int hi, int def) {
    if (v < lo || v > hi) v = def;
}

int GlobalState::*const kBoolParams[] = {
    &GlobalState::ShowRemovable,        &GlobalState::ShowFiles,     &GlobalState::SortDescending,
    &GlobalState::ShowSplash,           &GlobalState::MeasureMulti,  &GlobalState::AskBeforeMeasure,
    &GlobalState::RemeasureAfterAction, &GlobalState::UseRecycleBin, &GlobalState::CountLinksOnce,
    &GlobalState::KeepPrevious,
};

// An edited file may hold anything. Only what would make the program fail is
// put back: window geometry and the values that index tables. Values the
// program can write itself (a large custom cluster, any expiry) are kept.
void ClampParameters(GlobalState& g) {
    // Any value but 0 is on; the rest of the program tests for 1.
    for (auto member : kBoolParams)
        g.*member = g.*member != 0 ? 1 : 0;
    ClampInt(g.MainWidth, 1, 100000, 1000);
    ClampInt(g.MainHeight, 1, 100000, 600);
    ClampInt(g.MainLeft, -100000, 100000, 0);
    ClampInt(g.MainTop, -100000, 100000, 0);
    ClampInt(g.TreeWidth, 0, 100000, 150);
    ClampInt(g.NameColumnWidth, 0, 100000, 150);
    ClampInt(g.GraphColumnWidth, 0, 100000, 200);
    ClampInt(g.SortKey, 0, 1, 0);
    ClampInt(g.StartDrive, 0, 26, 0);
    ClampInt(g.SizeUnit, 0, 5, 0);
    ClampInt(g.PercentBase, 0, 3, 0);
}

} // namespace

std::string SettingsFileName(const std::string& extension) {
    return platform::SettingsBase() + "." + extension;
}

void LoadParameters(const StringList& args) {
    GlobalState& g = Global();
    std::string exe = platform::ExecutablePath();
    size_t slash = exe.find_last_of('/');
    g.ExeDir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    g.ExeBase = platform::ExecutableBase(exe);
    g.ParamFileName = SettingsFileName("prm");
    g.StartArgs = args;
    g.ComputerName = platform::HostName().substr(0, 99);
    // The user's name is looked up when it is first shown: in a statically
    // linked tool the lookup reads the system's user databases on every start.
    g.UserName.clear();

    LoadLines(g.ParamLines, g.ParamFileName);
    for (const auto& p : kIntParams)
        g.*p.member = IntAt(g.ParamLines, p.line, p.def);
    for (const auto& p : kTextParams)
        g.*p.member = LineAt(g.ParamLines, p.line, p.def);
    ClampParameters(g);
}

int SaveParameters() {
    GlobalState& g = Global();
    g.StartArgs.clear();
    for (const auto& p : kIntParams)
        PutIntAt(g.ParamLines, p.line, g.*p.member);
    for (const auto& p : kTextParams)
        PutLineAt(g.ParamLines, p.line, g.*p.member);
    return SaveLines(g.ParamLines, g.ParamFileName);
}

void RefreshDrives(int letter) {
    GlobalState& g = Global();
    g.Drives.DetectTypes();
    g.Drives.RefreshListing(g.ShowRemovable);
    g.CurrentDrive = g.Drives.ByLetter(letter == INT_MAX ? 2 : letter);
}

std::string FormatSizeText(double bytes) {
    return FormatSizeText(bytes, Global().SizeUnit);
}

} // namespace nrvs
