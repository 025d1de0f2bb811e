#include "store.h"

#include "catalogue_tables.h"
#include "connection.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace pyrelto {

using store_detail::Blob;
using store_detail::Cell;
using store_detail::checkedText;
using store_detail::Connection;
using store_detail::number;
using store_detail::Statement;

namespace {

// The migration scripts, store/sql/NNN_*.sql in order: script i takes a store from version i to
// version i + 1.
constexpr std::array<const char*, kStoreSchemaVersion> kMigrations{
#include "schema_migrations.inc"
};

const Statement kVersionTableExists{
    "SELECT count(*) FROM information_schema.tables "
    "WHERE table_schema = current_schema() AND table_name = 'schema_version'",
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'"};
const Statement kReadVersion{"SELECT version FROM schema_version"};
const Statement kInsertVersion{"INSERT INTO schema_version (version) VALUES ($1)"};
const Statement kUpdateVersion{"UPDATE schema_version SET version = $1"};
// Two PCs starting the first time at once must not both create the tables.
const Statement kMigrationLock{"SELECT pg_advisory_xact_lock(7361024519)"};

const Statement kFirmData{"SELECT name, value FROM firm_data"};
const Statement kClearFirmData{"DELETE FROM firm_data"};
const Statement kInsertFirmValue{"INSERT INTO firm_data (name, value) VALUES ($1, $2)"};

const Statement kAddress{"SELECT address FROM addresses WHERE customer = $1"};
const Statement kAddresses{"SELECT customer, address FROM addresses"};
const Statement kSetAddress{"INSERT INTO addresses (customer, address) VALUES ($1, $2) "
                            "ON CONFLICT (customer) DO UPDATE SET address = excluded.address"};
const Statement kForgetAddress{"DELETE FROM addresses WHERE customer = $1"};

const Statement kCustomers{"SELECT name FROM customers"};
const Statement kCustomerChange{"SELECT value FROM change_counters WHERE name = 'kunden'"};
const Statement kAddCustomer{
    "INSERT INTO customers (name) VALUES ($1) ON CONFLICT (name) DO NOTHING"};
const Statement kRemoveCustomer{"DELETE FROM customers WHERE name = $1"};
const Statement kCountCustomerChange{
    "UPDATE change_counters SET value = value + 1 WHERE name = 'kunden'"};

const Statement kEnsureCounter{"INSERT INTO number_counters (name, year, last_value) "
                               "VALUES ($1, $2, 0) ON CONFLICT (name, year) DO NOTHING"};
// The lock that makes numbers unique: held until the recording transaction ends. SQLite's
// BEGIN IMMEDIATE already holds the one write lock of the file.
const Statement kLockCounter{
    "SELECT last_value FROM number_counters WHERE name = $1 AND year = $2 FOR UPDATE",
    "SELECT last_value FROM number_counters WHERE name = ?1 AND year = ?2"};
const Statement kPeekCounter{
    "SELECT last_value FROM number_counters WHERE name = $1 AND year = $2"};
const Statement kSetCounter{
    "UPDATE number_counters SET last_value = $3 WHERE name = $1 AND year = $2"};
// Never lowers a counter: a number of the register must not be handed out again.
const Statement kTakeOverCounter{
    "INSERT INTO number_counters (name, year, last_value) VALUES ($1, $2, $3) "
    "ON CONFLICT (name, year) DO UPDATE "
    "SET last_value = GREATEST(number_counters.last_value, excluded.last_value)",
    "INSERT INTO number_counters (name, year, last_value) VALUES (?1, ?2, ?3) "
    "ON CONFLICT (name, year) DO UPDATE "
    "SET last_value = max(number_counters.last_value, excluded.last_value)"};
// What was stored in the store already wins over the old settings.
const Statement kTakeOverFirmValue{
    "INSERT INTO firm_data (name, value) VALUES ($1, $2) ON CONFLICT (name) DO NOTHING"};
const Statement kTakeOverAddress{
    "INSERT INTO addresses (customer, address) VALUES ($1, $2) ON CONFLICT (customer) DO NOTHING"};

const Statement kInsertOffer{
    "INSERT INTO offers (number, offer_date, customer, address, net_cents, vat_cents, "
    "gross_cents, valid_until, file_name, status, pdf_written, calculation, recorded_at, "
    "work_from, work_until, particulars) "
    "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, 'offen', 0, $10, $11, $12, $13, $14)"};
const Statement kMarkPdfWritten{
    "UPDATE offers SET pdf_written = 1, file_name = $2 WHERE number = $1"};
const Statement kSetOfferStatus{"UPDATE offers SET status = $2 WHERE number = $1"};
const Statement kOffer{
    "SELECT number, offer_date, customer, address, net_cents, vat_cents, gross_cents, "
    "valid_until, file_name, status, pdf_written, calculation, recorded_at, work_from, work_until, "
    "particulars FROM offers WHERE number = $1"};
const Statement kUnwrittenOffer{
    "SELECT number, offer_date, customer, address, net_cents, vat_cents, gross_cents, "
    "valid_until, file_name, status, pdf_written, calculation, recorded_at, work_from, work_until, "
    "particulars FROM offers WHERE file_name = $1 AND pdf_written = 0 "
    "ORDER BY recorded_at DESC, number DESC LIMIT 1"};
const Statement kOffers{
    "SELECT number, offer_date, customer, gross_cents, status, pdf_written FROM offers "
    "ORDER BY offer_date DESC, recorded_at DESC, number DESC"};

const Statement kInsertInvoice{
    "INSERT INTO invoices (number, kind, issue_date, due_date, customer, offer_number, corrects, "
    "net_cents, vat_cents, gross_cents, due_cents, invoice_data, pdf, xml, calculation, status, "
    "paid_on, recorded_at) VALUES ($1, $2, $3, $4, $5, $6, NULLIF($7, ''), $8, $9, $10, $11, $12, "
    "$13, NULLIF($14, ''::bytea), $15, 'offen', NULL, $16)",
    "INSERT INTO invoices (number, kind, issue_date, due_date, customer, offer_number, corrects, "
    "net_cents, vat_cents, gross_cents, due_cents, invoice_data, pdf, xml, calculation, status, "
    "paid_on, recorded_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, NULLIF(?7, ''), ?8, ?9, ?10, ?11, ?12, "
    "?13, NULLIF(?14, x''), ?15, 'offen', NULL, ?16)"};
// What a credit note may cancel: an issued invoice, no credit note, not cancelled yet.
const Statement kCorrected{
    "SELECT i.kind, c.number FROM invoices i LEFT JOIN invoices c ON c.corrects = i.number "
    "WHERE i.number = $1"};
// The one change an issued invoice takes; nothing else ever updates the table.
const Statement kSetInvoicePaid{
    "UPDATE invoices SET status = 'bezahlt', paid_on = $2 WHERE number = $1"};
const Statement kSetInvoiceOpen{
    "UPDATE invoices SET status = 'offen', paid_on = NULL WHERE number = $1"};
#define PYRELTO_INVOICE_SUMMARY                                                                    \
    "i.number, i.kind, i.issue_date, i.due_date, i.customer, i.offer_number, i.corrects, "         \
    "i.net_cents, i.vat_cents, i.gross_cents, i.due_cents, i.status, i.paid_on, c.number, "        \
    "CASE WHEN i.xml IS NULL THEN 0 ELSE 1 END"
const Statement kInvoice{"SELECT " PYRELTO_INVOICE_SUMMARY
                         ", i.invoice_data, i.pdf, i.xml, i.calculation, i.recorded_at "
                         "FROM invoices i LEFT JOIN invoices c ON c.corrects = i.number "
                         "WHERE i.number = $1"};
const Statement kInvoices{"SELECT " PYRELTO_INVOICE_SUMMARY
                          " FROM invoices i LEFT JOIN invoices c ON c.corrects = i.number "
                          "ORDER BY i.issue_date DESC, i.recorded_at DESC, i.number DESC"};
#undef PYRELTO_INVOICE_SUMMARY

const Statement kClaimTakeOver{"INSERT INTO store_info (name, value) VALUES ('uebernahme', $1) "
                               "ON CONFLICT (name) DO NOTHING"};

const std::string& text(const Cell& cell) {
    static const std::string empty;
    return cell ? *cell : empty;
}

OfferStatus status(const Cell& cell) {
    if (const auto parsed = offerStatusFromText(text(cell)))
        return *parsed;
    throw StoreError(StoreError::Kind::Failed,
                     "Die Datenbank enthält einen unbekannten Angebotsstatus.");
}

// The year of an ISO date, checked as far as the register needs it.
int yearOf(std::string_view date) {
    const auto digits = [&](std::size_t from, std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i)
            if (date[i] < '0' || date[i] > '9')
                return false;
        return true;
    };
    int year = 0;
    int month = 0;
    int day = 0;
    if (date.size() == 10 && digits(0, 4) && date[4] == '-' && digits(5, 2) && date[7] == '-' &&
        digits(8, 2)) {
        std::from_chars(date.data(), date.data() + 4, year);
        std::from_chars(date.data() + 5, date.data() + 7, month);
        std::from_chars(date.data() + 8, date.data() + 10, day);
    }
    const std::chrono::year_month_day ymd{std::chrono::year(year),
                                          std::chrono::month(static_cast<unsigned>(month)),
                                          std::chrono::day(static_cast<unsigned>(day))};
    if (year < 1 || !ymd.ok())
        throw StoreError(StoreError::Kind::Refused,
                         "„" + std::string(date) + "“ ist kein Datum der Form JJJJ-MM-TT.");
    return year;
}

std::string formatNumber(int year, std::int64_t value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%03lld", year, static_cast<long long>(value));
    return buffer;
}

// "R-2026-0015": the letter tells an invoice number from an offer number at a glance, in the
// customer's bookkeeping too; four digits hold a roofer's year, and a fifth one follows if not.
std::string formatInvoiceNumber(int year, std::int64_t value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "R-%04d-%04lld", year, static_cast<long long>(value));
    return buffer;
}

std::string formatCounterNumber(std::string_view counter, int year, std::int64_t value) {
    return counter == kInvoiceCounter ? formatInvoiceNumber(year, value)
                                      : formatNumber(year, value);
}

InvoiceKind invoiceKind(const Cell& cell) {
    if (const auto parsed = invoiceKindFromText(text(cell)))
        return *parsed;
    throw StoreError(StoreError::Kind::Failed,
                     "Die Datenbank enthält eine unbekannte Rechnungsart.");
}

InvoiceSummary invoiceSummary(std::vector<Cell>& row) {
    InvoiceSummary summary;
    summary.number = text(row[0]);
    summary.kind = invoiceKind(row[1]);
    summary.issueDate = text(row[2]);
    summary.dueDate = text(row[3]);
    summary.customer = text(row[4]);
    summary.offerNumber = text(row[5]);
    summary.corrects = text(row[6]);
    summary.netCents = number(row[7]);
    summary.vatCents = number(row[8]);
    summary.grossCents = number(row[9]);
    summary.dueCents = number(row[10]);
    if (text(row[11]) == invoiceStatusText(InvoiceStatus::Paid))
        summary.status = InvoiceStatus::Paid;
    else if (text(row[11]) != invoiceStatusText(InvoiceStatus::Open))
        throw StoreError(StoreError::Kind::Failed,
                         "Die Datenbank enthält einen unbekannten Rechnungsstatus.");
    summary.paidOn = text(row[12]);
    summary.cancelledBy = text(row[13]);
    summary.hasXml = number(row[14]) != 0;
    return summary;
}

std::string utcNow() {
    using namespace std::chrono;
    const auto now = floor<microseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day ymd(day);
    const hh_mm_ss time(now - day);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ",
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()),
                  static_cast<long long>(time.subseconds().count()));
    return buffer;
}

// One transaction: rolled back unless committed, also when an exception passes.
class Transaction {
public:
    Transaction(Connection& connection, bool write) : connection_(connection) {
        connection_.begin(write);
    }
    ~Transaction() {
        if (!done_)
            connection_.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        done_ = true;
        try {
            connection_.commit();
        } catch (...) {
            connection_.rollback();
            throw;
        }
    }

private:
    Connection& connection_;
    bool done_ = false;
};

int readVersion(Connection& connection) {
    if (number(connection.run(kVersionTableExists, {}).rows.at(0).at(0)) == 0)
        return 0;
    const auto rows = connection.run(kReadVersion, {}).rows;
    return rows.empty() ? 0 : static_cast<int>(number(rows.front().front()));
}

[[noreturn]] void refuseNewer(int version) {
    throw StoreError(StoreError::Kind::TooNew,
                     "Die Datenbank wurde von einer neueren Programmversion angelegt (Version " +
                         std::to_string(version) + ", dieses Programm kennt bis Version " +
                         std::to_string(kStoreSchemaVersion) +
                         "). Sie wurde nicht verändert. Bitte aktualisieren Sie das Programm.");
}

// Brings the schema to `upTo` in one transaction; a failing script leaves the store as it was.
void migrate(Connection& connection, int upTo) {
    Transaction transaction(connection, true);
    if (connection.engine() == StoreEngine::Postgres)
        connection.run(kMigrationLock, {});
    const int version = readVersion(connection);
    if (version > kStoreSchemaVersion)
        refuseNewer(version);
    if (version >= upTo)
        return;
    if (version == 0)
        connection.script("CREATE TABLE schema_version (version BIGINT NOT NULL)");
    for (int v = version; v < upTo; ++v)
        connection.script(kMigrations[static_cast<std::size_t>(v)]);
    connection.run(version == 0 ? kInsertVersion : kUpdateVersion, {std::int64_t{upTo}});
    transaction.commit();
}

void checkOwnFields(const std::optional<Decimal>& coverage,
                    const std::optional<Decimal>& wastePercent) {
    if (coverage && coverage->units <= 0)
        throw StoreError(StoreError::Kind::Refused,
                         "Die Fläche je Einheit muss größer als 0 sein.");
    if (wastePercent && wastePercent->units < 0)
        throw StoreError(StoreError::Kind::Refused, "Der Verschnitt darf nicht negativ sein.");
}

void checkGroupDiscount(const std::optional<Decimal>& percent) {
    if (percent && (*percent < Decimal{0, 0} || *percent > Decimal{100, 0}))
        throw StoreError(StoreError::Kind::Refused, "Ein Rabatt liegt zwischen 0 und 100 %.");
}

class DatabaseStore final : public Store {
public:
    DatabaseStore(std::unique_ptr<Connection> connection, StoreHooks hooks)
        : connection_(std::move(connection)), hooks_(std::move(hooks)) {
        migrate(*connection_, hooks_.migrateUpTo);
    }

    StoreEngine engine() const override { return connection_->engine(); }

    int schemaVersion() override {
        Transaction transaction(*connection_, false);
        return readVersion(*connection_);
    }

    FirmValues firmData() override {
        Transaction transaction(*connection_, false);
        FirmValues values;
        for (const auto& row : connection_->run(kFirmData, {}).rows)
            values.emplace(text(row[0]), text(row[1]));
        return values;
    }

    void setFirmData(const FirmValues& values) override {
        Transaction transaction(*connection_, true);
        connection_->run(kClearFirmData, {});
        for (const auto& [name, value] : values)
            connection_->run(kInsertFirmValue,
                             {checkedText(name, "Name"), checkedText(value, name.c_str())});
        transaction.commit();
    }

    std::optional<std::string> address(std::string_view customer) override {
        Transaction transaction(*connection_, false);
        const auto rows = connection_->run(kAddress, {checkedText(customer, "Kunde")}).rows;
        if (rows.empty())
            return std::nullopt;
        return text(rows.front().front());
    }

    std::map<std::string, std::string, std::less<>> addresses() override {
        Transaction transaction(*connection_, false);
        std::map<std::string, std::string, std::less<>> all;
        for (const auto& row : connection_->run(kAddresses, {}).rows)
            all.emplace(text(row[0]), text(row[1]));
        return all;
    }

    void setAddress(std::string_view customer, std::string_view address) override {
        Transaction transaction(*connection_, true);
        if (address.empty())
            connection_->run(kForgetAddress, {checkedText(customer, "Kunde")});
        else
            connection_->run(kSetAddress,
                             {checkedText(customer, "Kunde"), checkedText(address, "Adresse")});
        transaction.commit();
    }

    CustomerNames customers() override {
        Transaction transaction(*connection_, false);
        CustomerNames list;
        for (const auto& row : connection_->run(kCustomers, {}).rows)
            list.names.push_back(text(row[0]));
        // Sorted here: the engines' collations differ.
        std::sort(list.names.begin(), list.names.end());
        list.change = number(connection_->run(kCustomerChange, {}).rows.at(0).at(0));
        return list;
    }

    std::int64_t customerChange() override {
        Transaction transaction(*connection_, false);
        return number(connection_->run(kCustomerChange, {}).rows.at(0).at(0));
    }

    bool addCustomer(std::string_view name) override { return changeCustomers(kAddCustomer, name); }
    bool removeCustomer(std::string_view name) override {
        return changeCustomers(kRemoveCustomer, name);
    }

    std::string peekNumber(std::string_view counter, int year) override {
        Transaction transaction(*connection_, false);
        const auto rows =
            connection_->run(kPeekCounter, {checkedText(counter, "Zähler"), std::int64_t{year}})
                .rows;
        return formatCounterNumber(counter, year,
                                   (rows.empty() ? 0 : number(rows.front().front())) + 1);
    }

    std::string recordOffer(const OfferEntry& entry) override {
        const int year = yearOf(entry.date);
        yearOf(entry.validUntil);
        for (const std::string& day : {entry.workFrom, entry.workUntil})
            if (!day.empty())
                yearOf(day);
        const std::string recordedAt = utcNow();
        Transaction transaction(*connection_, true);
        const std::string_view name = kOfferCounter;
        connection_->run(kEnsureCounter, {name, std::int64_t{year}});
        const std::int64_t next =
            number(connection_->run(kLockCounter, {name, std::int64_t{year}}).rows.at(0).at(0)) + 1;
        connection_->run(kSetCounter, {name, std::int64_t{year}, next});
        std::string offerNumber = formatNumber(year, next);
        if (hooks_.numberTaken)
            hooks_.numberTaken(offerNumber);
        connection_->run(kInsertOffer,
                         {std::string_view(offerNumber), checkedText(entry.date, "Datum"),
                          checkedText(entry.customer, "Kunde"),
                          checkedText(entry.address, "Adresse"), entry.netCents, entry.vatCents,
                          entry.grossCents, checkedText(entry.validUntil, "Gültig bis"),
                          checkedText(entry.fileName, "Dateiname"), Blob{entry.calculation},
                          std::string_view(recordedAt), std::string_view(entry.workFrom),
                          std::string_view(entry.workUntil),
                          checkedText(entry.particulars, "Angaben")});
        transaction.commit();
        return offerNumber;
    }

    void markPdfWritten(std::string_view number, std::string_view fileName) override {
        changeOffer(kMarkPdfWritten, number, checkedText(fileName, "Dateiname"));
    }

    void setOfferStatus(std::string_view number, OfferStatus status) override {
        changeOffer(kSetOfferStatus, number, offerStatusText(status));
    }

    std::optional<OfferRecord> offer(std::string_view offerNumber) override {
        return oneOffer(kOffer, checkedText(offerNumber, "Nummer"));
    }

    std::optional<OfferRecord> unwrittenOffer(std::string_view fileName) override {
        return oneOffer(kUnwrittenOffer, checkedText(fileName, "Dateiname"));
    }

    std::vector<OfferSummary> offers() override {
        Transaction transaction(*connection_, false);
        std::vector<OfferSummary> list;
        auto rows = connection_->run(kOffers, {}).rows;
        list.reserve(rows.size());
        for (auto& row : rows)
            list.push_back({std::move(*row[0]), std::move(*row[1]), std::move(*row[2]),
                            number(row[3]), status(row[4]), number(row[5]) != 0});
        return list;
    }

    std::string issueInvoice(const InvoiceEntry& entry, const InvoiceMaker& make) override {
        const int year = yearOf(entry.issueDate);
        yearOf(entry.dueDate);
        if ((entry.kind == InvoiceKind::CreditNote) == entry.corrects.empty())
            throw StoreError(StoreError::Kind::Refused,
                             entry.corrects.empty()
                                 ? "Eine Gutschrift muss die Rechnung nennen, die sie storniert."
                                 : "Nur eine Gutschrift nennt eine stornierte Rechnung.");
        const std::string recordedAt = utcNow();
        Transaction transaction(*connection_, true);
        if (!entry.corrects.empty())
            checkCancellable(entry.corrects);
        const std::string_view name = kInvoiceCounter;
        connection_->run(kEnsureCounter, {name, std::int64_t{year}});
        const std::int64_t next =
            number(connection_->run(kLockCounter, {name, std::int64_t{year}}).rows.at(0).at(0)) + 1;
        connection_->run(kSetCounter, {name, std::int64_t{year}, next});
        std::string invoiceNumber = formatInvoiceNumber(year, next);
        if (hooks_.numberTaken)
            hooks_.numberTaken(invoiceNumber);
        const InvoiceDocuments documents = make(invoiceNumber);
        if (documents.pdf.empty())
            throw StoreError(StoreError::Kind::Refused,
                             "Die Rechnung " + invoiceNumber + " hat kein PDF.");
        connection_->run(
            kInsertInvoice,
            {std::string_view(invoiceNumber), invoiceKindText(entry.kind),
             checkedText(entry.issueDate, "Rechnungsdatum"),
             checkedText(entry.dueDate, "Fällig am"), checkedText(entry.customer, "Kunde"),
             checkedText(entry.offerNumber, "Angebot"),
             checkedText(entry.corrects, "Stornierte Rechnung"), entry.netCents, entry.vatCents,
             entry.grossCents, entry.dueCents, Blob{documents.invoiceData}, Blob{documents.pdf},
             Blob{documents.xml}, Blob{entry.calculation}, std::string_view(recordedAt)});
        transaction.commit();
        return invoiceNumber;
    }

    void setInvoicePaid(std::string_view invoiceNumber, std::string_view paidOn) override {
        if (!paidOn.empty())
            yearOf(paidOn);
        Transaction transaction(*connection_, true);
        const std::string_view key = checkedText(invoiceNumber, "Nummer");
        const auto changed = paidOn.empty()
                                 ? connection_->run(kSetInvoiceOpen, {key}).changed
                                 : connection_->run(kSetInvoicePaid, {key, paidOn}).changed;
        if (changed == 0)
            throw StoreError(StoreError::Kind::Refused,
                             "Die Rechnung " + std::string(invoiceNumber) +
                                 " ist nicht im Rechnungsbuch verzeichnet.");
        transaction.commit();
    }

    std::optional<InvoiceRecord> invoice(std::string_view invoiceNumber) override {
        Transaction transaction(*connection_, false);
        auto rows = connection_->run(kInvoice, {checkedText(invoiceNumber, "Nummer")}).rows;
        if (rows.empty())
            return std::nullopt;
        auto& row = rows.front();
        InvoiceRecord record;
        record.summary = invoiceSummary(row);
        record.documents = {text(row[15]), text(row[16]), text(row[17])};
        record.calculation = text(row[18]);
        record.recordedAt = text(row[19]);
        return record;
    }

    std::vector<InvoiceSummary> invoices() override {
        Transaction transaction(*connection_, false);
        std::vector<InvoiceSummary> list;
        auto rows = connection_->run(kInvoices, {}).rows;
        list.reserve(rows.size());
        for (auto& row : rows)
            list.push_back(invoiceSummary(row));
        return list;
    }

    std::int64_t catalogueChange() override {
        Transaction transaction(*connection_, false);
        return store_detail::readCatalogueChange(*connection_);
    }

    std::shared_ptr<const CatalogueSnapshot> catalogue() override {
        Transaction transaction(*connection_, false);
        if (!catalogue_ || catalogue_->change != store_detail::readCatalogueChange(*connection_))
            catalogue_ = store_detail::readCatalogue(*connection_);
        return catalogue_;
    }

    ImportPlan planImport(const PriceList& list) override {
        const auto snapshot = catalogue();
        ImportPlan plan = snapshot->catalogue.planImport(list);
        plan.revision = static_cast<std::uint64_t>(snapshot->change);
        return plan;
    }

    void applyImport(const ImportPlan& plan) override {
        if (!plan.applicable())
            throw StoreError(StoreError::Kind::Refused,
                             "Die Preisliste enthält " + std::to_string(plan.problems.size()) +
                                 " fehlerhafte Zeilen und wurde nicht übernommen.");
        Transaction transaction(*connection_, true);
        // Locked until the commit: no other PC changes the catalogue between this check and
        // the rows the plan writes.
        if (static_cast<std::uint64_t>(store_detail::lockCatalogueChange(*connection_)) !=
            plan.revision)
            throw StoreError(StoreError::Kind::Refused,
                             "Der Katalog wurde seit der Vorschau geändert; bitte die Preisliste "
                             "erneut einlesen.");
        store_detail::writeImport(*connection_, plan);
        store_detail::countCatalogueChange(*connection_);
        transaction.commit();
    }

    std::optional<Article> article(std::string_view supplier,
                                   std::string_view articleNumber) override {
        Transaction transaction(*connection_, false);
        return store_detail::readArticle(*connection_, supplier, articleNumber);
    }

    std::vector<Article> articlesByNumber(std::string_view articleNumber) override {
        Transaction transaction(*connection_, false);
        return store_detail::readArticlesByNumber(*connection_, articleNumber);
    }

    std::vector<Article> searchArticles(std::string_view query, std::size_t limit) override {
        const auto snapshot = catalogue();
        std::vector<Article> found;
        for (const std::size_t at : snapshot->index.search(query, limit))
            found.push_back(snapshot->catalogue.articles()[at]);
        return found;
    }

    void setOwnFields(std::string_view supplier, std::string_view articleNumber,
                      std::optional<Decimal> coverage,
                      std::optional<Decimal> wastePercent) override {
        checkOwnFields(coverage, wastePercent);
        Transaction transaction(*connection_, true);
        writeOwnFields(supplier, articleNumber, coverage, wastePercent);
        store_detail::countCatalogueChange(*connection_);
        transaction.commit();
    }

    void setGroupDiscount(std::string_view supplier, std::string_view group,
                          std::optional<Decimal> percent) override {
        checkGroupDiscount(percent);
        Transaction transaction(*connection_, true);
        store_detail::writeGroupDiscount(*connection_, supplier, group, percent);
        store_detail::countCatalogueChange(*connection_);
        transaction.commit();
    }

    void saveOwnFields(const ArticleOwnFields& fields) override {
        checkOwnFields(fields.coverage, fields.wastePercent);
        if (!fields.discountGroup.empty())
            checkGroupDiscount(fields.groupDiscount);
        Transaction transaction(*connection_, true);
        if (!fields.discountGroup.empty())
            store_detail::writeGroupDiscount(*connection_, fields.supplier, fields.discountGroup,
                                             fields.groupDiscount);
        // Refused when another PC withdrew the article meanwhile: the discount goes back too.
        writeOwnFields(fields.supplier, fields.articleNumber, fields.coverage, fields.wastePercent);
        store_detail::countCatalogueChange(*connection_);
        transaction.commit();
    }

    std::optional<CsvColumns> csvColumns(std::string_view supplier) override {
        Transaction transaction(*connection_, false);
        return store_detail::readCsvColumns(*connection_, supplier);
    }

    void setCsvColumns(std::string_view supplier, const CsvColumns& columns) override {
        Transaction transaction(*connection_, true);
        store_detail::writeCsvColumns(*connection_, supplier, columns);
        transaction.commit();
    }

    bool takeOver(const TakeOver& data) override {
        Transaction transaction(*connection_, true);
        const std::string now = utcNow();
        if (connection_->run(kClaimTakeOver, {std::string_view(now)}).changed == 0)
            return false;
        for (const auto& [name, value] : data.firmData)
            connection_->run(kTakeOverFirmValue,
                             {checkedText(name, "Name"), checkedText(value, name.c_str())});
        for (const auto& [customer, address] : data.addresses)
            if (!address.empty())
                connection_->run(kTakeOverAddress,
                                 {checkedText(customer, "Kunde"), checkedText(address, "Adresse")});
        bool customersChanged = false;
        for (const auto& name : data.customers)
            if (!name.empty())
                customersChanged =
                    connection_->run(kAddCustomer, {checkedText(name, "Kunde")}).changed > 0 ||
                    customersChanged;
        if (customersChanged)
            connection_->run(kCountCustomerChange, {});
        if (data.offerCounter)
            connection_->run(kTakeOverCounter,
                             {std::string_view(kOfferCounter),
                              std::int64_t{data.offerCounter->first}, data.offerCounter->second});
        transaction.commit();
        return true;
    }

private:
    void writeOwnFields(std::string_view supplier, std::string_view articleNumber,
                        const std::optional<Decimal>& coverage,
                        const std::optional<Decimal>& wastePercent) {
        if (!store_detail::writeOwnFields(*connection_, supplier, articleNumber, coverage,
                                          wastePercent))
            throw StoreError(StoreError::Kind::Refused,
                             "Der Artikel „" + std::string(articleNumber) + "“ von „" +
                                 std::string(supplier) + "“ steht nicht im Katalog.");
    }

    std::optional<OfferRecord> oneOffer(const Statement& statement, std::string_view key) {
        Transaction transaction(*connection_, false);
        const auto rows = connection_->run(statement, {key}).rows;
        if (rows.empty())
            return std::nullopt;
        const auto& row = rows.front();
        OfferRecord record;
        record.number = text(row[0]);
        record.entry = {text(row[1]),   text(row[2]),   text(row[3]),  number(row[4]),
                        number(row[5]), number(row[6]), text(row[7]),  text(row[8]),
                        text(row[11]),  text(row[13]),  text(row[14]), text(row[15])};
        record.status = status(row[9]);
        record.pdfWritten = number(row[10]) != 0;
        record.recordedAt = text(row[12]);
        return record;
    }

    bool changeCustomers(const Statement& statement, std::string_view name) {
        Transaction transaction(*connection_, true);
        const bool changed = connection_->run(statement, {checkedText(name, "Kunde")}).changed > 0;
        if (changed)
            connection_->run(kCountCustomerChange, {});
        transaction.commit();
        return changed;
    }

    // A credit note cancels an issued invoice that is no credit note and has none yet. (The
    // unique index refuses a second one as well; this says why in words.)
    void checkCancellable(const std::string& original) {
        const auto rows =
            connection_->run(kCorrected, {checkedText(original, "Stornierte Rechnung")}).rows;
        if (rows.empty())
            throw StoreError(StoreError::Kind::Refused,
                             "Die Rechnung " + original +
                                 " ist nicht im Rechnungsbuch verzeichnet.");
        if (invoiceKind(rows.front()[0]) == InvoiceKind::CreditNote)
            throw StoreError(StoreError::Kind::Refused,
                             original +
                                 " ist selbst eine Gutschrift und kann nicht storniert werden.");
        if (rows.front()[1])
            throw StoreError(StoreError::Kind::Refused, "Die Rechnung " + original +
                                                            " ist bereits durch die Gutschrift " +
                                                            *rows.front()[1] + " storniert.");
    }

    void changeOffer(const Statement& statement, std::string_view offerNumber,
                     std::string_view value) {
        Transaction transaction(*connection_, true);
        if (connection_->run(statement, {checkedText(offerNumber, "Nummer"), value}).changed == 0)
            throw StoreError(StoreError::Kind::Refused,
                             "Das Angebot " + std::string(offerNumber) +
                                 " ist nicht im Angebotsbuch verzeichnet.");
        transaction.commit();
    }

    std::unique_ptr<Connection> connection_;
    StoreHooks hooks_;
    // The catalogue as last read, kept while catalogueChange() stays the same.
    std::shared_ptr<const CatalogueSnapshot> catalogue_;
};

} // namespace

std::string_view invoiceStatusText(InvoiceStatus status) {
    return status == InvoiceStatus::Paid ? "bezahlt" : "offen";
}

InvoiceEntry invoiceEntryOf(const Invoice& invoice, std::string calculation) {
    const auto iso = [](const Date& date) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
        return std::string(buffer);
    };
    const InvoiceTotals totals = computeTotals(invoice);
    InvoiceEntry entry;
    entry.kind = invoice.kind;
    entry.issueDate = iso(invoice.issueDate);
    entry.dueDate = iso(invoice.dueDate());
    entry.customer = invoice.buyer.name;
    entry.offerNumber = invoice.offerNumber;
    entry.corrects = invoice.kind == InvoiceKind::CreditNote ? invoice.originalNumber : "";
    entry.netCents = totals.lineTotal.cents();
    entry.vatCents = totals.vatTotal.cents();
    entry.grossCents = totals.grandTotal.cents();
    entry.dueCents = totals.duePayable.cents();
    entry.calculation = std::move(calculation);
    return entry;
}

bool InvoiceSummary::overdue(std::string_view today) const {
    return status == InvoiceStatus::Open && cancelledBy.empty() &&
           kind != InvoiceKind::CreditNote && dueDate < today;
}

std::unique_ptr<Store> openSqliteStore(const std::string& path, StoreHooks hooks) {
    return std::make_unique<DatabaseStore>(store_detail::connectSqlite(path), std::move(hooks));
}

std::unique_ptr<Store> openPostgresStore(const std::string& conninfo, StoreHooks hooks) {
    return std::make_unique<DatabaseStore>(store_detail::connectPostgres(conninfo),
                                           std::move(hooks));
}

std::unique_ptr<Store> openStore(const std::string& uri, StoreHooks hooks) {
    if (uri.starts_with("sqlite:"))
        return openSqliteStore(uri.substr(7), std::move(hooks));
    if (isPostgresUri(uri))
        return openPostgresStore(uri, std::move(hooks));
    return openSqliteStore(uri, std::move(hooks));
}

namespace store_detail {

std::string_view checkedText(std::string_view text, const char* what) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0)
            throw StoreError(StoreError::Kind::Refused,
                             std::string("Der Text „") + what +
                                 "“ enthält ein Nullzeichen und kann nicht gespeichert werden.");
        std::size_t length = byte < 0x80           ? 1
                             : (byte >> 5) == 0x6  ? 2
                             : (byte >> 4) == 0xE  ? 3
                             : (byte >> 3) == 0x1E ? 4
                                                   : 0;
        bool valid = length != 0 && i + length <= text.size();
        std::uint32_t code = length == 1   ? byte
                             : length == 2 ? byte & 0x1F
                             : length == 3 ? byte & 0x0F
                                           : byte & 0x07;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        constexpr std::array<std::uint32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kSmallest[length] && code <= 0x10FFFF &&
                !(code >= 0xD800 && code <= 0xDFFF);
        if (!valid)
            throw StoreError(StoreError::Kind::Refused,
                             std::string("Der Text „") + what +
                                 "“ ist kein gültiger UTF-8-Text und kann nicht gespeichert "
                                 "werden.");
        i += length;
    }
    return text;
}

std::int64_t number(const Cell& cell) {
    std::int64_t value = 0;
    if (!cell ||
        std::from_chars(cell->data(), cell->data() + cell->size(), value).ec != std::errc())
        throw StoreError(StoreError::Kind::Failed, "Die Datenbank enthält eine ungültige Zahl.");
    return value;
}

} // namespace store_detail

} // namespace pyrelto
