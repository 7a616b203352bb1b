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

} // namespace

bool InputStream::OpenStored(const std::string& nativePathOrDash, std::string* why) {
    standardInput_ = nativePathOrDash == "-";
    if (standardInput_) {
        handle_ = 0;
        return true;
    }
    // O_NONBLOCK while opening: a FIFO without a writer must not hang;
    // anything but a regular file is refused below.
    const int fd = ::open(nativePathOrDash.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Fail(why, std::string("開けません: ") + SystemReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(why, "通常のファイルではありません");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    handle_ = fd;
    return true;
}

bool InputStream::ReadStored(char* buffer, size_t capacity, size_t& got, std::string* why) {
    got = 0;
    if (handle_ < 0) return Fail(why, "読み込めません: not open");
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, capacity);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(why, std::string("読み込めません: ") + SystemReason(errno));
        }
        got = static_cast<size_t>(n);
        return true;
    }
}

void InputStream::CloseStored() {
    if (handle_ >= 0 && !standardInput_) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

} // namespace nrvs::platform
