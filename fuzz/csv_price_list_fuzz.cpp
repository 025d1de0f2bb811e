// Any bytes as a CSV price list: detection and reading return a list, never crash, and every
// article read has a number and a non-negative price.

#include "article_search.h"
#include "catalogue.h"
#include "csv_price_list.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace pyrelto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    CsvOptions options;
    options.supplier = "Fuzz";
    const PriceList list = readCsvPriceList(bytes, options);
    for (const ListedArticle& listed : list.articles) {
        if (listed.article.articleNumber.empty() || listed.article.listPrice.units < 0) {
            __builtin_trap();
        }
    }
    (void)previewCsv(bytes, 5);
    Catalogue catalogue;
    const ImportPlan plan = catalogue.planImport(list);
    if (plan.applicable()) {
        catalogue.apply(plan);
        const ArticleSearchIndex index(catalogue.articles());
        if (!catalogue.articles().empty() &&
            index.search(catalogue.articles().front().articleNumber, 5).empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
