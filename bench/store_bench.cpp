// The store on both engines: recording one offer (number taken under the counter lock, register
// row written, committed durably) and listing a register of 10,000 offers. PostgreSQL runs when
// PYRELTO_TEST_PG names a server (scripts/with_postgres.sh build/dev/bench/pyrelto-store-bench).

#include "store.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <libpq-fe.h>
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
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
