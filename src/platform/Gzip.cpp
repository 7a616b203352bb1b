#include "platform/InputDocument.h"

#include <cstdint>
#include <zlib.h>

namespace nrvs::platform {

namespace {
bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}
} // namespace

bool Gunzip(const std::string& packed, size_t limit, size_t padding, std::string& out,
            std::string* why) {
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
            return Fail(why,
                        "展開すると " + std::to_string(limit) + " バイトを超え、読み込めません");
        }
        out.append(chunk.data(), got);
        if (rc == Z_OK) continue;
        if (rc == Z_STREAM_END) {
            // Another member may follow (cat a.gz b.gz); zeros after the last are padding.
            while (z.avail_in > 0 && *z.next_in == 0)
                ++z.next_in, --z.avail_in;
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

} // namespace nrvs::platform
