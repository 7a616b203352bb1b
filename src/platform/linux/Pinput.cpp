#include "platform/Pinput.h"
#include "platform/Preason.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

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
            out.reserve(std::max(out.capacity() * 2, out.size() + static_cast<size_t>(n) + padding));
        out.append(buf, static_cast<size_t>(n));
    }
    if (out.capacity() < out.size() + padding) out.reserve(out.size() + padding);
    return true;
}
} // namespace

bool Gunzip(const std::string& packed, size_t limit, size_t padding, std::string& out, std::string* why) {
    out.clear();
    if (packed.size() > UINT32_MAX) return Fail(why, "gzip のデータが大きすぎます");
    z_stream z{};
    // 15 + 32: zlib or gzip headers, detected.
    if (inflateInit2(&z, 15 + 32) != Z_OK) return Fail(why, "展開を始められません");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    std::string chunk(1 << 16, '\0');
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t got = chunk.size() - z.avail_out;
        if (out.size() + got > limit) {
            inflateEnd(&z);
            out.clear();
            return Fail(why, "展開すると " + std::to_string(limit) + " バイトを超え、読み込めません");
        }
        out.append(chunk.data(), got);
        if (rc == Z_OK) continue;
        if (rc == Z_STREAM_END) {
            // Another member may follow (cat a.gz b.gz); zeros after the last are padding.
            while (z.avail_in > 0 && *z.next_in == 0) ++z.next_in, --z.avail_in;
            if (z.avail_in == 0) break;
            inflateReset(&z);
            continue;
        }
        const bool cut = rc == Z_BUF_ERROR;
        const std::string msg = z.msg ? z.msg : "damaged data";
        inflateEnd(&z);
        out.clear();
        return Fail(why, cut ? "the gzip data is cut short" : "damaged gzip data: " + msg);
    }
    inflateEnd(&z);
    out.reserve(out.size() + padding);
    return true;
}

bool ReadInputDocument(const std::string& nativePathOrDash, size_t limit, size_t padding, std::string& out,
                       std::string* why) {
    out.clear();
    const bool stdinput = nativePathOrDash == "-";
    int fd = 0;
    if (!stdinput) {
        // O_NONBLOCK while opening: a FIFO without a writer must not hang;
        // anything but a regular file is refused below.
        fd = ::open(nativePathOrDash.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return Fail(why, std::string("開けません: ") + SystemReason(errno));
        struct stat st{};
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
    if (out.size() >= 2 && static_cast<unsigned char>(out[0]) == 0x1f && static_cast<unsigned char>(out[1]) == 0x8b) {
        std::string packed = std::move(out);
        return Gunzip(packed, limit, padding, out, why);
    }
    return true;
}

} // namespace nrvs::platform
