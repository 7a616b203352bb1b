#include "platform/InputDocument.h"
#include "platform/ErrorText.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {
bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

bool ReadAll(int fd, size_t limit, size_t padding, std::string& out, std::string* why) {
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(why, std::string("読み込めません: ") + SystemReason(errno));
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > limit)
            return Fail(why, std::to_string(limit) + " バイトを超えていて、読み込めません");
        // Grown by hand so that the padding never costs a copy at the end.
        if (out.capacity() < out.size() + static_cast<size_t>(n) + padding)
            out.reserve(
                std::max(out.capacity() * 2, out.size() + static_cast<size_t>(n) + padding));
        out.append(buf, static_cast<size_t>(n));
    }
    if (out.capacity() < out.size() + padding) out.reserve(out.size() + padding);
    return true;
}
} // namespace

bool ReadInputDocument(const std::string& nativePathOrDash, size_t limit, size_t padding,
                       std::string& out, std::string* why) {
    out.clear();
    const bool stdinput = nativePathOrDash == "-";
    int fd = 0;
    if (!stdinput) {
        // O_NONBLOCK while opening: a FIFO without a writer must not hang;
        // anything but a regular file is refused below.
        fd = ::open(nativePathOrDash.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return Fail(why, std::string("開けません: ") + SystemReason(errno));
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return Fail(why, "通常のファイルではありません");
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (static_cast<unsigned long long>(st.st_size) > limit) {
            ::close(fd);
            return Fail(why, std::to_string(limit) + " バイトを超えていて、読み込めません");
        }
        out.reserve(static_cast<size_t>(st.st_size) + padding);
    }
    const bool ok = ReadAll(fd, limit, padding, out, why);
    if (!stdinput) ::close(fd);
    if (!ok) {
        out.clear();
        return false;
    }
    if (out.size() >= 2 && static_cast<unsigned char>(out[0]) == 0x1f &&
        static_cast<unsigned char>(out[1]) == 0x8b) {
        std::string packed = std::move(out);
        return Gunzip(packed, limit, padding, out, why);
    }
    return true;
}

} // namespace nrvs::platform
