#include "core/measure/FolderMonitor.h"

#include "core/measure/Measure.h"
#include "lib/Messages.h"
#include "lib/SizeText.h"

#include <cmath>
#include <utility>

namespace nrvs {

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

FolderCounter::~FolderCounter() {
    Stop();
}

FolderCount FolderCounter::CountNow(const std::string& programPath, uint32_t clusterSize,
                                    const std::atomic<bool>* stop) {
    return Count(programPath, clusterSize, true, stop, nullptr);
}

bool FolderCounter::Start(const std::string& programPath, uint32_t clusterSize,
                          bool countLinksOnce) {
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
