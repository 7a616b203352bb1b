// The disk's floor for a folder measurement's cache work: the two files it
// writes in full (the cache and the previous measurement), here two copies
// of one cache file, each written aside, flushed and renamed over the copy
// before it, on two threads at once, with the write-back started as it
// goes. Nothing is parsed or merged.
//
//   floor_write SOURCE DIR      writes DIR/copy0 and DIR/copy1
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

namespace {

bool Copy(const char* data, size_t size, const std::string& name) {
    const std::string temp = name + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // In megabytes, each one's write-back started at once: the disk works
    // while the rest is written, and the flush waits for the tail.
    constexpr size_t kPiece = size_t{1} << 20;
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        const ssize_t n = ::write(fd, data + done, std::min(kPiece, size - done));
        ok = n > 0;
        if (!ok) break;
        ::sync_file_range(fd, static_cast<off_t>(done), n, SYNC_FILE_RANGE_WRITE);
        done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok && ::rename(temp.c_str(), name.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_write SOURCE DIR\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size <= 0) {
        std::perror(argv[1]);
        return 1;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) {
        std::perror(argv[1]);
        return 1;
    }
    const char* data = static_cast<const char*>(map);
    const std::string dir = argv[2];
    bool second = false;
    std::thread other([&] { second = Copy(data, size, dir + "/copy1"); });
    const bool first = Copy(data, size, dir + "/copy0");
    other.join();
    ::munmap(map, size);
    ::close(fd);
    return first && second ? 0 : 1;
}
