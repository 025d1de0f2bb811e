// Saving and opening one calculation file, the operations behind the save and open commands.

#include "calculation_file.h"
#include "sheet.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace pyrelto;

// A sheet with every row shown and every field filled, as a busy calculation would be.
void fillSheet(Sheet& sheet) {
    sheet.runCountRules();
    sheet.number(FieldId::AnzZeilenEd).SetValue(5);
    sheet.number(FieldId::AnzSonstEd).SetValue(5);
    sheet.number(FieldId::AnzStueckEd).SetValue(5);
    int n = 1;
    for (const auto& info : fieldCatalogue()) {
        if (info.kind == FieldKind::Text) {
            sheet.text(info.id).setText(u"Bitumenbahn Tellerdübel € " +
                                        std::u16string(1, u'A' + n % 26));
        } else if (info.kind != FieldKind::Count) {
            sheet.number(info.id).SetValue(n * 1.25L);
        }
        ++n;
    }
}

// The disk's temporary folder, or with `inMemory` the memory file system where there is one, to
// tell the cost of syncing to the disk from the rest of a save.
std::filesystem::path benchBase(bool inMemory) {
    if (inMemory && std::filesystem::is_directory("/dev/shm")) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path();
}

class TempFolder {
public:
    explicit TempFolder(bool inMemory = false)
        : path_(benchBase(inMemory) / ("pyrelto-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::u16string file(const char* name) const { return (path_ / name).u16string(); }

private:
    std::filesystem::path path_;
};

// Argument 0: the disk's temporary folder (the sync waits for the disk); 1: a memory file system.
void BM_savefile(benchmark::State& state) {
    TempFolder folder(state.range(0) == 1);
    Sheet sheet;
    fillSheet(sheet);
    const auto name = folder.file("bench.kal");
    for (auto _ : state) {
        savefile(sheet, name);
    }
}
BENCHMARK(BM_savefile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The file's image alone: reading the 80 fields and encoding them.
void BM_savefileImage(benchmark::State& state) {
    Sheet sheet;
    fillSheet(sheet);
    for (auto _ : state) {
        MemoryWriter image;
        writeCalculation(image, captureCalculation(sheet));
        benchmark::DoNotOptimize(image.bytes().data());
    }
}
BENCHMARK(BM_savefileImage)->Unit(benchmark::kMicrosecond);

void BM_openfile(benchmark::State& state) {
    TempFolder folder;
    Sheet source;
    fillSheet(source);
    const auto name = folder.file("bench.kal");
    savefile(source, name);
    Sheet sheet;
    sheet.runCountRules();
    for (auto _ : state) {
        openfile(sheet, name);
    }
}
BENCHMARK(BM_openfile)->Unit(benchmark::kMicrosecond);

// The same load into a sheet that alternates between two calculations, so every entry changes
// its field and the whole cascade of rules runs each time.
void BM_openfileAlternating(benchmark::State& state) {
    TempFolder folder;
    Sheet a;
    fillSheet(a);
    Sheet b;
    b.runCountRules();
    const auto nameA = folder.file("a.kal");
    const auto nameB = folder.file("b.kal");
    savefile(a, nameA);
    savefile(b, nameB);
    Sheet sheet;
    sheet.runCountRules();
    bool toggle = false;
    for (auto _ : state) {
        openfile(sheet, toggle ? nameA : nameB);
        toggle = !toggle;
    }
}
BENCHMARK(BM_openfileAlternating)->Unit(benchmark::kMicrosecond);

} // namespace
