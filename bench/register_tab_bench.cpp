// Opening the "Angebote" tab on a register of 10,000 offers: the register read from the database,
// the list filled and the tab painted, as when the user clicks the tab. SQLite, and PostgreSQL
// when PYRELTO_TEST_PG names a server (scripts/with_postgres.sh
// BUILD/bench/pyrelto-register-bench).

#include "offer_register_tab.h"
#include "store.h"

#include <QApplication>
#include <QLabel>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <libpq-fe.h>
#include <string>
#include <unistd.h>

namespace {

using namespace pyrelto;

OfferEntry benchOffer(int i) {
    OfferEntry entry;
    entry.date = "2026-0" + std::to_string(1 + i % 9) + "-15";
    entry.validUntil = "2026-12-31";
    entry.customer = "Kunde " + std::to_string(i);
    entry.address = "Hauptstraße 1\n12345 Musterstadt";
    entry.netCents = 48624 + i;
    entry.vatCents = 9239;
    entry.grossCents = entry.netCents + entry.vatCents;
    entry.fileName = "/home/dach/Angebote/Angebot.pdf";
    entry.calculation = std::string(740, 'k'); // about the size of a calculation file
    return entry;
}

void BM_ShowOfferTab(benchmark::State& state, StoreEngine engine) {
    std::unique_ptr<Store> store;
    std::filesystem::path folder;
    PGconn* admin = nullptr;
    const std::string name = "pyrelto_tab_bench_" + std::to_string(getpid());
    if (engine == StoreEngine::Sqlite) {
        folder = std::filesystem::temp_directory_path() / name;
        store = openSqliteStore((folder / "pyrelto.db").string());
    } else {
        const std::string server = std::getenv("PYRELTO_TEST_PG");
        admin = PQconnectdb(server.c_str());
        PQclear(PQexec(admin, ("CREATE SCHEMA " + name).c_str()));
        store = openPostgresStore(server + " options=-csearch_path=" + name);
    }
    for (int i = 0; i < state.range(0); ++i)
        store->recordOffer(benchOffer(i));
    {
        OfferRegisterTab tab([&store]() -> Store& { return *store; }, [](const OfferRecord&) {});
        tab.resize(811, 600);
        for (auto _ : state) {
            tab.refresh();
            benchmark::DoNotOptimize(tab.grab());
        }
        if (tab.offerList->model()->rowCount() != state.range(0))
            state.SkipWithError("not every offer listed");
        state.SetLabel(tab.summaryLabel->text().toStdString());
    }
    store.reset();
    if (!folder.empty())
        std::filesystem::remove_all(folder);
    if (admin) {
        PQsetNoticeProcessor(
            admin, [](void*, const char*) {}, nullptr);
        PQclear(PQexec(admin, ("DROP SCHEMA " + name + " CASCADE").c_str()));
        PQfinish(admin);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::pair<const char*, StoreEngine>> engines{{"sqlite", StoreEngine::Sqlite}};
    if (const char* server = std::getenv("PYRELTO_TEST_PG"); server && *server)
        engines.emplace_back("postgres", StoreEngine::Postgres);
    for (const auto& [engineName, engine] : engines)
        benchmark::RegisterBenchmark((std::string("BM_ShowOfferTab/") + engineName).c_str(),
                                     BM_ShowOfferTab, engine)
            ->Arg(10000)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
