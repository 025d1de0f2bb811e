// Any bytes as what follows entry 80: the reader never throws, and what it reads is written again
// and read back as the same extras. The same bytes as a take-off chunk's and as an article
// chunk's payload as well (behind the checksum the fuzzer would rarely reach them): refused with
// an IoError or encoded back to the same bytes. Each take-off read is computed without fault.

#include "article_chunk.h"
#include "calculation_file.h"
#include "takeoff_chunk.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace pyrelto;

namespace {

void checkTotals(const TakeOff& takeOff) {
    const TakeOffResult result = computeTakeOff(takeOff);
    if (result.totals && result.totals->net != result.totals->gross - result.totals->deductions +
                                                   result.totals->upstands) {
        __builtin_trap();
    }
}

void payload(std::span<const std::byte> bytes) {
    TakeOff takeOff;
    try {
        takeOff = decodeTakeOff(bytes);
    } catch (const IoError& e) {
        if (e.kind() != IoError::Kind::Damaged) {
            __builtin_trap();
        }
        return;
    }
    checkTotals(takeOff);
    const std::vector<std::byte> again = encodeTakeOff(takeOff); // must not throw
    if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) {
        __builtin_trap();
    }
}

void articlePayload(std::span<const std::byte> bytes) {
    RowArticles rows;
    try {
        rows = decodeRowArticles(bytes);
    } catch (const IoError& e) {
        if (e.kind() != IoError::Kind::Damaged) {
            __builtin_trap();
        }
        return;
    }
    const std::vector<std::byte> again = encodeRowArticles(rows); // must not throw
    if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    payload(std::as_bytes(std::span(data, size)));
    articlePayload(std::as_bytes(std::span(data, size)));
    const CalculationExtras extras =
        readCalculationExtras(std::as_bytes(std::span(data, size)), u"fuzz.kal");
    const TakeOffResult result = computeTakeOff(extras.takeOff);
    if (result.totals && result.totals->net != result.totals->gross - result.totals->deductions +
                                                   result.totals->upstands) {
        __builtin_trap();
    }
    if (extras.hasUnreadData() && (!extras.takeOff.empty() || hasRowArticles(extras.rowArticles))) {
        return 0; // a damaged chunk next to sound ones: nothing more to compare
    }
    MemoryWriter out;
    try {
        writeExtensionBlock(out, extensionChunks(extras));
    } catch (const IoError&) {
        // Only a block near the size bound may grow past it when rewritten; nothing else may fail.
        if (size < kMaxExtensionBlockBytes / 2) {
            __builtin_trap();
        }
        return 0;
    }
    const CalculationExtras again = readCalculationExtras(out.bytes(), u"fuzz.kal");
    if (again.hasUnreadData() || !(again.takeOff == extras.takeOff) ||
        again.rowArticles != extras.rowArticles || again.keptChunks != extras.keptChunks) {
        __builtin_trap();
    }
    return 0;
}
