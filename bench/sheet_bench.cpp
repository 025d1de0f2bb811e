#include "decimal_text.h"
#include "sheet.h"

#include <benchmark/benchmark.h>

namespace {

using pyrelto::FieldId;

// One keystroke's full cascade: a new list price in material row 1 on the default sheet runs
// every rule from the purchase price down to the gross end sum.
void BM_FullCascade(benchmark::State& state) {
    pyrelto::Sheet sheet;
    sheet.runCountRules();
    sheet.number(FieldId::Dach14Ed).SetValue(24);
    auto& list = sheet.number(FieldId::List1Ed);
    long double price = 9.99L;
    for (auto _ : state) {
        price += 0.37L; // a new text every time, so the whole chain changes
        list.SetValue(price);
        benchmark::DoNotOptimize(sheet.number(FieldId::BruttoEd).text().data());
    }
}
BENCHMARK(BM_FullCascade);

void BM_SetValueAmount(benchmark::State& state) {
    pyrelto::TRxSpinEdit f;
    f.setValueType(pyrelto::ValueType::vtFloat);
    long double v = 1.005L;
    for (auto _ : state) {
        v += 1.01L;
        f.SetValue(v);
        benchmark::DoNotOptimize(f.text().data());
    }
}
BENCHMARK(BM_SetValueAmount);

void BM_GetValueAmount(benchmark::State& state) {
    pyrelto::TRxSpinEdit f;
    f.setValueType(pyrelto::ValueType::vtFloat);
    f.SetValue(12345.67L);
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.GetValue());
    }
}
BENCHMARK(BM_GetValueAmount);

void BM_SetValueHugeAmount(benchmark::State& state) {
    // Beyond 3e38 the exact digits come from the standard library's slower conversion.
    pyrelto::TRxSpinEdit f;
    f.setValueType(pyrelto::ValueType::vtFloat);
    long double v = 1e40L;
    for (auto _ : state) {
        v *= 1.5L;
        if (v > 1e300L) {
            v = 1e40L;
        }
        f.SetValue(v);
        benchmark::DoNotOptimize(f.text().data());
    }
}
BENCHMARK(BM_SetValueHugeAmount);

} // namespace
