#pragma once
// The firm's data beyond the calculation files, in a database: firm data, remembered addresses, the
// shared customer list, number counters, the offer register, the invoice register and the price
// catalogue. One
// interface, two engines: an SQLite file on one PC (the default) and a PostgreSQL server shared by
// a firm's PCs. The schema, the migration rule and the locking rule are described in docs/store.md.
//
// Texts are UTF-8. Every operation is one transaction: it either happens completely or not at all.

#include "article_search.h"
#include "catalogue.h"
#include "csv_price_list.h"
#include "invoice.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

// The one error of the store. what() is the German text the user sees, e.g. "Die gemeinsame
// Datenbank ist nicht erreichbar: …" when the server cannot be reached or the connection broke
// (the transaction is then rolled back; the next call connects again), or the refusal of a store
// whose schema is newer than this program.
class StoreError : public std::runtime_error {
public:
    enum class Kind {
        Unreachable, // connection failed or broke; try again later
        TooNew,      // the store was made by a newer program; it was left untouched
        Refused,     // the data was refused (invalid text, duplicate number, constraint)
        Failed,      // any other failure of the engine
    };
    StoreError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

enum class StoreEngine { Sqlite, Postgres };

// The schema version this program writes and reads.
inline constexpr int kStoreSchemaVersion = 6;

// The counter of offer numbers ("2026-015").
inline constexpr std::string_view kOfferCounter = "angebot";
// The counter of invoice numbers ("R-2026-0015"), one sequence for every kind of invoice.
inline constexpr std::string_view kInvoiceCounter = "rechnung";

enum class OfferStatus { Open, Accepted, Rejected };
// "offen", "angenommen", "abgelehnt": the words stored and shown.
std::string_view offerStatusText(OfferStatus status);
std::optional<OfferStatus> offerStatusFromText(std::string_view text);

// What is known of an offer when it is recorded, before it has a number.
struct OfferEntry {
    std::string date; // YYYY-MM-DD; its year chooses the number sequence
    std::string customer;
    std::string address; // lines separated by "\n"
    std::int64_t netCents = 0;
    std::int64_t vatCents = 0;
    std::int64_t grossCents = 0;
    std::string validUntil;  // YYYY-MM-DD
    std::string fileName;    // where the PDF is (to be) written; empty when printed
    std::string calculation; // the calculation file's bytes at that moment
    std::string workFrom;    // Ausführungszeitraum, YYYY-MM-DD; empty when none was given
    std::string workUntil;
    // The dialog's other choices as the program's JSON (offer_particulars.h); empty for none.
    std::string particulars;
};

// One line of the register as the list shows it (without the calculation bytes).
struct OfferSummary {
    std::string number;
    std::string date;
    std::string customer;
    std::int64_t grossCents = 0;
    OfferStatus status = OfferStatus::Open;
    bool pdfWritten = false;
};

struct OfferRecord {
    std::string number;
    OfferEntry entry;
    OfferStatus status = OfferStatus::Open;
    bool pdfWritten = false;
    std::string recordedAt; // UTC, ISO 8601
};

enum class InvoiceStatus { Open, Paid };
// "offen", "bezahlt".
std::string_view invoiceStatusText(InvoiceStatus status);

// What is known of an invoice before it is issued: everything but its number and the documents
// that print it.
struct InvoiceEntry {
    InvoiceKind kind = InvoiceKind::Invoice;
    std::string issueDate; // YYYY-MM-DD; its year chooses the number sequence
    std::string dueDate;   // YYYY-MM-DD
    std::string customer;
    std::string offerNumber; // empty when none
    std::string corrects;    // a credit note's cancelled invoice; empty for every other kind
    std::int64_t netCents = 0;
    std::int64_t vatCents = 0;
    std::int64_t grossCents = 0;
    std::int64_t dueCents = 0; // what is to pay: gross less the partial invoices deducted
    std::string calculation;   // the calculation file's bytes at that moment
};

// The entry of `invoice` (its kind, dates, customer, offer, the invoice it cancels and its
// totals), so that the register's amounts are those its documents print. Throws
// std::invalid_argument as computeTotals() does.
InvoiceEntry invoiceEntryOf(const Invoice& invoice, std::string calculation = {});

// The documents of an invoice, made once its number is known.
struct InvoiceDocuments {
    std::string invoiceData; // the invoice as data, from which both documents were made
    std::string pdf;
    std::string xml; // empty when no e-invoice was written
};

// Makes the documents under `number`. Runs inside issueInvoice() while the counter is locked; when
// it throws, the exception passes out of issueInvoice() and no number is consumed.
using InvoiceMaker = std::function<InvoiceDocuments(const std::string& number)>;

struct InvoiceSummary {
    std::string number;
    InvoiceKind kind = InvoiceKind::Invoice;
    std::string issueDate;
    std::string dueDate;
    std::string customer;
    std::string offerNumber;
    std::string corrects;
    std::int64_t netCents = 0;
    std::int64_t vatCents = 0;
    std::int64_t grossCents = 0;
    std::int64_t dueCents = 0;
    InvoiceStatus status = InvoiceStatus::Open;
    std::string paidOn;      // YYYY-MM-DD when paid
    std::string cancelledBy; // the credit note that cancels this invoice, if any
    bool hasXml = false;

    // Open, not cancelled, and its due date before `today` (YYYY-MM-DD). A credit note is never
    // overdue: the firm owes it.
    bool overdue(std::string_view today) const;
};

struct InvoiceRecord {
    InvoiceSummary summary;
    InvoiceDocuments documents;
    std::string calculation;
    std::string recordedAt; // UTC, ISO 8601
};

struct CustomerNames {
    std::vector<std::string> names; // sorted by their bytes
    std::int64_t change = 0;        // see customerChange()
};

// The firm data by the names of the old settings group ("Firma", "Ansprechpartner", "Strasse",
// "PlzOrt", "Telefon", "EMail", "Web", "SteuerNr", "Kontoinhaber", "IBAN", "BIC", "Logo",
// "Zahlungsbedingungen", "Schlusstext"). A name that is missing was never stored.
using FirmValues = std::map<std::string, std::string, std::less<>>;

// The catalogue as the store held it at one change, with the search index over its articles. Never
// changed once made: a newer change gives a new snapshot, and whoever still holds this one keeps
// valid positions into it.
struct CatalogueSnapshot {
    Catalogue catalogue;
    ArticleSearchIndex index; // positions into catalogue.articles()
    std::int64_t change = 0;  // catalogueChange() when it was read
};

// The firm's own fields of one article and the discount on its discount group (which every
// article of that group shares); nullopt clears a value.
struct ArticleOwnFields {
    std::string supplier;
    std::string articleNumber;
    std::optional<Decimal> coverage;
    std::optional<Decimal> wastePercent;
    std::string discountGroup;
    std::optional<Decimal> groupDiscount;
};

// Test and tool hooks. Nothing the program itself sets.
struct StoreHooks {
    // Runs inside recordOffer() and issueInvoice() after the number is taken and before the
    // register row is written, while the counter row is locked.
    std::function<void(const std::string& number)> numberTaken;
    // Migrate only up to this version (to build stores of earlier versions).
    int migrateUpTo = kStoreSchemaVersion;
};

class Store {
public:
    virtual ~Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    virtual StoreEngine engine() const = 0;
    virtual int schemaVersion() = 0;

    virtual FirmValues firmData() = 0;
    // Replaces the whole firm data with `values`.
    virtual void setFirmData(const FirmValues& values) = 0;

    virtual std::optional<std::string> address(std::string_view customer) = 0;
    virtual std::map<std::string, std::string, std::less<>> addresses() = 0;
    // An empty address forgets the customer's.
    virtual void setAddress(std::string_view customer, std::string_view address) = 0;

    virtual CustomerNames customers() = 0;
    // Goes up with every change of the customer list from any PC; compare to refresh.
    virtual std::int64_t customerChange() = 0;
    // False when the name was there already (add) or was not there (remove).
    virtual bool addCustomer(std::string_view name) = 0;
    virtual bool removeCustomer(std::string_view name) = 0;

    // The number the counter would hand out next in `year` — a preview only; recordOffer() and
    // issueInvoice() decide. "2026-001" for offers, "R-2026-0001" for invoices.
    virtual std::string peekNumber(std::string_view counter, int year) = 0;

    // Takes the next offer number of the entry's year and records the offer under it, in one
    // transaction holding the counter row locked; returns the number ("2026-015"). When this
    // throws, no number was consumed.
    virtual std::string recordOffer(const OfferEntry& entry) = 0;
    // The PDF of a recorded offer was written (or written again) to `fileName`.
    virtual void markPdfWritten(std::string_view number, std::string_view fileName) = 0;
    virtual void setOfferStatus(std::string_view number, OfferStatus status) = 0;
    virtual std::optional<OfferRecord> offer(std::string_view number) = 0;
    // The offer recorded last to go to `fileName` whose PDF was not written: a retry of that
    // offer makes it under this number instead of taking another.
    virtual std::optional<OfferRecord> unwrittenOffer(std::string_view fileName) = 0;
    // Newest first.
    virtual std::vector<OfferSummary> offers() = 0;

    // Takes the next invoice number of the entry's year, has `make` produce the documents under
    // it and records the invoice with them, in one transaction holding the counter row locked;
    // returns the number ("R-2026-0015"). Numbers have no gaps: when anything fails — a refused
    // text, `make` throwing, a lost connection, a killed process — nothing is recorded and the
    // number is handed out again. A credit note must name an issued invoice that is no credit
    // note itself and has none yet.
    virtual std::string issueInvoice(const InvoiceEntry& entry, const InvoiceMaker& make) = 0;
    // The only change an issued invoice takes: paid on `paidOn` (YYYY-MM-DD), or, with an empty
    // date, open again. Its documents and amounts stay as issued; there is no other path that
    // writes to them.
    virtual void setInvoicePaid(std::string_view number, std::string_view paidOn) = 0;
    virtual std::optional<InvoiceRecord> invoice(std::string_view number) = 0;
    // Newest first.
    virtual std::vector<InvoiceSummary> invoices() = 0;

    // The price catalogue (docs/catalogue.md). Every change of it — an import, our own fields of
    // an article, a group discount — counts up catalogueChange(), from any PC.
    virtual std::int64_t catalogueChange() = 0;
    // The whole catalogue, read again only when catalogueChange() moved since the last call; the
    // same snapshot otherwise, so that asking on every keystroke costs one small query.
    virtual std::shared_ptr<const CatalogueSnapshot> catalogue() = 0;
    // What importing `list` would change, worked out against catalogue(); the plan remembers that
    // change in ImportPlan::revision.
    virtual ImportPlan planImport(const PriceList& list) = 0;
    // Makes exactly the plan's change in one transaction: all of it or, when anything fails,
    // nothing. Refused (StoreError, Kind::Refused, nothing changed) when the plan has problems or
    // the catalogue changed since the plan was made (another PC imported or edited meanwhile).
    virtual void applyImport(const ImportPlan& plan) = 0;
    virtual std::optional<Article> article(std::string_view supplier,
                                           std::string_view articleNumber) = 0;
    // Every supplier's article with this number, by supplier.
    virtual std::vector<Article> articlesByNumber(std::string_view articleNumber) = 0;
    // Search as you type (ArticleSearchIndex): at most `limit` articles in the index's order.
    virtual std::vector<Article> searchArticles(std::string_view query, std::size_t limit) = 0;
    // Our own fields of one article; nullopt clears one. Refused when the store has no such
    // article, or for a coverage that is not above zero or a negative waste.
    virtual void setOwnFields(std::string_view supplier, std::string_view articleNumber,
                              std::optional<Decimal> coverage,
                              std::optional<Decimal> wastePercent) = 0;
    // The firm's discount % on a supplier's discount group; nullopt removes it. Refused outside
    // 0 to 100 %.
    virtual void setGroupDiscount(std::string_view supplier, std::string_view group,
                                  std::optional<Decimal> percent) = 0;
    // Both of the above for one article in one transaction, as the "Materialien" tab saves an
    // article's row: nothing is written when any part is refused. An article without a discount
    // group leaves the group discounts alone.
    virtual void saveOwnFields(const ArticleOwnFields& fields) = 0;
    // The CSV column mapping remembered for `supplier`; nullopt when none was.
    virtual std::optional<CsvColumns> csvColumns(std::string_view supplier) = 0;
    virtual void setCsvColumns(std::string_view supplier, const CsvColumns& columns) = 0;

    // Rows of the one-time take-over of the old files; see take_over.h.
    struct TakeOver {
        FirmValues firmData;
        std::map<std::string, std::string, std::less<>> addresses;
        std::vector<std::string> customers;
        std::optional<std::pair<int, std::int64_t>> offerCounter; // year, last number
    };
    // Writes `data` unless a take-over happened before; false then. One transaction.
    virtual bool takeOver(const TakeOver& data) = 0;

protected:
    Store() = default;
};

// An SQLite file, created with its folder on first use.
std::unique_ptr<Store> openSqliteStore(const std::string& path, StoreHooks hooks = {});
// A PostgreSQL server; `conninfo` is a libpq connection string ("host=… dbname=…" or
// "postgresql://…"). Passwords come from libpq's pgpass or service files, never from us.
std::unique_ptr<Store> openPostgresStore(const std::string& conninfo, StoreHooks hooks = {});
// "postgresql://…", "postgres://…" or "key=value …" is a server; "sqlite:PATH" or any other text is
// an SQLite file path.
std::unique_ptr<Store> openStore(const std::string& uri, StoreHooks hooks = {});
bool isPostgresUri(std::string_view uri);

} // namespace pyrelto
