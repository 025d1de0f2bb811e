// Whole calculation files built from tables of extreme values: the input only chooses, entry by
// entry, which count, number or text goes in, so every run is a well-formed file that reaches the
// rules and the writer instead of stopping at the first damaged entry. What the writer makes must
// read back exactly, and a sheet loaded from it must save a file that reads back again.

#include "calculation_file.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

using namespace pyrelto;

namespace {

constexpr std::array<std::int32_t, 10> kCounts{0,
                                               1,
                                               2,
                                               3,
                                               5,
                                               6,
                                               -1,
                                               std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max(),
                                               1000};

constexpr std::array<double, 24> kNumbers{
    0.0,          -0.0,          1.0,          -1.0,         0.005,  0.015,
    12.345,       99.995,        100.0,        -100.0,       1e15,   999999999999.995,
    2147483647.0, -2147483648.0, 2147483647.5, 4294967296.0, 1e300,  -1e300,
    DBL_MAX,      -DBL_MAX,      DBL_MIN,      DBL_TRUE_MIN, 1e-300, 0.1 + 0.2,
};

const std::array<std::u16string, 8>& texts() {
    static const std::array<std::u16string, 8> table{
        u"",
        u"€",
        u"Müller Bedachungen",
        u"\u202Erellüm\nDach",
        std::u16string(1, char16_t(0xD800)), // a lone surrogate
        std::u16string(1, char16_t(0)),      // a zero unit
        std::u16string(4096, u'x'),
        std::u16string(u"\U0001F600") + u"\t\r\n",
    };
    return table;
}

bool sameNumber(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = 0;
    const auto choose = [&](std::size_t options) -> std::size_t {
        return pos < size ? data[pos++] % options : 0;
    };
    CalculationContent content;
    content.entryCount = choose(2) == 0 ? kFileEntryCount : kBaseSectionEntries;
    const auto order = calculationFileOrder();
    for (std::size_t i = 0; i < order.size(); ++i) {
        switch (fieldInfo(order[i]).kind) {
        case FieldKind::Text:
            content.texts[i] = texts()[choose(texts().size())];
            break;
        case FieldKind::Count:
            content.numbers[i] = kCounts[choose(kCounts.size())];
            break;
        case FieldKind::Amount:
            content.numbers[i] = kNumbers[choose(kNumbers.size())];
            break;
        case FieldKind::Pieces:
            // Only whole numbers within 32 bits are pieces a file may hold.
            content.numbers[i] = std::trunc(kNumbers[choose(kNumbers.size())]);
            if (!(std::fabs(content.numbers[i]) <= 2147483647.0)) {
                content.numbers[i] = 0;
            }
            break;
        }
    }

    MemoryWriter file;
    writeCalculation(file, content);
    MemoryReader in(file.bytes());
    const CalculationContent read = readCalculation(in); // a file we wrote must read back
    if (!in.atEnd() || read.entryCount != content.entryCount) {
        __builtin_trap();
    }
    for (int i = 0; i < content.entryCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (read.texts[index] != content.texts[index] ||
            !sameNumber(read.numbers[index], content.numbers[index])) {
            __builtin_trap();
        }
    }

    Sheet sheet;
    sheet.runCountRules();
    applyCalculation(sheet, read);
    MemoryWriter saved;
    try {
        writeCalculation(saved, captureCalculation(sheet));
    } catch (const IoError& e) {
        // Rules may multiply stored numbers past a double; refusing that save is the one
        // acceptable failure.
        if (e.kind() != IoError::Kind::Damaged) {
            __builtin_trap();
        }
        return 0;
    }
    MemoryReader again(saved.bytes());
    const CalculationContent reread = readCalculation(again);
    if (!again.atEnd() || reread.entryCount != kFileEntryCount) {
        __builtin_trap();
    }
    return 0;
}
