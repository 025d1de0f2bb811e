// The store on both engines: recording one offer (number taken under the counter lock, register
// row written, committed durably), listing a register of 10,000 offers, and the catalogue at
// 200,000 articles: importing a DATANORM file from disk, re-importing a list with 10 % of the
// prices changed, another PC reading the whole catalogue, and one search per keystroke.
// PostgreSQL runs when PYRELTO_TEST_PG names a server
// (scripts/with_postgres.sh build/release/bench/pyrelto-store-bench). Times are wall-clock: the
// database's own work happens outside this process's CPU time.

#include "generated_datanorm.h"
#include "price_list_file.h"
#include "store.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <libpq-fe.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

using namespace pyrelto;

pyrelto::OfferEntry benchOffer(int i) {
    OfferEntry entry;
    entry.date = "2026-06-15";
    entry.validUntil = "2026-07-13";
    entry.customer = "Kunde " + std::to_string(i);
    entry.address = "Kunde " + std::to_string(i) + "\nHauptstraße 1\n12345 Musterstadt";
    entry.netCents = 48624;
    entry.vatCents = 9239;
    entry.grossCents = 57863;
    entry.fileName = "/home/dach/Angebote/Angebot.pdf";
    entry.calculation = std::string(740, 'k'); // about the size of a calculation file
    return entry;
}

// A fresh store of the engine: an SQLite file in a temporary folder, or a schema of its own on
// the server, dropped afterwards.
struct FreshStore {
    explicit FreshStore(StoreEngine engine) {
        static int next = 0;
        const std::string name =
            "pyrelto_bench_" + std::to_string(getpid()) + "_" + std::to_string(next++);
        if (engine == StoreEngine::Sqlite) {
            folder = std::filesystem::temp_directory_path() / name;
            store = openSqliteStore((folder / "pyrelto.db").string());
            return;
        }
        const std::string server = std::getenv("PYRELTO_TEST_PG");
        admin = PQconnectdb(server.c_str());
        schema = name;
        PQclear(PQexec(admin, ("CREATE SCHEMA " + schema).c_str()));
        store = openPostgresStore(server + " options=-csearch_path=" + schema);
    }
    ~FreshStore() {
        store.reset();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
        if (admin) {
            PQsetNoticeProcessor(
                admin, [](void*, const char*) {}, nullptr);
            PQclear(PQexec(admin, ("DROP SCHEMA " + schema + " CASCADE").c_str()));
            PQfinish(admin);
        }
    }
    FreshStore(const FreshStore&) = delete;
    FreshStore& operator=(const FreshStore&) = delete;

    std::filesystem::path folder;
    std::string schema;
    PGconn* admin = nullptr;
    std::unique_ptr<Store> store;
};

void BM_RecordOffer(benchmark::State& state, StoreEngine engine) {
    FreshStore fresh(engine);
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(fresh.store->recordOffer(benchOffer(i++)));
}

void BM_ListOffers(benchmark::State& state, StoreEngine engine) {
    FreshStore fresh(engine);
    for (int i = 0; i < state.range(0); ++i)
        fresh.store->recordOffer(benchOffer(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(fresh.store->offers());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The generated lists as files on disk, as the import reads them; removed at exit.
struct ListFiles {
    ListFiles() {
        folder = std::filesystem::temp_directory_path() /
                 ("pyrelto_bench_lists_" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(first(), std::ios::binary) << bench::makeDatanorm();
        std::ofstream(changed(), std::ios::binary) << bench::makeDatanorm(10);
    }
    ~ListFiles() { std::filesystem::remove_all(folder); }
    ListFiles(const ListFiles&) = delete;
    ListFiles& operator=(const ListFiles&) = delete;
    std::filesystem::path first() const { return folder / "DATANORM.001"; }
    std::filesystem::path changed() const { return folder / "DATANORM.002"; }
    std::filesystem::path folder;
};

const ListFiles& listFiles() {
    static const ListFiles files;
    return files;
}

void importFile(Store& store, const std::filesystem::path& file) {
    const ImportPlan plan = store.planImport(readPriceListFile(file, {}));
    if (!plan.applicable())
        throw std::runtime_error(plan.problems.front().reason);
    store.applyImport(plan);
}

// Reading the file, planning against the (empty) catalogue and writing 200,000 rows.
void BM_ImportDatanorm200k(benchmark::State& state, StoreEngine engine) {
    const auto& files = listFiles();
    for (auto _ : state) {
        state.PauseTiming();
        {
            FreshStore fresh(engine);
            state.ResumeTiming();
            importFile(*fresh.store, files.first());
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bench::kArticles));
}

// The supplier's next list over a full catalogue: 20,000 prices changed, 180,000 compared.
void BM_ReimportTenPercentChanged200k(benchmark::State& state, StoreEngine engine) {
    const auto& files = listFiles();
    for (auto _ : state) {
        state.PauseTiming();
        {
            FreshStore fresh(engine);
            importFile(*fresh.store, files.first());
            fresh.store->catalogue();
            state.ResumeTiming();
            importFile(*fresh.store, files.changed());
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}

// One store of each engine holding the first list, shared by the benchmarks that only read it.
Store& filledStore(StoreEngine engine) {
    static std::map<StoreEngine, std::unique_ptr<FreshStore>> stores;
    auto& fresh = stores[engine];
    if (!fresh) {
        fresh = std::make_unique<FreshStore>(engine);
        importFile(*fresh->store, listFiles().first());
    }
    return *fresh->store;
}

// A second PC's first search after an import: all rows read and the search index built.
void BM_LoadCatalogue200k(benchmark::State& state, StoreEngine engine) {
    Store& store = filledStore(engine);
    for (auto _ : state) {
        store.setGroupDiscount("Dachbaustoffe Nord GmbH", "G1", Decimal{1, 0});
        benchmark::DoNotOptimize(store.catalogue().get());
    }
}

// One keystroke in the picker: the query as it stands after the key, 50 results. Each search
// asks the store whether the catalogue changed (one query) before it searches its snapshot.
void BM_SearchKeystroke200k(benchmark::State& state, StoreEngine engine) {
    static const char* const kQueries[] = {"o",       "ober",   "ober 1",          "bn01234",
                                           "glatt o", "talkum", "talkumiert glatt"};
    Store& store = filledStore(engine);
    store.catalogue();
    const char* query = kQueries[state.range(0)];
    state.SetLabel(query);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.searchArticles(query, 50));
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<const char*, StoreEngine>> engines{{"sqlite", StoreEngine::Sqlite}};
    if (const char* server = std::getenv("PYRELTO_TEST_PG"); server && *server)
        engines.emplace_back("postgres", StoreEngine::Postgres);
    for (const auto& [name, engine] : engines) {
        benchmark::RegisterBenchmark((std::string("BM_RecordOffer/") + name).c_str(),
                                     BM_RecordOffer, engine)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_ListOffers/") + name).c_str(), BM_ListOffers,
                                     engine)
            ->Arg(10000)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_ImportDatanorm200k/") + name).c_str(),
                                     BM_ImportDatanorm200k, engine)
            ->Iterations(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(
            (std::string("BM_ReimportTenPercentChanged200k/") + name).c_str(),
            BM_ReimportTenPercentChanged200k, engine)
            ->Iterations(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_LoadCatalogue200k/") + name).c_str(),
                                     BM_LoadCatalogue200k, engine)
            ->Iterations(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_SearchKeystroke200k/") + name).c_str(),
                                     BM_SearchKeystroke200k, engine)
            ->DenseRange(0, 6)
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
