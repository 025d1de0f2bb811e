// The customer list: loading a file's names inside one bulk update against sorting after every
// name, and the searches over a long list.

#include "customer_list.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> randomNames(int n) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> letter(0, 25);
    std::uniform_int_distribution<int> length(4, 24);
    std::vector<std::u16string> names;
    names.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::u16string name(static_cast<std::size_t>(length(rng)), u'a');
        for (auto& c : name)
            c = static_cast<char16_t>(u'a' + letter(rng));
        name[0] = static_cast<char16_t>(name[0] - 32);
        names.push_back(std::move(name));
    }
    return names;
}

void BM_CustomerLoadBulk(benchmark::State& state) {
    const auto names = randomNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pyrelto::CustomerList list;
        pyrelto::CustomerListUpdate update(list);
        for (const auto& n : names)
            list.setName(list.append(), n);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CustomerLoadBulk)->Arg(100)->Arg(1000)->Arg(10000);

// The same names without a bulk update: every name re-sorts the list.
void BM_CustomerLoadOneByOne(benchmark::State& state) {
    const auto names = randomNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pyrelto::CustomerList list;
        for (const auto& n : names)
            list.setName(list.append(), n);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CustomerLoadOneByOne)->Arg(100)->Arg(1000);

// "Suchen" that finds nothing: every name is tested.
void BM_CustomerSearchMiss(benchmark::State& state) {
    pyrelto::CustomerList list;
    {
        pyrelto::CustomerListUpdate update(list);
        for (const auto& n : randomNames(static_cast<int>(state.range(0))))
            list.setName(list.append(), n);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(list.searchFirst(u"m\u00fcller"));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CustomerSearchMiss)->Arg(1000)->Arg(10000);

} // namespace
