#include "core/history/PreviousMeasurement.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/history/MeasurementLines.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>

namespace nrvs {

namespace P = platform;

std::string PreviousCacheName(char letter) {
    return P::PreviousMeasurementFolder() + "NRVS_" + letter + ".txt";
}
std::string PreviousIndexName(char letter) {
    return P::PreviousMeasurementFolder() + "NRVS_" + letter + ".idx";
}
std::string PreviousVolumeName(char letter) {
    return P::PreviousMeasurementFolder() + "NRVS_" + letter + ".vol";
}

// ---- one measurement's lines ----

Measurement::Measurement() = default;
Measurement::~Measurement() {
    Unmap();
}

void Measurement::Unmap() {
    if (guarded_)
        P::UnmapFileGuarded(map_, mapLength_);
    else
        P::UnmapFile(map_, mapLength_);
    map_ = nullptr;
    mapLength_ = 0;
    guarded_ = false;
}

bool Measurement::Map(const std::string& nativePath, bool lines) {
    Unmap();
    header_.clear();
    text_ = {};
    lines_.clear();
    // Guarded where the system allows: a file cut short by another program
    // while mapped reads as damaged lines instead of ending the process.
    guarded_ = P::MapFileGuarded(nativePath, map_, mapLength_);
    if (!guarded_ && !P::MapFileReadOnly(nativePath, map_, mapLength_)) return false;
    text_ = std::string_view(static_cast<const char*>(map_), mapLength_);
    if (!lines) {
        const size_t end = text_.find_first_of("\r\n");
        header_ = std::string(text_.substr(0, end));
        return true;
    }
    Split(text_);
    return true;
}

void Measurement::Borrow(const StringList& lines) {
    header_ = lines.empty() ? std::string() : lines[0];
    lines_.clear();
    lines_.reserve(lines.size());
    for (size_t i = 1; i < lines.size(); ++i)
        lines_.emplace_back(lines[i]);
}

void Measurement::Split(std::string_view text) {
    // Lines end with CR LF, LF or CR; no name holds either (control
    // characters are shown as U+2401 and on), so both are searched for with
    // memchr alone.
    const char* p = text.data();
    const char* end = p + text.size();
    lines_.reserve(text.size() / 64);
    bool first = true;
    while (p < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* stop = lf ? lf : end;
        const char* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
        const char* lineEnd = cr ? cr : stop;
        std::string_view line(p, static_cast<size_t>(lineEnd - p));
        if (first)
            header_ = std::string(line);
        else
            lines_.push_back(line);
        first = false;
        if (cr && cr + 1 == lf)
            p = lf + 1;
        else if (cr)
            p = cr + 1;
        else
            p = lf ? lf + 1 : end;
    }
}

// ---- checking ----

std::string PreviousStateText(PreviousState state, char letter, const PreviousFault& fault) {
    const std::string drive = std::string(1, letter) + ":";
    const std::string detail =
        fault.Line > 0 ? std::to_string(fault.Line) + " 行目: " + fault.Text : fault.Text;
    switch (state) {
    case PREVIOUS_OK:
        return {};
    case PREVIOUS_NONE:
        return Global().KeepPrevious ? drive + " の前回の計測結果がありません。もう一度計測すると、"
                                               "今回との変化を表示できます。"
                                     : "前回の計測結果を残さない設定になっています（設定の「前回の"
                                       "計測結果を残す」）。";
    case PREVIOUS_DAMAGED:
        return drive + " の前回の計測結果は壊れているため使えません" +
               (detail.empty() ? "。" : "（" + detail + "）。");
    case PREVIOUS_OTHER_DRIVE:
        return drive + " の前回の計測結果は別のドライブのものなので比べられません" +
               (detail.empty() ? "。" : "（" + detail + "）。");
    }
    return {};
}

namespace {

// A path of some drive: "X:\" and more.
bool IsDrivePath(std::string_view path) {
    return path.size() >= 3 && path[0] >= 'A' && path[0] <= 'Z' && path[1] == ':' &&
           path[2] == '\\';
}

// Every figure of a line as the cache's reader takes it, and none negative:
// a reader that took a damaged figure as 0 would show changes that never
// happened.
bool FiguresAreWhole(std::string_view figures) {
    for (int field = 0; field < 12; ++field) {
        const size_t colon = figures.find(':');
        const std::string_view f = figures.substr(0, colon);
        if (field < 4) {
            const double v = TextToFloat(f, -1);
            if (v < 0) return false;
        } else {
            int v = 0;
            if (!ParseInt(f, v) || v < 0) return false;
        }
        if (colon == std::string_view::npos) return field == 11;
        figures.remove_prefix(colon + 1);
    }
    return false;
}

std::string Shortened(std::string_view line) {
    std::string s(line.substr(0, 200));
    return line.size() > 200 ? s + "…" : s;
}

} // namespace

// One folder line (line number of the file) of a measurement of drive letter.
PreviousState CheckLine(std::string_view line, char letter, size_t number, PreviousFault* fault) {
    const char own[3] = {letter, ':', '\\'};
    std::string_view path;
    const bool figures = PathOfLine(line, path) &&
                         std::count(line.begin() + static_cast<std::ptrdiff_t>(path.size()),
                                    line.end(), ':') == 11 &&
                         FiguresAreWhole(line.substr(path.size() + kPathEnd.size()));
    if (!figures || path.empty() || path.back() != '\\') {
        if (fault) *fault = {number, Shortened(line)};
        return PREVIOUS_DAMAGED;
    }
    if (!StartsWith(path, std::string_view(own, 3))) {
        if (fault) *fault = {number, Shortened(path)};
        return IsDrivePath(path) ? PREVIOUS_OTHER_DRIVE : PREVIOUS_DAMAGED;
    }
    return PREVIOUS_OK;
}

namespace {

bool CheckHeader(const std::string& header, PreviousFault* fault) {
    std::time_t start = 0;
    if (HeaderStart(header, start)) return true;
    if (fault) *fault = {1, Shortened(header)};
    return false;
}
} // namespace

PreviousState CheckMeasurement(const Measurement& m, char letter, PreviousFault* fault) {
    if (!CheckHeader(m.Header(), fault)) return PREVIOUS_DAMAGED;
    size_t number = 1;
    for (std::string_view line : m.Lines())
        if (const PreviousState s = CheckLine(line, letter, ++number, fault); s != PREVIOUS_OK)
            return s;
    return PREVIOUS_OK;
}

// "header<TAB>volume" of a line of the volume note.
std::pair<std::string, std::string> NoteLine(const StringList& lines, size_t n) {
    if (n >= lines.size()) return {};
    const std::string& l = lines[n];
    const size_t tab = l.find('\t');
    if (tab == std::string::npos) return {};
    return {l.substr(0, tab), l.substr(tab + 1)};
}

PreviousState LoadPrevious(char letter, const std::string& currentHeader, Measurement& out,
                           PreviousFault* fault) {
    if (!Global().KeepPrevious || !out.Map(PreviousCacheName(letter))) return PREVIOUS_NONE;
    const PreviousState state = CheckMeasurement(out, letter, fault);
    if (state != PREVIOUS_OK) return state;
    // Both measurements of the letter, but perhaps of two volumes (another
    // stick in the same slot, a drive map changed): the note written with
    // each cache tells, when it still belongs to both.
    StringList note;
    LoadLines(note, PreviousVolumeName(letter));
    const auto [prevHeader, prevVolume] = NoteLine(note, 0);
    const auto [curHeader, curVolume] = NoteLine(note, 1);
    if (!prevHeader.empty() && prevHeader == out.Header() && curHeader == currentHeader &&
        prevVolume != curVolume) {
        if (fault) {
            auto root = [](const std::string& v) {
                return v.substr(v.find('\t') == std::string::npos ? 0 : v.find('\t') + 1);
            };
            *fault = {0, root(prevVolume) + " → " + root(curVolume)};
        }
        return PREVIOUS_OTHER_DRIVE;
    }
    return PREVIOUS_OK;
}

std::string VolumeIdentity(const DriveRecord& drive) {
    const auto& roots = P::DriveRoots();
    const std::string root = drive.Index >= 0 && drive.Index < 26
                                 ? roots[static_cast<size_t>(drive.Index)]
                                 : std::string();
    return FormatText("%08X", drive.SerialNumber) + "\t" + root;
}

std::string ImportIdentity(const std::string& host, const std::string& root) {
    // Never a serial number's eight digits: no volume's identity is alike.
    return "import\t" + (host.empty() ? "" : P::ShownName(host) + ":") + P::ShownName(root);
}

} // namespace nrvs
