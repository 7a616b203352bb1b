#include "core/cache/FolderLines.h"

#include "lib/NumberText.h"

#include <cstring>

namespace nrvs {

namespace {

void AppendInt(std::string& out, int32_t v) {
    out += std::to_string(v);
}
} // namespace

const std::string& FormatRecord(FolderRecord& r) {
    std::string& s = r.Line;
    s.clear();
    s.reserve(r.Path.size() + 64);
    s += r.Path;
    s += kPathEnd;
    s += FloatText(r.TreeBytes);
    s += ':';
    s += FloatText(r.TreeOccupied);
    s += ':';
    s += FloatText(r.OwnBytes);
    s += ':';
    s += FloatText(r.OwnOccupied);
    for (int32_t v : {r.OwnFiles, r.TreeFiles, r.OwnFolders, r.TreeFolders, r.Archive, r.Hidden,
                      r.ReadOnly, r.System}) {
        s += ':';
        AppendInt(s, v);
    }
    return s;
}

namespace {
const void* LastByte(const char* p, char c, size_t n) {
#if defined(__GLIBC__)
    return memrchr(p, c, n);
#else
    while (n > 0)
        if (p[--n] == c) return p + n;
    return nullptr;
#endif
}
} // namespace

bool PathOfLine(std::string_view line, std::string_view& path) {
    // The last " > ", found from the end by its '>' alone: the numbers
    // behind it are short, and this runs for every line of a large cache.
    // A '>' that can have a space on both sides lies in [1, size - 2].
    size_t end = line.size() >= 2 ? line.size() - 1 : 0; // one past the last candidate
    while (end > 1) {
        const void* found = LastByte(line.data() + 1, '>', end - 1);
        if (!found) break;
        const size_t i = static_cast<size_t>(static_cast<const char*>(found) - line.data());
        if (line[i - 1] == ' ' && line[i + 1] == ' ') {
            path = line.substr(0, i - 1);
            return true;
        }
        end = i;
    }
    path = line;
    return false;
}

bool PathOfLine(const std::string& line, std::string_view& path) {
    return PathOfLine(std::string_view(line), path);
}

bool ParseNumbers(std::string_view line, std::string_view& path, RecordNumbers& out) {
    out = RecordNumbers{};
    if (!PathOfLine(line, path)) return false;
    std::string_view rest = line.substr(path.size() + kPathEnd.size());
    int field = 0;
    while (field < 12) {
        size_t colon = rest.find(':');
        std::string_view f = rest.substr(0, colon);
        if (field < 4) {
            out.Floats[field] = TextToFloat(f, 0);
        } else {
            int v = 0;
            out.Ints[field - 4] = ParseInt(f, v) ? v : 0;
        }
        ++field;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return true;
}

FolderRecord ParseRecord(std::string_view line) {
    FolderRecord r;
    r.Line = line;
    std::string_view path;
    RecordNumbers n;
    if (!ParseNumbers(line, path, n)) {
        r.Path = std::string(line);
        return r;
    }
    r.Path = std::string(path);
    r.TreeBytes = n.Floats[0];
    r.TreeOccupied = n.Floats[1];
    r.OwnBytes = n.Floats[2];
    r.OwnOccupied = n.Floats[3];
    int32_t* ints[] = {&r.OwnFiles, &r.TreeFiles, &r.OwnFolders, &r.TreeFolders,
                       &r.Archive,  &r.Hidden,    &r.ReadOnly,   &r.System};
    for (int k = 0; k < 8; ++k)
        *ints[k] = n.Ints[k];
    return r;
}

} // namespace nrvs
