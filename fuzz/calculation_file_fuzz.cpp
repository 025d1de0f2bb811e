// Any bytes as a calculation file: the reader either refuses them with an IoError or yields
// entries that load into a sheet, and what that sheet saves reads back again.

#include "calculation_file.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryReader in(std::as_bytes(std::span(data, size)));
    CalculationContent content;
    try {
        content = readCalculation(in);
    } catch (const IoError&) {
        return 0;
    }
    Sheet sheet;
    sheet.runCountRules();
    applyCalculation(sheet, content);
    MemoryWriter out;
    try {
        writeCalculation(out, captureCalculation(sheet));
    } catch (const IoError& e) {
        // The rules may multiply two stored numbers past the range of a double; then the save is
        // refused, which is the one acceptable failure here.
        if (e.kind() != IoError::Kind::Damaged) {
            __builtin_trap();
        }
        return 0;
    }
    MemoryReader again(out.bytes());
    const CalculationContent reread = readCalculation(again); // must not throw
    if (!again.atEnd() || reread.entryCount != kFileEntryCount) {
        __builtin_trap();
    }
    return 0;
}
