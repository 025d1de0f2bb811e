// The "Materialien" tab over a catalogue of 200,000 articles (generated_datanorm.h) in an SQLite
// store: the first showing of the tab (the catalogue read and indexed, the list filled and
// painted), and one keystroke in its search, which filters the whole list and repaints it.

#include "article_picker.h"
#include "catalogue_tab.h"
#include "datanorm_reader.h"
#include "generated_datanorm.h"
#include "store.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace pyrelto;

struct FilledStore {
    std::filesystem::path folder;
    std::unique_ptr<Store> store;

    FilledStore() {
        folder = std::filesystem::temp_directory_path() /
                 ("pyrelto_catalogue_tab_bench_" + std::to_string(getpid()));
        store = openSqliteStore((folder / "pyrelto.db").string());
        const std::string file = bench::makeDatanorm();
        store->applyImport(
            store->planImport(readDatanorm(std::as_bytes(std::span(file.data(), file.size())))));
    }
    ~FilledStore() {
        store.reset();
        std::filesystem::remove_all(folder);
    }
};

FilledStore& filledStore() {
    static FilledStore filled;
    return filled;
}

// A new window each time, as on the first click on the tab after the program started: the
// store's snapshot is dropped by reopening it.
void BM_FirstShowOfTab200k(benchmark::State& state) {
    FilledStore& filled = filledStore();
    for (auto _ : state) {
        state.PauseTiming();
        filled.store = openSqliteStore((filled.folder / "pyrelto.db").string());
        CatalogueTab tab([&filled]() -> Store& { return *filled.store; });
        tab.resize(811, 600);
        state.ResumeTiming();
        tab.show();
        benchmark::DoNotOptimize(tab.grab());
        if (tab.model().rowCount() != static_cast<int>(bench::kArticles))
            state.SkipWithError("not every article listed");
        state.PauseTiming();
        tab.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstShowOfTab200k)->Unit(benchmark::kMillisecond)->Iterations(3);

// One keystroke: the search text changes, the whole catalogue is filtered, the list repainted.
// The keystrokes alternate between the query and the query with a space typed after it, which
// finds the same articles, so that every iteration is a real change of the text.
void BM_TabKeystroke200k(benchmark::State& state, const char* query) {
    FilledStore& filled = filledStore();
    CatalogueTab tab([&filled]() -> Store& { return *filled.store; });
    tab.resize(811, 600);
    tab.show();
    const QString typed = QString::fromUtf8(query);
    const QString withSpace = typed + QLatin1Char(' ');
    bool space = false;
    for (auto _ : state) {
        tab.searchEdit->setText(space ? withSpace : typed);
        space = !space;
        benchmark::DoNotOptimize(tab.grab());
    }
    state.SetLabel(tab.countLabel->text().toStdString());
}
BENCHMARK_CAPTURE(BM_TabKeystroke200k, empty, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TabKeystroke200k, o, "o")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TabKeystroke200k, ober, "ober")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TabKeystroke200k, number, "bn01234")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TabKeystroke200k, twoWords, "glatt o")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TabKeystroke200k, disjointWords, "talkumiert glatt")
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
