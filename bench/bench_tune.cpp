#include "tuning/catencoding.h"

#include <benchmark/benchmark.h>

namespace {

// One typical row per list; the argument picks the list, the benchmark the family.
tuning::TuneInput typicalInput(int list, const char* familyCode) {
    using core::ListKind;
    static const struct {
        ListKind kind;
        const char* frequency;
        const char* mode;
        const char* spoken;
    } rows[] = {
        {ListKind::Pota, "14074", "FT8", "Yellowstone National Park"},
        {ListKind::Sota, "10.1185", "SSB", "Ben Nevis"},
        {ListKind::NetLogger, "14300", "SSB", "Maritime Mobile Service Net"},
        {ListKind::Nets, "3.5735", "CW", "Evening CW Net"},
        {ListKind::MW, "1010", "", "WINS"},
    };
    const auto& row = rows[list];
    return tuning::TuneInput{row.kind,   row.frequency,        row.mode,           row.spoken,
                             familyCode, QStringLiteral("94"), QStringLiteral("A")};
}

void composeAndEncode(benchmark::State& state, const char* familyCode) {
    const tuning::TuneInput in = typicalInput(int(state.range(0)), familyCode);
    for (auto _ : state) {
        const tuning::TuneCommands out = tuning::composeTune(in);
        benchmark::DoNotOptimize(out.writes);
    }
}

void BM_TuneIcom(benchmark::State& state) {
    composeAndEncode(state, "I");
}
void BM_TuneYaesu(benchmark::State& state) {
    composeAndEncode(state, "Y");
}

} // namespace

// Arguments: 0 POTA, 1 SOTA, 2 NetLogger, 3 Nets, 4 MW.
BENCHMARK(BM_TuneIcom)->DenseRange(0, 4);
BENCHMARK(BM_TuneYaesu)->DenseRange(0, 4);

BENCHMARK_MAIN();
