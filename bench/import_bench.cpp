// How long importing a scan of a million entries takes: ncdu's JSON export
// read, checked, summed into folder lines and written as the cache, the file
// index and the import note of a drive letter.
//
//   import_bench FILE [rounds]      default 5 rounds
//
// The files are written into a temporary folder under $TMPDIR (default
// /tmp), removed at the end. bench/import.sh makes FILE.
#include "core/exchange/Ncdu.h"
#include "core/GlobalState.h"
#include "platform/ProgramLocation.h"
#include "platform/InputDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace nrvs;
    if (argc < 2) {
        std::fprintf(stderr, "usage: import_bench FILE [rounds]\n");
        return 2;
    }
    const std::string file = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/import_bench.XXXXXX";
    if (!::mkdtemp(dir.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    platform::SetExecutablePath(dir + "/norvessa");
    LoadParameters({});
    std::vector<double> whole;
    NcduImportReport report;
    for (int r = 0; r < rounds; ++r) {
        // Read as the tool reads it: a block at a time, through the import.
        const auto t0 = std::chrono::steady_clock::now();
        platform::InputStream input;
        std::string why;
        if (!input.Open(file, &why)) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), why.c_str());
            return 1;
        }
        const NcduSource source = [&](char* buffer, size_t capacity, size_t& got,
                                      std::string& why) {
            return input.Read(buffer, capacity, got, &why);
        };
        if (!ImportNcdu(source, 'I', {}, report)) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), report.Error.c_str());
            return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        whole.push_back(std::chrono::duration<double>(t1 - t0).count());
    }
    std::filesystem::remove_all(dir);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    std::printf("entries   %llu folders, %llu files\n",
                static_cast<unsigned long long>(report.Folders),
                static_cast<unsigned long long>(report.Files));
    std::printf("import    %.3f s (median of %d, %.3f..%.3f), reading included\n", median(whole),
                rounds, *std::min_element(whole.begin(), whole.end()),
                *std::max_element(whole.begin(), whole.end()));
    // The peak of the process: the tree kept, the lines and the index.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) std::printf("peak      %s\n", line.substr(6).c_str());
    return 0;
}
