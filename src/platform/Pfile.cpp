#include "platform/Pfile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform {

bool ReadWholeFile(const std::string& nativePath, std::string& out) {
    out.clear();
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.clear();
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

static bool WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

namespace {
// Writes a temporary file beside the target with write(fd), flushes it and
// renames it over the target; on any failure the target stays as it was.
template <typename Writer>
bool Replace(const std::string& nativePath, Writer write) {
    std::string temp = nativePath + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Keep the permissions of the file being replaced.
    struct stat old{};
    if (::stat(nativePath.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
    bool ok = write(fd) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), nativePath.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}
} // namespace

bool ReplaceFile(const std::string& nativePath, std::string_view data) {
    return Replace(nativePath, [&](int fd) { return WriteAll(fd, data); });
}

bool ReplaceFileWithLines(const std::string& nativePath, const std::vector<std::string>& lines) {
    return Replace(nativePath, [&](int fd) {
        std::string chunk;
        chunk.reserve(1 << 18);
        for (const auto& line : lines) {
            chunk += line;
            chunk += "\r\n";
            if (chunk.size() >= (1 << 18) - 4096) {
                if (!WriteAll(fd, chunk)) return false;
                chunk.clear();
            }
        }
        return WriteAll(fd, chunk);
    });
}

} // namespace nrvs::platform
