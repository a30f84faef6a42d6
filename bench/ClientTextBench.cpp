// The client's per-byte text work: encoding a parameter value, and preparing a trace line (a
// whole reply body at debug level) with its secrets removed. Both must stay linear in the size.
#include "rtm/LogRedaction.h"
#include "rtm/RTMConnection.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {
void BM_UrlEncode(benchmark::State& state) {
    wxString value;
    while (value.length() < static_cast<size_t>(state.range(0)))
        value += wxString::FromUTF8("Milk & \xC3\xA4pples-");
    for (auto _ : state)
        benchmark::DoNotOptimize(CRTMConnection::UrlEncode(value));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_UrlEncode)->RangeMultiplier(4)->Range(256, 64 << 10)->Complexity(benchmark::oN);

void BM_FormatDebugLine(benchmark::State& state) {
    std::string body = "<rsp stat=\"ok\"><auth><token>0123456789abcdef</token></auth>";
    while (body.size() < static_cast<size_t>(state.range(0)))
        body += "<task id=\"1\" due=\"\" priority=\"N\"/> 5% ";
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatDebugLine(3, body.data(), body.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FormatDebugLine)->RangeMultiplier(4)->Range(1 << 10, 256 << 10)->Complexity(benchmark::oN);
}  // namespace
