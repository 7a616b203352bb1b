#include "platform/FileAccess.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform {

// The device and inode of a file as MapFileReadOnly and WriteAt name it
// (FileAccess.cpp).
std::string FileIdentity(const struct stat& st);

namespace {
constexpr off_t kMaxMapped = off_t{4} << 30; // the largest file of the program's own

// The guarded mappings, read by the signal handler without a lock: a slot
// is in use while begin is set; end is stored first and cleared last.
constexpr int kSlots = 64;
struct Slot {
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> lost{false}; // pages were covered with zeros
    // The mapped file, kept open to tell whether it has become shorter than
    // the mapping: the bytes past its end on its last page read as zeros
    // without a fault. Used under the lock only.
    int fd = -1;
    size_t length = 0;
};
Slot g_slots[kSlots];
std::mutex g_slotsLock;
struct sigaction g_previous {};
uintptr_t g_pageSize = 4096;
bool g_guarding = false;

// A file cut short under a mapping faults on the pages past its new end
// (and a disk that fails to read faults alike). The rest of that mapping
// is covered with zero pages, so the reader sees bytes that parse as
// damaged lines and goes on; faults elsewhere go to whoever handled them
// before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Slot& slot : g_slots) {
        const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        const uintptr_t end = slot.end.load(std::memory_order_acquire);
        if (!begin || at < begin || at >= end) continue;
        const uintptr_t page = at & ~(g_pageSize - 1);
        void* p = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (p != MAP_FAILED) {
            slot.lost.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    // Returning faults again, now with the default action: the process
    // ends as it would have without us.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
}

bool InstallGuard() {
    if (g_guarding) return true;
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) g_pageSize = static_cast<uintptr_t>(page);
    struct sigaction sa {};
    sa.sa_sigaction = OnBusError;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    ::sigemptyset(&sa.sa_mask);
    g_guarding = ::sigaction(SIGBUS, &sa, &g_previous) == 0;
    return g_guarding;
}

// Maps a regular file read-only (shared: bytes written to the file show;
// private: a copy of the file's pages) and enters it in a free slot of the
// guard. maxLength: 0 for any.
bool MapGuarded(const std::string& nativePath, const void*& data, size_t& length, bool shared,
                off_t maxLength, std::string* identity) {
    data = nullptr;
    length = 0;
    const int fd =
        ::open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        (maxLength > 0 && st.st_size > maxLength)) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    std::lock_guard<std::mutex> lock(g_slotsLock);
    Slot* free = nullptr;
    for (Slot& slot : g_slots)
        if (!slot.begin.load(std::memory_order_relaxed)) {
            free = &slot;
            break;
        }
    if (!free || !InstallGuard()) {
        ::close(fd);
        errno = EMFILE;
        return false;
    }
    void* p = ::mmap(nullptr, size, PROT_READ, shared ? MAP_SHARED : MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    const auto begin = reinterpret_cast<uintptr_t>(p);
    free->lost.store(false, std::memory_order_relaxed);
    free->fd = fd;
    free->length = size;
    free->end.store((begin + size + g_pageSize - 1) & ~(g_pageSize - 1), std::memory_order_release);
    free->begin.store(begin, std::memory_order_release);
    data = p;
    length = size;
    if (identity) *identity = FileIdentity(st);
    return true;
}
} // namespace

bool MapFileGuarded(const std::string& nativePath, const void*& data, size_t& length) {
    return MapGuarded(nativePath, data, length, false, kMaxMapped, nullptr);
}

bool MapFileReadOnlyGuarded(const std::string& nativePath, const void*& data, size_t& length,
                            std::string* identity) {
    return MapGuarded(nativePath, data, length, true, 0, identity);
}

bool MappingLostPages(const void* data) {
    if (!data) return false;
    std::lock_guard<std::mutex> lock(g_slotsLock);
    for (const Slot& slot : g_slots) {
        if (slot.begin.load(std::memory_order_relaxed) != reinterpret_cast<uintptr_t>(data))
            continue;
        if (slot.lost.load(std::memory_order_acquire)) return true;
        struct stat st {};
        return ::fstat(slot.fd, &st) == 0 && static_cast<uint64_t>(st.st_size) < slot.length;
    }
    return false;
}

void UnmapFileGuarded(const void* data, size_t length) {
    if (!data) return;
    {
        std::lock_guard<std::mutex> lock(g_slotsLock);
        for (Slot& slot : g_slots)
            if (slot.begin.load(std::memory_order_relaxed) == reinterpret_cast<uintptr_t>(data)) {
                slot.begin.store(0, std::memory_order_release);
                slot.end.store(0, std::memory_order_release);
                ::close(slot.fd);
                slot.fd = -1;
                break;
            }
    }
    ::munmap(const_cast<void*>(data), length);
}

} // namespace nrvs::platform
