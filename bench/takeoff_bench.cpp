// The take-off's costs: a polygon at the corner bound (its self-crossing check is quadratic), and
// the extension block of a sizeable take-off written and read.

#include "calculation_file.h"
#include "takeoff.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>

namespace {

using namespace pyrelto;

// A convex outline of n corners on a circle of 50 m: every pair of sides is checked.
Face circle(int n) {
    Face f;
    f.shape = FaceShape::Polygon;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        f.points.push_back({static_cast<Hundredths>(std::lround(5000 * std::cos(a))),
                            static_cast<Hundredths>(std::lround(5000 * std::sin(a)))});
    }
    return f;
}

void BM_computePolygon(benchmark::State& state) {
    TakeOff t;
    t.faces = {circle(static_cast<int>(state.range(0)))};
    for (auto _ : state) {
        benchmark::DoNotOptimize(computeTakeOff(t));
    }
}
BENCHMARK(BM_computePolygon)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// 100 faces with 5 openings and 4 edges each, through the block and back.
void BM_takeOffBlockRoundTrip(benchmark::State& state) {
    CalculationExtras extras;
    for (int i = 0; i < 100; ++i) {
        Face f;
        f.name = u"Dachfläche";
        f.a = 1000 + i;
        f.b = 650;
        f.openings.assign(5, Opening{u"Dachfenster", 78, 140, 1});
        f.edges.assign(4, Edge{EdgeKind::Traufe, 1000, 1});
        extras.takeOff.faces.push_back(f);
    }
    for (auto _ : state) {
        MemoryWriter out;
        writeExtensionBlock(out, extensionChunks(extras));
        benchmark::DoNotOptimize(readCalculationExtras(out.bytes(), u"dach.kal"));
    }
}
BENCHMARK(BM_takeOffBlockRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace
