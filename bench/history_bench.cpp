// What a drive's history costs a measurement, and what reading it costs.
//
//   history_bench [folders] [rounds] [measurements]
//                 defaults: 25000 folders, 7 rounds, 100 measurements
//
// A cache of that many folders (sorted as the program saves it) goes
// through a run of folder measurements, each changing 1 % of the folders
// (one subtree, and the folders above it). Per measurement it times, in a
// temporary folder on the same disk: writing the new cache whole (the floor
// of a folder measurement's cache work), appending the history record, and
// writing the replaced cache whole as the previous measurement is kept
// today. Then reading every summary and rebuilding the oldest measurement.
#include "core/cache/Cache.h"
#include "core/history/DriveHistory.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& fn) {
    const auto t0 = Clock::now();
    fn();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct Spread {
    double median, min, max;
};
Spread Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

std::string Figures(std::mt19937_64& rng) {
    std::string f = std::to_string(rng() % 100000000);
    for (int i = 1; i < 12; ++i)
        f += ":" + std::to_string(rng() % (i < 4 ? 100000000 : 500));
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const size_t folders = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 25000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    const int measurements = argc > 3 ? std::atoi(argv[3]) : 100;
    if (folders < 200 || rounds < 1 || measurements < 1) {
        std::fprintf(stderr, "usage: history_bench [folders>=200] [rounds] [measurements]\n");
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path dir = std::filesystem::path(tmp && *tmp ? tmp : "/var/tmp") /
                                      ("history_bench." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    std::mt19937_64 rng(20261208);
    // Folders C:\dNNN\fNNNNN\ under the root, 100 to a parent.
    std::vector<std::string> paths{"C:\\"}, figures;
    for (size_t i = 0; paths.size() < folders; ++i) {
        const std::string parent = "C:\\d" + std::to_string(1000 + i / 100) + "\\";
        if (i % 100 == 0) paths.push_back(parent);
        paths.push_back(parent + "f" + std::to_string(100000 + i) + "\\");
    }
    std::sort(paths.begin(), paths.end(), nrvs::platform::LessIgnoreCase);
    for (size_t i = 0; i < paths.size(); ++i)
        figures.push_back(Figures(rng));
    auto text = [&](int m) {
        std::string t = nrvs::NewHeaderLine(1700000000 + m * 3600, 1700000060) + "\r\n";
        for (size_t i = 0; i < paths.size(); ++i)
            t += paths[i] + " > " + figures[i] + "\r\n";
        return t;
    };

    std::vector<double> write, append, previous;
    nrvs::DriveHistory history((dir / "NRVS_C").string());
    std::string old = text(0);
    const size_t changed = paths.size() / 100;
    for (int m = 1; m <= std::max(measurements, rounds); ++m) {
        // One subtree's run of lines, and the root's.
        const size_t from = 1 + rng() % (paths.size() - changed - 1);
        for (size_t i = from; i < from + changed; ++i)
            figures[i] = Figures(rng);
        figures[0] = Figures(rng);
        const std::string now = text(m);
        write.push_back(
            Seconds([&] { nrvs::platform::ReplaceFile((dir / "NRVS_C.txt").string(), now); }));
        append.push_back(Seconds([&] {
            if (!history.Append(old, now, {1700000000 + m * 3600, 0, 0}))
                std::fprintf(stderr, "append failed\n");
        }));
        previous.push_back(
            Seconds([&] { nrvs::platform::ReplaceFile((dir / "previous.txt").string(), old); }));
        old = now;
    }
    uint64_t historyBytes = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind("NRVS_C.h", 0) == 0) historyBytes += e.file_size();

    std::vector<double> summaries, rebuild;
    const size_t back = static_cast<size_t>(std::max(measurements, rounds));
    for (int r = 0; r < rounds; ++r) {
        std::vector<nrvs::HistorySummary> s;
        summaries.push_back(Seconds([&] { history.Summaries(s); }));
        std::string out;
        rebuild.push_back(Seconds([&] {
            if (!history.Rebuild(old, back, out)) std::fprintf(stderr, "rebuild failed\n");
        }));
    }

    const auto print = [](const char* what, const Spread& s) {
        std::printf("| %-44s | %8.4f s | %.4f..%.4f |\n", what, s.median, s.min, s.max);
    };
    std::printf("%zu folders, cache %zu bytes, %zu measurements, 1 %% of folders changed each\n\n",
                paths.size(), old.size(), back);
    std::printf("| what                                         |   median   | min..max |\n");
    std::printf("|----------------------------------------------|------------|----------|\n");
    const Spread w = Of(write), a = Of(append), p = Of(previous);
    print("write the cache whole (floor)", w);
    print("append the history record", a);
    print("previous/ today: write the old cache whole", p);
    print("read every summary", Of(summaries));
    std::printf("| %-44s | %8.4f s | %zu back |\n", "rebuild the oldest measurement",
                Of(rebuild).median, back);
    std::printf("\n(cache + append) / cache write: %.2f; (cache + previous/) / cache write: %.2f\n",
                (w.median + a.median) / w.median, (w.median + p.median) / w.median);
    std::printf("history bytes / cache bytes: %.2f\n",
                static_cast<double>(historyBytes) / static_cast<double>(old.size()));
    std::filesystem::remove_all(dir);
    return 0;
}
