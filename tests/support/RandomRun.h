// How many random inputs a fuzzing test tries and from which seed: its own
// figures, or NRVS_FUZZ_ITERATIONS and NRVS_FUZZ_SEED when set (tools/fuzz.sh
// runs them much longer; a seed repeats a run).
#pragma once

#include <cstdint>
#include <cstdlib>

namespace nrvs {

inline long EnvNumber(const char* name, long def) {
    const char* v = std::getenv(name);
    if (!v || !*v) return def;
    char* end = nullptr;
    long n = std::strtol(v, &end, 10);
    return end && *end == 0 && n > 0 ? n : def;
}

struct RandomRun {
    uint64_t seed;
    long iterations;
    explicit RandomRun(long defaultIterations, uint64_t defaultSeed = 20261207)
        : seed(static_cast<uint64_t>(EnvNumber("NRVS_FUZZ_SEED", static_cast<long>(defaultSeed)))),
          iterations(EnvNumber("NRVS_FUZZ_ITERATIONS", defaultIterations)) {}
};

} // namespace nrvs
