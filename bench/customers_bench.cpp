// The customer list: loading a file's names inside one bulk update against sorting after every
// name, the searches over a long list, and one new, renamed or deleted customer in a long list.

#include "customer_file.h"
#include "customer_list.h"
#include "customer_list_file.h"
#include "sample_customer_names.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void BM_CustomerLoadBulk(benchmark::State& state) {
    const auto names = pyrelto::sampleCustomerNames(static_cast<int>(state.range(0)));
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
    const auto names = pyrelto::sampleCustomerNames(static_cast<int>(state.range(0)));
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
        for (const auto& n : pyrelto::sampleCustomerNames(static_cast<int>(state.range(0))))
            list.setName(list.append(), n);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(list.searchFirst(u"m\u00fcller"));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CustomerSearchMiss)->Arg(1000)->Arg(10000);

pyrelto::CustomerList& loadedList(pyrelto::CustomerList& list, int n) {
    pyrelto::CustomerListUpdate update(list);
    list.assign(pyrelto::sampleCustomerNames(n));
    return list;
}

// A load as from the file: all names handed over at once; the file is in order already.
void BM_CustomerLoadSorted(benchmark::State& state) {
    auto names = pyrelto::sampleCustomerNames(static_cast<int>(state.range(0)));
    std::sort(names.begin(), names.end());
    for (auto _ : state) {
        pyrelto::CustomerList list;
        pyrelto::CustomerListUpdate update(list);
        list.assign(names);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CustomerLoadSorted)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

// "Neuer Kunde" and its name, then the entry deleted again, so every round starts alike.
void BM_CustomerNewAndDelete(benchmark::State& state) {
    pyrelto::CustomerList list;
    loadedList(list, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const int at = list.setName(list.append(), u"Mittelstein Bedachungen");
        list.remove(at);
    }
}
BENCHMARK(BM_CustomerNewAndDelete)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(200000)
    ->Unit(benchmark::kMicrosecond);

// A rename that moves the entry across the list, and back.
void BM_CustomerRename(benchmark::State& state) {
    pyrelto::CustomerList list;
    loadedList(list, static_cast<int>(state.range(0)));
    int at = list.count() / 2;
    bool toFront = true;
    for (auto _ : state) {
        at = list.setName(at, toFront ? u"AAA Dachbau" : u"Zzz Dachbau");
        toFront = !toFront;
    }
}
BENCHMARK(BM_CustomerRename)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMicrosecond);

// The window's close with a long list: the file read again to see whether another copy of the
// program wrote it meanwhile, then written safely (a temporary file, synced, renamed over it).
void BM_CustomerListSaveAtClose(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("pyrelto-bench-close-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::u16string path = (folder / "options.dat").u16string();
    auto names = pyrelto::sampleCustomerNames(static_cast<int>(state.range(0)));
    std::sort(names.begin(), names.end());
    pyrelto::writeCustomerFile(path, names, false);
    pyrelto::CustomerList list;
    pyrelto::CustomerListFile file(list);
    file.openfileConfig(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(file.savefileConfig(path));
    std::filesystem::remove_all(folder);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CustomerListSaveAtClose)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
