#include "core/drives/Monitors.h"

#include "lib/Text.h"
#include "platform/Drives.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace nrvs {

// ---- settings file ----

MonitorSettings LoadMonitorSettings(const std::string& fileName, const MonitorSettings& defaults) {
    StringList lines;
    LoadLines(lines, fileName);
    MonitorSettings s;
    s.Left = IntAt(lines, 0, defaults.Left);
    s.Top = IntAt(lines, 1, defaults.Top);
    s.Alpha = IntAt(lines, 2, defaults.Alpha);
    s.Interval = IntAt(lines, 3, defaults.Interval);
    return s;
}

int SaveMonitorSettings(const std::string& fileName, const MonitorSettings& s) {
    StringList lines;
    // Lines past the fourth are not ours to drop: a later version may keep
    // more there.
    LoadLines(lines, fileName);
    PutIntAt(lines, 0, s.Left);
    PutIntAt(lines, 1, s.Top);
    PutIntAt(lines, 2, s.Alpha);
    PutIntAt(lines, 3, s.Interval);
    return SaveLines(lines, fileName);
}

int UsableAlpha(int alpha) { return std::clamp(alpha, 0, 255); }

int UsableInterval(int interval) { return std::max(interval, kMinimumInterval); }

// ---- drive monitor ----

std::vector<int> FixedDiskLetters(DriveTable& drives) {
    std::vector<int> letters;
    for (int i = 0; i < drives.ListedCount(); ++i)
        // The letter from the record's place in the table, which cannot
        // disagree with the table as an Index field could.
        if (const DriveRecord* r = drives.ListedAt(i); r && r->DriveType == 3)
            letters.push_back(static_cast<int>(r - drives.ByLetter(0)));
    return letters;
}

std::vector<std::vector<int>> FixedDiskVolumes(DriveTable& drives) {
    std::vector<std::vector<int>> volumes;
    std::vector<uint64_t> ids;
    for (int letter : FixedDiskLetters(drives)) {
        const uint64_t id = platform::DriveVolumeId(std::string(1, static_cast<char>('A' + letter)) + ":\\");
        auto it = id == 0 ? ids.end() : std::find(ids.begin(), ids.end(), id);
        if (it != ids.end()) {
            volumes[static_cast<size_t>(it - ids.begin())].push_back(letter);
        } else {
            ids.push_back(id);
            volumes.push_back({letter});
        }
    }
    return volumes;
}

std::string VolumeCaption(const std::vector<int>& letters) {
    std::string out;
    for (int l : letters) {
        if (!out.empty()) out += ' ';
        out += static_cast<char>('A' + l);
        out += ':';
    }
    return out;
}

int MonitorClientHeight(int rows) { return 17 * std::max(rows, 0) + 22; }

std::string CompactSize(double bytes) {
    SizeText t = FormatSize(bytes, 0);
    return t.Number + t.Unit;
}

std::string PercentText(double percent) {
    if (!std::isfinite(percent)) return "-";
    std::string s = GroupedNumber(percent, 2);
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return s;
}

MonitorCells MonitorCellsOf(const DriveRecord& r) {
    if (!r.Ready || !(r.TotalBytes > 0) || !(r.FreeBytes >= 0)) return {"-", "-", "-"};
    return {CompactSize(r.TotalBytes), CompactSize(r.FreeBytes), PercentText(r.FreeBytes / r.TotalBytes * 100)};
}

MonitorCells ReadMonitorCells(DriveTable& drives, const std::string& rootPath) {
    DriveRecord fresh;
    fresh.RootPath = rootPath;
    drives.ReadVolume(fresh);
    return MonitorCellsOf(fresh);
}

// ---- folder monitor ----

std::string ChangeText(double delta, int unit) {
    if (!std::isfinite(delta)) return "-";
    if (delta == 0) return "±0 B";
    SizeText t = FormatSize(std::fabs(delta), unit);
    return std::string(delta > 0 ? "+" : "-") + t.Number + " " + t.Unit;
}

namespace {

// Passes the owner's stop flag to the walk, and tells the owner once the
// walk has asked for the first time: by then it has translated the program
// path through the drive map, which only the window thread may change.
class CountHooks : public MeasureHooks {
public:
    CountHooks(const std::atomic<bool>* stop, std::function<void()> started)
        : stop_(stop), started_(std::move(started)) {}
    bool StopRequested() override {
        if (started_) std::exchange(started_, nullptr)();
        return stop_ && stop_->load();
    }
    void Tell(const std::string&, int) override {}
    int Ask(const std::string&, int) override { return ID_NO; }
    void Started() {
        if (started_) std::exchange(started_, nullptr)();
    }

private:
    const std::atomic<bool>* stop_;
    std::function<void()> started_;
};

FolderCount Count(const std::string& programPath, uint32_t clusterSize, bool countLinksOnce,
                  const std::atomic<bool>* stop, std::function<void()> started) {
    CountHooks hooks(stop, std::move(started));
    FolderList scratch;
    MeasureReport report;
    MeasureOptions options;
    // One walker: the monitor runs beside whatever the user is doing.
    options.Threads = 1;
    options.CountLinksOnce = countLinksOnce;
    options.Report = &report;
    FolderRecord r = MeasureTree(scratch, programPath, clusterSize, 0, hooks, options);
    hooks.Started();
    FolderCount c;
    if (report.RootFailed || (stop && stop->load())) return c;
    c.Valid = true;
    c.Bytes = r.TreeBytes;
    c.Occupied = r.TreeOccupied;
    c.Files = r.TreeFiles;
    c.Folders = r.TreeFolders;
    return c;
}

} // namespace

FolderCounter::FolderCounter(Callback done) : done_(std::move(done)) {}

FolderCounter::~FolderCounter() { Stop(); }

FolderCount FolderCounter::CountNow(const std::string& programPath, uint32_t clusterSize,
                                    const std::atomic<bool>* stop) {
    return Count(programPath, clusterSize, true, stop, nullptr);
}

bool FolderCounter::Start(const std::string& programPath, uint32_t clusterSize, bool countLinksOnce) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return false;
    if (worker_.joinable()) worker_.join();
    stop_ = false;
    running_ = true;
    {
        std::lock_guard<std::mutex> l(startMutex_);
        started_ = false;
    }
    auto signal = [this] {
        std::lock_guard<std::mutex> l(startMutex_);
        started_ = true;
        startCv_.notify_one();
    };
    worker_ = std::thread([this, programPath, clusterSize, countLinksOnce, signal] {
        FolderCount c = Count(programPath, clusterSize, countLinksOnce, &stop_, signal);
        if (!stop_ && done_) done_(programPath, c);
        running_ = false;
    });
    std::unique_lock<std::mutex> l(startMutex_);
    startCv_.wait(l, [this] { return started_; });
    return true;
}

void FolderCounter::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    running_ = false;
}

} // namespace nrvs
