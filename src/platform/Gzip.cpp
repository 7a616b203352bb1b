#include "platform/InputDocument.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>
#include <zlib.h>

namespace nrvs::platform {

namespace {
bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}
} // namespace

bool ReadInputDocument(const std::string& nativePathOrDash, size_t limit, size_t padding,
                       std::string& out, std::string* why) {
    out.clear();
    InputStream input;
    if (!input.Open(nativePathOrDash, why)) return false;
    std::vector<char> block(1 << 16);
    for (;;) {
        size_t got = 0;
        if (!input.Read(block.data(), block.size(), got, why)) {
            out.clear();
            return false;
        }
        if (got == 0) break;
        if (out.size() + got > limit) {
            out.clear();
            return Fail(why, std::to_string(limit) + " バイトを超えていて、読み込めません");
        }
        // Grown by hand so that the padding never costs a copy at the end.
        if (out.capacity() < out.size() + got + padding)
            out.reserve(std::max(out.capacity() * 2, out.size() + got + padding));
        out.append(block.data(), got);
    }
    if (out.capacity() < out.size() + padding) out.reserve(out.size() + padding);
    return true;
}

struct InputStream::Unpacking {
    z_stream z{};
    std::vector<unsigned char> in = std::vector<unsigned char>(1 << 16);
    bool storedEnd = false;      // the stored bytes are all read
    bool betweenMembers = false; // a member ended: another, zeros or the end follow
    bool finished = false;
    ~Unpacking() { inflateEnd(&z); }
};

InputStream::InputStream() = default;

InputStream::~InputStream() {
    CloseStored();
}

bool InputStream::Open(const std::string& nativePathOrDash, std::string* why) {
    CloseStored();
    unpacking_.reset();
    started_ = false;
    first_.clear();
    return OpenStored(nativePathOrDash, why);
}

bool InputStream::Read(char* buffer, size_t capacity, size_t& got, std::string* why) {
    got = 0;
    if (capacity == 0) return true;
    if (!started_) {
        // The first two bytes tell gzip data from a plain document.
        started_ = true;
        char head[2];
        size_t n = 0;
        while (n < sizeof head) {
            size_t k = 0;
            if (!ReadStored(head + n, sizeof head - n, k, why)) return false;
            if (k == 0) break;
            n += k;
        }
        if (n == 2 && static_cast<unsigned char>(head[0]) == 0x1f &&
            static_cast<unsigned char>(head[1]) == 0x8b) {
            auto u = std::make_unique<Unpacking>();
            // 15 + 32: zlib or gzip headers, detected.
            if (inflateInit2(&u->z, 15 + 32) != Z_OK) return Fail(why, "展開を始められません");
            std::memcpy(u->in.data(), head, n);
            u->z.next_in = u->in.data();
            u->z.avail_in = static_cast<uInt>(n);
            unpacking_ = std::move(u);
        } else {
            first_.assign(head, n);
        }
    }
    if (!unpacking_) {
        if (first_.empty()) return ReadStored(buffer, capacity, got, why);
        got = std::min(capacity, first_.size());
        std::memcpy(buffer, first_.data(), got);
        first_.erase(0, got);
        return true;
    }
    Unpacking& u = *unpacking_;
    z_stream& z = u.z;
    const uInt room = static_cast<uInt>(std::min<size_t>(capacity, UINT_MAX));
    while (got == 0 && !u.finished) {
        if (z.avail_in == 0 && !u.storedEnd) {
            size_t k = 0;
            if (!ReadStored(reinterpret_cast<char*>(u.in.data()), u.in.size(), k, why))
                return false;
            u.storedEnd = k == 0;
            z.next_in = u.in.data();
            z.avail_in = static_cast<uInt>(k);
        }
        if (u.betweenMembers) {
            // Another member may follow (cat a.gz b.gz); zeros after the last are padding.
            while (z.avail_in > 0 && *z.next_in == 0)
                ++z.next_in, --z.avail_in;
            if (z.avail_in == 0) {
                u.finished = u.storedEnd;
                continue;
            }
            inflateReset(&z);
            u.betweenMembers = false;
        }
        if (z.avail_in == 0 && u.storedEnd) return Fail(why, "the gzip data is cut short");
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = room;
        const int rc = inflate(&z, Z_NO_FLUSH);
        got = room - z.avail_out;
        if (rc == Z_STREAM_END) {
            u.betweenMembers = true;
            continue;
        }
        if (rc == Z_OK || (rc == Z_BUF_ERROR && z.avail_in == 0)) continue;
        return Fail(why, std::string("damaged gzip data: ") + (z.msg ? z.msg : "damaged data"));
    }
    return true;
}

} // namespace nrvs::platform
