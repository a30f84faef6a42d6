// The sizes the benchmarks run at. CORVANE_BENCH_SMOKE=1 shrinks every size to a few items, so a
// test run can check that each benchmark still runs to its end.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>

inline int BenchSize(int count) {
    const char* smoke = std::getenv("CORVANE_BENCH_SMOKE");
    return smoke && *smoke && std::strcmp(smoke, "0") != 0 ? std::max(3, count / 1000) : count;
}
