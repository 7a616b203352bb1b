// The folder monitor's count: a folder's subtree counted with the
// measurement's walk on a thread of its own, and the change shown since the
// window opened.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace nrvs {

// The size change since the window opened: "+1.50 MB", "-512 B", "±0 B".
std::string ChangeText(double delta, int unit);

struct FolderCount {
    bool Valid = false; // false: the folder could not be opened
    double Bytes = 0;
    double Occupied = 0;
    int Files = 0;
    int Folders = 0;
};

// Counts a folder's subtree with the measurement's walk on a thread of its
// own. Start while a count runs does nothing; the result goes to the
// callback on the counting thread. Stop (and the destructor) ends a count
// early and waits for it; a stopped count reports nothing.
class FolderCounter {
  public:
    using Callback = std::function<void(const std::string& path, const FolderCount&)>;
    explicit FolderCounter(Callback done);
    ~FolderCounter();
    FolderCounter(const FolderCounter&) = delete;
    FolderCounter& operator=(const FolderCounter&) = delete;

    // False when a count is still running.
    bool Start(const std::string& programPath, uint32_t clusterSize, bool countLinksOnce = true);
    void Stop();
    bool Running() const { return running_; }

    // The count itself, on the calling thread (the counter's job).
    static FolderCount CountNow(const std::string& programPath, uint32_t clusterSize,
                                const std::atomic<bool>* stop = nullptr);

  private:
    Callback done_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    // The caller of Start waits until the walk has left the drive map.
    std::mutex startMutex_;
    std::condition_variable startCv_;
    bool started_ = false;
};

} // namespace nrvs
