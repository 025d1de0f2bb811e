// Any bytes as a DATANORM file: the reader returns a list (articles and problems), never crashes,
// and every problem names a line the file has.

#include "catalogue.h"
#include "datanorm_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    const PriceList list = readDatanorm(bytes);
    const std::size_t lines = static_cast<std::size_t>(std::count(data, data + size, '\n')) + 1;
    for (const ImportProblem& problem : list.problems) {
        if (problem.line > lines || problem.reason.empty()) {
            __builtin_trap();
        }
    }
    Catalogue catalogue;
    const ImportPlan plan = catalogue.planImport(list);
    if (plan.applicable()) {
        catalogue.apply(plan);
        if (catalogue.articles().size() != plan.added.size()) {
            __builtin_trap();
        }
    }
    return 0;
}
