// The catalogue at 200,000 articles: reading a DATANORM file, planning and applying its import,
// building the search index, and one search per keystroke (generated_datanorm.h).

#include "article_search.h"
#include "catalogue.h"
#include "datanorm_reader.h"
#include "generated_datanorm.h"

#include <benchmark/benchmark.h>
#include <span>
#include <string>

namespace {

using namespace pyrelto;

const std::string& generatedDatanorm() {
    static const std::string file = bench::makeDatanorm();
    return file;
}

std::span<const std::byte> bytes(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

const Catalogue& filledCatalogue() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        c.apply(c.planImport(readDatanorm(bytes(generatedDatanorm()))));
        return c;
    }();
    return catalogue;
}

const ArticleSearchIndex& searchIndex() {
    static const ArticleSearchIndex index(filledCatalogue().articles());
    return index;
}

void BM_ReadDatanorm200k(benchmark::State& state) {
    const std::string& file = generatedDatanorm();
    for (auto _ : state) {
        PriceList list = readDatanorm(bytes(file));
        benchmark::DoNotOptimize(list.articles.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadDatanorm200k)->Unit(benchmark::kMillisecond);

void BM_PlanAndApplyImport200k(benchmark::State& state) {
    const PriceList list = readDatanorm(bytes(generatedDatanorm()));
    for (auto _ : state) {
        Catalogue catalogue;
        catalogue.apply(catalogue.planImport(list));
        benchmark::DoNotOptimize(catalogue.articles().data());
    }
}
BENCHMARK(BM_PlanAndApplyImport200k)->Unit(benchmark::kMillisecond);

// The second import of the same list over a full catalogue: every article compared, none changed.
void BM_PlanReimport200k(benchmark::State& state) {
    const PriceList list = readDatanorm(bytes(generatedDatanorm()));
    const Catalogue& catalogue = filledCatalogue();
    for (auto _ : state) {
        ImportPlan plan = catalogue.planImport(list);
        benchmark::DoNotOptimize(plan.unchanged);
    }
}
BENCHMARK(BM_PlanReimport200k)->Unit(benchmark::kMillisecond);

void BM_BuildSearchIndex200k(benchmark::State& state) {
    const Catalogue& catalogue = filledCatalogue();
    for (auto _ : state) {
        ArticleSearchIndex index(catalogue.articles());
        benchmark::DoNotOptimize(&index);
    }
}
BENCHMARK(BM_BuildSearchIndex200k)->Unit(benchmark::kMillisecond);

// One keystroke each: the query as it stands after the key, 50 results as a picker shows.
void BM_SearchKeystroke200k(benchmark::State& state, const char* query) {
    const ArticleSearchIndex& index = searchIndex();
    for (auto _ : state) {
        auto found = index.search(query, 50);
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, o, "o")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, ober, "ober")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, number, "bn01234")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, umlaut, "DACHPAPPNÄ")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, twoWords, "glatt o")->Unit(benchmark::kMicrosecond);
// Two common words with few articles holding both: the worst case walks the rarer word's range.
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, rareCombination, "talkumiert 998")
    ->Unit(benchmark::kMicrosecond);
// Two common words no article holds together: every entry of the rarer one is checked.
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, disjointWords, "talkumiert glatt")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke200k, noMatch, "xyz")->Unit(benchmark::kMicrosecond);

} // namespace
