// The least a walk of a folder tree must do: open each folder relative to
// its parent, read its entries with getdents64, ask statx for each entry's
// type and sizes, and sum. No names kept, no output but the totals. Run with
// N threads sharing a stack of folders, it is the floor the measurement is
// compared with on a cold cache (bench/cold.sh).
//
//   floor_walk DIR THREADS
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Dirent64 {
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

std::mutex mutex;
std::condition_variable cv;
std::vector<std::string> stack;
int busy = 0;
bool finished = false;
uint64_t rootMount = 0;
std::atomic<uint64_t> files{0}, folders{0}, bytes{0};

void Walk(const std::string& dir, std::vector<std::string>& found) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    std::vector<char> buf(64 * 1024);
    uint64_t localBytes = 0, localFiles = 0;
    for (;;) {
        long n = ::syscall(SYS_getdents64, fd, buf.data(), buf.size());
        if (n <= 0) break;
        for (long pos = 0; pos < n;) {
            auto* d = reinterpret_cast<Dirent64*>(buf.data() + pos);
            pos += d->reclen;
            if (d->name[0] == '.' && (d->name[1] == 0 || (d->name[1] == '.' && d->name[2] == 0)))
                continue;
            struct statx st {};
            if (::statx(fd, d->name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
                        STATX_TYPE | STATX_SIZE | STATX_BLOCKS | STATX_MNT_ID, &st) != 0)
                continue;
            if (S_ISDIR(st.stx_mode)) {
                if (st.stx_mnt_id == rootMount) found.push_back(dir + "/" + d->name);
            } else {
                ++localFiles;
                localBytes += st.stx_size;
            }
        }
    }
    ::close(fd);
    files += localFiles;
    bytes += localBytes;
    ++folders;
}

void Worker() {
    std::vector<std::string> found;
    for (;;) {
        std::string dir;
        {
            std::unique_lock<std::mutex> lock(mutex);
            cv.wait(lock, [] { return finished || !stack.empty(); });
            if (stack.empty()) return;
            dir = std::move(stack.back());
            stack.pop_back();
            ++busy;
        }
        found.clear();
        Walk(dir, found);
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& f : found)
            stack.push_back(std::move(f));
        --busy;
        if (stack.empty() && busy == 0) finished = true;
        cv.notify_all();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_walk DIR THREADS\n");
        return 2;
    }
    const int threads = std::max(1, std::atoi(argv[2]));
    struct statx st {};
    if (::statx(AT_FDCWD, argv[1], 0, STATX_MNT_ID, &st) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    rootMount = st.stx_mnt_id;
    stack.push_back(argv[1]);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(Worker);
    for (auto& t : pool)
        t.join();
    std::printf("folders %llu files %llu bytes %llu\n",
                static_cast<unsigned long long>(folders.load()),
                static_cast<unsigned long long>(files.load()),
                static_cast<unsigned long long>(bytes.load()));
    return 0;
}
