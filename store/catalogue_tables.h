#pragma once
// The catalogue's tables (sql/004_catalogue.sql), read and written inside a transaction that the
// caller holds.

#include "connection.h"

#include <memory>

namespace pyrelto::store_detail {

std::int64_t readCatalogueChange(Connection& connection);
// The same, with the counter row locked until the transaction ends (PostgreSQL; SQLite's write
// transaction holds the whole file already), so that nothing changes the catalogue in between.
std::int64_t lockCatalogueChange(Connection& connection);
void countCatalogueChange(Connection& connection);

// Every article and group discount, with the search index built over them.
std::shared_ptr<const CatalogueSnapshot> readCatalogue(Connection& connection);

std::optional<Article> readArticle(Connection& connection, std::string_view supplier,
                                   std::string_view articleNumber);
std::vector<Article> readArticlesByNumber(Connection& connection, std::string_view articleNumber);

// Writes the plan's rows: inserts the added articles, replaces the changed ones, deletes the
// withdrawn ones. The caller has checked the plan against the locked change counter.
void writeImport(Connection& connection, const ImportPlan& plan);

// False when there is no such article.
bool writeOwnFields(Connection& connection, std::string_view supplier,
                    std::string_view articleNumber, const std::optional<Decimal>& coverage,
                    const std::optional<Decimal>& wastePercent);
void writeGroupDiscount(Connection& connection, std::string_view supplier, std::string_view group,
                        const std::optional<Decimal>& percent);

std::optional<CsvColumns> readCsvColumns(Connection& connection, std::string_view supplier);
void writeCsvColumns(Connection& connection, std::string_view supplier, const CsvColumns& columns);

} // namespace pyrelto::store_detail
