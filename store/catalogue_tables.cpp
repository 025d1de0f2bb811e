#include "catalogue_tables.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace pyrelto::store_detail {

namespace {

const Statement kCatalogueChange{"SELECT value FROM change_counters WHERE name = 'katalog'"};
const Statement kLockCatalogueChange{
    "SELECT value FROM change_counters WHERE name = 'katalog' FOR UPDATE",
    "SELECT value FROM change_counters WHERE name = 'katalog'"};
const Statement kCountCatalogueChange{
    "UPDATE change_counters SET value = value + 1 WHERE name = 'katalog'"};

#define PYRELTO_ARTICLE_COLUMNS                                                                    \
    "supplier, article_number, short_text1, short_text2, unit, price_unit, list_price, "           \
    "list_price_decimals, price_kind, discount_group, main_product_group, ean, price_date, "       \
    "previous_price, previous_price_decimals, previous_price_date, coverage, coverage_decimals, "  \
    "waste_percent, waste_percent_decimals"
constexpr std::size_t kArticleColumns = 20;

const Statement kArticles{"SELECT " PYRELTO_ARTICLE_COLUMNS " FROM articles"};
const Statement kArticle{"SELECT " PYRELTO_ARTICLE_COLUMNS
                         " FROM articles WHERE supplier = $1 AND article_number = $2"};
const Statement kArticlesByNumber{"SELECT " PYRELTO_ARTICLE_COLUMNS
                                  " FROM articles WHERE article_number = $1"};
const Statement kGroupDiscounts{
    "SELECT supplier, discount_group, percent, percent_decimals FROM group_discounts"};
const Statement kSetGroupDiscount{
    "INSERT INTO group_discounts (supplier, discount_group, percent, percent_decimals) "
    "VALUES ($1, $2, $3, $4) ON CONFLICT (supplier, discount_group) "
    "DO UPDATE SET percent = excluded.percent, percent_decimals = excluded.percent_decimals"};
const Statement kRemoveGroupDiscount{
    "DELETE FROM group_discounts WHERE supplier = $1 AND discount_group = $2"};
const Statement kSetOwnFields{
    "UPDATE articles SET coverage = $3, coverage_decimals = $4, waste_percent = $5, "
    "waste_percent_decimals = $6 WHERE supplier = $1 AND article_number = $2"};
const Statement kCsvColumns{"SELECT field, header FROM csv_columns WHERE supplier = $1"};
const Statement kClearCsvColumns{"DELETE FROM csv_columns WHERE supplier = $1"};
const Statement kInsertCsvColumn{
    "INSERT INTO csv_columns (supplier, field, header) VALUES ($1, $2, $3)"};

// An import writes thousands of rows; on a server each statement is a round trip, so rows go
// in batches of one statement each. The statements' texts are constants made once (no data
// ever enters them), held in static storage as the engines' statement caches expect.
constexpr std::size_t kLargeBatch = 200; // 4,000 parameters, below both engines' limits
constexpr std::size_t kSmallBatch = 20;

std::string parameterGroups(std::size_t rows, std::size_t columns, std::size_t first) {
    std::string text;
    std::size_t next = first;
    for (std::size_t r = 0; r < rows; ++r) {
        text += r == 0 ? "(" : ", (";
        for (std::size_t c = 0; c < columns; ++c) {
            text += c == 0 ? "$" : ", $";
            text += std::to_string(next++);
        }
        text += ')';
    }
    return text;
}

template <std::size_t Rows> const Statement& insertArticles() {
    static const std::string text = "INSERT INTO articles (" PYRELTO_ARTICLE_COLUMNS ") VALUES " +
                                    parameterGroups(Rows, kArticleColumns, 1);
    static const Statement statement{text.c_str()};
    return statement;
}

template <std::size_t Rows> const Statement& replaceArticles() {
    static const std::string text =
        "INSERT INTO articles (" PYRELTO_ARTICLE_COLUMNS ") VALUES " +
        parameterGroups(Rows, kArticleColumns, 1) +
        " ON CONFLICT (supplier, article_number) DO UPDATE SET "
        "short_text1 = excluded.short_text1, short_text2 = excluded.short_text2, "
        "unit = excluded.unit, price_unit = excluded.price_unit, "
        "list_price = excluded.list_price, list_price_decimals = excluded.list_price_decimals, "
        "price_kind = excluded.price_kind, discount_group = excluded.discount_group, "
        "main_product_group = excluded.main_product_group, ean = excluded.ean, "
        "price_date = excluded.price_date, previous_price = excluded.previous_price, "
        "previous_price_decimals = excluded.previous_price_decimals, "
        "previous_price_date = excluded.previous_price_date, coverage = excluded.coverage, "
        "coverage_decimals = excluded.coverage_decimals, waste_percent = excluded.waste_percent, "
        "waste_percent_decimals = excluded.waste_percent_decimals";
    static const Statement statement{text.c_str()};
    return statement;
}

template <std::size_t Rows> const Statement& deleteArticles() {
    static const std::string text = "DELETE FROM articles WHERE supplier = $1 AND article_number "
                                    "IN " +
                                    parameterGroups(1, Rows, 2);
    static const Statement statement{text.c_str()};
    return statement;
}

#undef PYRELTO_ARTICLE_COLUMNS

// Keys are bounded: PostgreSQL refuses an index entry beyond about 2.7 kB where SQLite takes any
// length, and a store must not depend on its engine. No list's numbers or names come near this.
constexpr std::size_t kMaxKeyBytes = 256;

std::string_view checkedKey(std::string_view text, const char* what) {
    if (text.size() > kMaxKeyBytes)
        throw StoreError(StoreError::Kind::Refused, std::string("Der Text „") + what +
                                                        "“ ist länger als " +
                                                        std::to_string(kMaxKeyBytes) + " Bytes.");
    return checkedText(text, what);
}

std::string_view priceKindText(PriceKind kind) {
    return kind == PriceKind::Net ? "netto" : "liste";
}

[[noreturn]] void damagedRow() {
    throw StoreError(StoreError::Kind::Failed,
                     "Die Datenbank enthält einen ungültigen Katalogeintrag.");
}

const std::string& text(const Cell& cell) {
    static const std::string empty;
    return cell ? *cell : empty;
}

Decimal decimal(const Cell& units, const Cell& decimals) {
    const std::int64_t scale = number(decimals);
    if (scale < 0 || scale > Decimal::kMaxDecimals) {
        damagedRow();
    }
    return {number(units), static_cast<int>(scale)};
}

std::optional<Decimal> optionalDecimal(const Cell& units, const Cell& decimals) {
    if (!units) {
        return std::nullopt;
    }
    return decimal(units, decimals);
}

CalendarDate date(const Cell& cell) {
    const std::string& iso = text(cell);
    if (iso.empty()) {
        return {};
    }
    CalendarDate d;
    const auto part = [&](std::size_t from, std::size_t count, int& into) {
        const auto [end, ec] = std::from_chars(iso.data() + from, iso.data() + from + count, into);
        if (ec != std::errc() || end != iso.data() + from + count) {
            damagedRow();
        }
    };
    if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-') {
        damagedRow();
    }
    part(0, 4, d.year);
    part(5, 2, d.month);
    part(8, 2, d.day);
    return d;
}

Article article(const Row& row) {
    Article a;
    a.supplier = text(row[0]);
    a.articleNumber = text(row[1]);
    a.shortText1 = text(row[2]);
    a.shortText2 = text(row[3]);
    a.unit = text(row[4]);
    a.priceUnit = static_cast<int>(number(row[5]));
    a.listPrice = decimal(row[6], row[7]);
    if (text(row[8]) == "netto") {
        a.priceKind = PriceKind::Net;
    } else if (text(row[8]) != "liste") {
        damagedRow();
    }
    a.discountGroup = text(row[9]);
    a.mainProductGroup = text(row[10]);
    a.ean = text(row[11]);
    a.priceDate = date(row[12]);
    a.previousPrice = optionalDecimal(row[13], row[14]);
    a.previousPriceDate = date(row[15]);
    a.coverage = optionalDecimal(row[16], row[17]);
    a.wastePercent = optionalDecimal(row[18], row[19]);
    return a;
}

void appendDecimal(std::vector<Param>& params, const std::optional<Decimal>& value) {
    if (value) {
        params.emplace_back(value->units);
        params.emplace_back(std::int64_t{value->decimals});
    } else {
        params.emplace_back(Null{});
        params.emplace_back(Null{});
    }
}

// `dates` keeps the date texts the parameters point into; reserved by the caller so that it never
// moves them.
void appendArticle(std::vector<Param>& params, std::vector<std::string>& dates, const Article& a) {
    params.emplace_back(checkedKey(a.supplier, "Lieferant"));
    params.emplace_back(checkedKey(a.articleNumber, "Artikelnummer"));
    params.emplace_back(checkedText(a.shortText1, "Kurztext 1"));
    params.emplace_back(checkedText(a.shortText2, "Kurztext 2"));
    params.emplace_back(checkedText(a.unit, "Einheit"));
    params.emplace_back(std::int64_t{a.priceUnit});
    appendDecimal(params, a.listPrice);
    params.emplace_back(priceKindText(a.priceKind));
    params.emplace_back(checkedText(a.discountGroup, "Rabattgruppe"));
    params.emplace_back(checkedText(a.mainProductGroup, "Warengruppe"));
    params.emplace_back(checkedText(a.ean, "EAN"));
    params.emplace_back(std::string_view(dates.emplace_back(a.priceDate.iso())));
    appendDecimal(params, a.previousPrice);
    params.emplace_back(std::string_view(dates.emplace_back(a.previousPriceDate.iso())));
    appendDecimal(params, a.coverage);
    appendDecimal(params, a.wastePercent);
}

// `articles` in as few statements as the batch sizes allow.
template <typename Get>
void writeArticles(Connection& connection, std::size_t count, Get get, bool replace) {
    std::vector<Param> params;
    std::vector<std::string> dates;
    std::size_t at = 0;
    while (at < count) {
        const std::size_t left = count - at;
        const std::size_t rows = left >= kLargeBatch   ? kLargeBatch
                                 : left >= kSmallBatch ? kSmallBatch
                                                       : 1;
        params.clear();
        params.reserve(rows * kArticleColumns);
        dates.clear();
        dates.reserve(rows * 2);
        for (std::size_t i = 0; i < rows; ++i) {
            appendArticle(params, dates, get(at + i));
        }
        const Statement& statement = replace
                                         ? (rows == kLargeBatch   ? replaceArticles<kLargeBatch>()
                                            : rows == kSmallBatch ? replaceArticles<kSmallBatch>()
                                                                  : replaceArticles<1>())
                                         : (rows == kLargeBatch   ? insertArticles<kLargeBatch>()
                                            : rows == kSmallBatch ? insertArticles<kSmallBatch>()
                                                                  : insertArticles<1>());
        connection.run(statement, params);
        at += rows;
    }
}

void deleteWithdrawn(Connection& connection, const ImportPlan& plan) {
    std::vector<Param> params;
    std::size_t at = 0;
    const auto& gone = plan.withdrawn;
    while (at < gone.size()) {
        const std::size_t left = gone.size() - at;
        const std::size_t rows = left >= kLargeBatch   ? kLargeBatch
                                 : left >= kSmallBatch ? kSmallBatch
                                                       : 1;
        params.clear();
        params.emplace_back(checkedKey(plan.supplier, "Lieferant"));
        for (std::size_t i = 0; i < rows; ++i) {
            params.emplace_back(checkedKey(gone[at + i].articleNumber, "Artikelnummer"));
        }
        connection.run(rows == kLargeBatch   ? deleteArticles<kLargeBatch>()
                       : rows == kSmallBatch ? deleteArticles<kSmallBatch>()
                                             : deleteArticles<1>(),
                       params);
        at += rows;
    }
}

} // namespace

std::int64_t readCatalogueChange(Connection& connection) {
    return number(connection.run(kCatalogueChange, {}).rows.at(0).at(0));
}

std::int64_t lockCatalogueChange(Connection& connection) {
    return number(connection.run(kLockCatalogueChange, {}).rows.at(0).at(0));
}

void countCatalogueChange(Connection& connection) {
    connection.run(kCountCatalogueChange, {});
}

std::shared_ptr<const CatalogueSnapshot> readCatalogue(Connection& connection) {
    auto snapshot = std::make_shared<CatalogueSnapshot>();
    snapshot->change = readCatalogueChange(connection);
    std::vector<Article> articles;
    {
        const auto rows = connection.run(kArticles, {}).rows;
        articles.reserve(rows.size());
        for (const Row& row : rows) {
            articles.push_back(article(row));
        }
    }
    std::map<std::pair<std::string, std::string>, Decimal> discounts;
    for (const Row& row : connection.run(kGroupDiscounts, {}).rows) {
        discounts.emplace(std::pair(text(row[0]), text(row[1])), decimal(row[2], row[3]));
    }
    snapshot->catalogue.assign(std::move(articles), std::move(discounts));
    snapshot->index = ArticleSearchIndex(snapshot->catalogue.articles());
    return snapshot;
}

std::optional<Article> readArticle(Connection& connection, std::string_view supplier,
                                   std::string_view articleNumber) {
    if (supplier.size() > kMaxKeyBytes || articleNumber.size() > kMaxKeyBytes) {
        return std::nullopt; // never stored
    }
    const auto rows = connection
                          .run(kArticle, {checkedKey(supplier, "Lieferant"),
                                          checkedKey(articleNumber, "Artikelnummer")})
                          .rows;
    if (rows.empty()) {
        return std::nullopt;
    }
    return article(rows.front());
}

std::vector<Article> readArticlesByNumber(Connection& connection, std::string_view articleNumber) {
    std::vector<Article> found;
    if (articleNumber.size() > kMaxKeyBytes) {
        return found; // never stored
    }
    for (const Row& row :
         connection.run(kArticlesByNumber, {checkedKey(articleNumber, "Artikelnummer")}).rows) {
        found.push_back(article(row));
    }
    // By supplier in byte order: the engines' collations differ.
    std::sort(found.begin(), found.end(),
              [](const Article& a, const Article& b) { return a.supplier < b.supplier; });
    return found;
}

void writeImport(Connection& connection, const ImportPlan& plan) {
    deleteWithdrawn(connection, plan);
    writeArticles(
        connection, plan.changed.size(),
        [&](std::size_t i) -> const Article& { return plan.changed[i].after; }, true);
    writeArticles(
        connection, plan.added.size(),
        [&](std::size_t i) -> const Article& { return plan.added[i]; }, false);
}

bool writeOwnFields(Connection& connection, std::string_view supplier,
                    std::string_view articleNumber, const std::optional<Decimal>& coverage,
                    const std::optional<Decimal>& wastePercent) {
    std::vector<Param> params{checkedKey(supplier, "Lieferant"),
                              checkedKey(articleNumber, "Artikelnummer")};
    appendDecimal(params, coverage);
    appendDecimal(params, wastePercent);
    return connection.run(kSetOwnFields, params).changed > 0;
}

void writeGroupDiscount(Connection& connection, std::string_view supplier, std::string_view group,
                        const std::optional<Decimal>& percent) {
    if (!percent) {
        connection.run(kRemoveGroupDiscount,
                       {checkedKey(supplier, "Lieferant"), checkedKey(group, "Rabattgruppe")});
        return;
    }
    connection.run(kSetGroupDiscount,
                   {checkedKey(supplier, "Lieferant"), checkedKey(group, "Rabattgruppe"),
                    percent->units, std::int64_t{percent->decimals}});
}

std::optional<CsvColumns> readCsvColumns(Connection& connection, std::string_view supplier) {
    const auto rows = connection.run(kCsvColumns, {checkedKey(supplier, "Lieferant")}).rows;
    if (rows.empty()) {
        return std::nullopt;
    }
    CsvColumns columns;
    for (const Row& row : rows) {
        for (const auto& [name, member] : kCsvColumnFields) {
            if (text(row[0]) == name) {
                columns.*member = text(row[1]);
            }
        }
    }
    return columns;
}

void writeCsvColumns(Connection& connection, std::string_view supplier, const CsvColumns& columns) {
    const std::string_view key = checkedKey(supplier, "Lieferant");
    connection.run(kClearCsvColumns, {key});
    for (const auto& [name, member] : kCsvColumnFields) {
        connection.run(kInsertCsvColumn, {key, name, checkedText(columns.*member, name.data())});
    }
}

} // namespace pyrelto::store_detail
